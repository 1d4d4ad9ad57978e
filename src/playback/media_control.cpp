// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/media_control.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>
#include <cmath>

#include "base/aside.h"
#include "base/basic.h"

namespace {
qint32 packTmsf(int t, int m, int s, int f) { return qint32(t | (m << 8) | (s << 16) | (f << 24)); }
constexpr double kCdFramesPerSecond = 75.0;  // CD sectors per second, the MSF frame unit
}  // namespace

MediaControl::MediaControl(MediaDeviceFactory& factory, QWidget* parent) : QWidget(parent), factory_(factory) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  struct Look {
    QStyle::StandardPixmap icon;
    const char* name;
    const char* tip;
  };
  static const Look looks[ButtonCount] = {
      {QStyle::SP_MediaSkipBackward, "PrevButton", "上一曲"},
      {QStyle::SP_MediaSkipForward, "NextButton", "下一曲"},
      {QStyle::SP_MediaPlay, "PlayButton", "播放"},
      {QStyle::SP_MediaPause, "PauseButton", "暂停"},
      {QStyle::SP_MediaSeekBackward, "BackButton", "后退"},
      {QStyle::SP_MediaSeekForward, "StepButton", "前进"},
      {QStyle::SP_MediaStop, "StopButton", "停止"},
      {QStyle::SP_TitleBarShadeButton, "EjectButton", "弹出/关闭"},
  };
  for (int i = 0; i < ButtonCount; ++i) {
    auto* b = new QToolButton(this);
    b->setObjectName(QLatin1String(looks[i].name));
    b->setIcon(style()->standardIcon(looks[i].icon));
    b->setAccessibleName(QString::fromUtf8(looks[i].tip));
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    b->setAutoRaise(false);
    row->addWidget(b);
    buttons_[i] = b;
    connect(b, &QToolButton::clicked, this, [this, i] { press(Button(i)); });
  }
  statusTimer_.setTimerType(Qt::CoarseTimer);
  connect(&statusTimer_, &QTimer::timeout, this, &MediaControl::onStatusTimer);
  updateButtons();
}

MediaControl::~MediaControl() = default;

void MediaControl::setUpdateInterval(int ms) {
  updateInterval_ = ms;
  if (ms > 0)
    statusTimer_.start(ms);
  else
    statusTimer_.stop();
}

void MediaControl::onStatusTimer() {
  // Nothing to report on without a device; a closed control stays quiet
  // until the next open.
  // While the window waits for a drive the tick is skipped: it would act on
  // a window halfway through a set-up.
  if (!device_ || aside::busy()) return;
  updateButtons();  // the medium may have stopped or paused by itself
  Q_EMIT StatusUpdate();
}

// A switch rather than a table of member pointers: the sanitizers' bounds
// check misreads an index into such a table.
void MediaControl::raiseEvent(Button b) {
  switch (b) {
    case Prev:
      Q_EMIT PrevClick();
      break;
    case Next:
      Q_EMIT NextClick();
      break;
    case Play:
      Q_EMIT PlayClick();
      break;
    case Pause:
      Q_EMIT PauseClick();
      break;
    case Back:
      Q_EMIT BackClick();
      break;
    case Step:
      Q_EMIT StepClick();
      break;
    case Stop:
      Q_EMIT StopClick();
      break;
    case Eject:
      Q_EMIT EjectClick();
      break;
    case ButtonCount:
      break;
  }
}

void MediaControl::press(Button b) {
  static const char* const commands[ButtonCount] = {"prev", "next", "play", "pause", "back", "step", "stop", "eject"};
  // A press that comes while the window waits for a drive (the user's wait
  // anyway; a media key's would not) is taken once the wait is over.
  if (aside::busy()) {
    QTimer::singleShot(kBusyRetryMs, this, [this, b] { press(b); });
    return;
  }
  const quint64 before = commandsSent_;
  raiseEvent(b);
  if (commandsSent_ != before) {
    // The handler has already told the device what to do (it may even have
    // opened another medium); the press meant the medium shown when it came.
    updateButtons();
    return;
  }
  // The button's own command follows its event; a failure here has nobody to
  // report to but the control itself, which simply leaves the device as is.
  try {
    setCommand(QLatin1String(commands[b]));
  } catch (const basic::Error& e) {
    // A door that would not move is the user's to know; the rest stays as it was.
    if (b == Eject) Q_EMIT EjectFailed(e.description());
  }
}

