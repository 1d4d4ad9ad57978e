// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/instance_lock.h"

#include <signal.h>

#include <QDir>
#include <QSysInfo>
#include <cerrno>

#include "app/settings_store.h"
#include "base/runtime_dir.h"

namespace {

// QLockFile has already taken over a lock whose process has ended, where it
// could; what is left is a live owner, a file it could not read, or the lock
// of another machine sharing the folder (the settings folder on a network
// home), whose copy is none on this desktop and cannot be asked anyway.
bool heldByLiveCopy(QLockFile& lock) {
  qint64 pid = 0;
  QString host, app;
  if (!lock.getLockInfo(&pid, &host, &app)) return false;  // empty or cut short: nobody's
  if (!host.isEmpty() && host != QSysInfo::machineHostName()) return false;
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
      if (!lock->removeStaleLockFile() || !lock->tryLock(0)) continue;  // not ours to take: start without
    }
    lock_ = std::move(lock);
    break;
  }
  started_ = true;  // with a lock, or without one where no folder could hold it
  return true;
}
