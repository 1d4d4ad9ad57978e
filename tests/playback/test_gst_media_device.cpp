// SPDX-License-Identifier: GPL-3.0-or-later
// The GStreamer device on media made by the test, heard through the private
// null sink's monitor: files of each kind, and Video CDs built by vcdimager,
// as an image, copied to folders and damaged, through their drive letters.
#include <sys/stat.h>

#include <QtTest>
#include <QtWidgets>

#include "core/range_scrollbar.h"
#include "disc/drives.h"
#include "fakes/fakes.h"
#include "gst/gst_media_device.h"
#include "playback/media_backends.h"
#include "playback/media_control.h"
#include "playback/media_fixtures.h"
#include "real_media.h"

namespace {
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

class TestGstMediaDevice : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  fixtures::SinkRecorder sink_;

  QString path(const QString& name) const { return dir_.filePath(name); }
  void ffmpeg(const QStringList& sources, const QStringList& options, const QString& name) {
    QVERIFY(realmedia::ffmpeg(sources, options, path(name)));
  }
  QByteArray read(const QString& name) const { return readFile(path(name)); }
  void write(const QString& name, const QByteArray& bytes) { QVERIFY(writeFile(path(name), bytes)); }
  QString drivesMap() const {
    return QStringLiteral("D=%1,E=%2,F=%3").arg(path("vcd.cue"), path("cdxa"), path("plain"));
  }

