// SPDX-License-Identifier: GPL-3.0-or-later
#include "disc/image_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <cerrno>

#include "disc/disc.h"

extern char** environ;

namespace disc {

namespace {

constexpr qint64 kMaxRequest = 16 << 20;

// Moves `length` bytes between the socket and `data`, waiting up to the deadline.
bool transfer(int fd, char* data, qint64 length, bool sending, const QDeadlineTimer& deadline) {
  for (qint64 done = 0; done < length;) {
    pollfd p{fd, short(sending ? POLLOUT : POLLIN), 0};
    const int ready = ::poll(&p, 1, int(deadline.remainingTime()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t n = sending ? ::send(fd, data + done, size_t(length - done), MSG_NOSIGNAL)
                              : ::recv(fd, data + done, size_t(length - done), 0);
    if (n <= 0 && !(n < 0 && (errno == EINTR || errno == EAGAIN))) return false;
    if (n > 0) done += n;
  }
  return true;
}

class ChildReader final : public PayloadReader {
 public:
  ChildReader(pid_t pid, int fd, qint64 size, int timeoutMs) : pid_(pid), fd_(fd), size_(size), timeoutMs_(timeoutMs) {}
  ~ChildReader() override {
    ::close(fd_);  // ends a child that waits for a request
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  qint64 size() const override { return size_; }

  std::optional<QByteArray> read(qint64 offset, qint64 length) override {
    length = std::clamp<qint64>(length, 0, kMaxRequest);
    QByteArray request = QByteArray::number(offset) + ' ' + QByteArray::number(length) + '\n';
    const QDeadlineTimer deadline(timeoutMs_);
    qint64 count = -1;
    failed_ = failed_ || !transfer(fd_, request.data(), request.size(), true, deadline) ||
              !transfer(fd_, reinterpret_cast<char*>(&count), sizeof count, false, deadline) || count > length;
    if (failed_ || count < 0) return std::nullopt;
    QByteArray bytes(count, '\0');
    failed_ = !transfer(fd_, bytes.data(), count, false, deadline);
    return failed_ ? std::nullopt : std::optional(bytes);
  }

 private:
  pid_t pid_;
  int fd_;
  qint64 size_;
  int timeoutMs_;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<PayloadReader> childFileReader(const QString& program, const QString& image, const FileEntry& file,
                                               int timeoutMs) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return nullptr;
  QList<QByteArray> args{QFile::encodeName(program),         "--read",
                         QFile::encodeName(image),           QByteArray::number(file.lsn),
                         QByteArray::number(file.sectors),   QByteArray::number(file.size),
                         QByteArray::number(int(file.form2))};
  QList<char*> argv;
  for (QByteArray& a : args) argv << a.data();
  argv << nullptr;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (spawned != 0) {
    ::close(fds[0]);
    return nullptr;
  }
  return std::make_unique<ChildReader>(pid, fds[0], file.payloadBytes(), timeoutMs);
}

int serveFile(const QStringList& args) {
  if (args.size() != 5) return 2;
  FileEntry file;
  file.lsn = args[1].toInt();
  file.sectors = args[2].toLongLong();
  file.size = args[3].toLongLong();
  file.form2 = args[4] == QLatin1String("1");
  const auto source = prepare(args[0]);
  Handle cdio = source && source->kind != ImageKind::NotImage ? open(*source) : nullptr;
  std::optional<FileReader> reader;
  if (cdio) reader.emplace(std::move(cdio), file);
  QByteArray pending;
  char buffer[256];
  for (;;) {
    const qsizetype end = pending.indexOf('\n');
    if (end < 0) {
      const ssize_t n = ::read(0, buffer, sizeof buffer);
      if (n <= 0 || pending.size() > 100) return 0;  // the reader has gone
      pending.append(buffer, n);
      continue;
    }
    const QList<QByteArray> request = pending.left(end).split(' ');
    pending.remove(0, end + 1);
    const auto bytes = reader && request.size() == 2
                           ? reader->read(request[0].toLongLong(), std::min(request[1].toLongLong(), kMaxRequest))
                           : std::nullopt;
    const qint64 count = bytes ? bytes->size() : -1;
    QByteArray reply(reinterpret_cast<const char*>(&count), sizeof count);
    if (bytes) reply += *bytes;
    for (qsizetype sent = 0; sent < reply.size();) {
      const ssize_t n = ::write(1, reply.constData() + sent, size_t(reply.size() - sent));
      if (n <= 0) return 0;
      sent += n;
    }
  }
}

}  // namespace disc
