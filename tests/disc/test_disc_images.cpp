// SPDX-License-Identifier: GPL-3.0-or-later
// Disc images as untrusted input, through both paths that read them: the
// VCD button's (the drive search, locating a file and opening its sectors,
// as the player does) and the CD drive service's ("@drive" and "open"). Every
// case runs while the current folder is elsewhere. No image may crash or
// hang either path: kept inputs that once did, and a fixed seed of damaged
// images, random or mutated from valid ones (MIROVA_FUZZ_IMAGES and
// MIROVA_FUZZ_SEED ask for another run).
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QtTest>
#include <cstring>

#include "cdclient/cd_service_client.h"
#include "disc/drives.h"
#include "gst/sector_source.h"
#include "playback/media_fixtures.h"
#include "playback/real_media.h"

namespace {
constexpr int kSector = 2352;
constexpr int kHangMs = 2000;

// Lines a damaged description may take up, '|' between them: the pipe
// named every way libcdio reads a name, folders, missing files, numbers out
// of range.
const QList<QByteArray> kLines =
    QByteArray(
        "FILE \"fifo\" BINARY|FILE  \"fifo\" 0|FILE \"fifo\" 0 00:01:00|AUDIOFILE \"fifo\" 0|DATAFILE \"fifo\"|"
        "CDTEXTFILE \"fifo\"|FILE \"..\" BINARY|FILE \"/\" 0|FILE \"gone\" BINARY|FILE fifo|"
        "DATAFILE fifo #12 00:00:01|TRACK 99 AUDIO|TRACK 00 MODE2/2352|TRACK AUDIO|TRACK MODE2_RAW|"
        "INDEX 01 99:99:99|INDEX 00 00:00:00|INDEX 01 00:00:-1|PREGAP 00:02:00|START 00:02:00|CD_TEXT {|"
        "TITLE \"x\"|}|SILENCE 10:00:00|REM // FILE \"fifo\"|FLAGS DCP PRE|FIFO \"fifo\"|CATALOG 0000000000000")
        .split('|');

// The valid images damaged here: a description and its data, or an NRG.
struct Seed {
  const char* image;
  const char* data;
};
const Seed kSeeds[] = {{"vcd.cue", "vcd.bin"},     {"vcd.toc", "vcd.bin"},     {"vcd.nrg", nullptr},
                       {"audio.cue", "audio.bin"}, {"audio.toc", "audio.bin"}, {"audio.nrg", nullptr}};

// A case that takes this long has hung: it is named and the run ends.
constexpr unsigned kHungS = 10 * kHangMs / 1000;
char hungImage[4096];
void hung(int) {
  static const char what[] = "hung on ";
  if (::write(2, what, sizeof what - 1) < 0 || ::write(2, hungImage, std::strlen(hungImage)) < 0) {
  }
  std::abort();
}

LinuxDrives::Sources mapping(const QString& image) {
  return {"/nonexistent/mounts", "/nonexistent/sys", "/nonexistent/by-label", "D=" + image};
}

}  // namespace

