// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "disc/disc.h"
#include "disc/iso_files.h"

namespace disc {

// What a probe read of an image: whether it has a table of contents, and
// the folders of its ISO 9660 file system as far as a player looks.
struct ImageIndex {
  static constexpr int kMaxDepth = 3;  // Video CD folders lie at the root
  static constexpr int kMaxFolders = 64;
  static constexpr int kMaxEntries = 4096;  // a folder's, the rest passed over

  std::optional<Toc> toc;                       // none: no disc to read
  QHash<QByteArray, QList<FileEntry>> folders;  // by exact path: "/", "/MPEGAV/"
  // The folders as a disc's; the index must outlive the reader.
  FolderReader reader() const;
};

}  // namespace disc

// The gate between untrusted disc images and the processes that read them.
// libcdio's image readers crash on some damaged images (its NRG reader on
// many) and write out of bounds on others, which may bring a process down
// much later. So neither the player nor the CD drive service runs them on
// an image: a short-lived child, the service's program run as
// "mirova-cdaudio --probe IMAGE", reads the table of contents and the
// folders and hands them over as text (index()), and while a file plays
// another child reads its sectors (fileReader()). Only GStreamer's CD
// source, when the service plays an audio disc, opens the image itself,
// once its probe went through (the probe asks libcdio what it asks); a
// service that an image brings down all the same is replaced by the next
// open (CdServiceClient). A probe that does not end within kTimeoutMs is
// ended, and the image refused. What a probe found is kept by the image's
// identity (disc::Source): an image is probed once while its files stay as
// they are.
//
// Not thread-safe: one probe per thread that opens discs.
class ImageProbe {
 public:
  // Long enough for a drive-slow image's spin-up (the player waits for it
  // aside, the window painting); a damaged image that hangs its child is
  // ended by it. Those that ask for gigabytes fail at once on the
  // children's memory bound instead.
  static constexpr int kTimeoutMs = 10000;

  // `program` is mirova-cdaudio; without one no image is read. A probe on
  // a worker thread may be given longer than kTimeoutMs.
  explicit ImageProbe(QString program, int timeoutMs = kTimeoutMs)
      : program_(std::move(program)), timeoutMs_(timeoutMs) {}

  // What the probe found in the image at `source`; null when it is no image
  // or is refused: an image that names a missing file or a pipe (see
  // disc::prepare), or whose probe crashed or did not end in time.
  std::shared_ptr<const disc::ImageIndex> index(const QString& source);

  // The table of contents of the disc at `source`: a drive's, read here,
  // or an image's, from its index. `libcdioName` gets the name GStreamer's
  // CD source is to open it by. Null when there is no disc to read.
  std::optional<disc::Toc> toc(const QString& source, QString* libcdioName);

  // A file of the image at `source` (from its index), read by a child; null
  // when the image is refused or the child cannot be started.
  std::unique_ptr<disc::PayloadReader> fileReader(const QString& source, const disc::FileEntry& file);

  // The children's sides, in mirova-cdaudio; each returns the exit status.
  static int runProbe(const QString& source);     // the index, on stdout
  static int runReader(const QStringList& args);  // see image_reader.cpp

 private:
  QString program_;
  int timeoutMs_;
  QHash<QByteArray, std::shared_ptr<const disc::ImageIndex>> found_;  // null: refused
};
