// SPDX-License-Identifier: GPL-3.0-or-later
// The VCD button: find the first optical drive, list the .dat files of its
// Mpegav folder and play the first; playfile and the status tick do the rest.
#include <QListWidget>
#include <QPushButton>

#include "app/frmcd.h"
#include "base/basic.h"
#include "core/message_boxes.h"
#include "disc/drives.h"
#include "playback/media_control.h"
#include "playback/track_list.h"

namespace {
const QString kNotReady = QStringLiteral("VCD影片未准备好，或者VCD格式不标准。");
}  // namespace

void frmcd::vcdload_Click() {
  Drives& drives = platform().drives;
  listmode = basic::kTrue;
  multimode = basic::kFalse;
  mcicdplayer->setDeviceType(QStringLiteral("mpegvideo"));

  // Only the first optical drive from D to H is used, whatever it holds;
  // without one, I is tried without asking.
  vcddrive = QStringLiteral("I");
  for (const char letter : {'d', 'e', 'f', 'g', 'h'}) {
    if (drives.driveType(QLatin1Char(letter)) == Drives::CdRom) {
      vcddrive = QString(QLatin1Char(letter)).toUpper();
      break;
    }
  }

  // From here on every failure, playfile's included, ends in one message.
  try {
    QString name = drives.dirFirst(vcddrive + QStringLiteral(":\\Mpegav\\*.dat"));
    listcount = 1;
    while (!name.isEmpty()) {
      // Entries below the new one stay; a longer list from before is cut.
      filelist.resize(listcount + 1);
      filelist[listcount] = name;
      listcount = basic::toInt16(listcount + 1.0);
      name = drives.dirNext();
    }
    curfile = 1;
    lsttrack->clear();
    lsttrack->addItem(QStringLiteral("播放列表:"));
    for (int k = 1; k < listcount; ++k) lsttrack->addItem(filelist.at(k));
    selectRow(*lsttrack, 1);  // no file found: there is no row 1, and the set-up fails
    playfile();
  } catch (const std::exception&) {
    // The window comes back as at start-up; the mode's members, the
    // control's device type among them, keep their values.
    const QString deviceType = mcicdplayer->DeviceType();
    platform().messages.show(kNotReady, kTitle);
    reload();
    mcicdplayer->setDeviceType(deviceType);
  }
}

void frmcd::wireVcd() { connect(vcdload, &QPushButton::clicked, this, &frmcd::vcdload_Click); }
