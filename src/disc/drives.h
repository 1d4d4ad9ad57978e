// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "disc/drive_state.h"
#include "disc/image_probe.h"
#include "disc/iso_files.h"

// Drive letters as the player's windows speak of them, mapped onto this
// machine: "c" is the root folder "/", the further letters are the optical
// drives, then other removable media, each standing for the folder it is
// mounted on. MIROVA_DRIVES ("D=/path/vcd.cue,E=/media/rip") may give a
// letter to a disc image or a folder instead; such a letter stands for a
// disc. Letters are lower case here; callers may pass either case. Images
// are read through the probe given, as it found them (see ImageProbe);
// without one they count as drives without a disc.
class Drives {
 public:
  explicit Drives(ImageProbe* probe = nullptr) : probe_(probe) {}

  // The platform's drive type numbers.
  enum Type : int { NoRootDir = 1, Removable = 2, Fixed = 3, Remote = 4, CdRom = 5 };
  // Raised when a drive cannot be read (no disc, not mounted, an image
  // where a folder is needed, no such letter).
  static constexpr int kDeviceUnavailable = 68;
  static constexpr int kBadFileName = 52;  // not a drive path

  struct Drive {
    QChar letter;  // 'c', 'd', ...
    Type type = Fixed;
    QString folder;  // where its files are; empty while nothing readable is there
    QString source;  // device node or image file, for readers of raw sectors
    QString label;   // volume label, or empty
    // As the drive list shows it: "c: [/]", "d: [VCD_DISC]", "e:".
    QString text() const;
  };

  virtual ~Drives() = default;
  // Every drive, "c" first, the rest in letter order. Read afresh at each
  // call, so a disc mounted meanwhile shows up.
  virtual QList<Drive> list() = 0;

  // What the drive says of itself, at once, without reading its disc: an
  // optical drive's node is asked; an image or a folder counts as a drive
  // with a disc in it.
  virtual disc::DriveState state(const Drive& d);

  std::optional<Drive> find(QChar letter);
  // The drive's folder, readable now. Raises basic::Error
  // (kDeviceUnavailable) otherwise.
  QString folder(QChar letter);
  // The drive's type, NoRootDir for a letter that stands for nothing.
  int driveType(QChar letter);
  // The drive whose folder holds `path` (the deepest such folder), else 'c'.
  QChar driveOf(const QString& path);

  // Drive paths: a letter, a colon, then folder names and a file name
  // separated by backslashes ("E:\Mpegav\AVSEQ01.DAT"). Names match without
  // regard to case. An optical drive or disc image is read through its
  // ISO 9660 file system, from the device node even when the disc is
  // mounted (the kernel cannot read a Video CD's Form 2 sectors); a folder
  // letter through its folder. An image that cannot be read, or that the
  // probe refuses, is a drive without a disc.
  static bool isDrivePath(const QString& path);

  // What a drive path names on this machine: a file of a folder, or a file
  // on a disc, read from its sectors.
  struct Location {
    QString file;                               // the file, when it lies in a folder
    std::unique_ptr<disc::PayloadReader> disc;  // else its reader on the disc
    disc::FileEntry entry;                      // and the file there
    bool onDisc() const { return disc != nullptr; }
  };
  // Raises basic::Error: kDeviceUnavailable for a letter that stands for
  // nothing readable now (no such drive, no disc), kFileNotFound when there
  // is no such file, kBadFileName for a path without a drive letter.
  Location locate(const QString& drivePath);

  // The directory search: the names of the ordinary files that a pattern
  // with wildcards in its last part ("E:\Mpegav\*.dat") matches, in the
  // order the directory holds them (no sorting). Empty when nothing matches,
  // also when a folder of the path is missing or the disc holds no file
  // system (an audio CD). Raises like locate() for the drive itself.
  virtual QStringList findFiles(const QString& pattern);
  // The same one name at a time: the first match, then each next one, and
  // an empty name when there are no more.
  QString dirFirst(const QString& pattern);
  QString dirNext();

 private:
  ImageProbe* probe_;
  QStringList found_;
  qsizetype nextFound_ = 0;
};

// Drives read from the kernel's tables: /proc/mounts, /sys/block and
// /dev/disk/by-label. The paths are parameters so that tests can hand in
// tables of their own.
class LinuxDrives final : public Drives {
 public:
  struct Sources {
    QString mounts = QStringLiteral("/proc/mounts");
    QString sysBlock = QStringLiteral("/sys/block");
    QString byLabel = QStringLiteral("/dev/disk/by-label");
    QString mapping;  // the MIROVA_DRIVES text
  };
  // The machine's own tables and the environment's MIROVA_DRIVES.
  static Sources system();

  explicit LinuxDrives(Sources sources = system(), ImageProbe* probe = nullptr)
      : Drives(probe), s_(std::move(sources)) {}
  QList<Drive> list() override;

 private:
  Sources s_;
};
