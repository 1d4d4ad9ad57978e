// SPDX-License-Identifier: GPL-3.0-or-later
#include "cdclient/cd_service_client.h"

#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <cerrno>
#include <cstring>

#include "cdaudio/protocol.h"
#include "disc/drives.h"

namespace {

constexpr int kRetryMs = 20;

qint64 now() { return QDeadlineTimer::current().deadline(); }

bool isOpen(const QString& command) {
  return command.trimmed()
             .section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty)
             .compare(QLatin1String("open"), Qt::CaseInsensitive) == 0;
}

bool isCloseAll(const QString& command) {
  return command.simplified().compare(QLatin1String("close all"), Qt::CaseInsensitive) == 0 ||
         command.simplified().compare(QLatin1String("close all wait"), Qt::CaseInsensitive) == 0;
}

CdServiceClient::Reply notReady(const QString& why) { return {cdaudio::kDeviceNotReady, why}; }

// Detached, in a session of its own, so that it outlives the player; its
// output goes to a log beside its socket, never to the player's terminal
// or a pipe someone waits on.
bool startService(const QString& program) {
  if (program.isEmpty()) return false;
  QProcess p;
  p.setProgram(program);
  p.setStandardInputFile(QProcess::nullDevice());
  p.setStandardOutputFile(QProcess::nullDevice());
  const QString log = cdaudio::logPath();
  p.setStandardErrorFile(log.isEmpty() ? QProcess::nullDevice() : log);
  return p.startDetached();
}

// Ends a service that holds the drive but no longer answers, so that a
// fresh one can take its place: the process the lock file names, while it
// holds the lock and runs `program`.
bool endService(const QString& program) {
  QFile lock(cdaudio::lockPath());
  if (program.isEmpty() || !lock.open(QIODevice::ReadOnly)) return false;
  if (::flock(lock.handle(), LOCK_SH | LOCK_NB) == 0) return false;  // nobody holds it: the number is stale
  const pid_t pid = pid_t(lock.readAll().trimmed().toLongLong());
  QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
  const QByteArray name = QFile::encodeName(QFileInfo(program).fileName()).left(15);  // the kernel keeps 15 bytes
  return pid > 1 && comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name && ::kill(pid, SIGKILL) == 0;
}

// Waits until fd is ready for `events` or the deadline passes.
bool waitFor(int fd, short events, qint64 deadline) {
  for (;;) {
    const qint64 left = deadline - now();
    if (left <= 0) return false;
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, int(left));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
}

}  // namespace

QString firstCdSource(Drives& drives, const QString& current) {
  QString first, loaded;
  for (const Drives::Drive& d : drives.list()) {
    if (d.type != Drives::CdRom || d.source.isEmpty()) continue;
    if (first.isEmpty()) first = d.source;
    const disc::DriveState state = drives.state(d);
    const bool holds = state == disc::DriveState::Ready || state == disc::DriveState::NotReady;
    if (holds && d.source == current) return current;
    if (holds && state == disc::DriveState::Ready && loaded.isEmpty()) loaded = d.source;
  }
  return loaded.isEmpty() ? first : loaded;
}

void CdServiceClient::disconnect() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

CdServiceClient::Reply CdServiceClient::send(const QString& command) {
  const qint64 deadline = now() + cdaudio::kCallTimeoutMs;
  if (command.contains(QLatin1Char('\n'))) return {cdaudio::kUnrecognizedCommand, QStringLiteral("bad command")};
  const bool open = isOpen(command);
  if (fd_ < 0 && !open) {
    if (isCloseAll(command)) return {};
    return notReady(QStringLiteral("not connected"));
  }
  if (now() < *setup_.quietUntil) return notReady(QStringLiteral("the CD service does not answer"));
  Reply reply;
  if (open) {
    const QString source = setup_.source ? setup_.source() : QString();
    if (source.isEmpty() || source.contains(QLatin1Char('\n'))) return notReady(QStringLiteral("no CD drive"));
    const QByteArray drive = QByteArray(cdaudio::kDriveRequest) + QFile::encodeName(source) + '\n';
    for (bool fresh = fd_ < 0;; fresh = true) {
      QString why;
      if (fd_ < 0 && !connectToService(deadline, &why)) return notReady(why);
      if (exchange(drive, deadline, &reply)) break;
      // A service that is just ending may still take a connection and then
      // drop it: try again, for a fresh start if need be.
      if (!fresh || fd_ >= 0 || now() < *setup_.quietUntil) return reply;
      QThread::msleep(kRetryMs);
    }
  }
  exchange(command.toUtf8() + '\n', deadline, &reply);
  return reply;
}

