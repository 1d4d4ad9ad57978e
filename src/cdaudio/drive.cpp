// SPDX-License-Identifier: GPL-3.0-or-later
#include "cdaudio/drive.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "disc/image_probe.h"

namespace cdaudio {

namespace {

// A probe on the worker may wait for a drive-slow image as long as a drive
// may take to spin up.
constexpr int kProbeTimeoutMs = 30000;

class DeviceDrive : public Drive {
 public:
  explicit DeviceDrive(const QString& node) : node_(node) {}
  disc::DriveState state() override { return disc::driveState(node_); }
  bool changed() override { return ioctlOk(CDROM_MEDIA_CHANGED, CDSL_CURRENT) > 0; }
  std::optional<disc::Toc> toc(QString* libcdioName) override {
    *libcdioName = node_;
    return disc::readToc(disc::openDrive(node_).get());
  }
  bool eject(QString* why) override {
    if (const auto done = ejectThroughUdisks(node_, why)) return *done;
    // The kernel refuses a mounted disc with EBUSY; nothing here unmounts.
    if (ioctlOk(CDROMEJECT, 0) == 0) return true;
    *why = errno == EBUSY ? QStringLiteral("busy") : QStringLiteral("the drive did not open");
    return false;
  }
  bool close(QString* why) override {
    if (ioctlOk(CDROMCLOSETRAY, 0) == 0) return true;
    *why = QStringLiteral("the drive did not close");
    return false;
  }

 private:
  // The ioctl's result on the node opened without waiting for a disc; -1
  // with errno when the node does not open.
  int ioctlOk(unsigned long request, unsigned long arg) {
    const int fd = ::open(QFile::encodeName(node_).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    const int r = ::ioctl(fd, request, arg);
    const int error = errno;
    ::close(fd);
    errno = error;
    return r;
  }
  QString node_;
};

// An image has no door: opening it only stops it, and it is read again at
// the next open.
class ImageDrive : public Drive {
 public:
  ImageDrive(const QString& path, const QString& probeProgram) : path_(path), probe_(probeProgram, kProbeTimeoutMs) {}
  disc::DriveState state() override {
    return QFileInfo(path_).isFile() ? disc::DriveState::Ready : disc::DriveState::NoDrive;
  }
  bool changed() override {
    const auto s = disc::prepare(path_);
    const QByteArray identity = s ? s->identity : QByteArray();
    const bool changed = identity != identity_;
    identity_ = identity;
    return changed;
  }
  std::optional<disc::Toc> toc(QString* libcdioName) override { return probe_.toc(path_, libcdioName); }
  bool eject(QString*) override { return true; }
  bool close(QString*) override { return true; }

 private:
  QString path_;
  ImageProbe probe_;  // used on the worker only
  QByteArray identity_;
};

}  // namespace

std::unique_ptr<Drive> makeDrive(const QString& source, const QString& probeProgram) {
  if (disc::imageKind(source) != disc::ImageKind::NotImage) return std::make_unique<ImageDrive>(source, probeProgram);
  return std::make_unique<DeviceDrive>(source);
}

}  // namespace cdaudio
