// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

#include "disc/image_files.h"

typedef struct _CdIo CdIo_t;

// A compact disc read through libcdio, in a drive (/dev/sr0) or as an image
// (.cue with its .bin, cdrdao's .toc, .nrg). Shared by the CD drive service
// (the table of contents) and the Video CD reader (files and raw sectors).
// libcdio's own messages to stderr are silenced: a missing disc is an
// answer here, not a diagnostic.
namespace disc {

struct CdioCloser {
  void operator()(CdIo_t* cdio) const;
};
using Handle = std::unique_ptr<CdIo_t, CdioCloser>;

// A drive letter's source checked before libcdio sees it: a drive's device
// node, or an image whose description and data files are all regular files,
// so that no open can wait for a pipe's writer or a device.
struct Source {
  QString name;                          // what libcdio is handed
  ImageKind kind = ImageKind::NotImage;  // NotImage: a drive
  // An image's files with their sizes, times and inodes: an image changed
  // on disk is another image.
  QByteArray identity;
  // The first track of an image's last session, when it has more than one
  // (a CUE sheet's "REM SESSION" lines); 0 when it has one.
  int lastSessionTrack = 0;
};

// Null for anything else: no such file, a pipe, a folder, an image that
// names a missing file or a pipe (see ImageFiles). A cdrdao TOC is handed
// on as a copy in the private runtime folder whose data files are named
// absolutely, through links, so it reads alike from any current folder.
std::optional<Source> prepare(const QString& source);

// libcdio's reader of a prepared source; null when libcdio cannot read it.
// This runs libcdio's image parsers, which crash on some damaged images:
// images are opened only in the probe's children (see ImageProbe).
Handle open(const Source& source);

// The same for a drive's device node, and null for anything else.
Handle openDrive(const QString& node);

// Sectors are the disc's frames of 1/75 s (2352 bytes of audio each),
// counted as logical sector numbers: 0 is the start of the program area.
struct Track {
  int number = 0;  // as on the disc, from 1
  bool audio = false;
  int start = 0;    // first sector
  int sectors = 0;  // length
};

struct Toc {
  QList<Track> tracks;  // in disc order
  int leadout = 0;      // the sector after the last track
  int audioTracks() const;
};

// Null when the disc has no usable table of contents: no disc in the
// drive, a damaged image. A track whose entry makes no sense is left out,
// the others kept (copy-protected discs carry such entries). The audio
// track before a later session (an Enhanced CD's data) ends where its
// audio ends, kSessionGap sectors before that session's first track; a
// drive tells where its last session starts, an image's description which
// track begins it (`lastSessionTrack`).
std::optional<Toc> readToc(CdIo_t* cdio, int lastSessionTrack = 0);

// A session's lead-out, the next one's lead-in, and the pregap of its
// first track.
constexpr int kSessionGap = 6750 + 4500 + 150;

constexpr int kSectorsPerSecond = 75;
inline qint64 sectorsToMs(qint64 sectors) { return sectors * 1000 / kSectorsPerSecond; }

}  // namespace disc
