// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <memory>
#include <optional>

#include "disc/disc.h"
#include "disc/drive_state.h"

namespace cdaudio {

// What the service needs of a drive, apart from the sound itself (which
// GStreamer's CD source reads by the drive's name, see cd_source.h): a
// real drive's node, or a disc image. state() and changed() answer at once;
// toc(), eject() and close() wait for the drive.
class Drive {
 public:
  virtual ~Drive() = default;
  // Without reading the disc.
  virtual disc::DriveState state() = 0;
  // Whether the disc may have changed since the last call: a media-change
  // event of the drive, an image whose files changed.
  virtual bool changed() = 0;
  // Read on the worker. `libcdioName` gets the name the CD source opens.
  virtual std::optional<disc::Toc> toc(QString* libcdioName) = 0;
  // False with a short reason ("busy", "the drive did not open").
  virtual bool eject(QString* why) = 0;
  virtual bool close(QString* why) = 0;
};

// The drive or image `source` names; `probeProgram` probes images.
std::unique_ptr<Drive> makeDrive(const QString& source, const QString& probeProgram);

// Unmounts what is mounted from `node` and ejects it through UDisks2 on the
// system bus. Null when UDisks2 does not run there or does not know the
// node; else whether it ejected, with the reason when not.
std::optional<bool> ejectThroughUdisks(const QString& node, QString* why);

}  // namespace cdaudio
