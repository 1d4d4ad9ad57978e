// SPDX-License-Identifier: GPL-3.0-or-later
// The media control's eight button events and its status tick, the position
// slider, and the double-click on the track list. Every handler tells the CD
// drive from the file modes by the control's device type.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <cmath>

#include "app/frmcd.h"
#include "base/aside.h"
#include "base/basic.h"
#include "cdclient/mci.h"
#include "core/message_boxes.h"
#include "core/range_scrollbar.h"
#include "playback/media_control.h"
#include "playback/track_list.h"

void selectRow(QListWidget& list, int row) {
  if (row < 0 || row >= list.count())
    throw basic::Error(basic::kInvalidPropertyValue, QStringLiteral("曲目列表中没有第 %1 行。").arg(row));
  list.setCurrentRow(row);
}

int cdTrackOfRow(const MediaControl& m, int row) { return m.FirstTrack() + row; }
int cdRowOfTrack(const MediaControl& m, int track) { return track - m.FirstTrack(); }

namespace {

constexpr int kIdentityLength = 128;

bool isCdDevice(const MediaControl& m) { return m.DeviceType() == QLatin1String("cdaudio"); }

// The alias "cd" afresh, in track time: every use of the drive by string
// starts this way, so it acts on the drive as it stands now.
void openCdAlias(Mci& mci) {
  mci.sendString(QStringLiteral("close all"));
  mci.sendString(QStringLiteral("open cdaudio alias cd wait shareable"));
  mci.sendString(QStringLiteral("set cd time format tmsf wait"));
}

// Next and Prev on a CD show the track the control knows; the drive's own
// move is the control's command that follows.
void showCdTrack(frmcd& w) {
  w.lbltrack->setText(basic::signedText(w.mcicdplayer->Track()));
  selectRow(*w.lsttrack, cdRowOfTrack(*w.mcicdplayer, w.mcicdplayer->Track()));
  w.playtime = 0;
  w.lbltime->setText(QStringLiteral("00:00"));
}

// Follows the drive from track to track, forward only and one track per
// tick, and counts the elapsed time one second per tick while it plays.
void statusCd(frmcd& w) {
  MediaControl& m = *w.mcicdplayer;
  w.lbltrack->setText(basic::signedText(m.Track()));
  selectRow(*w.lsttrack, cdRowOfTrack(m, m.Track()));
  Mci& mci = w.platform().mci;
  openCdAlias(mci);
  mci.sendString(QStringLiteral("status cd position"), &w.cdposbuf, 30);
  // Another disc in the drive: its tracks are listed afresh, as the CD
  // button lists them, once this tick is over.
  const QString known = m.device() ? m.device()->discIdentity() : QString();
  QString identity;
  if (!known.isEmpty() && mci.sendString(QStringLiteral("info cd identity"), &identity, kIdentityLength) == 0 &&
      !identity.isEmpty() && identity != known) {
    m.setUpdateInterval(0);
    QTimer::singleShot(0, &w, &frmcd::cdload_Click);
    return;
  }
  const qint16 sounding = basic::textToInt16(w.cdposbuf.left(2));  // no number: the silent reset
  if (sounding > m.Track()) {
    m.setTrack(m.Track() + 1);
    w.playtime = 0;
  }
  if (m.Mode() == MediaDevice::Playing) {
    w.setIndicator(true);
    w.playtime = w.playtime + 1;
    const double whole = basic::roundHalfEven(w.playtime);
    w.timesec = basic::toInt16(std::fmod(whole, 60.0));
    w.timemin = basic::toInt16(std::trunc(whole / 60.0));
    w.lbltime->setText(basic::minutesSeconds(qint64(w.timemin) * 60 + w.timesec));
  } else {
    w.setIndicator(false);
  }
}

// The entry after the current one, after the last the first again.
void nextEntry(frmcd& w) {
  w.curfile = basic::toInt16(w.curfile + 1.0);
  if (w.curfile > w.listcount - 1) w.curfile = 1;
}

void statusFileModes(frmcd& w) {
  MediaControl& m = *w.mcicdplayer;
  if (w.listmode) {
    const qint32 length = m.Length();
    const qint32 position = m.Position();
    // A length of 0 while playing is one the device is still measuring.
    if (length == position && (length != 0 || m.Mode() != MediaDevice::Playing)) {  // the entry has ended
      selectRow(*w.lsttrack, w.curfile == w.listcount - 1 ? 1 : w.curfile + 1);
      nextEntry(w);
      w.playfile();
    }
  }
  // The slider has just been moved by hand: leave it where the user put it.
  if (w.seekskip) {
    w.seekskip = basic::kFalse;
    return;
  }
  const qint32 length = m.Length();
  const qint32 position = m.Position();
  // Without a length (not measured yet, or an empty medium) there is nothing
  // to scale the slider by; it stays where it is.
  if (length != 0) {
    qint16 p = basic::toInt16(double(position) / double(length) * 100);
    if (p > w.HScroll1->Max()) p = 100;
    w.HScroll1->setValue(p);
  }
  if (m.Mode() == MediaDevice::Playing) {
    w.setIndicator(true);
  } else {
    w.setIndicator(false);
    m.setFrom(m.startpos());  // the next play starts from the beginning
  }
}

}  // namespace

void frmcd::mcicdplayer_BackClick() {
  setIndicator(false);
  mcicdplayer->setUpdateInterval(0);
  playtime = playtime - step_time / 1100;
  if (playtime < 0) playtime = 0;
  const double target = double(mcicdplayer->Position()) - step_time;
  mcicdplayer->setFrom(target < 0 ? 1 : basic::toInt32(target));
  mcicdplayer->setCommand(QStringLiteral("play"));
}

