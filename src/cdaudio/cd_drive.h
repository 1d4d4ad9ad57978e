// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QElapsedTimer>
#include <QString>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <optional>

#include "cdaudio/drive.h"
#include "cdaudio/worker.h"
#include "disc/disc.h"

typedef struct _GstElement GstElement;

// One CD drive or disc image and its one play head, played through
// GStreamer's audio CD source in continuous mode: it plays on across track
// boundaries to the end of the disc, as a drive does. Positions are sectors
// from the start of the disc (disc::Track::start).
//
// Its requests answer at once. Whatever waits for the drive runs on its
// worker, one job after another: reading the table of contents, starting a
// pipeline (the CD source reads the disc as it opens), moving it, ending
// it, the door. While a table of contents is read or a play starts the
// drive is busy(). The pipeline belongs to the worker while a job holds it.
// The results are picked up whenever the state is asked for.
class CdDrive {
 public:
  enum class State { NoDisc, DoorOpen, Stopped, Playing, Paused };
  using DriveFactory = std::function<std::unique_ptr<cdaudio::Drive>(const QString& source)>;

  // `probeProgram` probes images (see ImageProbe).
  explicit CdDrive(const QString& probeProgram);
  explicit CdDrive(DriveFactory factory);
  ~CdDrive();
  CdDrive(const CdDrive&) = delete;
  CdDrive& operator=(const CdDrive&) = delete;

  // A different drive stops the old one and forgets its disc.
  void setSource(const QString& source);
  const QString& source() const { return source_; }

  // Asks the drive how it is. False, with the reason ("no drive", "no
  // permission"), when it cannot be opened at all; an empty drive or an
  // open tray opens. A disc that may have changed since its table of
  // contents was read is read again, on the worker.
  bool open(QString* why);
  bool busy();

  State state();
  bool hasDisc() { return state() >= State::Stopped; }
  const disc::Toc& toc() const { return *toc_; }  // only while there is a disc
  // Changes when the disc does: a hash of its table of contents.
  QString identity() const;
  // The audio the drive can play: from the first audio track to the end of
  // the last one.
  int firstSector() const { return first_; }
  int endSector() const { return end_; }
  // The number of the track holding `sector`; sectors before the first
  // track count to it, sectors at or past the end to the last.
  int trackAt(int sector) const;
  const disc::Track* track(int number) const;
  int position();

  // Plays [from, to), clamped to the audio; to < 0 means the end of the disc.
  bool play(int from, int to, QString* why);
  void pause();
  void resume();
  void stop();
  void seek(int sector);  // and stays stopped there
  // False, with the reason, when the door did not move.
  bool openDoor(QString* why);
  bool closeDoor(QString* why);

  // Called often (every few hundred ms): the sound server's clock can stand
  // still for good after a pause or a seek on a busy machine, so a drive
  // that plays without moving for kStallMs starts its pipeline again where
  // it stood, up to kMaxRestarts times for one play.
  static constexpr int kStallMs = 3000;
  static constexpr int kMaxRestarts = 3;
  void watch();

 private:
  struct Outcome;
  void poll();  // the worker's results, then the pipeline's messages
  void apply(Outcome& o);
  void pollBus();
  void readFailed();
  void forget(State state);  // the disc, and whatever played it
  void dispose(GstElement* pipeline);
  void start(int from, int to);
  int streamPosition();  // the pipeline's position as a sector, or -1
  bool onWorker(bool (cdaudio::Drive::*move)(QString*), QString* why);

  DriveFactory factory_;
  std::shared_ptr<cdaudio::Drive> drive_;
  QString source_;
  QString libcdioName_;  // the source as GStreamer's CD source is to open it
  std::optional<disc::Toc> toc_;
  State state_ = State::NoDisc;
  int first_ = 0, end_ = 0;
  int stoppedAt_ = 0;  // where a stopped drive stands
  int playEnd_ = 0;    // where the current play ends
  int watchedAt_ = -1;
  int restarts_ = 0;
  QElapsedTimer standing_;  // since the position last moved while playing
  GstElement* pipeline_ = nullptr;
  int generation_ = 0;  // a request that outdates the jobs under way counts it up
  std::deque<std::shared_ptr<Outcome>> outcomes_;
  std::shared_future<void> gstReady_;
  cdaudio::Worker worker_;  // last: ended first, while the rest is still there
};
