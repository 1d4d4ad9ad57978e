// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>

#include "cdclient/cd_service_client.h"
#include "playback/media_device.h"

// The "cdaudio" device: the CD drive played by the drive service, as one
// more client of it, so it sees and moves the same drive as the command
// strings do. The file name is not used: the drive is the setup's source.
// open() raises basic::Error when there is no drive or no service, or when
// the drive may not be opened; a drive without a disc or with its tray open
// opens without tracks, so that its door can be worked. While the service
// reads the disc ("seeking") the open waits for it, up to kReadyMs, aside
// (base/aside.h): the window goes on painting. Positions are milliseconds
// from the start of the disc; the table of contents is read once, at open. Later failures (the
// service gone) raise nothing: the mode reads NotOpen, positions stand
// still, and errorOccurred() is emitted once.
class CdAudioDevice final : public MediaDevice {
  Q_OBJECT
 public:
  explicit CdAudioDevice(CdServiceSetup setup) : client_(std::move(setup), CdServiceClient::Start::OnOpen) {}
  ~CdAudioDevice() override;

  void open(const QString& fileName) override;
  void play() override;
  void pause() override;
  void stop() override;
  void seek(qint64 ms) override;
  // A spin-up and one SCSI timeout.
  static constexpr int kReadyMs = 30000;
  static constexpr int kPollMs = 100;

  // Opens a drive's door, or closes it when it is open; raises the
  // drive's reason when the door would not move.
  void eject() override;
  QString discIdentity() override { return identity_; }

  qint64 positionMs() override;
  qint64 lengthMs() override { return lengthMs_; }
  int mode() override;
  double framesPerSecond() override { return 75.0; }
  int tracks() override { return int(trackStartsMs_.size()); }
  int firstTrack() override { return first_; }
  int currentTrack() override;
  qint64 trackStartMs(int track) override;

 private:
  // The reply, or a null string after a failure.
  QString ask(const QString& what);
  void load();
  bool tell(const QString& command);
  void failed(const QString& why);

  CdServiceClient client_;
  int first_ = 1;
  QList<qint64> trackStartsMs_;  // of tracks first_, first_ + 1, ...
  qint64 lengthMs_ = 0;
  QString identity_;
  qint64 positionMs_ = 0;
  int mode_ = NotOpen;
  // Playing, Paused or Stopped: what the drive will be once a play start
  // ("seeking") is over, as last asked or seen.
  int settling_ = Stopped;
  bool reported_ = false;
};