void MediaControl::setCommand(const QString& command) {
  const QString c = command.trimmed().toLower();
  ++commandsSent_;
  if (c == QLatin1String("open")) {
    doOpen();
  } else if (!device_) {
    return;  // every other command needs an open device
  } else if (c == QLatin1String("close")) {
    doClose();
  } else if (c == QLatin1String("play")) {
    if (pendingFromMs_ >= 0) seekDevice(pendingFromMs_);
    pendingFromMs_ = -1;
    atEnd_ = false;
    device_->play();
  } else if (c == QLatin1String("pause")) {
    if (device_->mode() == MediaDevice::Paused)
      device_->play();
    else if (device_->mode() == MediaDevice::Playing)
      device_->pause();
  } else if (c == QLatin1String("stop")) {
    device_->stop();
  } else if (c == QLatin1String("back")) {
    doFrameStep(-1);
  } else if (c == QLatin1String("step")) {
    doFrameStep(+1);
  } else if (c == QLatin1String("next")) {
    doSeekTrack(+1);
  } else if (c == QLatin1String("prev")) {
    doSeekTrack(-1);
  } else if (c == QLatin1String("eject")) {
    device_->eject();
  }
  updateButtons();
}

void MediaControl::doOpen() {
  if (device_) doClose();
  auto dev = factory_.create(deviceType_);
  if (!dev) throw basic::Error(basic::kFileNotFound, QStringLiteral("No device for this type"));
  {
    // The device may wait for its medium aside, in a module of its own.
    const aside::Waiting busy;
    dev->open(fileName_);  // raises when the medium cannot be opened
  }
  device_ = std::move(dev);
  connect(device_.get(), &MediaDevice::finished, this, [this] {
    atEnd_ = true;
    updateButtons();
  });
  connect(device_.get(), &MediaDevice::errorOccurred, this, &MediaControl::PlaybackError);
  connect(device_.get(), &MediaDevice::lengthChanged, this, &MediaControl::LengthChanged);
  timeFormat_ = deviceType_.compare(QLatin1String("cdaudio"), Qt::CaseInsensitive) == 0 ? Msf : Milliseconds;
  track_ = device_->firstTrack();
  pendingFromMs_ = -1;
  atEnd_ = false;
  updateButtons();
}

void MediaControl::doClose() {
  device_.reset();
  pendingFromMs_ = -1;
  atEnd_ = false;
  updateButtons();
}

void MediaControl::doSeekTrack(int delta) {
  const bool wasPlaying = device_->mode() == MediaDevice::Playing;
  const int cur = device_->currentTrack();
  qint64 target = 0;
  if (delta > 0) {
    // Past the last track there is only the end of the medium.
    target = cur < device_->lastTrack() ? device_->trackStartMs(cur + 1) : device_->lengthMs();
  } else {
    // Early in a track "previous" means the track before; later, this track's start.
    const qint64 start = device_->trackStartMs(cur);
    const bool early = device_->positionMs() - start < 3000;
    target = early && cur > device_->firstTrack() ? device_->trackStartMs(cur - 1) : start;
  }
  seekDevice(target);
  if (wasPlaying && target < device_->lengthMs()) device_->play();
}

void MediaControl::doFrameStep(int direction) {
  const double fps = device_->framesPerSecond() > 0 ? device_->framesPerSecond() : kCdFramesPerSecond;
  const qint64 stepMs = std::max<qint64>(1, std::llround(frames_ * 1000.0 / fps));
  const qint64 target = std::clamp<qint64>(device_->positionMs() + direction * stepMs, 0, device_->lengthMs());
  seekDevice(target);
}

void MediaControl::seekDevice(qint64 ms) {
  atEnd_ = false;
  device_->seek(ms);
}

void MediaControl::updateButtons() {
  const bool open = device_ != nullptr;
  const int mode = open ? device_->mode() : MediaDevice::NotOpen;
  const bool playing = mode == MediaDevice::Playing;
  const bool running = playing || mode == MediaDevice::Paused;
  buttons_[Prev]->setEnabled(open);
  buttons_[Next]->setEnabled(open);
  buttons_[Play]->setEnabled(open && !playing);
  buttons_[Pause]->setEnabled(open && running);  // a second press resumes
  buttons_[Back]->setEnabled(open);
  buttons_[Step]->setEnabled(open);
  buttons_[Stop]->setEnabled(open && running);
  // Only a drive has a door; a file's device cannot eject anything.
  buttons_[Eject]->setEnabled(open && deviceType_.compare(QLatin1String("cdaudio"), Qt::CaseInsensitive) == 0);
}

