// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>

class Drives;

// Paths the player is handed from outside its windows.
namespace open_paths {

// The message for a file that will not open.
inline const QString kCannotOpen = QStringLiteral("无法打开文件：%1");

// `paths` without the ones that stand for a disc rather than for files to
// play: the folder an optical drive (or a disc given a drive letter) is
// mounted on, and the desktop's view of an audio CD ("cdda:host=sr0").
// Starting the player for an inserted disc, the desktop hands over the
// disc's mount point, or nothing; either way the player starts as it always
// does, waiting for the CD or VCD button.
QStringList withoutDiscs(Drives& drives, const QStringList& paths);

}  // namespace open_paths
