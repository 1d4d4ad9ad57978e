// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

namespace disc {

// What an optical drive says of itself without reading the disc. The node
// is opened non-blocking, which the kernel allows with or without a disc,
// so the answer comes at once even from a drive that is spinning up.
enum class DriveState {
  Ready,         // a disc is in and can be read
  NoDisc,        // tray closed, nothing in it
  TrayOpen,      //
  NotReady,      // a disc is going in or spinning up
  NoPermission,  // this user may not open the node (not in the cdrom group)
  NoDrive,       // no such node, or not an optical drive
};

DriveState driveState(const QString& node);

// A short English reason for logs and replies.
const char* describe(DriveState state);

}  // namespace disc