qint64 MediaControl::toMs(qint64 v) const {
  switch (timeFormat_) {
    case Frames: {
      const double fps = device_ ? device_->framesPerSecond() : 0;
      return fps > 0 ? std::llround(v * 1000.0 / fps) : v;
    }
    case Msf: {
      const qint64 m = v & 0xff, s = (v >> 8) & 0xff, f = (v >> 16) & 0xff;
      return (m * 60 + s) * 1000 + std::llround(f * 1000.0 / kCdFramesPerSecond);
    }
    case Tmsf: {
      const int t = int(v & 0xff);
      const qint64 m = (v >> 8) & 0xff, s = (v >> 16) & 0xff, f = (v >> 24) & 0xff;
      const qint64 base = device_ ? device_->trackStartMs(t) : 0;
      return base + (m * 60 + s) * 1000 + std::llround(f * 1000.0 / kCdFramesPerSecond);
    }
    case Hms: {
      const qint64 h = v & 0xff, m = (v >> 8) & 0xff, s = (v >> 16) & 0xff;
      return ((h * 60 + m) * 60 + s) * 1000;
    }
    default:
      return v;
  }
}

qint64 MediaControl::units(qint64 ms) const {
  switch (timeFormat_) {
    case Frames: {
      const double fps = device_ ? device_->framesPerSecond() : 0;
      return fps > 0 ? std::llround(ms * fps / 1000.0) : ms;
    }
    case Msf:
    case Tmsf:
      return std::llround(ms * kCdFramesPerSecond / 1000.0);
    case Hms:
      return ms / 1000;
    default:
      return ms;
  }
}

qint32 MediaControl::fromMs(qint64 ms, bool trackRelative, qint64 endMs) const {
  int t = 1;
  qint64 base = 0;
  if (timeFormat_ == Tmsf && trackRelative && device_) {
    t = device_->currentTrack();
    base = device_->trackStartMs(t);
  }
  qint64 u = units(ms - base);
  // Short of the end, a position stays a unit short of it however it
  // rounds: the program takes Position = Length for the end of the medium.
  if (ms < endMs) u = std::max<qint64>(0, std::min(u, units(endMs - base) - 1));
  switch (timeFormat_) {
    case Msf:
    case Tmsf: {
      const int f = int(u % 75), totalS = int(u / 75);
      const int m = totalS / 60, s = totalS % 60;
      return timeFormat_ == Tmsf && trackRelative ? packTmsf(t, m, s, f) : qint32(m | (s << 8) | (f << 16));
    }
    case Hms:
      return qint32((u / 3600) | (((u / 60) % 60) << 8) | ((u % 60) << 16));
    default:
      return qint32(u);
  }
}

qint32 MediaControl::Position() const {
  if (!device_) return 0;
  const qint64 length = device_->lengthMs();
  qint64 pos = device_->positionMs();
  // Some media report a position short of or past their length at the end;
  // the program tells the end by Position = Length.
  if (atEnd_ || (length > 0 && pos > length)) pos = length;
  return fromMs(pos, true, length);
}
qint32 MediaControl::Length() const { return device_ ? fromMs(device_->lengthMs(), false) : 0; }
qint32 MediaControl::startpos() const { return device_ ? fromMs(device_->startMs(), true) : 0; }
void MediaControl::setFrom(qint32 v) {
  from_ = v;
  pendingFromMs_ = toMs(v);
  // From = Length is the end itself, which a whole number of frames can
  // fall a few milliseconds short of: the medium would play that stretch.
  const bool linear = timeFormat_ == Frames || timeFormat_ == Milliseconds;
  if (device_ && linear && v > 0 && v >= Length()) pendingFromMs_ = device_->lengthMs();
}
qint32 MediaControl::Tracks() const { return device_ ? device_->tracks() : 0; }
qint32 MediaControl::FirstTrack() const { return device_ ? device_->firstTrack() : 1; }
qint32 MediaControl::Mode() const { return device_ ? device_->mode() : MediaDevice::NotOpen; }