 private Q_SLOTS:
  void initTestCase() {
    QDir::setCurrent(dir_.path());  // where vcdxrip writes its files
    const QString sine = "sine=frequency=440:duration=3", bars = "testsrc=size=320x240:rate=25:duration=3";
    ffmpeg({sine}, {"-ac", "2"}, "tone.wav");
    ffmpeg({sine}, {"-ac", "2", "-b:a", "128k"}, "tone.mp3");
    ffmpeg({bars, sine}, {"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "mpeg"}, "bars.mpg");
    ffmpeg({bars, sine}, {"-c:v", "mjpeg", "-c:a", "pcm_s16le"}, "bars.avi");
    // One colour in pixels narrower than tall (a Video CD's 352x240 shown at 4:3).
    ffmpeg({"color=c=0x3366cc:size=352x240:rate=25:duration=3", sine},
           {"-c:v", "mpeg1video", "-aspect", "4:3", "-c:a", "mp2", "-f", "mpeg"}, "narrow.mpg");
    ffmpeg({bars, sine}, {"-c:v", "mpeg4", "-c:a", "libmp3lame"}, "mpeg4.avi");
    // Two MP3s joined as audiobooks are: the first one's frame-count header
    // announces 1 s of the 6 s that play.
    ffmpeg({"sine=frequency=440:duration=1"}, {"-ac", "2", "-b:a", "128k"}, "part1.mp3");
    ffmpeg({"sine=frequency=660:duration=5"}, {"-ac", "2", "-b:a", "128k"}, "part2.mp3");
    write("joined.mp3", read("part1.mp3") + read("part2.mp3"));
    // Two minutes of variable rate without a length header: measured by a
    // read of the whole file (slowed down outside the sanitizer build).
    ffmpeg({"anoisesrc=d=120:c=pink:a=0.2", "sine=f=300:d=120"},
           {"-filter_complex", "[0][1]amix", "-ac", "2", "-q:a", "0", "-write_xing", "0"}, "slow_vbr.mp3");
    write("notes.mid", realmedia::midi());
    write("cut.mpg", read("bars.mpg").left(100));
    QCOMPARE(::mkfifo(QFile::encodeName(path("pipe.wav")).constData(), 0600), 0);
    // A Video CD of two sequences told apart by their tone, then copied to
    // folders: RIFF/CDXA rips in a lower-case folder, and plain MPEG files.
    ffmpeg({"color=size=352x288:rate=25:duration=3", sine}, {"-target", "pal-vcd"}, "seq1.mpg");
    ffmpeg({"color=size=352x288:rate=25:duration=2", "sine=frequency=1000:duration=2"}, {"-target", "pal-vcd"},
           "seq2.mpg");
    write("AVSEQ01.DAT", fixtures::wrapCdxa(read("seq1.mpg")));
    QCOMPARE(
        QProcess::execute("vcdimager", {"-q", "-t", "vcd2", "-c", "vcd.cue", "-b", "vcd.bin", "seq1.mpg", "seq2.mpg"}),
        0);
    QCOMPARE(QProcess::execute("vcdxrip", {"-q", "-b", "vcd.bin", "-c", "vcd.cue", "-o", "rip.xml"}), 0);
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

  void playsEachKind_data() {
    QTest::addColumn<QString>("file");  // in the test's folder, or a drive path
    QTest::addColumn<int>("ms");        // its length
    QTest::addColumn<int>("hz");        // its tone; 0: any sound
    QTest::addColumn<bool>("video");
    QTest::addColumn<bool>("libav");
    QTest::newRow("wav") << "tone.wav" << 3000 << 440 << false << false;
    QTest::newRow("mp3") << "tone.mp3" << 3000 << 440 << false << false;
    QTest::newRow("midi") << "notes.mid" << 3000 << 0 << false << false;
    QTest::newRow("mpg") << "bars.mpg" << 3000 << 440 << true << false;
    QTest::newRow("avi") << "bars.avi" << 3000 << 440 << true << false;
    QTest::newRow("dat, RIFF/CDXA sectors") << "AVSEQ01.DAT" << 3000 << 440 << true << false;
    QTest::newRow("Video CD image, entry 1") << "D:\\Mpegav\\AVSEQ01.DAT" << 3000 << 440 << true << false;
    QTest::newRow("Video CD image, entry 2") << "d:\\mpegav\\avseq02.dat" << 2000 << 1000 << true << false;
    // Any drive path resolves, a single file's on C (the root) too, in any letter case.
    QTest::newRow("file as a C: path") << "C:" + path("seq1.mpg").toUpper().replace('/', '\\') << 3000 << 440 << true
                                       << false;
    QTest::newRow("avi, MPEG-4 and MP3") << "mpeg4.avi" << 3000 << 440 << true << true;
  }

  // Length, sound, the picture's window, a seek and the end.
  void playsEachKind() {
    QFETCH(QString, file);
    QFETCH(int, ms);
    QFETCH(int, hz);
    QFETCH(bool, video);
    QFETCH(bool, libav);
    LinuxDrives drives(mapping(drivesMap()), &probe());
    GstMediaDevice dev(&drives);
    dev.open(file.contains(':') ? file : path(file));
    QVERIFY2(std::abs(dev.lengthMs() - ms) <= 100, qPrintable(QString::number(dev.lengthMs())));
    QCOMPARE(bool(dev.videoWindow()), video);
    dev.play();
    QTRY_VERIFY_WITH_TIMEOUT(dev.positionMs() > 300, 10000);  // a fresh stream may take a second to start
    sink_.take();                                             // the next half second at the sink
    QTest::qWait(500);
    if (hz) {
      const double heard = sink_.frequency();
      QVERIFY2(std::abs(heard - hz) < hz * 0.03, qPrintable(QStringLiteral("heard %1 Hz").arg(heard)));
    } else {
      QVERIFY2(sink_.peak() > 1000, "no sound at the sink");
    }
    QVERIFY(!video || dev.videoWindow()->isVisible());
    dev.seek(dev.lengthMs() - 800);
    QSignalSpy finished(&dev, &MediaDevice::finished);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    QCOMPARE(dev.mode(), int(MediaDevice::Stopped));
    QCOMPARE(dev.positionMs(), dev.lengthMs());
    // What this player plays most never maps libav's large libraries, and
    // what only libav decodes loads them on demand. Once mapped they stay:
    // the row that needs them comes last.
    QCOMPARE(readFile("/proc/self/maps").contains("/libavcodec"), libav);
  }

  // The picture as large as the window lets it be, in its own shape (4:3
  // here, within the 2.5% the stream's pixel shape is off), centred between
  // black bars, after a resize while playing and while paused.
  void videoLetterboxed_data() {
    QTest::addColumn<QSize>("window");
    QTest::addColumn<bool>("paused");
    QTest::newRow("wide: bars left and right") << QSize(640, 240) << false;
    QTest::newRow("tall, resized while paused: bars above and below") << QSize(320, 400) << true;
  }
  void videoLetterboxed() {
    QFETCH(QSize, window);
    QFETCH(bool, paused);
    GstMediaDevice dev;
    dev.open(path("narrow.mpg"));
    dev.play();
    QWidget* w = dev.videoWindow();
    QTRY_VERIFY_WITH_TIMEOUT(dev.positionMs() > 300, 10000);
    if (paused) dev.pause();
    w->resize(window);
    const auto shown = [w] {  // on X11 the server's pixels, so what the sink drew counts too
      const QImage image = w->screen()->grabWindow(w->winId()).toImage();
      QRect picture;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
          if (qBlue(image.pixel(x, y)) > 100) picture |= QRect(x, y, 1, 1);
      return picture;
    };
    QRect fit(QPoint(), QSize(4, 3).scaled(window, Qt::KeepAspectRatio));
    fit.moveCenter(QRect(QPoint(), window).center());
    const auto off = [&fit](const QRect& r) {  // how far its corners are from those of `fit`, in pixels
      return (r.topLeft() - fit.topLeft()).manhattanLength() + (r.bottomRight() - fit.bottomRight()).manhattanLength();
    };
    QTRY_VERIFY2_WITH_TIMEOUT(off(shown()) <= 10, qPrintable(QString::number(off(shown()))), 5000);
    QCOMPARE(w->size(), window);  // so the rows saw the shapes they name
  }

  void rejectsBadFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("number");
    QTest::newRow("missing") << "gone.wav" << basic::kFileNotFound;
    QTest::newRow("damaged") << "cut.mpg" << GstMediaDevice::kCannotPlay;
    QTest::newRow("named pipe") << "pipe.wav" << GstMediaDevice::kCannotPlay;
  }

  // Without its module the player still runs; opening a file says why it cannot play.
  void missingModuleIsReported() {
    FakeDrives drives;
    try {
      makeSystemMediaDevices(drives, {}, dir_.path())->create(QString());
      QFAIL("a file device without its module");
    } catch (const basic::Error& e) {
      QVERIFY2(e.number() == 68 /* device unavailable */ && e.description().contains(kFileDeviceModule),
               qPrintable(e.description()));
    }
  }

  // Refused with the file's name, and at once: reading a pipe that nobody
  // writes to waits for good. Should the open wait all the same, a writer
  // comes after 3 s and ends each read, so the test ends, failing.
  void rejectsBadFiles() {
    QFETCH(QString, file);
    QFETCH(int, number);
    QProcess writer;
    writer.start("sh", {"-c", "sleep 3; while :; do : >\"$0\"; done", path("pipe.wav")});
    QElapsedTimer took;
    took.start();
    try {
      GstMediaDevice().open(path(file));
      QFAIL("open succeeded");
    } catch (const basic::Error& e) {
      QVERIFY2(e.number() == number && e.description().contains(file), qPrintable(e.description()));
    }
    if (file == "pipe.wav") QVERIFY2(took.elapsed() < 1000, qPrintable(QString::number(took.elapsed())));
    writer.kill();
    writer.waitForFinished();
  }

  // Back, Step or the slider just as the stream ends: the end of stream
  // posted before the seek belongs to the old segment and must not end the
  // file at its new place.
  void endBeforeSeekIgnored_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("wav") << "tone.wav";
    QTest::newRow("midi, whose end does not carry the seek's number") << "notes.mid";
  }
  void endBeforeSeekIgnored() {
    QFETCH(QString, file);
    GstMediaDevice dev;
    dev.open(path(file));
    QSignalSpy finished(&dev, &MediaDevice::finished);
    dev.seek(dev.lengthMs() - 200);
    dev.play();
    QThread::msleep(3000);  // no events run: the end waits on the bus
    QElapsedTimer sinceSeek;
    sinceSeek.start();
    dev.seek(500);
    // A loaded machine may take more than a second to start moving again.
    QTRY_VERIFY_WITH_TIMEOUT(dev.positionMs() > 500, 5000);
    // Ended within 2.5 s of the seek: the old end was taken for the file's.
    QVERIFY2(finished.isEmpty(), qPrintable(QStringLiteral("ended %1 ms after the seek").arg(sinceSeek.elapsed())));
    QCOMPARE(dev.mode(), int(MediaDevice::Playing));
    QVERIFY2(dev.positionMs() < 2500, qPrintable(QString::number(dev.positionMs())));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);  // its own end still comes
  }

