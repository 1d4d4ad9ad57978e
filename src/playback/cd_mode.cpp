// SPDX-License-Identifier: GPL-3.0-or-later
// Audio CD mode of the main window: the CD button and its menu item.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "app/frmcd.h"
#include "base/basic.h"
#include "cdclient/cd_service_client.h"
#include "core/message_boxes.h"
#include "core/range_scrollbar.h"
#include "disc/drive_state.h"
#include "disc/drives.h"
#include "playback/media_control.h"
#include "playback/track_list.h"

QString noPermissionText(const QString& node) {
  return QStringLiteral("无权读取光驱%1，请将用户加入cdrom组。").arg(node);
}

namespace {
constexpr int kNoPermission = 70;  // "Permission denied"

// The node of the drive the CD would be played from, when this user may not
// read it; else empty. Asked of the drive itself, at once, before the service.
QString forbiddenCdDrive(Drives& drives) {
  const QString source = firstCdSource(drives);
  for (const Drives::Drive& d : drives.list())
    if (d.source == source && d.type == Drives::CdRom && drives.state(d) == disc::DriveState::NoPermission)
      return source;
  return QString();
}
}  // namespace

// Opens the drive and lists its tracks; nothing plays until a row is
// double-clicked. Every failure after the reload is "not ready", but for a
// drive this user may not read, which is named.
void frmcd::cdload_Click() {
  listmode = basic::kFalse;
  lbltime->setToolTip(QStringLiteral("当前播放时间"));
  QString message = QStringLiteral("设备未准备好。");
  try {
    reload();
    lsttrack->clear();
    HScroll1->setEnabled(false);
    HScroll1->hide();
    cmd_scr->hide();
    setWindowTitle(kTitle + QStringLiteral("-播放CD"));
    mcicdplayer->setDeviceType(QStringLiteral("cdaudio"));
    const QString forbidden = forbiddenCdDrive(platform().drives);
    if (!forbidden.isEmpty()) {
      message = noPermissionText(forbidden);
      throw basic::Error(kNoPermission, message);
    }
    mcicdplayer->setCommand(QStringLiteral("open"));
    const qint16 n = basic::toInt16(mcicdplayer->Tracks());
    for (qint16 i = 0; i < n; ++i)
      lsttrack->addItem(QStringLiteral("曲->") + basic::plain(cdTrackOfRow(*mcicdplayer, i)));
    mcicdplayer->setTimeFormat(MediaControl::Tmsf);
    lbltrack->setText(basic::plain(cdTrackOfRow(*mcicdplayer, 0)));
    selectRow(*lsttrack, 0);  // a disc without tracks ends here
  } catch (const std::exception& e) {
    // The service's word for a node it may not open.
    if (QString::fromUtf8(e.what()).contains(QLatin1String("no permission")))
      message = noPermissionText(firstCdSource(platform().drives));
    platform().messages.show(message, kTitle);
    cdload->setEnabled(true);
    show();
  }
}

void frmcd::menu_cd_Click() { cdload_Click(); }

void frmcd::wireCd() {
  connect(cdload, &QPushButton::clicked, this, &frmcd::cdload_Click);
  // The drive's reason comes in the service's English; the one a user can
  // act on, a disc still in use (mounted and open somewhere), is told in full.
  connect(mcicdplayer, &MediaControl::EjectFailed, this, [this](const QString& why) {
    const bool busy = why.contains(QLatin1String("busy"));
    platform().messages.show(
        QStringLiteral("CD-ROM无法弹出/关闭。") + (busy ? QStringLiteral("\n光盘正被其他程序使用。") : QString()),
        kTitle);
  });
}
