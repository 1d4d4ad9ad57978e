#pragma once
#include <QLockFile>
#include <QString>
#include <memory>

// Tells whether another copy of the program runs. acquire() is asked at
// every load of the main window; once it has said yes it keeps saying yes.
class InstanceLock {
 public:
  virtual ~InstanceLock() = default;
  virtual bool acquire() = 0;
};

// A lock file in the user's runtime folder; a copy that died leaves a stale
// lock, which QLockFile recognises by the dead process id.
class FileInstanceLock final : public InstanceLock {
 public:
  explicit FileInstanceLock(QString path);
  static QString defaultPath();
  bool acquire() override;

 private:
  QString path_;
  std::unique_ptr<QLockFile> lock_;
};