bool CdServiceClient::connectToService(qint64 deadline, QString* why) {
  const QByteArray path = QFile::encodeName(cdaudio::socketPath());
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.isEmpty() || size_t(path.size()) >= sizeof addr.sun_path) {
    *why = QStringLiteral("no private runtime folder");
    return false;
  }
  std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
  bool started = false;
  while (now() < deadline) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) break;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
      // The folder is ours alone; still, talk only to a service of our own.
      ucred peer{};
      socklen_t len = sizeof peer;
      if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &len) == 0 && peer.uid == ::geteuid()) {
        fd_ = fd;
        return true;
      }
      ::close(fd);
      *why = QStringLiteral("the CD service socket belongs to someone else");
      return false;
    }
    const int error = errno;
    ::close(fd);
    if (!started && (error == ENOENT || error == ECONNREFUSED)) {
      if (start_ == Start::Never) {
        *why = QStringLiteral("the CD service is not running");
        return false;
      }
      started = true;
      if (!startService(setup_.program)) {
        *why = QStringLiteral("the CD service cannot be started");
        return false;
      }
    }
    QThread::msleep(kRetryMs);
  }
  *why = QStringLiteral("the CD service does not answer");
  return false;
}

bool CdServiceClient::exchange(const QByteArray& line, qint64 deadline, Reply* reply) {
  const auto broken = [this, reply, &line](const QString& why) {
    disconnect();
    *reply = notReady(why);
    return false;
  };
  const auto late = [this, &broken] {
    // Hung, it would keep the drive and its lock for good.
    *setup_.quietUntil = endService(setup_.program) ? 0 : now() + kUnreachableMs;
    return broken(QStringLiteral("the CD service does not answer"));
  };
  if (line.size() > cdaudio::maxLine(line)) {
    *reply = {cdaudio::kParameterOverflow, QStringLiteral("command too long")};
    return false;
  }
  for (qsizetype sent = 0; sent < line.size();) {
    if (!waitFor(fd_, POLLOUT, deadline)) return late();
    const ssize_t n = ::send(fd_, line.constData() + sent, size_t(line.size() - sent), MSG_NOSIGNAL);
    if (n < 0 && errno != EAGAIN && errno != EINTR) return broken(QStringLiteral("the CD service has gone"));
    if (n > 0) sent += n;
  }
  QByteArray in;
  while (!in.endsWith('\n')) {
    if (!waitFor(fd_, POLLIN, deadline)) return late();
    char buffer[cdaudio::kMaxLine];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
      return broken(QStringLiteral("the CD service has gone"));
    if (n > 0) in.append(buffer, n);
    // One reply per request: more than a line is a service we do not understand.
    if (in.size() > cdaudio::kMaxLine || (in.indexOf('\n') >= 0 && !in.endsWith('\n')))
      return broken(QStringLiteral("the CD service's reply is garbled"));
  }
  const QString text = QString::fromUtf8(in.chopped(1));
  bool ok = false;
  const int error = text.section(QLatin1Char(' '), 0, 0).toInt(&ok);
  if (!ok) return broken(QStringLiteral("the CD service's reply is garbled"));
  *reply = {error, text.section(QLatin1Char(' '), 1)};
  return error == cdaudio::kOk;
}
