// SPDX-License-Identifier: GPL-3.0-or-later
#include "disc/disc.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <mutex>

#include "base/runtime_dir.h"

namespace disc {

namespace {
void quietLog(cdio_log_level_t, const char*) {}

void silenceLibcdio() {
  static std::once_flag once;
  std::call_once(once, [] { cdio_log_set_handler(&quietLog); });
}

// A regular file's line of an image's identity; null for anything else.
std::optional<QByteArray> stamp(const QByteArray& path) {
  struct stat st {};
  if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  QByteArray line = path + '\0';
  for (const qint64 n : {qint64(st.st_dev), qint64(st.st_ino), qint64(st.st_size), qint64(st.st_mtim.tv_sec),
                         qint64(st.st_mtim.tv_nsec)})
    line += QByteArray::number(n) + ' ';
  return line + '\n';
}

// The description, read without waiting: whatever sits at the path now must
// be a regular file.
std::optional<QByteArray> readDescription(const QByteArray& path) {
  const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  QFile file;
  struct stat st {};
  std::optional<QByteArray> text;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && file.open(fd, QIODevice::ReadOnly))
    text = file.read(ImageFiles::kMaxBytes + 1);
  ::close(fd);
  return text;
}

// A name libcdio's TOC reader takes whole, as the name of a data file.
bool plainName(const QByteArray& name) {
  return !name.contains("//") && !name.contains('"') && !name.contains('\t') && !name.contains('\n') &&
         !name.contains('\r');
}

// The TOC again in the private runtime folder, its data files named by
// links there: short absolute names, so that lines stay within libcdio's
// length. Made aside and renamed into place whole, as the player and the
// service may prepare the same image at once; kept for the next time.
std::optional<QString> tocCopy(const ImageFiles& files, const QByteArray& identity) {
  const QString runtime = runtime::privateFolder(QStringLiteral("mirova"));
  const QString images = runtime + QStringLiteral("/images");
  if (runtime.isEmpty() || !runtime::ensurePrivate(images)) return std::nullopt;
  const QString folder = images + QLatin1Char('/') +
                         QString::fromLatin1(QCryptographicHash::hash(identity, QCryptographicHash::Sha1).toHex());
  const QString toc = folder + QStringLiteral("/image.toc");
  if (QFileInfo(toc).isFile()) return toc;
  QList<QByteArray> names;
  for (qsizetype i = 0; i < files.files().size(); ++i) names << QFile::encodeName(folder) + '/' + QByteArray::number(i);
  const auto text = files.rewrittenToc(names);
  if (!text || !std::all_of(names.cbegin(), names.cend(), plainName)) return std::nullopt;
  QTemporaryDir aside(images + QStringLiteral("/new-XXXXXX"));
  if (!aside.isValid()) return std::nullopt;
  const QByteArray at = QFile::encodeName(aside.path()) + '/';
  for (qsizetype i = 0; i < files.files().size(); ++i)
    if (::symlink(files.files()[i].constData(), (at + QByteArray::number(i)).constData()) != 0) return std::nullopt;
  QFile out(aside.filePath(QStringLiteral("image.toc")));
  if (!out.open(QIODevice::WriteOnly) || out.write(*text) != text->size() || !out.flush()) return std::nullopt;
  out.close();
  if (::rename(at.constData(), QFile::encodeName(folder).constData()) != 0 && !QFileInfo(toc).isFile())
    return std::nullopt;
  return toc;
}

}  // namespace

void CdioCloser::operator()(CdIo_t* cdio) const {
  if (cdio) cdio_destroy(cdio);
}

std::optional<Source> prepare(const QString& source) {
  if (source.isEmpty()) return std::nullopt;
  const QString absolute = QFileInfo(source).absoluteFilePath();
  const QByteArray path = QFile::encodeName(absolute);
  Source s{absolute, imageKind(absolute), {}};
  if (s.kind == ImageKind::NotImage) {
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISBLK(st.st_mode)) return std::nullopt;
    return s;
  }
  const auto text = s.kind == ImageKind::Nrg ? std::optional<QByteArray>(QByteArray()) : readDescription(path);
  const auto files = text ? ImageFiles::read(path, s.kind, *text) : std::nullopt;
  const auto own = stamp(path);
  if (!files || !own) return std::nullopt;
  s.identity = *own;
  s.lastSessionTrack = files->lastSessionTrack();
  for (const QByteArray& file : files->files()) {
    const auto line = stamp(file);
    if (!line) return std::nullopt;
    s.identity += *line;
  }
  if (s.kind == ImageKind::Toc) {
    const auto copy = tocCopy(*files, s.identity);
    if (!copy) return std::nullopt;
    s.name = *copy;
  }
  return s;
}

Handle open(const Source& source) {
  silenceLibcdio();
  const QByteArray name = QFile::encodeName(source.name);
  switch (source.kind) {
    case ImageKind::Cue:
      return Handle(cdio_open_cue(name.constData()));
    case ImageKind::Toc:
      return Handle(cdio_open_cdrdao(name.constData()));
    case ImageKind::Nrg:
      return Handle(cdio_open(name.constData(), DRIVER_NRG));
    case ImageKind::NotImage:
      break;
  }
  return Handle(cdio_open(name.constData(), DRIVER_DEVICE));
}

Handle openDrive(const QString& node) {
  const auto s = prepare(node);
  return s && s->kind == ImageKind::NotImage ? open(*s) : nullptr;
}

int Toc::audioTracks() const {
  int n = 0;
  for (const Track& t : tracks) n += t.audio ? 1 : 0;
  return n;
}

std::optional<Toc> readToc(CdIo_t* cdio, int lastSessionTrack) {
  if (!cdio) return std::nullopt;
  const track_t first = cdio_get_first_track_num(cdio);
  const track_t count = cdio_get_num_tracks(cdio);
  if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) return std::nullopt;
  Toc toc;
  toc.leadout = cdio_get_disc_last_lsn(cdio);
  if (toc.leadout == CDIO_INVALID_LSN) return std::nullopt;
  lsn_t session = CDIO_INVALID_LSN;
  if (lastSessionTrack > 0)
    session = cdio_get_track_lsn(cdio, track_t(lastSessionTrack));
  else if (cdio_get_last_session(cdio, &session) != DRIVER_OP_SUCCESS)
    session = CDIO_INVALID_LSN;
  for (int i = first; i < first + count && i <= CDIO_CD_MAX_TRACKS; ++i) {
    Track t;
    t.number = i;
    t.audio = cdio_get_track_format(cdio, track_t(i)) == TRACK_FORMAT_AUDIO;
    t.start = cdio_get_track_lsn(cdio, track_t(i));
    lsn_t last = cdio_get_track_last_lsn(cdio, track_t(i));
    if (t.start == CDIO_INVALID_LSN || last == CDIO_INVALID_LSN || last < t.start || t.start > toc.leadout) continue;
    const lsn_t next = i + 1 < first + count ? cdio_get_track_lsn(cdio, track_t(i + 1)) : CDIO_INVALID_LSN;
    if (t.audio && session > 0 && next == session && next - kSessionGap > t.start)
      last = std::min(last, lsn_t(next - kSessionGap - 1));
    t.sectors = last - t.start + 1;
    toc.tracks.append(t);
  }
  if (toc.tracks.isEmpty()) return std::nullopt;
  return toc;
}

}  // namespace disc