  // Played on past the announced length, a file is neither taken for
  // stalled (the watchdog would restart it and give up with an error) nor
  // cut by the list going on at that length: it ends where its sound ends.
  void playsPastAnnouncedLength() {
    TestWindow w({}, TestWindow::Real);
    w.playList(dir_.path(), {"joined.mp3", "1.wav"});
    QVERIFY2(w.w.mcicdplayer->device()->lengthMs() < 1500, "the header announces 1 s");
    QElapsedTimer playing;
    playing.start();
    QTRY_COMPARE_WITH_TIMEOUT(w.w.curfile, qint16(2), 20000);
    QVERIFY2(playing.elapsed() > 5500, qPrintable(QString::number(playing.elapsed())));  // 6 s of sound
    QVERIFY2(w.fp.messages.shown.isEmpty(), qPrintable(w.fp.messages.texts().join('\n')));
  }

  // The length of a file whose header does not tell it is measured while
  // it plays: the open does not wait for that read of the whole file, and
  // the time label shows the length once it is known.
  void lengthMeasuredWhilePlaying() {
    TestWindow window({}, TestWindow::Real);
    window.fp.filePicker.answers.emplace_back(path("slow_vbr.mp3"));
    QElapsedTimer took;
    took.start();
    window.w.action("menu_vcd")->trigger();
    QVERIFY2(took.elapsed() < 1500, qPrintable(QString::number(took.elapsed())));
    QCOMPARE(window.w.mcicdplayer->Mode(), int(MediaDevice::Playing));
    QTRY_COMPARE_WITH_TIMEOUT(window.w.lbltime->text(), QStringLiteral("02:00"), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(window.w.HScroll1->Value() > 0, 10000);  // the ticks go on with the slider
    // Another file chosen while the length is being measured: the old
    // measurement never reaches the new file's label.
    for (const char* file : {"slow_vbr.mp3", "tone.wav"}) {
      window.fp.filePicker.answers.emplace_back(path(file));
      window.w.action("menu_vcd")->trigger();
    }
    QTest::qWait(qEnvironmentVariableIsSet("MIROVA_SLOW_PATH") ? 6000 : 2000);  // the measurement's read
    QCOMPARE(window.w.lbltime->text(), QStringLiteral("00:03"));
    QVERIFY2(window.fp.messages.shown.isEmpty(), qPrintable(window.fp.messages.texts().join('\n')));
  }

  // An error while playing reaches the user once, and the window stays
  // usable: a sound server that stops taking sound (the device restarts the
  // stream where it stood, and reports it when that does not help).
  void playbackErrorShown() {
    TestWindow window({}, TestWindow::Real);
    MediaControl& mc = window.mc();
    window.fp.filePicker.answers.emplace_back(path("tone.wav"));
    window.w.action("menu_vcd")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(mc.device()->positionMs() > 300, 10000);
    QCOMPARE(QProcess::execute("pactl", {"suspend-sink", "mirova_test", "1"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(window.fp.messages.shown.size(), 1, 3 * GstMediaDevice::kStallMs + 5000);
    QCOMPARE(QProcess::execute("pactl", {"suspend-sink", "mirova_test", "0"}), 0);
    const QString shown = window.fp.messages.boxes.value(0);
    QVERIFY2(shown.startsWith("Savrel超级播放器: 播放出错，已停止。\nCannot play \"" + path("tone.wav") + "\": "),
             qPrintable(shown));
    QCOMPARE(mc.Mode(), int(MediaDevice::Stopped));
    window.fp.filePicker.answers.emplace_back(path("tone.mp3"));  // the next file plays
    window.w.action("menu_vcd")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(mc.Mode() == MediaDevice::Playing && mc.device()->positionMs() > 300, 10000);
    QCOMPARE(window.fp.messages.shown.size(), 1);
  }
  // The mount shows the names but cannot read Form 2 sectors: the disc is read from its node.
  void mountedDiscIsReadFromItsNode() {
    write("mount/MPEGAV/AVSEQ01.DAT", "what the kernel reads of a Form 2 file");
    MountedDrive drives(path("vcd.cue"), path("mount"));
    QCOMPARE(drives.findFiles("D:\\Mpegav\\*.dat"), (QStringList{"AVSEQ01.DAT", "AVSEQ02.DAT"}));
    GstMediaDevice dev(&drives);
    dev.open("D:\\Mpegav\\AVSEQ01.DAT");
    QVERIFY(std::abs(dev.lengthMs() - 3000) <= 100);
  }

  // The window paints on while the disc is read (run under a slow drive
  // too: test_gst_media_device_slow_drive), and the disc plays.
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
      bin.truncate(damage.section(' ', 1).toLongLong() * 2352);  // sectors
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

QTEST_MAIN(TestGstMediaDevice)
#include "test_gst_media_device.moc"
