// SPDX-License-Identifier: GPL-3.0-or-later
// Video CDs built by vcdimager at test time, as an image, copied to folders
// and damaged: the directory search, playback from the sectors heard at the
// private null sink, and the VCD button end to end on the real devices.
#include <QtTest>
#include <QtWidgets>

#include "app/frmcd.h"
#include "disc/drives.h"
#include "fakes/fakes.h"
#include "gst/gst_media_device.h"
#include "playback/media_backends.h"
#include "playback/media_control.h"
#include "playback/real_media.h"

namespace {
// Two sequences told apart by their tone.
struct Sequence {
  int hz;
  int seconds;
};
const Sequence kSequences[] = {{440, 3}, {1000, 2}};
constexpr int kSectorBytes = 2352;

// Letters as MIROVA_DRIVES gives them, and none of this machine's drives.
LinuxDrives::Sources mapping(const QString& map) {
  return {"/nonexistent/mounts", "/nonexistent/sys", "/nonexistent/by-label", map};
}

// Images are probed by the CD drive service's program, beside the test as beside the player.
ImageProbe& probe() {
  static ImageProbe p(QCoreApplication::applicationDirPath() + "/mirova-cdaudio");
  return p;
}

// The main window on the real drives and devices, the rest on fakes.
struct Player {
  FakePlatform fp;
  LinuxDrives drives;
  std::unique_ptr<MediaDeviceFactory> media = makeSystemMediaDevices(drives);
  Platform p{fp.settings,   fp.lock, fp.autoPlay, fp.messages, fp.exit,          fp.pictures, fp.launcher,
             fp.filePicker, *media,  fp.mixers,   fp.screen,   fp.programFolder, drives,      fp.mci};
  frmcd w{p};
  explicit Player(const QString& map) : drives(mapping(map), &probe()) {
    fp.pictures.add(fp.programFolder + "/bg.bmp");
    w.start();
  }
};

// Drive D, an optical drive whose disc the kernel has also mounted.
class MountedDrive final : public Drives {
 public:
  MountedDrive(const QString& node, const QString& mount) : Drives(&probe()) {
    d_.letter = 'd';
    d_.type = CdRom;
    d_.source = node;
    d_.folder = mount;
  }
  QList<Drive> list() override { return {d_}; }

 private:
  Drive d_;
};
}  // namespace

