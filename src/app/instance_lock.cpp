#include "app/instance_lock.h"

#include <unistd.h>
#include <QDir>
#include <QStandardPaths>

FileInstanceLock::FileInstanceLock(QString path) : path_(std::move(path)) {}

QString FileInstanceLock::defaultPath() {
  QString dir = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
  if (dir.isEmpty() || !QDir(dir).exists())
    dir = QDir::tempPath() + QStringLiteral("/mirova-") + QString::number(getuid());
  return dir + QStringLiteral("/mirova.lock");
}

bool FileInstanceLock::acquire() {
  if (lock_) return true;
  QDir().mkpath(QFileInfo(path_).absolutePath());
  auto lock = std::make_unique<QLockFile>(path_);
  lock->setStaleLockTime(0);  // only a dead owner makes the lock stale, never its age
  if (!lock->tryLock(0)) return false;
  lock_ = std::move(lock);
  return true;
}
