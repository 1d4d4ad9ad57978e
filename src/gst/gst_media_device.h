// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "playback/media_device.h"

class QWidget;
class Drives;
namespace gst {
class VideoWindow;
}
class SectorSource;
typedef struct _GstElement GstElement;
typedef struct _GstBus GstBus;
typedef struct _GstMessage GstMessage;

// A media file played through GStreamer's playbin: WAV, MP3, MIDI (fluidsynth
// with a General MIDI soundfont), AVI, MPEG and Video CD .dat files, whether
// plain MPEG program streams or RIFF/CDXA sector images. A drive path
// ("E:\Mpegav\AVSEQ01.DAT") is resolved through the drives first: a file of a
// folder plays as any file, a file on a disc or image from its sectors
// (SectorSource). Sound goes to the
// desktop's sound server; video is shown in a top-level window of the
// device's own, titled with the file name, sized to the picture, shown by
// play() (again, if the user has closed it) and closed with the device.
//
// open() is synchronous: it returns once the first frame is ready (or raises
// basic::Error: kFileNotFound for a missing file, kCannotPlay for a damaged
// or unplayable one, and at once for a pipe or anything else that is not a
// regular file). The other calls return when the pipeline has settled,
// so a position read right after seek() is the target. Bus messages are
// handled on the GUI thread through the GLib main loop Qt runs; finished()
// and errorOccurred() are delivered queued, so a slot may destroy the device.
//
// A pipeline whose position stands still for kStallMs while playing is
// restarted where it stood, at most kStallRestarts times per file, and then
// reported as an error: the sound server's stream clock can freeze for good
// after a pause or seek on a busy machine, and the player must not hang.
//
// The length of a file whose header does not tell it (an MP3 of variable
// rate without one) is measured by reading the whole file on a worker
// thread: until then lengthMs() is 0, or the parser's estimate once
// playing, and lengthChanged() says when it is known.
//
// Positions never pass the length, and only the end of the stream makes them
// equal to it: a stream that runs on past its announced duration stands at
// length - 1 until it really ends.
class GstMediaDevice final : public MediaDevice {
  Q_OBJECT
 public:
  // Rate of the frames time format for media without video (and for video
  // of variable rate). The platform had no frame unit for sound; 30 per
  // second gives steps of about 33 ms.
  static constexpr double kAudioFramesPerSecond = 30.0;
  // Longest wait for a file to preroll in open().
  static constexpr int kOpenTimeoutMs = 10000;
  // Error number for files that exist but cannot be played ("Device I/O error").
  static constexpr int kCannotPlay = 57;
  static constexpr int kStallMs = 3000;
  static constexpr int kStallRestarts = 2;

  // Without drives, drive paths are ordinary (missing) file names.
  explicit GstMediaDevice(Drives* drives = nullptr, QObject* parent = nullptr);
  ~GstMediaDevice() override;

  void open(const QString& fileName) override;
  void play() override;
  void pause() override;
  void stop() override;
  void seek(qint64 ms) override;

  qint64 positionMs() override;
  qint64 lengthMs() override;
  int mode() override { return mode_; }
  double framesPerSecond() override;

  // The video window, or null for media without video.
  QWidget* videoWindow() const;

  struct FrameSlot;   // the latest decoded picture, shared with the streaming thread
  struct LengthScan;  // a scan of the whole file for its length, on a worker thread

 private:
  void teardown();
  // The name as playbin's uri, a disc's file through sectors_; raises as open() does.
  // localFile is set to the file played, left empty for a disc's sectors.
  QString sourceUri(const QString& fileName, QString& localFile);
  QString preroll();
  void waitSettled();
  void seekPipeline(qint64 ms);
  void standAtEnd();          // as after playing to the end; finished() when it was playing
  qint64 streamPositionMs();  // the pipeline's, unclamped
  void setUpVideo();
  void startLengthScan(const QString& path);
  void handleMessage(GstMessage* message);
  void pollBus();
  void checkProgress();
  void fail(const QString& why);  // stops for good; errorOccurred() and finished() follow
  static int busCallback(GstBus* bus, GstMessage* message, void* self);
  static void elementSetup(GstElement* playbin, GstElement* element, void* self);

  GstElement* pipeline_ = nullptr;
  GstElement* videoSink_ = nullptr;  // owned by the pipeline
  GstBus* bus_ = nullptr;
  unsigned busWatch_ = 0;
  QTimer busPoll_;   // only when Qt's event loop is not GLib's
  QTimer watchdog_;  // runs while playing
  QTimer reprerolling_;
  qint64 watchedPositionMs_ = -1;
  int stalledTicks_ = 0;
  int restarts_ = 0;
  Drives* drives_ = nullptr;
  std::unique_ptr<SectorSource> sectors_;  // outlives the pipeline that reads it
  unsigned seekSeqnum_ = 0;                // of the last flushing seek
  std::vector<unsigned> earlierSeeks_;     // the numbers of the seeks before it, the latest few
  int seekMarks_ = 0;                      // seeks whose mark the bus has not handed over yet
  std::unique_ptr<FrameSlot> frames_;
  std::shared_ptr<LengthScan> scan_;          // while one runs
  std::unique_ptr<gst::VideoWindow> window_;  // made with each pipeline, kept for a video
  std::string soundFont_;
  QString fileName_;
  int mode_ = NotOpen;
  qint64 lengthMs_ = -1;  // -1: not known yet
  qint64 lastPositionMs_ = 0;
  qint64 originMs_ = 0;  // the stream's time at the start of the file
  double videoFps_ = 0;
  bool lengthDirty_ = false;
  bool lengthExact_ = false;  // measured by a scan, not a parser's estimate
  bool atEnd_ = false;
  bool failed_ = false;
  bool seeked_ = false;  // since open
};