class TestDiscImages : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  QString program_ = QCoreApplication::applicationDirPath() + "/mirova-cdaudio";
  ImageProbe probe_{program_};
  QString source_;
  std::unique_ptr<CdServiceClient> cd_;
  QHash<QString, QByteArray> seeds_;

  QString path(const QString& name) const { return dir_.filePath(name); }
  void write(const QString& file, const QByteArray& bytes) { QVERIFY(realmedia::write(file, bytes)); }

  struct Outcome {
    QString vcd;      // the .dat files found, or "error"
    int tracks = -1;  // -1: not ready
    qint64 vcdMs = 0, cdMs = 0;
  };

  // The image as drive D through both paths.
  Outcome feed(const QString& image) {
    Outcome o;
    qstrncpy(hungImage, QFile::encodeName(image + '\n').constData(), sizeof hungImage);
    ::alarm(kHungS);
    QElapsedTimer t;
    t.start();
    try {
      LinuxDrives drives(mapping(image), &probe_);
      const QStringList names = drives.findFiles("D:\\Mpegav\\*.dat");
      if (!names.isEmpty()) {  // the button plays the first
        Drives::Location where = drives.locate("D:\\Mpegav\\" + names.first());
        const SectorSource sectors(std::move(where.disc), where.entry);
      }
      o.vcd = names.join(' ');
    } catch (const basic::Error&) {
      o.vcd = "error";
    }
    o.vcdMs = t.restart();
    source_ = image;
    if (cd_->send("open cdaudio alias f wait").error == 0) {
      // The service reads the disc after it has answered the open.
      const QDeadlineTimer settled(5 * kHangMs);
      while (cd_->send("status f mode").text == "seeking" && !settled.hasExpired()) QThread::msleep(10);
      const CdServiceClient::Reply n = cd_->send("status f number of tracks");
      if (n.error == 0) o.tracks = n.text.toInt();
    }
    cd_->send("close all");
    o.cdMs = t.elapsed();
    ::alarm(0);
    return o;
  }

  // A damaged image in `folder`, made from `rng`: random bytes, or a seed
  // with its description or data changed in a few places. The image's path.
  QString damage(QRandomGenerator& rng, const QString& folder) {
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    ::mkfifo(QFile::encodeName(folder + "/fifo").constData(), 0600);
    const auto pick = [&rng](qsizetype n) { return qsizetype(rng.bounded(quint32(std::max<qsizetype>(n, 1)))); };
    if (rng.bounded(6) == 0) {  // an NRG's footer made up: chunks libcdio knows, lengths that may lie
      QByteArray nrg(pick(3) * kSector, 'x');
      const qsizetype footer = nrg.size();
      for (int n = int(pick(6)); n >= 0; --n) {
        QByteArray body(pick(160), '\0');
        for (char& c : body) c = rng.bounded(3) ? char(rng.bounded(4)) : char(rng.generate());
        nrg += QByteArray("CUEXCUESDAOXDAOIETNFETN2SINFMTYPCDTXEND!").mid(4 * pick(10), 4) +
               fixtures::be(rng.bounded(4) ? quint32(body.size()) : rng.generate(), 4) + body;
      }
      nrg += rng.bounded(2) ? "NER5" + fixtures::be(footer, 8) : fixtures::be(0, 4) + "NERO" + fixtures::be(footer, 4);
      write(folder + "/x.nrg", nrg);
      return folder + "/x.nrg";
    }
    if (rng.bounded(16) == 0) {  // noise under a description's name
      QByteArray noise(pick(4096), '\0');
      for (char& c : noise) c = char(rng.bounded(4) ? rng.bounded(32, 127) : rng.bounded(256));
      write(folder + "/x.cue", noise);
      return folder + "/x.cue";
    }
    const Seed& seed = kSeeds[pick(std::size(kSeeds))];
    const QString image = folder + '/' + seed.image;
    QByteArray description = seeds_.value(seed.image), data = seeds_.value(seed.data);
    if (seed.data && rng.bounded(2)) {  // the description's lines
      QList<QByteArray> lines = description.split('\n');
      for (int n = 1 + int(rng.bounded(4)); n > 0; --n) {
        const qsizetype at = pick(lines.size());
        const QByteArray line = kLines[pick(kLines.size())];
        switch (rng.bounded(5)) {
          case 0:
            lines[at] = line;
            break;
          case 1:
            lines.insert(at, line);
            break;
          case 2:
            lines.removeAt(at);
            break;
          case 3:  // past libcdio's TOC line
            lines[at] = QByteArray(500 + pick(100), 'A') + line;
            break;
          default:
            lines[at].insert(pick(lines[at].size()), QByteArray(1, "\"\0\r\t/ "[pick(6)]));
        }
        if (lines.isEmpty()) lines << QByteArray();
      }
      description = lines.join('\n');
      QFile::link(path(seed.data), folder + '/' + seed.data);
    } else {  // bytes where the parsers look: an NRG's table, a Video CD's ISO 9660 sectors, a BIN's length
      QByteArray& bytes = seed.data ? data : description;
      const auto place = [&] {
        return !seed.data ? std::max<qsizetype>(0, bytes.size() - 4 - pick(128))
                          : std::min<qsizetype>(16 * kSector + pick(24 * kSector), bytes.size() - 4);
      };
      for (int n = 1 + int(rng.bounded(6)); n > 0 && bytes.size() >= 4; --n) {
        switch (rng.bounded(4)) {
          case 0:
            bytes[place()] = char(rng.generate());
            break;
          case 1:
            bytes.replace(place(), 4,
                          fixtures::be(QList<quint32>{0, 1, 0x7fffffff, 0xffffffff, rng.generate()}[pick(5)], 4));
            break;
          case 2:
            bytes.truncate(bytes.size() - pick(seed.data ? bytes.size() : 300));
            break;
          default:
            bytes += QByteArray(pick(40), char(rng.generate()));
        }
      }
      if (seed.data) write(folder + '/' + seed.data, data);
    }
    write(image, description);
    // Now and then the BIN beside a CUE sheet is the pipe.
    if (QString(seed.image).endsWith(".cue") && rng.bounded(20) == 0) {
      QFile::remove(folder + '/' + seed.data);
      QFile::rename(folder + "/fifo", folder + '/' + seed.data);
    }
    return image;
  }

 private Q_SLOTS:
  void initTestCase() {
    // A runtime folder, and so a service, of its own.
    QVERIFY(QDir().mkpath(path("run")) && ::chmod(QFile::encodeName(path("run")).constData(), 0700) == 0);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path("run")));
    QVERIFY(QDir().mkpath(path("elsewhere")) && QDir::setCurrent(path("elsewhere")));
    QVERIFY(realmedia::ffmpeg({"color=c=red:size=352x288:rate=25:duration=1", "sine=frequency=440:duration=1"},
                              {"-target", "pal-vcd"}, path("seq.mpg")));
    QCOMPARE(QProcess::execute("vcdimager",
                               {"-q", "-t", "vcd2", "-c", path("vcd.cue"), "-b", path("vcd.bin"), path("seq.mpg")}),
             0);
    const QByteArray vcd = realmedia::read(path("vcd.bin"));
    write(path("vcd.toc"), "CD_ROM_XA\nTRACK MODE2_RAW\nFILE \"vcd.bin\" 0\n");
    write(path("vcd.nrg"), fixtures::nrg({{3, 2336, fixtures::mode2Payloads(vcd)}}));
    // An audio CD of three tracks, 2, 1 and 1 seconds.
    write(path("audio.cue"),
          "FILE \"audio.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
          "    INDEX 01 00:02:00\n  TRACK 03 AUDIO\n    INDEX 01 00:03:00\n");
    write(path("audio.toc"),
          "CD_DA\nTRACK AUDIO\nFILE \"audio.bin\" 00:00:00 00:02:00\nTRACK AUDIO\nFILE \"audio.bin\" "
          "00:02:00 00:01:00\nTRACK AUDIO\nFILE \"audio.bin\" 00:03:00 00:01:00\n");
    QByteArray audio;
    QList<fixtures::NrgTrack> tracks;
    for (const int seconds : {2, 1, 1}) {
      tracks.append({7, kSector, QByteArray(seconds * 75 * kSector, char('a' + tracks.size()))});
      audio += tracks.last().sectors;
    }
    write(path("audio.bin"), audio);
    write(path("audio.nrg"), fixtures::nrg(tracks));
    for (const Seed& s : kSeeds)
      for (const char* name : {s.image, s.data})
        if (name) seeds_[name] = realmedia::read(path(name));
    QVERIFY(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600) == 0);
    cd_ = std::make_unique<CdServiceClient>(CdServiceSetup{program_, [this] { return source_; }},
                                            CdServiceClient::Start::OnOpen);
    ::signal(SIGALRM, hung);
  }

  void cleanupTestCase() {
    cd_.reset();
    if (const pid_t pid = fixtures::servicePid()) ::kill(pid, SIGKILL);
  }

  // Valid images read alike from any current folder; an image is refused when
  // it or a file it names is not a regular file, or when it crashed libcdio.
  void images_data() {
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("vcd");  // the .dat files found, or "error"; "*": any outcome
    QTest::addColumn<int>("tracks");   // -1: not ready
    const auto file = [this](const QString& name, const QByteArray& text) {
      write(path(name), text);
      return path(name);
    };
    const QByteArray track = "\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    for (const Seed& s : kSeeds) {  // the TOCs name their BIN relative to themselves
      const bool vcd = QByteArray(s.image).startsWith("vcd");
      QTest::newRow(s.image) << path(s.image) << (vcd ? "AVSEQ01.DAT" : "") << (vcd ? -1 : 3);
    }
    QTest::newRow("BIN beside the CUE sheet is a pipe")
        << file("pipebin.CUE", "FILE \"audio.bin\" BINARY" + track) << "error" << -1;
    QTest::newRow("CUE names a pipe") << file("named.cue", "FILE \"fifo\" BINARY" + track) << "error" << -1;
    QTest::newRow("CUE's CD-Text file is a pipe")
        << file("cdtext.cue", "CDTEXTFILE \"fifo\"\nFILE \"cdtext.bin\" BINARY" + track) << "error" << -1;
    QTest::newRow("TOC names a pipe") << file("pipe.toc", "CD_DA\nTRACK AUDIO\nAUDIOFILE \"fifo\" 0\n") << "error"
                                      << -1;
    QTest::newRow("TOC names a folder") << file("folder.toc", "CD_ROM\nTRACK MODE1\nDATAFILE \"..\"\n") << "error"
                                        << -1;
    for (const char* name : {"fifo.cue", "fifo.toc", "fifo.nrg"}) QTest::newRow(name) << path(name) << "error" << -1;
    write(path("cdtext.bin"), seeds_.value("audio.bin"));
    for (const char* name : {"fifo.cue", "pipebin.BIN", "fifo.toc", "fifo.nrg"})
      ::mkfifo(QFile::encodeName(path(name)).constData(), 0600);
    // Inputs that broke libcdio, read in a probe's child now. It crashed on
    // the first ones, at once; the last made it write before its table of
    // tracks, and the player crashed thousands of images later (what libcdio
    // then reads differs from one build to the other).
    const auto kept = [](const char* name) { return QFINDTESTDATA(QStringLiteral("corpus/") + name); };
    QTest::newRow("NRG, CD-Text of a length libcdio frees twice")
        << kept("nrg-cd-text-double-free.nrg") << "error" << -1;
    QTest::newRow("NRG, a chunk longer than the file") << kept("nrg-chunk-length.nrg") << "error" << -1;
    QTest::newRow("NRG, old table of tracks") << kept("nrg-cues-table.nrg") << "error" << -1;
    QTest::newRow("NRG, footer 2^64 - 4 GB away") << kept("nrg-footer-offset-huge.nrg") << "error" << -1;
    QTest::newRow("TOC, SILENCE before any TRACK") << kept("toc-silence-before-any-track.toc") << "error" << -1;
    QTest::newRow("CUE, first TRACK 99") << kept("cue-first-track-99.cue") << "*" << 0;
  }

  void images() {
    QFETCH(QString, image);
    QFETCH(QString, vcd);
    QFETCH(int, tracks);
    const pid_t service = fixtures::servicePid();
    const Outcome o = feed(image);
    if (vcd != "*") {
      QCOMPARE(o.vcd, vcd);
      QCOMPARE(o.tracks, tracks);
    }
    // Refused long before a probe could time out on them, nor ever went the service down.
    QVERIFY2(o.vcdMs < kHangMs && o.cdMs < kHangMs,
             qPrintable(QStringLiteral("%1 ms, %2 ms").arg(o.vcdMs).arg(o.cdMs)));
    QVERIFY(!service || fixtures::servicePid() == service);
  }

  // A scratch: each unreadable sector of a file reads as zeros, up to the
  // cap; past it the file cannot be read, as a disc taken out.
  void scratches_data() {
    QTest::addColumn<QList<int>>("bad");  // unreadable sectors of a 10-sector file
    QTest::addColumn<bool>("readable");   // with a cap of 2
    QTest::newRow("first and last") << QList<int>{0, 9} << true;
    QTest::newRow("past the cap") << QList<int>{3, 4, 5} << false;
  }
  void scratches() {
    QFETCH(QList<int>, bad);
    QFETCH(bool, readable);
    constexpr int kBytes = 100;
    // Sector k holds bytes k + 1; a read that touches a bad sector fails whole.
    struct Scratched final : disc::PayloadReader {
      QList<int> bad;
      qint64 size() const override { return 10 * kBytes; }
      std::optional<QByteArray> read(qint64 offset, qint64 length) override {
        QByteArray out;
        for (qint64 at = offset; at < std::min(offset + length, size()); ++at) {
          if (bad.contains(int(at / kBytes))) return std::nullopt;
          out += char(at / kBytes + 1);
        }
        return out;
      }
    };
    auto scratched = std::make_unique<Scratched>();
    scratched->bad = bad;
    disc::FillingReader reader(std::move(scratched), kBytes, 2);
    const auto bytes = reader.read(50, 1000);  // from the middle of a sector to the end
    QCOMPARE(bytes.has_value(), readable);
    if (!readable) return;
    QCOMPARE(bytes->size(), 950);
    for (qint64 at = 50; at < 1000; ++at)
      QCOMPARE(int(bytes->at(at - 50)), bad.contains(int(at / kBytes)) ? 0 : int(at / kBytes + 1));
  }

  void fuzz() {
    const int count =
        qEnvironmentVariableIsSet("MIROVA_FUZZ_IMAGES") ? qEnvironmentVariableIntValue("MIROVA_FUZZ_IMAGES") : 300;
    const quint32 seed =
        qEnvironmentVariableIsSet("MIROVA_FUZZ_SEED") ? quint32(qEnvironmentVariableIntValue("MIROVA_FUZZ_SEED")) : 19;
    QRandomGenerator rng(seed);
    qint64 slowest[2] = {0, 0};
    int restarts = 0;
    for (int i = 0; i < count; ++i) {
      const QString image = damage(rng, path("case"));
      const Outcome o = feed(image);
      const QString what =
          QStringLiteral("seed %1, image %2 (%3): %4 ms, %5 ms").arg(seed).arg(i).arg(image).arg(o.vcdMs).arg(o.cdMs);
      QVERIFY2(o.vcdMs < kHangMs && o.cdMs < kHangMs, qPrintable(what));
      // The service reads images itself: one that brought it down all the same is replaced by the next open.
      if (!fixtures::servicePid()) {
        ++restarts;
        QVERIFY2(feed(path("audio.cue")).tracks == 3, qPrintable(what));
      }
      slowest[0] = std::max(slowest[0], o.vcdMs);
      slowest[1] = std::max(slowest[1], o.cdMs);
    }
    qInfo("%d images of seed %u: slowest %lld ms on the VCD path, %lld ms on the CD path; %d new services", count, seed,
          slowest[0], slowest[1], restarts);
  }
};

QTEST_MAIN(TestDiscImages)
#include "test_disc_images.moc"
