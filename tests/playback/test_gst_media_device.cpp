// SPDX-License-Identifier: GPL-3.0-or-later
// The GStreamer device on media made by the test, heard through the private null sink's monitor.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QtTest>
#include <QtWidgets>
#include <atomic>
#include <thread>

#include "app/frmcd.h"
#include "core/range_scrollbar.h"
#include "fakes/fakes.h"
#include "gst/gst_media_device.h"
#include "playback/media_backends.h"
#include "playback/media_control.h"
#include "playback/media_fixtures.h"
#include "real_media.h"

using realmedia::Window;

class TestGstMediaDevice : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  fixtures::SinkRecorder sink_;

  QString path(const QString& name) const { return dir_.filePath(name); }
  void ffmpeg(const QStringList& sources, const QStringList& options, const QString& name) {
    QVERIFY(realmedia::ffmpeg(sources, options, path(name)));
  }
  int peak() { return sink_.peak(); }  // the loudest sample the monitor recorded since the last call
  void write(const QString& name, const QByteArray& bytes) { QVERIFY(writeFile(path(name), bytes)); }

  void startMonitor() { QVERIFY2(sink_.start(), "parec did not start"); }  // again after the server restarted

 private Q_SLOTS:
  void initTestCase() {
    const QString sine = "sine=frequency=440:duration=3", bars = "testsrc=size=320x240:rate=25:duration=3";
    ffmpeg({sine}, {"-ac", "2"}, "tone.wav");
    ffmpeg({sine}, {"-ac", "2", "-b:a", "128k"}, "tone.mp3");
    ffmpeg({bars, sine}, {"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "mpeg"}, "bars.mpg");
    ffmpeg({bars, sine}, {"-c:v", "mjpeg", "-c:a", "pcm_s16le"}, "bars.avi");
    // One colour in pixels narrower than tall (a Video CD's 352x240 shown at 4:3).
    ffmpeg({"color=c=0x3366cc:size=352x240:rate=25:duration=3", sine},
           {"-c:v", "mpeg1video", "-aspect", "4:3", "-c:a", "mp2", "-f", "mpeg"}, "narrow.mpg");
    ffmpeg({bars, sine}, {"-c:v", "mpeg4", "-c:a", "libmp3lame"}, "mpeg4.avi");
    ffmpeg({"testsrc=size=352x288:rate=25:duration=3", sine}, {"-target", "pal-vcd", "-f", "vcd"}, "vcd.mpg");
    ffmpeg({"sine=duration=0.6"}, {"-ac", "2"}, "1.wav");
    // Two MP3s joined as audiobooks are: the first one's frame-count header
    // announces 1 s of the 6 s that play.
    ffmpeg({"sine=frequency=440:duration=1"}, {"-ac", "2", "-b:a", "128k"}, "part1.mp3");
    ffmpeg({"sine=frequency=660:duration=5"}, {"-ac", "2", "-b:a", "128k"}, "part2.mp3");
    write("joined.mp3", readFile(path("part1.mp3")) + readFile(path("part2.mp3")));
    // Two minutes of variable rate without a length header: measured by a
    // read of the whole file (slowed down in test_gst_media_device_slow_disk).
    ffmpeg({"anoisesrc=d=120:c=pink:a=0.2", "sine=f=300:d=120"},
           {"-filter_complex", "[0][1]amix", "-ac", "2", "-q:a", "0", "-write_xing", "0"}, "slow_vbr.mp3");
    write("notes.mid", realmedia::midi());
    write("AVSEQ01.DAT", fixtures::wrapCdxa(readFile(path("vcd.mpg"))));
    write("cut.mpg", readFile(path("bars.mpg")).left(100));
    QCOMPARE(::mkfifo(QFile::encodeName(path("pipe.wav")).constData(), 0600), 0);
    startMonitor();
  }

  void playsEachKind_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("video");
    QTest::addColumn<bool>("libav");
    QTest::newRow("wav") << "tone.wav" << false << false;
    QTest::newRow("mp3") << "tone.mp3" << false << false;
    QTest::newRow("midi") << "notes.mid" << false << false;
    QTest::newRow("mpg") << "bars.mpg" << true << false;
    QTest::newRow("avi") << "bars.avi" << true << false;
    QTest::newRow("dat, RIFF/CDXA sectors") << "AVSEQ01.DAT" << true << false;
    QTest::newRow("avi, MPEG-4 and MP3") << "mpeg4.avi" << true << true;
  }

  void playsEachKind() {
    QFETCH(QString, file);
    QFETCH(bool, video);
    QFETCH(bool, libav);
    GstMediaDevice dev;
    dev.open(path(file));
    QVERIFY2(std::abs(dev.lengthMs() - 3000) <= 100, qPrintable(QString::number(dev.lengthMs())));
    QCOMPARE(bool(dev.videoWindow()), video);
    peak();
    dev.play();
    QTRY_VERIFY_WITH_TIMEOUT(dev.positionMs() > 400, 10000);  // a fresh stream may take a second to start
    QVERIFY2(peak() > 1000, "no sound at the sink");
    QVERIFY(!video || dev.videoWindow()->isVisible());
    dev.seek(dev.lengthMs() - 1000);
    QSignalSpy finished(&dev, &MediaDevice::finished);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    QCOMPARE(dev.mode(), int(MediaDevice::Stopped));
    QCOMPARE(dev.positionMs(), dev.lengthMs());
    // What this player plays most never maps libav's large libraries, and
    // what only libav decodes loads them on demand. Once mapped they stay:
    // the row that needs them comes last.
    QVERIFY2(fixtures::libavMapped().isEmpty() != libav, qPrintable(fixtures::libavMapped().join(' ')));
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
    const auto wrong = [w]() -> QString {  // what is wrong with the picture on the screen
      const QImage image = fixtures::shown(w);
      QRect shown;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
          if (qBlue(image.pixel(x, y)) > 100) shown |= QRect(x, y, 1, 1);
      const bool fills = shown.width() == image.width() || shown.height() == image.height();
      const bool centred = std::abs(2 * shown.x() + shown.width() - image.width()) <= 2 &&
                           std::abs(2 * shown.y() + shown.height() - image.height()) <= 2;
      const double aspect = shown.height() > 0 ? double(shown.width()) / shown.height() : 0;
      QString where;
      if (image.size() != w->size() || !fills || !centred || std::abs(aspect / (4.0 / 3.0) - 1) > 0.03)
        QDebug(&where) << "picture" << shown << "in" << image.size();
      return where;
    };
    QTRY_COMPARE_WITH_TIMEOUT(wrong(), QString(), 5000);
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
    std::atomic<bool> done{false};
    std::thread writer([this, &done] {
      for (int waited = 0; waited < 3000 && !done; waited += 10) QThread::msleep(10);
      for (; !done; QThread::msleep(10)) {  // every open of the pipe gets its end of file
        const int fd = ::open(QFile::encodeName(path("pipe.wav")).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
      }
    });
    const auto join = qScopeGuard([&] {
      done = true;
      writer.join();
    });
    QElapsedTimer took;
    took.start();
    try {
      GstMediaDevice().open(path(file));
      QFAIL("open succeeded");
    } catch (const basic::Error& e) {
      QVERIFY2(e.number() == number && e.description().contains(file), qPrintable(e.description()));
    }
    if (file == "pipe.wav") QVERIFY2(took.elapsed() < 1000, qPrintable(QString::number(took.elapsed())));
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
    dev.seek(500);
    // A loaded machine may take more than a second to start moving again.
    QTRY_VERIFY_WITH_TIMEOUT(dev.positionMs() > 500, 5000);
    QCOMPARE(finished.size(), 0);
    QCOMPARE(dev.mode(), int(MediaDevice::Playing));
    QVERIFY2(dev.positionMs() < 2500, qPrintable(QString::number(dev.positionMs())));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);  // its own end still comes
  }

  // Played on past the announced length, a file is neither taken for
  // stalled (the watchdog would restart it and give up with an error) nor
  // cut by the list going on at that length: it ends where its sound ends.
  void playsPastAnnouncedLength() {
    Window w;
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
    Window window;
    window.fp.filePicker.answers.emplace_back(path("slow_vbr.mp3"));
    QElapsedTimer took;
    took.start();
    window.w.action("menu_vcd")->trigger();
    QVERIFY2(took.elapsed() < 1500, qPrintable(QString::number(took.elapsed())));
    QCOMPARE(window.w.mcicdplayer->Mode(), int(MediaDevice::Playing));
    QTRY_COMPARE_WITH_TIMEOUT(window.w.lbltime->text(), QStringLiteral("02:00"), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(window.w.HScroll1->Value() > 0, 10000);  // the ticks go on with the slider
    QCOMPARE(window.w.lsttrack->count(), 2);
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
  // stream where it stood, and reports it when that does not help), or one
  // that goes away.
  void playbackErrorsShown_data() {
    QTest::addColumn<bool>("serverGone");
    QTest::newRow("sound stops moving") << false;
    QTest::newRow("sound server gone") << true;
  }
  void playbackErrorsShown() {
    QFETCH(bool, serverGone);
    Window window;
    MediaControl* mc = window.w.mcicdplayer;
    window.fp.filePicker.answers.emplace_back(path("tone.wav"));
    window.w.action("menu_vcd")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(mc->device()->positionMs() > 300, 10000);
    if (serverGone)
      QCOMPARE(QProcess::execute("pulseaudio", {"--kill"}), 0);
    else
      QCOMPARE(QProcess::execute("pactl", {"suspend-sink", "mirova_test", "1"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(window.fp.messages.shown.size(), 1, 3 * GstMediaDevice::kStallMs + 5000);
    if (serverGone) {
      QCOMPARE(QProcess::execute(qEnvironmentVariable("MIROVA_WITH_PULSE"), {"--restart"}), 0);
      startMonitor();
    } else {
      QCOMPARE(QProcess::execute("pactl", {"suspend-sink", "mirova_test", "0"}), 0);
    }
    const QString shown = window.fp.messages.boxes.value(0);
    QVERIFY2(shown.startsWith("Savrel超级播放器: 播放出错，已停止。\nCannot play \"" + path("tone.wav") + "\": "),
             qPrintable(shown));
    QCOMPARE(mc->Mode(), int(MediaDevice::Stopped));
    window.fp.filePicker.answers.emplace_back(path("tone.mp3"));  // the next file plays
    window.w.action("menu_vcd")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(mc->Mode() == MediaDevice::Playing && mc->device()->positionMs() > 300, 10000);
    QCOMPARE(window.fp.messages.shown.size(), 1);
  }
};

QTEST_MAIN(TestGstMediaDevice)
#include "test_gst_media_device.moc"
