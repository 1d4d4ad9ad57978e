// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QLockFile>
#include <QStringList>
#include <memory>

// Tells whether another copy of the program runs. acquire() is asked at
// every load of the main window; once it has said yes it keeps saying yes.
class InstanceLock {
 public:
  virtual ~InstanceLock() = default;
  virtual bool acquire() = 0;
};

// A lock file in the first of the given folders where one can be made.
// Only a lock held by a copy that is alive says no. A lock its copy left
// behind (dead process, file left empty) is taken over; a folder that cannot
// hold the lock (read-only, full, not ours) passes it on to the next; when
// none can, the program starts without a lock rather than not at all.
class FileInstanceLock final : public InstanceLock {
 public:
  explicit FileInstanceLock(QStringList folders);
  // The user's private runtime folder (see runtime::privateFolder), then the
  // settings folder: every copy of one user tries them in the same order.
  static QStringList defaultFolders();
  bool acquire() override;

 private:
  QStringList folders_;
  std::unique_ptr<QLockFile> lock_;
  bool started_ = false;
};