void frmcd::mcicdplayer_StepClick() {
  setIndicator(false);
  mcicdplayer->setUpdateInterval(0);
  playtime = playtime + step_time / 1100;
  const double target = double(mcicdplayer->Position()) + step_time;
  const qint32 length = mcicdplayer->Length();
  mcicdplayer->setFrom(target > length ? length : basic::toInt32(target));
  mcicdplayer->setCommand(QStringLiteral("play"));
}

void frmcd::mcicdplayer_PlayClick() {
  try {
    mcicdplayer->setUpdateInterval(1000);
    if (isCdDevice(*mcicdplayer)) {
      lbltrack->setText(basic::plain(cdTrackOfRow(*mcicdplayer, lsttrack->currentRow())));
      selectRow(*lsttrack, cdRowOfTrack(*mcicdplayer, mcicdplayer->Track()));
    } else {
      mcicdplayer->setCommand(QStringLiteral("play"));
    }
  } catch (const std::exception&) {
    platform().messages.show(QStringLiteral("设备未准备好。"), kTitle);
    show();
  }
}

// Raised before the control pauses or resumes: Mode still tells which.
void frmcd::mcicdplayer_PauseClick() {
  if (mcicdplayer->Mode() == MediaDevice::Playing) {
    mcicdplayer->setUpdateInterval(0);
    setIndicator(false);
  } else {
    mcicdplayer->setUpdateInterval(1000);
    setIndicator(true);
  }
}

void frmcd::mcicdplayer_StopClick() {
  mcicdplayer->setCommand(QStringLiteral("stop"));
  mcicdplayer->setCommand(QStringLiteral("prev"));
  mcicdplayer->setUpdateInterval(0);
  playtime = 0;
  setIndicator(false);
}

// The control ejects after this returns.
void frmcd::mcicdplayer_EjectClick() {
  lsttrack->clear();
  cdload->setEnabled(true);
  mcicdplayer->setUpdateInterval(0);
  platform().messages.show(QStringLiteral("按“确定”弹出/关闭CD-ROM！"), kTitle);
  show();
}

void frmcd::mcicdplayer_NextClick() {
  if (isCdDevice(*mcicdplayer))
    showCdTrack(*this);
  else
    mcicdplayer->setCommand(QStringLiteral("next"));
  if (listmode) {
    if (lsttrack->currentRow() < listcount - 1)
      selectRow(*lsttrack, curfile + 1);
    else
      selectRow(*lsttrack, 1);
    nextEntry(*this);
    playfile();
  }
}

void frmcd::mcicdplayer_PrevClick() {
  if (isCdDevice(*mcicdplayer))
    showCdTrack(*this);
  else
    mcicdplayer->setCommand(QStringLiteral("prev"));
  if (listmode) {
    if (lsttrack->currentRow() > 1) selectRow(*lsttrack, curfile - 1);
    curfile = basic::toInt16(curfile - 1.0);
    if (curfile < 1) curfile = 1;  // no wrap at the start
    playfile();
  }
}

// Any failure here (a length of 0, a row the list does not have, an entry
// that will not open) resets quietly: the tick comes every second and must
// not pile up messages.
void frmcd::mcicdplayer_StatusUpdate() {
  try {
    if (isCdDevice(*mcicdplayer))
      statusCd(*this);
    else
      statusFileModes(*this);
  } catch (const std::exception&) {
    mcicdplayer->setCommand(QStringLiteral("close"));
    lsttrack->clear();
    show();
  }
}

// The medium stopped on an error while it played (a decoder error, the
// sound server gone, a stream that stopped moving): said once, with no
// status tick behind the message. A list then goes on with its next entry,
// as it does when an entry ends; a single file stays stopped.
void frmcd::mcicdplayer_PlaybackError(const QString& message) {
  if (aside::busy()) {  // no message box over a set-up that waits for a drive
    QTimer::singleShot(MediaControl::kBusyRetryMs, this, [this, message] { mcicdplayer_PlaybackError(message); });
    return;
  }
  const int interval = mcicdplayer->UpdateInterval();
  mcicdplayer->setUpdateInterval(0);
  setIndicator(false);
  platform().messages.show(QStringLiteral("播放出错，已停止。\n") + message, kTitle);
  if (listmode) mcicdplayer->setUpdateInterval(interval);
}

// Seeks while the thumb is dragged; the next status tick leaves the slider alone.
void frmcd::HScroll1_Scroll() {
  mcicdplayer->setCommand(QStringLiteral("stop"));
  setIndicator(false);
  mcicdplayer->setFrom(basic::toInt32(double(HScroll1->Value()) / 100 * mcicdplayer->Length()));
  seekskip = basic::kTrue;
  mcicdplayer->setCommand(QStringLiteral("play"));
  setIndicator(true);
}

// A CD row plays its track: the strings move the drive there, the control
// plays from where the drive stands. Row 0 of a file list is its header and
// plays nothing.
void frmcd::lsttrack_DblClick() {
  const int row = lsttrack->currentRow();
  if (isCdDevice(*mcicdplayer)) {
    Mci& mci = platform().mci;
    openCdAlias(mci);
    mci.sendString(QStringLiteral("stop cd wait"));
    const int track = cdTrackOfRow(*mcicdplayer, row);
    mci.sendString(QStringLiteral("seek cd to ") + basic::signedText(track));
    playtime = 0;
    mcicdplayer->setUpdateInterval(1000);
    mcicdplayer->setCommand(QStringLiteral("play"));
    lbltrack->setText(basic::signedText(track));
    mcicdplayer->setTrack(track);
    setIndicator(true);
  }
  if (listmode && row > 0) {
    curfile = basic::toInt16(row);
    playfile();
  }
}
