#include "disc/image_probe.h"

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <malloc.h>

#include <QFile>
#include <QProcess>

#include "disc/iso_files.h"

namespace {

// As far as a player looks into a disc: Video CD folders lie at the root.
constexpr int kMaxDepth = 3;
constexpr int kMaxFolders = 64;
constexpr int kMaxFiles = 32;
// A player starts a Video CD sequence after at most this many empty sectors.
constexpr int kStartSectors = 160;

// A file's start and end, as a player starts it and a demuxer looks for its length.
void readEnds(const disc::Source& source, const QStringList& path) {
  disc::Handle cdio = disc::open(source);
  const auto file = disc::findFile(cdio.get(), path);
  if (!file) return;
  disc::FileReader reader(std::move(cdio), *file);
  reader.read(0, qint64(kStartSectors) * disc::kForm2Bytes);
  reader.read(reader.size() - disc::kForm2Bytes, disc::kForm2Bytes);
}

// What the VCD button and the file device do: the table of contents, the
// folders, and each file's sectors.
void readAsVideoCd(const disc::Source& source) {
  const disc::Handle cdio = disc::open(source);
  if (!disc::readToc(cdio.get())) return;
  QList<QStringList> folders{{}};
  int files = 0;
  for (qsizetype i = 0; i < folders.size() && i < kMaxFolders; ++i) {
    const auto entries = disc::listFolder(cdio.get(), folders[i]);
    for (const disc::FileEntry& e : entries.value_or(QList<disc::FileEntry>())) {
      const QStringList path = folders[i] + QStringList{e.name};
      if (e.folder && path.size() <= kMaxDepth)
        folders << path;
      else if (!e.folder && files++ < kMaxFiles)
        readEnds(source, path);
    }
  }
}

// What GStreamer's CD source does when the service plays the disc: libcdio
// picks the driver itself, then the tracks, their CD-Text and sound.
void readAsAudioCd(const disc::Source& source) {
  const disc::Handle cdio(cdio_open(QFile::encodeName(source.name).constData(), DRIVER_UNKNOWN));
  if (!cdio) return;
  cdio_get_discmode(cdio.get());
  const track_t first = cdio_get_first_track_num(cdio.get());
  const track_t count = cdio_get_num_tracks(cdio.get());
  if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK) return;
  const cdtext_t* text = cdio_get_cdtext(cdio.get());
  for (int t = first; t < first + count && t <= CDIO_CD_MAX_TRACKS; ++t) {
    if (text) cdtext_get_const(text, CDTEXT_FIELD_TITLE, track_t(t));
    const lsn_t start = cdio_get_track_lsn(cdio.get(), track_t(t));
    cdio_get_track_sec_count(cdio.get(), track_t(t));
    char sector[CDIO_CD_FRAMESIZE_RAW];
    if (cdio_get_track_format(cdio.get(), track_t(t)) == TRACK_FORMAT_AUDIO && start != CDIO_INVALID_LSN)
      cdio_read_audio_sector(cdio.get(), sector, start);
  }
}

}  // namespace

disc::Handle ImageProbe::open(const QString& source, QString* libcdioName) {
  const auto s = disc::prepare(source);
  if (!s || (s->kind != disc::ImageKind::NotImage && !harmless(*s, source))) return nullptr;
  if (libcdioName) *libcdioName = s->name;
  return disc::open(*s);
}

bool ImageProbe::harmless(const disc::Source& s, const QString& source) {
  if (const auto known = verdicts_.constFind(s.identity); known != verdicts_.cend()) return *known;
  if (program_.isEmpty()) return false;
  QProcess child;
  child.setProgram(program_);
  child.setArguments({QStringLiteral("--probe"), source});
  child.setStandardInputFile(QProcess::nullDevice());
  child.setStandardOutputFile(QProcess::nullDevice());
  child.setStandardErrorFile(QProcess::nullDevice());
  child.start();
  if (!child.waitForFinished(kTimeoutMs)) {
    // Too slow, or not started: no verdict, it is asked again next time.
    child.kill();
    child.waitForFinished();
    return false;
  }
  const bool harmless = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
  verdicts_.insert(s.identity, harmless);
  return harmless;
}

int ImageProbe::runProbe(const QString& source) {
#ifdef __GLIBC__
  // Memory filled with a pattern when taken and when freed: a parser that
  // reads what it never wrote, or what it freed, stumbles here rather than
  // later in the player.
  mallopt(M_PERTURB, 0xa5);
#endif
  if (const auto s = disc::prepare(source)) {
    readAsVideoCd(*s);
    readAsAudioCd(*s);
  }
  return 0;
}
