// The GStreamer file device on real media made by the test itself, played
// into the private PulseAudio null sink (whose monitor is recorded) and, for
// video, shown on the private X server.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>
#include <cmath>

#include "core/basic.h"
#include "playback/gst_media_device.h"
#include "playback/media_backends.h"
#include "playback/media_control.h"

namespace {

constexpr qint64 kMediaMs = 3000;  // every generated medium lasts this long

// A format 0 MIDI file: six quarter notes at 120 beats per minute, 3 s in all.
QByteArray makeMidi() {
  QByteArray track;
  auto add = [&track](std::initializer_list<int> bytes) {
    for (int b : bytes) track.append(char(b));
  };
  add({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});  // tempo 500000 us per quarter
  add({0x00, 0xC0, 0x00});                          // piano
  for (int note : {60, 64, 67, 72, 67, 64}) {
    add({0x00, 0x90, note, 0x64});
    add({0x83, 0x60, 0x80, note, 0x40});  // 480 ticks later
  }
  add({0x00, 0xFF, 0x2F, 0x00});
  QByteArray file("MThd\0\0\0\x06\0\0\0\x01\x01\xE0", 14);
  file += "MTrk";
  const quint32 n = quint32(track.size());
  file.append(char(n >> 24)).append(char(n >> 16)).append(char(n >> 8)).append(char(n));
  return file + track;
}

void putLe32(QByteArray& out, quint32 v) {
  for (int i = 0; i < 4; ++i) out.append(char((v >> (8 * i)) & 0xff));
}

// What a Video CD's .dat file looks like when copied off the disc: a RIFF
// "CDXA" header, then every 2324-byte MPEG pack in a raw 2352-byte Mode 2
// Form 2 sector (sync, address, subheader, data, EDC).
QByteArray wrapCdxa(const QByteArray& ps) {
  constexpr int kData = 2324;
  QByteArray sectors;
  const int count = int((ps.size() + kData - 1) / kData);
  for (int i = 0; i < count; ++i) {
    const int lba = i + 150;
    auto bcd = [](int v) { return char(((v / 10) << 4) | (v % 10)); };
    sectors.append('\0').append(QByteArray(10, '\xff')).append('\0');
    sectors.append(bcd(lba / 4500)).append(bcd((lba / 75) % 60)).append(bcd(lba % 75)).append('\x02');
    sectors.append(QByteArray("\x01\x01\x62\x0f\x01\x01\x62\x0f", 8));
    QByteArray data = ps.mid(qsizetype(i) * kData, kData);
    data.resize(kData, '\0');
    sectors.append(data).append(QByteArray(4, '\0'));
  }
  QByteArray file("RIFF");
  putLe32(file, quint32(4 + 8 + 16 + 8 + sectors.size()));
  file += "CDXAfmt ";
  putLe32(file, 16);
  file += QByteArray(16, '\0');
  file += "data";
  putLe32(file, quint32(sectors.size()));
  return file + sectors;
}

// Records the null sink's monitor, to prove sound reached the sound server.
class MonitorRecorder {
 public:
  bool start() {
    proc_.start(QStringLiteral("parec"), {QStringLiteral("--device=mirova_test.monitor"), QStringLiteral("--raw"),
                                          QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                                          QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=20")});
    // Live once the monitor's first bytes (silence) arrive.
    return proc_.waitForStarted(5000) && proc_.waitForReadyRead(5000);
  }
  ~MonitorRecorder() {
    proc_.kill();
    proc_.waitForFinished(2000);
  }
  void restart() { proc_.readAllStandardOutput(); }  // forget what came before
  // Loudest sample since the last restart(), and how many samples that was.
  int peak(int* samples = nullptr) {
    const QByteArray pcm = proc_.readAllStandardOutput();
    int best = 0;
    for (qsizetype i = 0; i + 1 < pcm.size(); i += 2) {
      const qint16 v = qint16(quint8(pcm[i]) | (quint8(pcm[i + 1]) << 8));
      best = std::max(best, std::abs(int(v)));
    }
    if (samples) *samples = int(pcm.size() / 2);
    return best;
  }

 private:
  QProcess proc_;
};

bool hasColour(const QImage& image) {
  for (int y = 0; y < image.height(); y += 7)
    for (int x = 0; x < image.width(); x += 7)
      if (qGray(image.pixel(x, y)) > 40) return true;
  return false;
}

}  // namespace

class TestGstMediaDevice : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  MonitorRecorder recorder_;

