// SPDX-License-Identifier: GPL-3.0-or-later
// A slow disk for one file, loaded with LD_PRELOAD into the program being
// measured: every read(2) and pread(2) of a file whose path contains
// $MIROVA_SLOW_PATH takes $MIROVA_SLOW_LATENCY_US microseconds plus the time
// its bytes take at $MIROVA_SLOW_KBPS kilobytes per second, as on a busy
// disk or network share. Other files read at full speed.
//
// The same stands in for an optical drive under a disc image, whose data
// file libcdio reads with stdio: the first read of the file in a process
// waits $MIROVA_SLOW_SPINUP_MS more (the drive spins up), and reads of
// sectors (2352 bytes) $MIROVA_SLOW_BAD = "FIRST-LAST" of the file fail with
// EIO (a scratch).
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr int kMaxFd = 65536;
std::atomic<bool> slowFd[kMaxFd];

template <typename F>
F next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

long envNumber(const char* name, long fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atol(v) : fallback;
}

void note(int fd, const char* path) {
  if (fd < 0 || fd >= kMaxFd) return;
  const char* want = std::getenv("MIROVA_SLOW_PATH");
  slowFd[fd] = want && *want && path && std::strstr(path, want);
}

std::atomic<bool> spunUp{false};

void wait(int fd, ssize_t bytes) {
  if (fd < 0 || fd >= kMaxFd || !slowFd[fd] || bytes < 0) return;
  const long kbps = envNumber("MIROVA_SLOW_KBPS", 4096);
  long long us = envNumber("MIROVA_SLOW_LATENCY_US", 200) + (kbps > 0 ? bytes * 1000LL / kbps : 0);
  if (!spunUp.exchange(true)) us += envNumber("MIROVA_SLOW_SPINUP_MS", 0) * 1000LL;
  timespec t{time_t(us / 1000000), long(us % 1000000) * 1000};
  while (nanosleep(&t, &t) != 0) {
  }
}

mode_t modeArg(int flags, va_list args) { return (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0; }

}  // namespace

extern "C" {

int openat(int dir, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeArg(flags, args);
  va_end(args);
  const int fd = next<int (*)(int, const char*, int, mode_t)>("openat")(dir, path, flags, mode);
  note(fd, path);
  return fd;
}

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeArg(flags, args);
  va_end(args);
  return openat(AT_FDCWD, path, flags, mode);
}

// GStreamer's filesrc and GLib are built for large files and call this name.
int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeArg(flags, args);
  va_end(args);
  return openat(AT_FDCWD, path, flags | O_LARGEFILE, mode);
}

ssize_t read(int fd, void* buffer, size_t count) {
  const ssize_t n = next<ssize_t (*)(int, void*, size_t)>("read")(fd, buffer, count);
  wait(fd, n);
  return n;
}

ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
  const ssize_t n = next<ssize_t (*)(int, void*, size_t, off_t)>("pread")(fd, buffer, count, offset);
  wait(fd, n);
  return n;
}

FILE* fopen64(const char* path, const char* mode) {
  FILE* f = next<FILE* (*)(const char*, const char*)>("fopen64")(path, mode);
  if (f) note(fileno(f), path);
  return f;
}

FILE* fopen(const char* path, const char* mode) {
  FILE* f = next<FILE* (*)(const char*, const char*)>("fopen")(path, mode);
  if (f) note(fileno(f), path);
  return f;
}

// Reads that touch a bad sector fail whole, as a drive's do.
size_t fread(void* buffer, size_t size, size_t count, FILE* stream) {
  const int fd = fileno(stream);
  const char* bad = std::getenv("MIROVA_SLOW_BAD");
  if (fd >= 0 && fd < kMaxFd && slowFd[fd] && bad && *bad && size * count > 0) {
    const long long from = ftello(stream) / 2352, to = (ftello(stream) + (long long)(size * count) - 1) / 2352;
    const long long first = std::atoll(bad),
                    last = std::strchr(bad, '-') ? std::atoll(std::strchr(bad, '-') + 1) : first;
    if (from <= last && to >= first) {
      wait(fd, 0);
      errno = EIO;
      return 0;
    }
  }
  const size_t n = next<size_t (*)(void*, size_t, size_t, FILE*)>("fread")(buffer, size, count, stream);
  wait(fd, ssize_t(n * size));
  return n;
}

int fclose(FILE* f) {
  const int fd = fileno(f);
  if (fd >= 0 && fd < kMaxFd) slowFd[fd] = false;
  return next<int (*)(FILE*)>("fclose")(f);
}

int close(int fd) {
  if (fd >= 0 && fd < kMaxFd) slowFd[fd] = false;
  return next<int (*)(int)>("close")(fd);
}

}  // extern "C"
