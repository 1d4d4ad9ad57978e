// SPDX-License-Identifier: GPL-3.0-or-later
#include "cdaudio/service.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cdaudio/protocol.h"

namespace {
constexpr int kTickMs = 250;       // end of disc, a stalled stream, idle time
constexpr int kLockWaitMs = 3000;  // for a copy that is just ending
constexpr int kReadChunk = 4096;
}  // namespace

CdAudioService::CdAudioService(int idleExitMs, const QString& program, QObject* parent)
    : QObject(parent), drive_(program), idleExitMs_(idleExitMs) {
  connect(&tick_, &QTimer::timeout, this, &CdAudioService::onTick);
}

CdAudioService::~CdAudioService() {
  for (const auto& c : clients_) {
    c->notifier.reset();
    ::close(c->fd);
  }
  clients_.clear();
  listenNotifier_.reset();
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    ::unlink(socketPath_.constData());  // before the lock goes with the process
  }
  if (lockFd_ >= 0) ::close(lockFd_);
}

CdAudioService::Start CdAudioService::start(QString* why) {
  const QString socketPath = cdaudio::socketPath();
  const QString lockPath = cdaudio::lockPath();
  if (socketPath.isEmpty()) {
    *why = QStringLiteral("no private runtime folder");
    return Start::Failed;
  }
  lockFd_ = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lockFd_ < 0) {
    *why = QStringLiteral("cannot open %1: %2").arg(lockPath, QString::fromLocal8Bit(std::strerror(errno)));
    return Start::Failed;
  }
  QElapsedTimer waited;
  waited.start();
  while (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK || waited.elapsed() > kLockWaitMs) return Start::AlreadyRunning;
    QThread::msleep(20);
  }
  const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
  if (::ftruncate(lockFd_, 0) != 0 || ::pwrite(lockFd_, pid.constData(), size_t(pid.size()), 0) != pid.size()) {
    *why = QStringLiteral("cannot write %1").arg(lockPath);
    return Start::Failed;
  }

  socketPath_ = QFile::encodeName(socketPath);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (size_t(socketPath_.size()) >= sizeof addr.sun_path) {
    *why = QStringLiteral("socket path too long: %1").arg(socketPath);
    return Start::Failed;
  }
  std::memcpy(addr.sun_path, socketPath_.constData(), size_t(socketPath_.size()));
  listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  ::unlink(socketPath_.constData());  // left by a copy that did not end in order; we hold the lock
  const mode_t mask = ::umask(077);
  const bool bound = listenFd_ >= 0 && ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::umask(mask);
  if (!bound || ::listen(listenFd_, 16) != 0) {
    *why = QStringLiteral("cannot listen on %1: %2").arg(socketPath, QString::fromLocal8Bit(std::strerror(errno)));
    return Start::Failed;
  }
  listenNotifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
  connect(listenNotifier_.get(), &QSocketNotifier::activated, this, &CdAudioService::acceptClients);
  idleSince_.start();
  tick_.start(kTickMs);
  return Start::Listening;
}

void CdAudioService::acceptClients() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    // Only this user's programs may drive the disc.
    ucred peer{};
    socklen_t len = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &len) != 0 || peer.uid != ::geteuid() ||
        int(clients_.size()) >= kMaxClients) {
      ::close(fd);
      continue;
    }
    auto c = std::make_unique<Client>();
    c->fd = fd;
    c->session = std::make_unique<MciSession>(drive_);
    c->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(c->notifier.get(), &QSocketNotifier::activated, this, [this, fd] { readClient(fd); });
    clients_.push_back(std::move(c));
  }
}

void CdAudioService::readClient(int fd) {
  const auto it = std::find_if(clients_.begin(), clients_.end(), [fd](const auto& c) { return c->fd == fd; });
  if (it == clients_.end()) return;
  Client& c = **it;
  char buffer[kReadChunk];
  const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
  if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
    drop(fd);
    return;
  }
  if (n < 0) return;
  c.pending.append(buffer, qsizetype(n));
  const auto overflow = [this, &c, fd] {
    // A request may not grow without bound: refuse it and part.
    reply(c, {cdaudio::kParameterOverflow, QStringLiteral("request too long")});
    drop(fd);
  };
  for (qsizetype end = c.pending.indexOf('\n'); end >= 0; end = c.pending.indexOf('\n')) {
    if (end >= cdaudio::maxLine(c.pending)) return overflow();
    const QString line = QString::fromUtf8(c.pending.constData(), end);
    c.pending.remove(0, end + 1);
    if (!reply(c, c.session->handle(line))) return drop(fd);
  }
  if (c.pending.size() >= cdaudio::maxLine(c.pending)) overflow();
}

bool CdAudioService::reply(Client& c, const MciSession::Reply& r) {
  QString text = r.text;
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  const QByteArray line =
      (QString::number(r.error) + QLatin1Char(' ') + text).toUtf8().left(cdaudio::kMaxLine - 1) + '\n';
  // Replies are short; a client that does not read them is not served.
  return ::send(c.fd, line.constData(), size_t(line.size()), MSG_NOSIGNAL | MSG_DONTWAIT) == line.size();
}

void CdAudioService::drop(int fd) {
  const auto it = std::find_if(clients_.begin(), clients_.end(), [fd](const auto& c) { return c->fd == fd; });
  if (it == clients_.end()) return;
  (*it)->notifier->setEnabled(false);
  // The notifier may be the one whose signal is being handled.
  (*it)->notifier.release()->deleteLater();
  ::close(fd);
  clients_.erase(it);
  idleSince_.restart();
}

// A stopped disc with nobody to ask for it again ends the service; a disc
// that plays keeps it, as a drive plays on with nobody at the panel.
void CdAudioService::onTick() {
  drive_.watch();
  if (!clients_.empty() || drive_.state() == CdDrive::State::Playing) {
    idleSince_.restart();
    return;
  }
  if (idleSince_.elapsed() >= idleExitMs_) QCoreApplication::quit();
}
