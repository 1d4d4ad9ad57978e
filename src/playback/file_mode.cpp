// SPDX-License-Identifier: GPL-3.0-or-later
// Single files and file lists on the main window: choosing a file, playing
// the current list entry, and the wiring of the playback controls.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <cmath>

#include "app/frmcd.h"
#include "base/basic.h"
#include "core/message_boxes.h"
#include "core/range_scrollbar.h"
#include "playback/media_control.h"
#include "playback/open_paths.h"

namespace {

const QString kMediaFilter = QStringLiteral(
    "所有文件(*.*)|*.*|VCD文件(*.dat)|*.dat|mpg文件(*.mpg)|*.mpg|midi文件(*.mid)|*.mid|声音文件(*.wav)|*.wav|"
    "AVI文件(*.avi)|*.avi|MP3文件(*.mp3)|*.mp3|");
constexpr int kVcdFilterIndex = 2;

bool hasDriveLetter(const QString& path) {
  return path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter();
}

// A playlist folder is either a Linux folder or a drive path that the
// device resolves ("D:\MUSIC"); each is joined with its own separator, and
// a folder that already ends in one (a root) does not get a second.
QString playlistPath(const QString& dir, const QString& entry) {
  if (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\'))) return dir + entry;
  return dir + (hasDriveLetter(dir) ? QLatin1Char('\\') : QLatin1Char('/')) + entry;
}

// "open" with the file's name in the error, so whoever reports it can say
// which file would not play.
void openMedium(MediaControl& control) {
  try {
    control.setCommand(QStringLiteral("open"));
  } catch (const basic::Error& e) {
    QString text = open_paths::kCannotOpen.arg(control.FileName());
    if (!e.description().isEmpty()) text += QLatin1Char('\n') + e.description();
    throw basic::Error(e.number(), text);
  }
}

// The file's length in lbltime; the device is open, in milliseconds.
void showLength(frmcd& w) {
  const qint32 lengthMs = w.mcicdplayer->Length();
  w.playtime = lengthMs / 1000.0;
  const double whole = basic::roundHalfEven(w.playtime);
  w.timesec = basic::toInt16(std::fmod(whole, 60.0));
  w.timemin = basic::toInt16(std::floor(whole / 60.0));
  w.lbltime->setText(basic::minutesSeconds(qint64(w.timemin) * 60 + w.timesec));
}

// The length became known after the open: the time label shows it now.
void showLengthLater(frmcd& w) {
  MediaControl& m = *w.mcicdplayer;
  if (m.DeviceType() == QLatin1String("cdaudio")) return;  // the CD shows elapsed time there
  const int format = m.TimeFormat();
  m.setTimeFormat(MediaControl::Milliseconds);
  showLength(w);
  m.setTimeFormat(format);
}

// The slider becomes a percentage of the file. Shown even when switched off:
// seeking is part of playing a file; the stored switch stays as it is.
void setUpSlider(frmcd& w) {
  RangeScrollBar* s = w.HScroll1;
  s->setEnabled(true);
  s->setVisible(true);
  s->setMax(100);
  s->setMin(0);
  s->setSmallChange(1);
  s->setLargeChange(1);
}

// The steps after "open" that both routines share.
void startOpened(frmcd& w) {
  MediaControl& m = *w.mcicdplayer;
  m.setTimeFormat(MediaControl::Milliseconds);
  showLength(w);
  m.setCommand(QStringLiteral("play"));
  m.setTimeFormat(MediaControl::Frames);
  w.lbltime->setToolTip(QStringLiteral("文件播放时长"));
  w.lsttrack->setEnabled(true);
}

// The steps before the dialog: single-file mode, a list with only its
// header, the device stopped and closed.
void clearForFile(frmcd& w) {
  w.listmode = basic::kFalse;
  w.mcicdplayer->setDeviceType(QString());
  w.lsttrack->clear();
  w.lsttrack->addItem(QStringLiteral("播放列表:"));
  w.mcicdplayer->setCommand(QStringLiteral("stop"));
  w.mcicdplayer->setCommand(QStringLiteral("close"));
}

// The steps after it: the chosen file played, with its row and caption.
void playChosen(frmcd& w, const QString& chosen) {
  w.mcicdplayer->setFileName(chosen);
  w.lbltrack->setText(QStringLiteral("1"));
  w.mcicdplayer->SetFocus();
  w.mcicdplayer->setUpdateInterval(1000);
  openMedium(*w.mcicdplayer);
  startOpened(w);
  w.lsttrack->addItem(chosen);
  w.setWindowTitle(frmcd::kTitle + QStringLiteral("-播放多媒体文件"));
  setUpSlider(w);
}

}  // namespace

void frmcd::menu_vcd_Click() {
  clearForFile(*this);
  vcddialog->setFilter(kMediaFilter);
  vcddialog->setFilterIndex(kVcdFilterIndex);
  // A cancel ends here, whichever way the dialog reports it: the device is
  // already stopped and closed and the list cleared, and going on would open
  // the previous file again or an empty name. The dialog keeps its own
  // setting for the next caller.
  const bool cancelError = vcddialog->CancelError();
  vcddialog->setCancelError(true);
  try {
    vcddialog->ShowOpen();
  } catch (const basic::Error& e) {
    vcddialog->setCancelError(cancelError);
    if (e.number() != basic::kCancel) throw;
    setIndicator(false);
    return;
  }
  vcddialog->setCancelError(cancelError);
  playChosen(*this, vcddialog->FileName());
}

void frmcd::openFile(const QString& path) {
  clearForFile(*this);
  playChosen(*this, path);
}

void frmcd::playfile() {
  mcicdplayer->setCommand(QStringLiteral("stop"));
  mcicdplayer->setCommand(QStringLiteral("close"));
  if (curfile < 1 || curfile >= filelist.size())
    throw basic::Error(basic::kSubscriptOutOfRange, QStringLiteral("播放列表中没有第 %1 项。").arg(curfile));
  const QString& entry = filelist.at(curfile);
  if (multimode) {
    mcicdplayer->setFileName(playlistPath(multidir, entry));
    setWindowTitle(kTitle + QStringLiteral("-播放多媒体文件"));
  } else {
    // Drive paths stay as the disc shows them; the device resolves the letter.
    mcicdplayer->setFileName(vcddrive + QStringLiteral(":\\Mpegav\\") + entry);
    setWindowTitle(kTitle + QStringLiteral("-播放VCD"));
  }
  lbltrack->setText(basic::plain(curfile));
  mcicdplayer->SetFocus();
  mcicdplayer->setUpdateInterval(1000);
  openMedium(*mcicdplayer);
  startOpened(*this);
  setUpSlider(*this);
}

void frmcd::runReported(const std::function<void()>& handler) {
  QString text;
  try {
    handler();
    return;
  } catch (const basic::Error& e) {
    if (e.number() == basic::kCancel) return;
    text = e.description();
  } catch (const std::exception& e) {
    text = QString::fromLocal8Bit(e.what());
  }
  platform().messages.show(text, kTitle);
  show();
}

void frmcd::wirePlayback() {
  // Controls are new at every load; the menu is not, so its old connection
  // goes before the new one is made.
  QAction* single = action(QStringLiteral("menu_vcd"));
  disconnect(single, &QAction::triggered, this, nullptr);
  connect(single, &QAction::triggered, this, [this] { runReported([this] { menu_vcd_Click(); }); });

  const std::pair<void (MediaControl::*)(), void (frmcd::*)()> events[] = {
      {&MediaControl::BackClick, &frmcd::mcicdplayer_BackClick},
      {&MediaControl::PlayClick, &frmcd::mcicdplayer_PlayClick},
      {&MediaControl::PauseClick, &frmcd::mcicdplayer_PauseClick},
      {&MediaControl::StepClick, &frmcd::mcicdplayer_StepClick},
      {&MediaControl::StopClick, &frmcd::mcicdplayer_StopClick},
      {&MediaControl::EjectClick, &frmcd::mcicdplayer_EjectClick},
      {&MediaControl::NextClick, &frmcd::mcicdplayer_NextClick},
      {&MediaControl::PrevClick, &frmcd::mcicdplayer_PrevClick},
      {&MediaControl::StatusUpdate, &frmcd::mcicdplayer_StatusUpdate},
  };
  for (const auto& [signal, handler] : events)
    connect(mcicdplayer, signal, this, [this, h = handler] { runReported([this, h] { (this->*h)(); }); });
  connect(mcicdplayer, &MediaControl::PlaybackError, this, &frmcd::mcicdplayer_PlaybackError);
  connect(mcicdplayer, &MediaControl::LengthChanged, this, [this] { showLengthLater(*this); });
  connect(HScroll1, &RangeScrollBar::Scroll, this, [this] { runReported([this] { HScroll1_Scroll(); }); });
  connect(lsttrack, &QListWidget::itemDoubleClicked, this, [this] { runReported([this] { lsttrack_DblClick(); }); });
}
