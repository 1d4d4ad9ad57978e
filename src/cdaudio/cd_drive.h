// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QElapsedTimer>
#include <QString>
#include <future>
#include <optional>

#include "disc/disc.h"
#include "disc/image_probe.h"

typedef struct _GstElement GstElement;

// One CD drive or disc image and its one play head, played through
// GStreamer's audio CD source in continuous mode: it plays on across track
// boundaries to the end of the disc, as a drive does. Positions are sectors
// from the start of the disc (disc::Track::start). Single-threaded; the
// pipeline's messages are picked up whenever the state is asked for. An
// image's table of contents comes from its probe (ImageProbe).
class CdDrive {
 public:
  enum class State { NoDisc, DoorOpen, Stopped, Playing, Paused };

  // `probeProgram` probes images (see ImageProbe).
  explicit CdDrive(const QString& probeProgram);
  ~CdDrive();
  CdDrive(const CdDrive&) = delete;
  CdDrive& operator=(const CdDrive&) = delete;

  // A different drive stops the old one and forgets its disc.
  void setSource(const QString& source);
  const QString& source() const { return source_; }

  // Reads the table of contents again, unless the disc is playing or
  // paused. False, with the reason, when there is no disc with audio on it.
  bool load(QString* why);

  State state();
  bool hasDisc() { return state() >= State::Stopped; }
  const disc::Toc& toc() const { return *toc_; }  // only while there is a disc
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
  bool openDoor(QString* why);
  bool closeDoor(QString* why);

  // Called often (every few hundred ms): the sound server's clock can stand
  // still for good after a pause or a seek on a busy machine, so a drive
  // that plays without moving for kStallMs starts its pipeline again where
  // it stood.
  static constexpr int kStallMs = 3000;
  void watch();

 private:
  bool isImage() const;
  void pollBus();
  void teardown();
  int streamPosition();  // the pipeline's position as a sector, or -1
  bool seekStream(int from, int to);

  QString source_;
  QString libcdioName_;  // the source as GStreamer's CD source is to open it
  ImageProbe probe_;
  std::optional<disc::Toc> toc_;
  State state_ = State::NoDisc;
  int first_ = 0, end_ = 0;
  int stoppedAt_ = 0;  // where a stopped drive stands
  int playEnd_ = 0;    // where the current play ends
  int watchedAt_ = -1;
  QElapsedTimer standing_;  // since the position last moved while playing
  GstElement* pipeline_ = nullptr;
  std::shared_future<void> gstReady_;
};
