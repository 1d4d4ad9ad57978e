// SPDX-License-Identifier: GPL-3.0-or-later
// Disc images as untrusted input, through both paths that read them: the
// VCD button's (the drive search, locating a file and opening its sectors,
// as the player does) and the CD drive service's ("@drive" and "open"). Every
// case runs while the current folder is elsewhere. No image may crash or
// hang either path, nor bring the service down: kept inputs that once did,
// and a fixed seed of images damaged from valid ones (MIROVA_FUZZ_IMAGES and
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

// The valid images: a description and its data (the fuzz damages these four), or an NRG.
struct Seed {
  const char* image;
  const char* data;
};
const Seed kSeeds[] = {{"vcd.cue", "vcd.bin"},     {"vcd.toc", "vcd.bin"}, {"audio.cue", "audio.bin"},
                       {"audio.toc", "audio.bin"}, {"vcd.nrg", nullptr},   {"audio.nrg", nullptr}};

// A case that takes this long has hung: it is named and the run ends.
constexpr unsigned kHungS = 10 * kHangMs / 1000;
char hungOn[4096];  // "hung on IMAGE\n"
void hung(int) {
  [[maybe_unused]] const ssize_t written = ::write(2, hungOn, std::strlen(hungOn));
  std::abort();
}

}  // namespace

