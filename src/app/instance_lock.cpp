#include "app/instance_lock.h"

#include <signal.h>

#include <QDir>
#include <QSysInfo>
#include <cerrno>

#include "app/settings_store.h"
#include "core/runtime_dir.h"

namespace {

// QLockFile has already taken over a lock whose process has ended, where it
// could; what is left is either a live owner or a file it could not read.
bool heldByLiveCopy(QLockFile& lock) {
  qint64 pid = 0;
  QString host, app;
  if (!lock.getLockInfo(&pid, &host, &app)) return false;  // empty or cut short: nobody's
  // Another machine's copy sharing this folder cannot be asked: respect it.
  if (!host.isEmpty() && host != QSysInfo::machineHostName()) return true;
  return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

}  // namespace

FileInstanceLock::FileInstanceLock(QStringList folders) : folders_(std::move(folders)) {}

QStringList FileInstanceLock::defaultFolders() {
  return {runtime::privateFolder(QStringLiteral("mirova")),
          IniSettingsStore::defaultConfigDir() + QStringLiteral("/mirova")};
}

bool FileInstanceLock::acquire() {
  if (started_) return true;
  for (const QString& folder : folders_) {
    if (folder.isEmpty() || !QDir().mkpath(folder)) continue;
    auto lock = std::make_unique<QLockFile>(folder + QStringLiteral("/mirova.lock"));
    lock->setStaleLockTime(0);  // only a dead owner makes the lock stale, never its age
    if (!lock->tryLock(0)) {
      if (lock->error() != QLockFile::LockFailedError) continue;  // cannot be made here
      if (heldByLiveCopy(*lock)) return false;
      if (!lock->removeStaleLockFile() || !lock->tryLock(0)) continue;
    }
    lock_ = std::move(lock);
    break;
  }
  started_ = true;  // with a lock, or without one where no folder could hold it
  return true;
}
