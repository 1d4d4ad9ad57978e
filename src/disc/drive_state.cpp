// SPDX-License-Identifier: GPL-3.0-or-later
#include "disc/drive_state.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

namespace disc {

DriveState driveState(const QString& node) {
  const int fd = ::open(QFile::encodeName(node).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    switch (errno) {
      case EACCES:
      case EPERM:
        return DriveState::NoPermission;
      case ENOMEDIUM:
        return DriveState::NoDisc;
      case EBUSY:
        return DriveState::NotReady;
      default:
        return DriveState::NoDrive;
    }
  }
  const int status = ::ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
  ::close(fd);
  switch (status) {
    case CDS_NO_DISC:
      return DriveState::NoDisc;
    case CDS_TRAY_OPEN:
      return DriveState::TrayOpen;
    case CDS_DRIVE_NOT_READY:
      return DriveState::NotReady;
    case CDS_DISC_OK:
    case CDS_NO_INFO:  // the drive cannot tell: try reading it
      return DriveState::Ready;
    default:  // not an optical drive
      return DriveState::NoDrive;
  }
}

const char* describe(DriveState state) {
  switch (state) {
    case DriveState::Ready:
      return "ready";
    case DriveState::NoDisc:
      return "no disc";
    case DriveState::TrayOpen:
      return "tray open";
    case DriveState::NotReady:
      return "not ready";
    case DriveState::NoPermission:
      return "no permission";
    case DriveState::NoDrive:
      break;
  }
  return "no drive";
}

}  // namespace disc
