#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>

#include "disc/disc.h"

// The gate between untrusted disc images and libcdio. libcdio's image
// parsers crash on some damaged images (its NRG reader on many), and a
// crash in the player or the CD drive service takes the user's window or
// music with it. So an image is first opened by a short-lived child, the
// service's program run as "mirova-cdaudio --probe IMAGE" (runProbe()),
// which does with it all that the player and the service will: the table of
// contents, the ISO 9660 folders, the first and last sectors of their
// files, and what GStreamer's CD source asks of libcdio. Only an image the
// child went through, within kTimeoutMs, is opened in the asking process.
// Verdicts are kept by the image's identity (disc::Source): each image is
// probed once while its files stay as they are. A drive's node is opened
// at once: its disc is read by the kernel, not parsed from a file.
//
// Not thread-safe: one probe per thread that opens discs.
class ImageProbe {
 public:
  static constexpr int kTimeoutMs = 1500;

  // `program` is mirova-cdaudio; without one no image is opened.
  explicit ImageProbe(QString program) : program_(std::move(program)) {}

  // libcdio's reader of `source` (see disc::prepare), or null: nothing
  // readable there, an image that names a missing file or a pipe, an image
  // whose probe crashed or did not end in time. `libcdioName`, when given,
  // gets the name libcdio was handed, for GStreamer's CD source.
  disc::Handle open(const QString& source, QString* libcdioName = nullptr);

  // The child's side: exit status 0 once everything has been read.
  static int runProbe(const QString& source);

 private:
  bool harmless(const disc::Source& s, const QString& source);

  QString program_;
  QHash<QByteArray, bool> verdicts_;
};
