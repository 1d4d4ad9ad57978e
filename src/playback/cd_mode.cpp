// SPDX-License-Identifier: GPL-3.0-or-later
// Audio CD mode of the main window: the CD button and its menu item.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "app/frmcd.h"
#include "base/basic.h"
#include "core/message_boxes.h"
#include "core/range_scrollbar.h"
#include "playback/media_control.h"
#include "playback/track_list.h"

// Opens the drive and lists its tracks; nothing plays until a row is
// double-clicked. Every failure after the reload is "not ready".
void frmcd::cdload_Click() {
  listmode = basic::kFalse;
  lbltime->setToolTip(QStringLiteral("当前播放时间"));
  try {
    reload();
    lsttrack->clear();
    HScroll1->setEnabled(false);
    HScroll1->hide();
    cmd_scr->hide();
    setWindowTitle(kTitle + QStringLiteral("-播放CD"));
    mcicdplayer->setDeviceType(QStringLiteral("cdaudio"));
    mcicdplayer->setCommand(QStringLiteral("open"));
    const qint16 n = basic::toInt16(mcicdplayer->Tracks());
    for (qint16 i = 0; i < n; ++i)
      lsttrack->addItem(QStringLiteral("曲->") + basic::plain(cdTrackOfRow(*mcicdplayer, i)));
    mcicdplayer->setTimeFormat(MediaControl::Tmsf);
    lbltrack->setText(basic::plain(cdTrackOfRow(*mcicdplayer, 0)));
    selectRow(*lsttrack, 0);  // a disc without tracks ends here
  } catch (const std::exception&) {
    platform().messages.show(QStringLiteral("设备未准备好。"), kTitle);
    cdload->setEnabled(true);
    show();
  }
}

void frmcd::menu_cd_Click() { cdload_Click(); }

void frmcd::wireCd() { connect(cdload, &QPushButton::clicked, this, &frmcd::cdload_Click); }
