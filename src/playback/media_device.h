// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>
#include <QString>
#include <memory>

// One medium opened on a playback backend. Times are milliseconds from the
// start of the medium; the media control converts them to its time formats.
// Calls come from the GUI thread only. open() raises basic::Error when the
// medium cannot be opened; after a failed open the object is unusable and is
// destroyed by its owner. Every other call on an opened device is safe, even
// when the medium turns out to be damaged later (the device then reports
// mode NotReady/Stopped and errorOccurred()).
class MediaDevice : public QObject {
  Q_OBJECT
 public:
  // The platform's mode numbers, as the control's Mode reports them.
  enum Mode : int {
    NotOpen = 524,
    Stopped = 525,
    Playing = 526,
    Recording = 527,
    Seeking = 528,
    Paused = 529,
    Ready = 530
  };

  using QObject::QObject;
  ~MediaDevice() override = default;

  // Returns with the medium ready at its start, mode Stopped.
  virtual void open(const QString& fileName) = 0;
  // From the current position. At the end there is nothing left to play:
  // the mode stays Stopped until a seek moves back.
  virtual void play() = 0;
  virtual void pause() = 0;  // Playing -> Paused, holds the position
  virtual void stop() = 0;   // holds the position, as the platform's stop does
  // Moves to ms (clamped to 0..length) and keeps the mode: a playing medium
  // plays on from there, a stopped one starts there at the next play(). A
  // seek to the length stands at the end (a playing medium stops there and
  // emits finished()).
  virtual void seek(qint64 ms) = 0;
  // Opens a drive's door, or closes it; raises basic::Error with the
  // drive's reason when it will not.
  virtual void eject() {}
  // What tells this disc from another (a drive's); changes with the disc.
  // Empty when the device cannot tell.
  virtual QString discIdentity() { return QString(); }

  // 0 <= positionMs() <= lengthMs(); the two are equal only once the medium
  // has played (or been moved) to its end, and stay equal until a seek back.
  virtual qint64 positionMs() = 0;
  virtual qint64 lengthMs() = 0;
  virtual qint64 startMs() { return 0; }
  virtual int mode() = 0;

  // Frame rate for the frames time format: the video's rate, or a fixed rate
  // for media without video.
  virtual double framesPerSecond() = 0;

  // Tracks: files have one; an audio CD has one per audio track. They keep
  // the medium's own numbers, firstTrack() to lastTrack(): a CD cut from a
  // larger one may begin with track 5. trackStartMs() of a number before the
  // first is the first's start.
  virtual int tracks() { return 1; }
  virtual int firstTrack() { return 1; }
  int lastTrack() { return firstTrack() + tracks() - 1; }
  virtual int currentTrack() { return 1; }
  virtual qint64 trackStartMs(int /*track*/) { return 0; }

 Q_SIGNALS:
  // The medium reached its end, or the backend hit an error while playing.
  // Either may come queued, after the call or event that caused it; the
  // file device always queues them, so its slots may close it.
  void finished();
  void errorOccurred(const QString& message);
  // The length became known, or exact, after open() had returned with a
  // length of 0 or an estimate (a file measured while it plays).
  void lengthChanged();
};

// Makes the device for a control's DeviceType: "cdaudio" for the CD drive,
// anything else (empty, "mpegvideo") for files.
class MediaDeviceFactory {
 public:
  virtual ~MediaDeviceFactory() = default;
  virtual std::unique_ptr<MediaDevice> create(const QString& deviceType) = 0;
};