class TestDiscImages : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  QString program_ = QCoreApplication::applicationDirPath() + "/mirova-cdaudio";
  ImageProbe probe_{program_};
  QString source_;
  std::unique_ptr<CdServiceClient> cd_;

  QString path(const QString& name) const { return dir_.filePath(name); }
  void write(const QString& file, const QByteArray& bytes) { QVERIFY(realmedia::write(file, bytes)); }

  struct Outcome {
    QString vcd;      // the .dat files found, or "error"
    int tracks = -1;  // -1: not ready
    QString trouble;  // a path too slow, or the service gone
  };

  // The image as drive D through both paths.
  Outcome feed(const QString& image) {
    Outcome o;
    const pid_t service = fixtures::servicePid();
    qstrncpy(hungOn, QFile::encodeName("hung on " + image + '\n').constData(), sizeof hungOn);
    ::alarm(kHungS);
    QElapsedTimer t;
    t.start();
    try {
      LinuxDrives drives({"/nonexistent/mounts", "/nonexistent/sys", "/nonexistent/by-label", "D=" + image}, &probe_);
      const QStringList names = drives.findFiles("D:\\Mpegav\\*.dat");
      if (!names.isEmpty()) {  // the button plays the first
        Drives::Location where = drives.locate("D:\\Mpegav\\" + names.first());
        const SectorSource sectors(std::move(where.disc), where.entry);
      }
      o.vcd = names.join(' ');
    } catch (const basic::Error&) {
      o.vcd = "error";
    }
    const qint64 vcdMs = t.restart();
    source_ = image;
    if (cd_->send("open cdaudio alias f wait").error == 0) {
      // The service reads the disc after it has answered the open.
      const QDeadlineTimer settled(5 * kHangMs);
      while (cd_->send("status f mode").text == "seeking" && !settled.hasExpired()) QThread::msleep(10);
      const CdServiceClient::Reply n = cd_->send("status f number of tracks");
      if (n.error == 0) o.tracks = n.text.toInt();
    }
    cd_->send("close all");
    const qint64 cdMs = t.elapsed();
    ::alarm(0);
    // Refused long before a probe could time out on it, and the service lives on.
    if (vcdMs >= kHangMs || cdMs >= kHangMs || (service && fixtures::servicePid() != service))
      o.trouble = QStringLiteral("%1: %2 ms, %3 ms, service %4").arg(image).arg(vcdMs).arg(cdMs).arg(service);
    return o;
  }

  // A damaged image in `folder`, made from `rng`: a valid description with
  // a few of its lines changed, beside its data. The image's path.
  QString damage(QRandomGenerator& rng, const QString& folder) {
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    ::mkfifo(QFile::encodeName(folder + "/fifo").constData(), 0600);
    const auto pick = [&rng](qsizetype n) { return qsizetype(rng.bounded(quint32(n))); };
    const Seed& seed = kSeeds[pick(4)];
    QList<QByteArray> lines = realmedia::read(path(seed.image)).split('\n');
    for (int n = 1 + int(rng.bounded(4)); n > 0; --n) {
      const qsizetype at = pick(lines.size());
      const QByteArray line = kLines[pick(kLines.size())];
      switch (rng.bounded(4)) {
        case 0:
          lines[at] = line;
          break;
        case 1:
          lines.insert(at, line);
          break;
        case 2:  // past libcdio's TOC line
          lines[at] = QByteArray(500 + pick(100), 'A') + line;
          break;
        default:
          lines[at].insert(pick(lines[at].size() + 1), QByteArray(1, "\"\0\r\t/ "[pick(6)]));
      }
    }
    QFile::link(path(seed.data), folder + '/' + seed.data);
    write(folder + '/' + seed.image, lines.join('\n'));
    return folder + '/' + seed.image;
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
  // it or a file it names is not a regular file. Inputs that broke libcdio
  // (corpus/, each named for what it did) are read in a probe's child now.
  void images_data() {
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("vcd");  // the .dat files found, or "error"; "*": any outcome
    QTest::addColumn<int>("tracks");   // -1: not ready
    const auto refused = [this](const char* row, const QString& name, const QByteArray& text) {
      if (!text.isEmpty()) write(path(name), text);
      QTest::newRow(row) << path(name) << "error" << -1;
    };
    const QByteArray track = "\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    for (const Seed& s : kSeeds) {  // the TOCs name their BIN relative to themselves
      const bool vcd = QByteArray(s.image).startsWith("vcd");
      QTest::newRow(s.image) << path(s.image) << (vcd ? "AVSEQ01.DAT" : "") << (vcd ? -1 : 3);
    }
    refused("BIN beside the CUE sheet is a pipe", "pipebin.CUE", "FILE \"audio.bin\" BINARY" + track);
    refused("CUE's CD-Text file is a pipe", "cdtext.cue", "CDTEXTFILE \"fifo\"\nFILE \"cdtext.bin\" BINARY" + track);
    // Named in full: by a relative name a pipe that slipped the check would not be found from the TOC's private copy.
    refused("TOC names a pipe", "pipe.toc",
            "CD_DA\nTRACK AUDIO\nAUDIOFILE \"" + QFile::encodeName(path("fifo")) + "\" 0\n");
    refused("the description is a pipe", "fifo.cue", {});
    refused("an NRG that is a pipe", "fifo.nrg", {});
    QFile::copy(path("audio.bin"), path("cdtext.bin"));  // the BIN libcdio wants beside a CUE sheet
    for (const char* name : {"fifo.cue", "pipebin.BIN", "fifo.nrg"})
      ::mkfifo(QFile::encodeName(path(name)).constData(), 0600);
    for (const QFileInfo& kept : QDir(QFINDTESTDATA("corpus")).entryInfoList({"*.cue", "*.toc", "*.nrg"}))
      QTest::newRow(qPrintable(kept.fileName())) << kept.filePath() << "*" << 0;
  }

  void images() {
    QFETCH(QString, image);
    QFETCH(QString, vcd);
    const Outcome o = feed(image);
    QVERIFY2(o.trouble.isEmpty(), qPrintable(o.trouble));
    if (vcd != "*") {
      QCOMPARE(o.vcd, vcd);
      QTEST(o.tracks, "tracks");
    }
  }

  // A scratch: each unreadable sector of a file reads as zeros, up to a cap.
  void scratches() {
    constexpr int kBytes = 100;
    // Ten sectors, sector k holds bytes k + 1; a read that touches a bad one fails whole.
    struct Scratched final : disc::PayloadReader {
      static bool bad(qint64 sector) { return sector == 0 || sector == 9; }
      qint64 size() const override { return 10 * kBytes; }
      std::optional<QByteArray> read(qint64 offset, qint64 length) override {
        QByteArray out;
        for (qint64 at = offset; at < std::min(offset + length, size()); ++at) {
          if (bad(at / kBytes)) return std::nullopt;
          out += char(at / kBytes + 1);
        }
        return out;
      }
    };
    disc::FillingReader reader(std::make_unique<Scratched>(), kBytes);
    const auto bytes = reader.read(50, 1000);  // from the middle of the first sector to the end
    QVERIFY(bytes && bytes->size() == 950);
    for (qint64 at = 50; at < 1000; ++at)
      QCOMPARE(int(bytes->at(at - 50)), Scratched::bad(at / kBytes) ? 0 : int(at / kBytes + 1));
  }

  void fuzz() {
    const int count =
        qEnvironmentVariableIsSet("MIROVA_FUZZ_IMAGES") ? qEnvironmentVariableIntValue("MIROVA_FUZZ_IMAGES") : 300;
    const quint32 seed =
        qEnvironmentVariableIsSet("MIROVA_FUZZ_SEED") ? quint32(qEnvironmentVariableIntValue("MIROVA_FUZZ_SEED")) : 19;
    QRandomGenerator rng(seed);
    for (int i = 0; i < count; ++i) {
      const Outcome o = feed(damage(rng, path("case")));
      QVERIFY2(o.trouble.isEmpty(), qPrintable(QStringLiteral("seed %1, image %2: ").arg(seed).arg(i) + o.trouble));
    }
  }
};

QTEST_MAIN(TestDiscImages)
#include "test_disc_images.moc"
