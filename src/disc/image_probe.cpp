// SPDX-License-Identifier: GPL-3.0-or-later
#include "disc/image_probe.h"

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <cstdio>

#include "disc/image_reader.h"

namespace disc {

FolderReader ImageIndex::reader() const {
  return [this](const QByteArray& exactPath) {
    const auto found = folders.constFind(exactPath);
    return found == folders.cend() ? std::nullopt : std::optional(*found);
  };
}

}  // namespace disc

namespace {

// The index as text, one line each: "toc LEADOUT" when there is a table of
// contents, then a track a line: "track NUMBER AUDIO START SECTORS";
// "folder PATH", then an entry a line: "NAME FOLDER LSN SECTORS SIZE
// FORM2"; "end" once all went well. Names and paths in hex.
QByteArray entryLine(const disc::FileEntry& e) {
  return e.name.toUtf8().toHex() + ' ' + QByteArray::number(int(e.folder)) + ' ' + QByteArray::number(e.lsn) + ' ' +
         QByteArray::number(e.sectors) + ' ' + QByteArray::number(e.size) + ' ' + QByteArray::number(int(e.form2)) +
         '\n';
}

std::optional<disc::ImageIndex> parseIndex(const QByteArray& text) {
  disc::ImageIndex index;
  QList<disc::FileEntry>* folder = nullptr;
  for (const QByteArray& line : text.split('\n')) {
    const QList<QByteArray> f = line.split(' ');
    if (line == "end") return index;
    if (f.size() == 2 && f[0] == "toc") {
      index.toc = disc::Toc{{}, f[1].toInt()};
    } else if (f.size() == 5 && f[0] == "track" && index.toc) {
      index.toc->tracks.append({f[1].toInt(), f[2] == "1", f[3].toInt(), f[4].toInt()});
    } else if (f.size() == 2 && f[0] == "folder") {
      folder = &index.folders[QByteArray::fromHex(f[1])];
    } else if (f.size() == 6 && folder) {
      disc::FileEntry e;
      e.name = QString::fromUtf8(QByteArray::fromHex(f[0]));
      e.folder = f[1] == "1";
      e.lsn = f[2].toInt();
      e.sectors = f[3].toLongLong();
      e.size = f[4].toLongLong();
      e.form2 = f[5] == "1";
      folder->append(e);
    } else {
      return std::nullopt;
    }
  }
  return std::nullopt;  // no end: the probe did not get there
}

// What the VCD button and the file device will look up: the table of
// contents and the folders, breadth first, as far as a player looks.
void writeIndex(const disc::Source& source) {
  const disc::Handle cdio = disc::open(source);
  const auto toc = disc::readToc(cdio.get(), source.lastSessionTrack);
  if (!toc) return;
  std::fputs(("toc " + QByteArray::number(toc->leadout) + '\n').constData(), stdout);
  for (const disc::Track& t : toc->tracks)
    std::fprintf(stdout, "track %d %d %d %d\n", t.number, int(t.audio), t.start, t.sectors);
  const disc::FolderReader iso = disc::isoFolders(cdio.get());
  QList<QByteArray> folders{"/"};
  for (qsizetype i = 0; i < folders.size() && i < disc::ImageIndex::kMaxFolders; ++i) {
    const auto entries = iso(folders[i]);
    if (!entries) continue;
    std::fputs(("folder " + folders[i].toHex() + '\n').constData(), stdout);
    const int depth = int(folders[i].count('/'));
    for (const disc::FileEntry& e : entries->mid(0, disc::ImageIndex::kMaxEntries)) {
      std::fputs(entryLine(e).constData(), stdout);
      if (e.folder && depth <= disc::ImageIndex::kMaxDepth) folders << folders[i] + e.name.toLatin1() + '/';
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

// The children's memory is bounded: a damaged NRG footer has libcdio ask for
// gigabytes and then walk them, which fails at once under a bound. Under
// AddressSanitizer, whose shadow memory the limit would refuse, its
// allocator refuses such blocks instead (see ImageProbe::index).
void limitMemory() {
#ifndef __SANITIZE_ADDRESS__
  const rlimit limit{256 << 20, 256 << 20};
  ::setrlimit(RLIMIT_DATA, &limit);
#endif
}

}  // namespace

std::shared_ptr<const disc::ImageIndex> ImageProbe::index(const QString& source) {
  const auto s = disc::prepare(source);
  if (!s || s->kind == disc::ImageKind::NotImage || program_.isEmpty()) return nullptr;
  if (const auto known = found_.constFind(s->identity); known != found_.cend()) return *known;
  QProcess child;
  child.setProgram(program_);
  child.setArguments({QStringLiteral("--probe"), source});
  child.setStandardInputFile(QProcess::nullDevice());
  child.setStandardErrorFile(QProcess::nullDevice());
#ifdef __SANITIZE_ADDRESS__
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("ASAN_OPTIONS"),
             env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":max_allocation_size_mb=256"));
  child.setProcessEnvironment(env);
#endif
  child.start();
  if (!child.waitForFinished(timeoutMs_)) {
    // Too slow, or not started: refused this time, asked again the next.
    child.kill();
    child.waitForFinished();
    return nullptr;
  }
  std::optional<disc::ImageIndex> index;
  if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
    index = parseIndex(child.readAllStandardOutput());
  const auto found = index ? std::make_shared<const disc::ImageIndex>(std::move(*index)) : nullptr;
  found_.insert(s->identity, found);
  return found;
}

std::optional<disc::Toc> ImageProbe::toc(const QString& source, QString* libcdioName) {
  const auto s = disc::prepare(source);
  if (!s) return std::nullopt;
  *libcdioName = s->name;
  if (s->kind == disc::ImageKind::NotImage) return disc::readToc(disc::open(*s).get());
  const auto found = index(source);
  return found ? found->toc : std::nullopt;
}

std::unique_ptr<disc::PayloadReader> ImageProbe::fileReader(const QString& source, const disc::FileEntry& file) {
  if (!index(source)) return nullptr;
  return disc::childFileReader(program_, source, file, timeoutMs_);
}

int ImageProbe::runProbe(const QString& source) {
  limitMemory();
#ifdef __GLIBC__
  // Memory filled with a pattern when taken and when freed: a parser that
  // reads what it never wrote, or what it freed, stumbles here.
  mallopt(M_PERTURB, 0xa5);
#endif
  if (const auto s = disc::prepare(source)) {
    writeIndex(*s);
    readAsAudioCd(*s);
  }
  std::fputs("end\n", stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int ImageProbe::runReader(const QStringList& args) {
  limitMemory();
  return disc::serveFile(args);
}