  QString path(const QString& name) const { return dir_.filePath(name); }

  void ffmpeg(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} + args);
    QVERIFY2(p.waitForFinished(60000), "ffmpeg did not finish");
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, p.readAllStandardError().constData());
  }

  void write(const QString& name, const QByteArray& bytes) {
    QFile f(path(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
  }

  // Waits for the end, checking on the way that the position never passes
  // the length and reaches it only when the device has stopped.
  void playToEnd(GstMediaDevice& dev) {
    QSignalSpy finished(&dev, &MediaDevice::finished);
    QElapsedTimer t;
    t.start();
    while (finished.isEmpty() && t.elapsed() < 20000) {
      QTest::qWait(40);
      const qint64 pos = dev.positionMs();
      QVERIFY2(pos <= dev.lengthMs(), qPrintable(QStringLiteral("%1 > %2").arg(pos).arg(dev.lengthMs())));
      if (dev.mode() == MediaDevice::Playing) QVERIFY(pos < dev.lengthMs());
    }
    QCOMPARE(finished.size(), 1);
    QCOMPARE(dev.mode(), int(MediaDevice::Stopped));
    QCOMPARE(dev.positionMs(), dev.lengthMs());
    QTest::qWait(300);
    QCOMPARE(dev.positionMs(), dev.lengthMs());
  }

 private Q_SLOTS:
  void initTestCase() {
    // The last case stops the sound server: never the desktop's own.
    QVERIFY2(qEnvironmentVariable("PULSE_RUNTIME_PATH").contains(QLatin1String("/mirova-pulse.")),
             "run under tests/support/with_pulse.sh");
    QVERIFY(dir_.isValid());
    const QString sine = QStringLiteral("sine=frequency=440:duration=3");
    const QString bars = QStringLiteral("testsrc=size=320x240:rate=25:duration=3");
    const QString vcdBars = QStringLiteral("testsrc=size=352x288:rate=25:duration=3");
    const QString lavfi = QStringLiteral("lavfi");
    ffmpeg({"-f", lavfi, "-i", sine, "-ac", "2", "-ar", "44100", path("tone.wav")});
    ffmpeg({"-f", lavfi, "-i", sine, "-ac", "2", "-b:a", "128k", path("tone.mp3")});
    // Variable bit rate without the header that gives the length: the parser
    // can only guess it from the first frames.
    ffmpeg({"-f", lavfi, "-i", "sine=frequency=440:duration=1.5", "-f", lavfi, "-i",
            "anoisesrc=duration=1.5:amplitude=0.5", "-filter_complex", "[0][1]concat=n=2:v=0:a=1", "-ac", "2", "-q:a",
            "2", "-write_xing", "0", path("vbr.mp3")});
    ffmpeg({"-f", lavfi, "-i", bars, "-f", lavfi, "-i", sine, "-c:v", "mpeg1video", "-b:v", "800k", "-c:a", "mp2",
            "-ar", "44100", "-f", "mpeg", path("bars.mpg")});
    ffmpeg({"-f", lavfi, "-i", bars, "-f", lavfi, "-i", sine, "-c:v", "mjpeg", "-c:a", "pcm_s16le", path("bars.avi")});
    ffmpeg(
        {"-f", lavfi, "-i", vcdBars, "-f", lavfi, "-i", sine, "-target", "pal-vcd", "-f", "vcd", path("AVSEQ01.DAT")});
    write(QStringLiteral("notes.mid"), makeMidi());
    QFile ps(path("AVSEQ01.DAT"));
    QVERIFY(ps.open(QIODevice::ReadOnly));
    write(QStringLiteral("AVSEQ02.DAT"), wrapCdxa(ps.readAll()));

    QByteArray noise(40000, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919 + 13) % 251);
    write(QStringLiteral("noise.wav"), noise);
    write(QStringLiteral("empty.mp3"), QByteArray());
    write(QStringLiteral("text.avi"), QByteArray("This is not a video.\n").repeated(50));
    QFile mpg(path("bars.mpg"));
    QVERIFY(mpg.open(QIODevice::ReadOnly));
    write(QStringLiteral("cut.mpg"), mpg.read(100));
    QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("folder.wav")));

    QVERIFY2(recorder_.start(), "parec did not start");
  }

  void playsEachKind_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("fps");
    QTest::addColumn<QSize>("videoSize");  // empty: no video
    QTest::newRow("wav") << "tone.wav" << GstMediaDevice::kAudioFramesPerSecond << QSize();
    QTest::newRow("mp3") << "tone.mp3" << GstMediaDevice::kAudioFramesPerSecond << QSize();
    QTest::newRow("mp3, VBR, no length header") << "vbr.mp3" << GstMediaDevice::kAudioFramesPerSecond << QSize();
    QTest::newRow("midi") << "notes.mid" << GstMediaDevice::kAudioFramesPerSecond << QSize();
    QTest::newRow("mpg") << "bars.mpg" << 25.0 << QSize(320, 240);
    QTest::newRow("avi") << "bars.avi" << 25.0 << QSize(320, 240);
    QTest::newRow("dat, MPEG program stream") << "AVSEQ01.DAT" << 25.0 << QSize(352, 288);
    QTest::newRow("dat, RIFF/CDXA sectors") << "AVSEQ02.DAT" << 25.0 << QSize(352, 288);
  }

  void playsEachKind() {
    QFETCH(QString, file);
    QFETCH(double, fps);
    QFETCH(QSize, videoSize);
    const int windowsBefore = int(QApplication::topLevelWidgets().size());

    GstMediaDevice dev;
    QElapsedTimer t;
    t.start();
    dev.open(path(file));
    const qint64 openMs = t.elapsed();
    QVERIFY2(std::abs(dev.lengthMs() - kMediaMs) <= 100, qPrintable(QString::number(dev.lengthMs())));
    QCOMPARE(dev.mode(), int(MediaDevice::Stopped));
    QCOMPARE(dev.positionMs(), 0);
    QCOMPARE(dev.framesPerSecond(), fps);
    if (videoSize.isEmpty()) {
      QVERIFY(!dev.videoWindow());
      QCOMPARE(int(QApplication::topLevelWidgets().size()), windowsBefore);
    } else {
      QVERIFY(dev.videoWindow());
      QCOMPARE(dev.videoWindow()->windowTitle(), file);
      QCOMPARE(dev.videoWindow()->size(), videoSize);
      QVERIFY(!dev.videoWindow()->isVisible());  // shown by play, as the platform did
    }

    recorder_.restart();
    dev.play();
    QCOMPARE(dev.mode(), int(MediaDevice::Playing));
    // A fresh stream on the null sink may take a second to start moving.
    QTRY_VERIFY_WITH_TIMEOUT(dev.positionMs() > 400, 10000);
    QVERIFY(dev.positionMs() < 1500);
    int samples = 0;
    const int peak = recorder_.peak(&samples);
    QVERIFY2(peak > 1000, qPrintable(QStringLiteral("peak %1 in %2 samples").arg(peak).arg(samples)));
    if (!videoSize.isEmpty()) {
      QVERIFY(dev.videoWindow()->isVisible());
      QVERIFY(hasColour(dev.videoWindow()->grab().toImage()));
    }

    const qint64 target = dev.lengthMs() - 1000;
    t.restart();
    dev.seek(target);
    const qint64 seekMs = t.elapsed();
    const qint64 landed = dev.positionMs();
    QVERIFY2(std::abs(landed - target) <= 100, qPrintable(QStringLiteral("%1 for %2").arg(landed).arg(target)));
    QCOMPARE(dev.mode(), int(MediaDevice::Playing));
    qInfo("%s: open %lld ms, seek %lld ms, peak %d", qPrintable(file), openMs, seekMs, peak);
    playToEnd(dev);
  }

  // Stop and pause hold the position; a seek while stopped is where the next
  // play starts.
  void transportHoldsPosition() {
    GstMediaDevice dev;
    dev.open(path("tone.wav"));
    dev.play();
    QTest::qWait(700);
    dev.pause();
    QCOMPARE(dev.mode(), int(MediaDevice::Paused));
    const qint64 paused = dev.positionMs();
    QTest::qWait(300);
    QCOMPARE(dev.positionMs(), paused);
    dev.play();
    QTRY_VERIFY_WITH_TIMEOUT(dev.positionMs() > paused, 10000);

    dev.stop();
    QCOMPARE(dev.mode(), int(MediaDevice::Stopped));
    const qint64 stopped = dev.positionMs();
    QTest::qWait(300);
    recorder_.restart();
    QTest::qWait(400);
    QVERIFY2(recorder_.peak() < 50, "sound went on after stop");
    QCOMPARE(dev.positionMs(), stopped);

    dev.seek(2200);
    QCOMPARE(dev.mode(), int(MediaDevice::Stopped));
    QVERIFY(std::abs(dev.positionMs() - 2200) <= 30);
    QTest::qWait(200);
    QVERIFY(std::abs(dev.positionMs() - 2200) <= 30);
    dev.play();
    QTRY_VERIFY_WITH_TIMEOUT(dev.positionMs() > 2200, 10000);
    QVERIFY2(dev.positionMs() < 2800, qPrintable(QString::number(dev.positionMs())));
    playToEnd(dev);

    // From the end a seek brings the medium back.
    dev.seek(1000);
    QVERIFY(std::abs(dev.positionMs() - 1000) <= 30);
    dev.play();
    QCOMPARE(dev.mode(), int(MediaDevice::Playing));
    QTRY_VERIFY_WITH_TIMEOUT(dev.positionMs() > 1000, 10000);
  }

  // Seeking to or past the end stands at the end; play there has nothing to do.
  void seekToEnd_data() {
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<bool>("playing");
    QTest::newRow("to the end, stopped") << qint64(0) << false;
    QTest::newRow("past the end, stopped") << qint64(5000) << false;
    QTest::newRow("to the end, playing") << qint64(0) << true;
  }

  void seekToEnd() {
    QFETCH(qint64, offset);
    QFETCH(bool, playing);
    GstMediaDevice dev;
    dev.open(path("tone.mp3"));
    QSignalSpy finished(&dev, &MediaDevice::finished);
    if (playing) dev.play();
    dev.seek(dev.lengthMs() + offset);
    QCOMPARE(dev.positionMs(), dev.lengthMs());
    QCOMPARE(dev.mode(), int(MediaDevice::Stopped));
    dev.play();
    QCOMPARE(dev.mode(), int(MediaDevice::Stopped));
    QTest::qWait(200);
    QCOMPARE(dev.positionMs(), dev.lengthMs());
    QCOMPARE(finished.size(), playing ? 1 : 0);
    dev.seek(-50);
    QCOMPARE(dev.positionMs(), 0);
  }

  void rejectsBadFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("number");
    QTest::newRow("missing") << "gone.wav" << basic::kFileNotFound;
    QTest::newRow("folder") << "folder.wav" << basic::kFileNotFound;
    QTest::newRow("noise") << "noise.wav" << GstMediaDevice::kCannotPlay;
    QTest::newRow("empty") << "empty.mp3" << GstMediaDevice::kCannotPlay;
    QTest::newRow("text") << "text.avi" << GstMediaDevice::kCannotPlay;
    QTest::newRow("cut short") << "cut.mpg" << GstMediaDevice::kCannotPlay;
  }

  void rejectsBadFiles() {
    QFETCH(QString, file);
    QFETCH(int, number);
    GstMediaDevice dev;
    try {
      dev.open(path(file));
      QFAIL("open succeeded");
    } catch (const basic::Error& e) {
      QCOMPARE(e.number(), number);
      QVERIFY2(e.description().contains(file), qPrintable(e.description()));
    }
    QCOMPARE(dev.mode(), int(MediaDevice::NotOpen));
    QVERIFY(!dev.videoWindow());
    dev.play();  // harmless on a device that failed to open
    QCOMPARE(dev.positionMs(), 0);
    // The same device opens a good file afterwards.
    dev.open(path("tone.wav"));
    QVERIFY(std::abs(dev.lengthMs() - kMediaMs) <= 100);
  }

  void videoWindowClosesWithDevice() {
    QPointer<QWidget> window;
    {
      GstMediaDevice dev;
      dev.open(path("bars.avi"));
      window = dev.videoWindow();
      dev.play();
      QTest::qWait(300);
      QVERIFY(window && window->isVisible());
      QVERIFY(QApplication::topLevelWidgets().contains(window.data()));
    }
    QVERIFY(window.isNull());
  }

  // The media control on the real device, as the file modes drive it.
  void throughMediaControl() {
    const auto devices = makeSystemMediaDevices();
    MediaControl control(*devices);
    control.setFileName(path("bars.mpg"));
    control.setCommand(QStringLiteral("open"));
    QVERIFY(control.isOpen());
    QCOMPARE(control.TimeFormat(), int(MediaControl::Milliseconds));
    const qint32 lengthMs = control.Length();
    QVERIFY(std::abs(lengthMs - kMediaMs) <= 100);
    control.setCommand(QStringLiteral("play"));
    control.setTimeFormat(MediaControl::Frames);
    QCOMPARE(control.Mode(), qint32(MediaDevice::Playing));
    QCOMPARE(control.Length(), qint32(std::llround(lengthMs * 25 / 1000.0)));
    QTRY_VERIFY_WITH_TIMEOUT(control.Position() > 5, 10000);
    QVERIFY(control.Position() < 40);

    control.setFrom(control.Length() - 20);  // frames, as the slider's owner would
    control.setCommand(QStringLiteral("stop"));
    control.setCommand(QStringLiteral("play"));
    QVERIFY(std::abs(control.Position() - (control.Length() - 20)) <= 2);
    QElapsedTimer t;
    t.start();
    while (control.Mode() == MediaDevice::Playing && t.elapsed() < 20000) QTest::qWait(50);
    QCOMPARE(control.Mode(), qint32(MediaDevice::Stopped));
    QCOMPARE(control.Position(), control.Length());

    control.setDeviceType(QStringLiteral("cdaudio"));
    QVERIFY_THROWS_EXCEPTION(basic::Error, control.setCommand(QStringLiteral("open")));
    QVERIFY(!control.isOpen());
  }

  // The sound server going away while a file plays: the device reports it
  // once, stops where it was and ignores further commands. Runs last, as the
  // private server is gone afterwards.
  void soundServerLostWhilePlaying() {
    GstMediaDevice dev;
    dev.open(path("bars.avi"));
    QSignalSpy errors(&dev, &MediaDevice::errorOccurred);
    QSignalSpy finished(&dev, &MediaDevice::finished);
    dev.play();
    QTRY_VERIFY_WITH_TIMEOUT(dev.positionMs() > 300, 10000);
    QCOMPARE(QProcess::execute(QStringLiteral("pulseaudio"), {QStringLiteral("--kill")}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, 10000);
    QVERIFY2(errors[0][0].toString().contains(QLatin1String("bars.avi")), qPrintable(errors[0][0].toString()));
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(dev.mode(), int(MediaDevice::Stopped));
    const qint64 held = dev.positionMs();
    QVERIFY(held > 0 && held < dev.lengthMs());
    dev.play();
    dev.seek(500);
    QTest::qWait(300);
    QCOMPARE(dev.mode(), int(MediaDevice::Stopped));
    QCOMPARE(dev.positionMs(), held);
    QCOMPARE(errors.size(), 1);
  }
};

QTEST_MAIN(TestGstMediaDevice)
#include "test_gst_media_device.moc"
