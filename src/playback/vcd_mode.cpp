// SPDX-License-Identifier: GPL-3.0-or-later
// The VCD button: find the first optical drive with a Video CD, list the .dat files of its
// Mpegav folder and play the first; playfile and the status tick do the rest.
#include <QListWidget>
#include <QPushButton>

#include "app/frmcd.h"
#include "base/aside.h"
#include "base/basic.h"
#include "core/message_boxes.h"
#include "disc/drive_state.h"
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

  // The first optical drive from D to H that holds a Video CD; without one,
  // the first optical drive all the same, and without any, I without
  // asking: there the search fails and the message follows. Drives are
  // read aside, as a drive spinning up or a scratched disc may take long.
  // A drive this user may not read is not searched: its mounted folder
  // would list the files whose sectors the kernel then cannot read.
  QString name;
  QString forbidden;
  bool searched = false;
  const QString pattern = QStringLiteral(":\\Mpegav\\*.dat");
  vcddrive = QString();
  for (const char letter : {'d', 'e', 'f', 'g', 'h'}) {
    const QChar l = QLatin1Char(letter);
    const auto d = drives.find(l);
    if (!d || d->type != Drives::CdRom) continue;
    const QString upper = QString(l).toUpper();
    if (vcddrive.isEmpty()) vcddrive = upper;
    const disc::DriveState state = drives.state(*d);
    if (state == disc::DriveState::NoPermission && forbidden.isEmpty()) forbidden = d->source;
    if (state != disc::DriveState::Ready) continue;
    try {
      const QString first = aside::call([&] { return drives.dirFirst(upper + pattern); });
      if (vcddrive == upper) searched = true;
      if (!first.isEmpty()) {
        vcddrive = upper;
        name = first;
        searched = true;
        break;
      }
    } catch (const std::exception&) {
    }
  }
  if (vcddrive.isEmpty()) vcddrive = QStringLiteral("I");
  if (name.isEmpty() && !forbidden.isEmpty()) {
    failLoad(noPermissionText(forbidden));
    return;
  }

  // From here on every failure, playfile's included, ends in one message.
  try {
    if (!searched) name = aside::call([&] { return drives.dirFirst(vcddrive + pattern); });
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
    failLoad(kNotReady);
  }
}

// The window comes back as at start-up; the mode's members, the control's
// device type among them, keep their values.
void frmcd::failLoad(const QString& message) {
  const QString deviceType = mcicdplayer->DeviceType();
  platform().messages.show(message, kTitle);
  reload();
  mcicdplayer->setDeviceType(deviceType);
}

void frmcd::wireVcd() { connect(vcdload, &QPushButton::clicked, this, &frmcd::vcdload_Click); }
