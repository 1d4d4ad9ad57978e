#pragma once
#include <QList>
#include <QString>
#include <memory>
#include <optional>

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

// Null when there is nothing to read at `source`: no such file or drive, an
// image whose description does not parse, a drive we may not open.
Handle open(const QString& source);

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
// drive, a damaged image.
std::optional<Toc> readToc(CdIo_t* cdio);

constexpr int kSectorsPerSecond = 75;
inline qint64 sectorsToMs(qint64 sectors) { return sectors * 1000 / kSectorsPerSecond; }

}  // namespace disc
