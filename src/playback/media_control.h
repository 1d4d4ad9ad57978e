// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>

#include "playback/media_device.h"

class QToolButton;

// The media control: a row of eight transport buttons (previous, next, play,
// pause, back, step, stop, eject) bound to one device. Its properties follow
// the platform control it replaces. Commands to a closed device do nothing;
// a failing "open" raises basic::Error and leaves the control closed.
// A button press first raises its event, then carries out the button's own
// command; the handlers never cancel it. When the handler has itself sent a
// command during the event (a file handler's "next" followed by opening the
// next file, for one), the button's command is not applied on top of it.
// Buttons enable themselves from the device's mode: none without a device;
// Play when not playing; Pause while playing or paused; Stop likewise; Prev,
// Next, Back and Step whenever a device is open; Eject for the CD drive.
// Status events come every UpdateInterval ms while a device is open.
// Once the medium has played to its end, Position equals Length in every
// time format until the next play, seek or open; before, it stays below,
// however the conversion rounds.
class MediaControl : public QWidget {
  Q_OBJECT
 public:
  enum TimeFormat : int { Milliseconds = 0, Hms = 1, Msf = 2, Frames = 3, Tmsf = 10 };
  enum Button : int { Prev, Next, Play, Pause, Back, Step, Stop, Eject, ButtonCount };
  static constexpr int kBusyRetryMs = 50;

  MediaControl(MediaDeviceFactory& factory, QWidget* parent = nullptr);
  ~MediaControl() override;

  QString DeviceType() const { return deviceType_; }
  void setDeviceType(const QString& t) { deviceType_ = t; }
  QString FileName() const { return fileName_; }
  void setFileName(const QString& f) { fileName_ = f; }
  bool shareflag() const { return shareable_; }
  void setShareflag(bool s) { shareable_ = s; }

  // "open", "close", "play", "pause", "stop", "back", "step", "prev", "next",
  // "eject" (any letter case).
  void setCommand(const QString& command);

  int UpdateInterval() const { return updateInterval_; }
  void setUpdateInterval(int ms);

  int TimeFormat() const { return timeFormat_; }
  void setTimeFormat(int f) { timeFormat_ = f; }
  qint32 Position() const;
  qint32 Length() const;
  qint32 startpos() const;
  void setFrom(qint32 v);
  qint32 From() const { return from_; }  // the last value written
  qint32 Tracks() const;
  qint32 FirstTrack() const;  // the medium's own number of its first track
  qint32 Track() const { return track_; }
  void setTrack(qint32 t) { track_ = t; }
  qint32 Mode() const;
  qint32 FrameCount() const { return frames_; }
  void setFrameCount(qint32 f) { frames_ = f; }  // the step of Back and Step

  void SetFocus() { setFocus(Qt::OtherFocusReason); }

  bool isOpen() const { return device_ != nullptr; }
  MediaDevice* device() const { return device_.get(); }
  QToolButton* button(Button b) const { return buttons_[b]; }

 Q_SIGNALS:
  void PrevClick();
  void NextClick();
  void PlayClick();
  void PauseClick();
  void BackClick();
  void StepClick();
  void StopClick();
  void EjectClick();
  void StatusUpdate();
  // The device stopped by itself on an error while playing; the message
  // names the medium and the cause.
  void PlaybackError(const QString& message);
  // The medium's length became known, or exact, after the open.
  void LengthChanged();
  // The Eject button's own command failed; the reason comes from the drive.
  void EjectFailed(const QString& why);

 private:
  void press(Button b);
  void raiseEvent(Button b);
  void updateButtons();
  qint64 toMs(qint64 v) const;
  qint64 units(qint64 ms) const;  // whole units of the time format: ms, frames, CD frames or seconds
  // endMs: the medium's end, for a position (-1: a length or start).
  qint32 fromMs(qint64 ms, bool trackRelative, qint64 endMs = -1) const;
  void doOpen();
  void doClose();
  void doSeekTrack(int delta);
  void doFrameStep(int direction);
  void seekDevice(qint64 ms);
  void onStatusTimer();

  MediaDeviceFactory& factory_;
  std::unique_ptr<MediaDevice> device_;
  std::array<QToolButton*, ButtonCount> buttons_{};
  QTimer statusTimer_;
  QString deviceType_;
  QString fileName_;
  bool shareable_ = false;
  int updateInterval_ = 0;
  int timeFormat_ = Milliseconds;
  qint32 track_ = 1;
  qint32 frames_ = 1;
  qint64 pendingFromMs_ = -1;
  qint32 from_ = 0;
  quint64 commandsSent_ = 0;  // tells a handler's own command from none
  bool atEnd_ = false;        // the medium played to its end; no seek or play since
};