class TestVcdDisc : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  fixtures::SinkRecorder sink_;
  QHash<QString, qint64> referenceMs_;  // the MPEG files' own lengths, played as files

  QString path(const QString& name) const { return dir_.filePath(name); }
  bool run(const QString& program, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(dir_.path());
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  }
  QByteArray read(const QString& name) { return realmedia::read(path(name)); }
  void write(const QString& name, const QByteArray& bytes) { QVERIFY(realmedia::write(path(name), bytes)); }
  QString drivesMap() const {
    return QStringLiteral("D=%1,E=%2,F=%3").arg(path("vcd.cue"), path("cdxa"), path("plain"));
  }

 private Q_SLOTS:
  void initTestCase() {
    QStringList mpegs;
    for (int i = 0; i < 2; ++i) {
      const Sequence& s = kSequences[i];
      const QString name = QStringLiteral("seq%1.mpg").arg(i + 1);
      QVERIFY(realmedia::ffmpeg({QStringLiteral("color=size=352x288:rate=25:duration=%1").arg(s.seconds),
                                 QStringLiteral("sine=frequency=%1:duration=%2").arg(s.hz).arg(s.seconds)},
                                {"-target", "pal-vcd"}, path(name)));
      mpegs << name;
      GstMediaDevice reference;
      reference.open(path(name));
      referenceMs_[name] = reference.lengthMs();
    }
    QVERIFY(run("vcdimager", QStringList{"-q", "-t", "vcd2", "-c", "vcd.cue", "-b", "vcd.bin"} + mpegs));
    // The disc copied to folders: RIFF/CDXA rips in a lower-case folder, and plain MPEG files.
    QVERIFY(run("vcdxrip", {"-q", "-b", "vcd.bin", "-c", "vcd.cue", "-o", "rip.xml"}));
    for (const char* n : {"1", "2"}) {
      const QByteArray mpeg = read(QStringLiteral("avseq0%1.mpg").arg(n));
      QVERIFY(!mpeg.isEmpty());
      write(QStringLiteral("cdxa/mpegav/AVSEQ0%1.DAT").arg(n), fixtures::wrapCdxa(mpeg));
      write(QStringLiteral("plain/MPEGAV/avseq0%1.dat").arg(n), mpeg);
    }
    write("plain/MPEGAV/readme.txt", "not a sequence");
    QVERIFY2(sink_.start(), "parec did not start");
  }

  void search_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("names");  // in the disc's order
    QTest::addColumn<int>("error");
    const QStringList both{"AVSEQ01.DAT", "AVSEQ02.DAT"};
    QTest::newRow("image") << "D:\\Mpegav\\*.dat" << both << 0;
    QTest::newRow("image, other case") << "d:\\MPEGAV\\avseq02.*" << QStringList{"AVSEQ02.DAT"} << 0;
    QTest::newRow("image, folders are no files") << "D:\\*.*" << QStringList() << 0;
    QTest::newRow("image, folder without .dat") << "D:\\Vcd\\*.dat" << QStringList() << 0;
    QTest::newRow("image, no such folder") << "D:\\Segment\\*.dat" << QStringList() << 0;
    QTest::newRow("CDXA rips, lower-case folder") << "E:\\Mpegav\\*.dat" << both << 0;
    QTest::newRow("plain rips, lower-case names")
        << "F:\\Mpegav\\*.DAT" << QStringList{"avseq01.dat", "avseq02.dat"} << 0;
    QTest::newRow("up and down again") << "D:\\Vcd\\..\\Mpegav\\*.dat" << both << 0;
    QTest::newRow("never above a folder letter's root") << "F:\\..\\cdxa\\Mpegav\\*.dat" << QStringList() << 0;
    QTest::newRow("no such drive") << "K:\\Mpegav\\*.dat" << QStringList() << int(Drives::kDeviceUnavailable);
  }

  void search() {
    QFETCH(QString, pattern);
    QFETCH(QStringList, names);
    QFETCH(int, error);
    LinuxDrives drives(mapping(drivesMap()), &probe());
    try {
      QStringList found;
      for (QString n = drives.dirFirst(pattern); !n.isEmpty(); n = drives.dirNext()) found << n;
      if (pattern.startsWith('E') || pattern.startsWith('F')) found.sort();  // a folder's order is its file system's
      QCOMPARE(found, names);
      QCOMPARE(error, 0);
    } catch (const basic::Error& e) {
      QCOMPARE(e.number(), error);
    }
  }

  void plays_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("sequence");
    QTest::newRow("image, entry 1") << "D:\\Mpegav\\AVSEQ01.DAT" << 0;
    QTest::newRow("image, entry 2") << "d:\\mpegav\\avseq02.dat" << 1;
    QTest::newRow("CDXA rip") << "E:\\Mpegav\\AVSEQ01.DAT" << 0;
    QTest::newRow("plain rip") << "F:\\Mpegav\\AVSEQ02.DAT" << 1;
    // Any drive path resolves, a single file's on C (the root) too, in any letter case.
    QTest::newRow("file as a C: path") << "C:" + path("seq1.mpg").toUpper().replace('/', '\\') << 0;
  }

  // Length, tone, a seek and the end, as for any file.
  void plays() {
    QFETCH(QString, file);
    QFETCH(int, sequence);
    const Sequence& s = kSequences[sequence];
    LinuxDrives drives(mapping(drivesMap()), &probe());
    GstMediaDevice dev(&drives);
    dev.open(file);
    const qint64 reference = referenceMs_.value(QStringLiteral("seq%1.mpg").arg(sequence + 1));
    QVERIFY2(std::abs(dev.lengthMs() - reference) <= 100,
             qPrintable(QStringLiteral("%1 ms, the MPEG file %2 ms").arg(dev.lengthMs()).arg(reference)));
    QVERIFY(dev.videoWindow());
    dev.play();
    QTRY_VERIFY_WITH_TIMEOUT(dev.positionMs() > 300, 10000);
    sink_.take();  // the next half second at the sink: the tone
    QTest::qWait(500);
    const double heard = sink_.frequency();
    QVERIFY2(std::abs(heard - s.hz) < s.hz * 0.03, qPrintable(QStringLiteral("heard %1 Hz").arg(heard)));

    dev.seek(dev.lengthMs() - 800);
    QVERIFY(std::abs(dev.positionMs() - (dev.lengthMs() - 800)) <= 100);
    QSignalSpy finished(&dev, &MediaDevice::finished);
    QSignalSpy errors(&dev, &MediaDevice::errorOccurred);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 15000);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.value(0).value(0).toString()));
    QCOMPARE(dev.positionMs(), dev.lengthMs());
  }

  // The mount shows the names but cannot read Form 2 sectors: the disc is read from its node.
  void mountedDiscIsReadFromItsNode() {
    write("mount/MPEGAV/AVSEQ01.DAT", "what the kernel reads of a Form 2 file");
    MountedDrive drives(path("vcd.cue"), path("mount"));
    QCOMPARE(drives.findFiles("D:\\Mpegav\\*.dat"), (QStringList{"AVSEQ01.DAT", "AVSEQ02.DAT"}));
    GstMediaDevice dev(&drives);
    dev.open("D:\\Mpegav\\AVSEQ01.DAT");
    QVERIFY(std::abs(dev.lengthMs() - referenceMs_.value("seq1.mpg")) <= 100);
  }

  // The window paints on while the disc is read (run under a slow drive
  // too: test_vcd_disc_slow_drive), and the disc plays.
  void windowLiveWhileTheDiscIsRead() {
    Player player("D=" + path("vcd.cue"));
    frmcd& w = player.w;
    StallMeter meter;
    QTest::mouseClick(w.vcdload, Qt::LeftButton);
    qInfo("longest stall of the window: %lld ms", meter.longest());
    QVERIFY(meter.longest() < 250);
    QCOMPARE(w.mcicdplayer->FileName(), "D:\\Mpegav\\AVSEQ01.DAT");
    QVERIFY(player.fp.messages.shown.isEmpty());
  }

  // Damaged images end in the message, never in a crash or a hang.
  void damagedImage_data() {
    QTest::addColumn<QString>("damage");
    QTest::newRow("cut inside entry 1") << "cut 600";  // sectors kept
    QTest::newRow("cut before the directory") << "cut 17";
    QTest::newRow("entry 1 placed off the disc") << "f0ffff7f7ffffff0";   // its extent, both byte orders
    QTest::newRow("entry 1 longer than the disc") << "00f0fffffffff000";  // its length
  }

  void damagedImage() {
    QFETCH(QString, damage);
    QByteArray bin = read("vcd.bin");
    if (damage.startsWith("cut")) {
      bin.truncate(damage.section(' ', 1).toLongLong() * kSectorBytes);
    } else {
      // The directory record: its extent at bytes 2-9, its length at 10-17.
      const qsizetype record = bin.indexOf("AVSEQ01.DAT;1") - 33;
      QVERIFY(record > 0);
      bin.replace(record + (damage.startsWith("f0") ? 2 : 10), 8, QByteArray::fromHex(damage.toLatin1()));
    }
    write("damaged.bin", bin);
    write("damaged.cue", read("vcd.cue").replace("vcd.bin", "damaged.bin"));
    Player player("D=" + path("damaged.cue"));
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(player.w.vcdload, Qt::LeftButton);
    QCOMPARE(player.fp.messages.texts(), QStringList{"VCD影片未准备好，或者VCD格式不标准。"});
    QVERIFY2(clock.elapsed() < GstMediaDevice::kOpenTimeoutMs, qPrintable(QString::number(clock.elapsed())));
  }
};

QTEST_MAIN(TestVcdDisc)
#include "test_vcd_disc.moc"
