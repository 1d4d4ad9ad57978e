// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The files of a disc image that libcdio opens besides the image itself,
// read from the image's description (.cue, cdrdao's .toc) the way libcdio
// 2.1 reads it: lines cut at the same lengths, words split at the same
// characters. So every file libcdio may open is known here first, to be
// checked before libcdio blocks on it. Descriptions are untrusted bytes:
// only kMaxBytes of them are read and kMaxFiles names taken.
namespace disc {

enum class ImageKind { NotImage, Cue, Toc, Nrg };

// By the suffix, in any letter case.
ImageKind imageKind(const QString& path);

class ImageFiles {
 public:
  static constexpr qint64 kMaxBytes = 1 << 20;
  static constexpr int kMaxFiles = 256;

  // `image` is an absolute path (as bytes of the file system); `text` its
  // description, nothing for an NRG image. Null when the description is
  // longer than kMaxBytes or names more than kMaxFiles files, and for a CUE
  // sheet whose name does not end in "cue" or "CUE": libcdio reads the BIN
  // file it names after the sheet ("x.cue" -> "x.bin"), whatever the FILE
  // lines say, and has no name for the others.
  static std::optional<ImageFiles> read(const QByteArray& image, ImageKind kind, const QByteArray& text);

  // Each such file, absolute, in the order named; a name may repeat. A
  // TOC's relative names are taken from the TOC's own folder, where its
  // maker meant them.
  const QList<QByteArray>& files() const { return files_; }

  // A CUE sheet's first track after its last "REM SESSION n" with n > 1;
  // 0 for a single session.
  int lastSessionTrack() const { return lastSessionTrack_; }

  // The TOC again with its n-th data file named `names`[n]: libcdio takes a
  // TOC's names from the current folder, so it is handed a copy with
  // absolute ones. Names hold none of the characters that end a name or a
  // line there, nor "//". Null when a line would grow past libcdio's line
  // length (its tail would be read as a line of its own), and for other
  // kinds of image.
  std::optional<QByteArray> rewrittenToc(const QList<QByteArray>& names) const;

 private:
  struct Name {
    int line;  // in lines_
    int from;  // the name's bytes in the line
    int to;
  };
  ImageKind kind_ = ImageKind::NotImage;
  QList<QByteArray> files_;
  QList<QByteArray> lines_;  // a TOC's lines as libcdio sees them, without their ends
  QList<Name> names_;        // one per file of files_
  int lastSessionTrack_ = 0;
};

}  // namespace disc
