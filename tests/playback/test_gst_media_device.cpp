// The GStreamer device on media made by the test, heard through the private null sink's monitor.
#include <QtTest>
#include <QtWidgets>

#include <gst/gst.h>

#include "app/frmcd.h"
#include "fakes/fakes.h"
#include "playback/gst_media_device.h"
#include "playback/gst_setup.h"
#include "playback/media_backends.h"
#include "playback/media_control.h"
#include "playback/media_fixtures.h"
#include "playback/multi.h"

namespace {
// A format 0 MIDI file: six quarter notes at 120 beats per minute, 3 s in all.
QByteArray makeMidi() {
  QByteArray t("\0\xFF\x51\x03\x07\xA1\x20\0\xC0\0", 10);  // tempo 500000 us per quarter, piano
  for (const char n : {60, 64, 67, 72, 67, 64}) t += QByteArray("\0\x90", 2) + n + "\x64\x83\x60\x80" + n + "\x40";
  return QByteArray("MThd\0\0\0\x06\0\0\0\x01\x01\xE0MTrk\0\0\0\x44", 22) + t + QByteArray("\0\xFF\x2F\0", 4);
}

// The libav libraries mapped into this process, by file name.
QStringList libavMapped() {
  QFile maps("/proc/self/maps");
  if (!maps.open(QIODevice::ReadOnly)) return {"/proc/self/maps unreadable"};
  static const QRegularExpression heavy("/(libavcodec|libavformat|libavfilter|libgstlibav)[^/]*$");
  QStringList found;
  for (const QByteArray& line : maps.readAll().split('\n'))
    if (const auto m = heavy.match(QString::fromLocal8Bit(line)); m.hasMatch() && !found.contains(m.captured(1)))
      found << m.captured(1);
  return found;
}
}  // namespace

class TestGstMediaDevice : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  fixtures::SinkRecorder sink_;

  QString path(const QString& name) const { return dir_.filePath(name); }
  void ffmpeg(const QStringList& sources, const QStringList& options, const QString& name) {
    QStringList args{"-v", "error", "-y"};
    for (const QString& source : sources) args += QStringList{"-f", "lavfi", "-i", source};
    QCOMPARE(QProcess::execute("ffmpeg", args + options + QStringList{path(name)}), 0);
  }
  void write(const QString& name, const QByteArray& bytes) {
    QFile f(path(name));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
  }
  int peak() { return sink_.peak(); }  // the loudest sample the monitor recorded since the last call

 private Q_SLOTS:
  void initTestCase() {
    const QString sine = "sine=frequency=440:duration=3", bars = "testsrc=size=320x240:rate=25:duration=3";
    ffmpeg({sine}, {"-ac", "2"}, "tone.wav");
    ffmpeg({sine}, {"-ac", "2", "-b:a", "128k"}, "tone.mp3");
    ffmpeg({bars, sine}, {"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "mpeg"}, "bars.mpg");
    ffmpeg({bars, sine}, {"-c:v", "mjpeg", "-c:a", "pcm_s16le"}, "bars.avi");
    ffmpeg({bars, sine}, {"-c:v", "mpeg4", "-c:a", "libmp3lame"}, "mpeg4.avi");
    ffmpeg({"testsrc=size=352x288:rate=25:duration=3", sine}, {"-target", "pal-vcd", "-f", "vcd"}, "vcd.mpg");
    for (const QString n : {"1", "2", "3"}) ffmpeg({"sine=duration=0.6"}, {"-ac", "2"}, n + ".wav");  // a playlist
    write("notes.mid", makeMidi());
    QFile vcd(path("vcd.mpg")), mpg(path("bars.mpg"));
    QVERIFY(vcd.open(QIODevice::ReadOnly) && mpg.open(QIODevice::ReadOnly));
    write("AVSEQ01.DAT", fixtures::wrapCdxa(vcd.readAll()));
    write("cut.mpg", mpg.read(100));
    QVERIFY2(sink_.start(), "parec did not start");
  }

  // What this player plays most never maps libav's large libraries. Once
  // mapped they stay, so this runs first, in a process that has not loaded them.
  void keepsLibavOut() {
    QVERIFY2(libavMapped().isEmpty(), "libav was mapped before any file played");
    for (const char* file : {"tone.mp3", "bars.mpg", "AVSEQ01.DAT", "notes.mid", "tone.wav"}) {
      GstMediaDevice dev;
      dev.open(path(file));
      dev.play();
      QTRY_VERIFY_WITH_TIMEOUT(dev.positionMs() > 300, 10000);
      QVERIFY2(libavMapped().isEmpty(), qPrintable(file + QStringLiteral(": ") + libavMapped().join(' ')));
    }
  }

  // The decoder playbin picks first for each stream (it loads no plugin to choose).
  void decoderChoice_data() {
    QTest::addColumn<QString>("caps");
    QTest::addColumn<QString>("decoder");
    const QString audio = "audio/mpeg, mpegversion=1, parsed=true, rate=44100, channels=2, layer=";
    const QString video = "video/mpeg, systemstream=false, parsed=true, width=352, height=288, mpegversion=";
    const struct {
      const char* name;
      QString caps;
      const char* decoder;
    } rows[] = {{"MPEG-1 Layer III", audio + "3", "mpg123audiodec"},
                {"MPEG-1 Layer II", audio + "2", "mpg123audiodec"},
                {"MPEG-1 Layer I", audio + "1", "mpg123audiodec"},
                {"MPEG-1 video", video + "1", "mpeg2dec"},
                {"MPEG-2 video", video + "2", "mpeg2dec"},
                {"MPEG-4 video, libav's alone", video + "4", "avdec_mpeg4"}};
    for (const auto& row : rows) QTest::newRow(row.name) << row.caps << QString(row.decoder);
  }
  void decoderChoice() {
    QFETCH(QString, caps);
    QFETCH(QString, decoder);
    gst::setUp();
    GstCaps* c = gst_caps_from_string(caps.toUtf8().constData());
    QVERIFY(c);
    GList* all = gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_DECODER, GST_RANK_MARGINAL);
    GList* fit =
        g_list_sort(gst_element_factory_list_filter(all, c, GST_PAD_SINK, FALSE), gst_plugin_feature_rank_compare_func);
    const QString first = fit ? QString::fromUtf8(GST_OBJECT_NAME(fit->data)) : QString();
    gst_plugin_feature_list_free(fit);
    gst_plugin_feature_list_free(all);
    gst_caps_unref(c);
    QCOMPARE(first, decoder);
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
    QVERIFY(!libav || !libavMapped().isEmpty());  // loaded on demand, and seen where it is
    QVERIFY2(std::abs(dev.lengthMs() - 3000) <= 100, qPrintable(QString::number(dev.lengthMs())));
    QCOMPARE(dev.mode(), int(MediaDevice::Stopped));
    QCOMPARE(bool(dev.videoWindow()), video);
    peak();
    dev.play();
    QTRY_VERIFY_WITH_TIMEOUT(dev.positionMs() > 400, 10000);  // a fresh stream may take a second to start
    QVERIFY(dev.positionMs() < 1500);
    QVERIFY2(peak() > 1000, "no sound at the sink");
    QVERIFY(!video || dev.videoWindow()->isVisible());
    dev.seek(dev.lengthMs() - 1000);
    QVERIFY(std::abs(dev.positionMs() - (dev.lengthMs() - 1000)) <= 100);
    QCOMPARE(dev.mode(), int(MediaDevice::Playing));
    QSignalSpy finished(&dev, &MediaDevice::finished);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    QCOMPARE(dev.mode(), int(MediaDevice::Stopped));
    QCOMPARE(dev.positionMs(), dev.lengthMs());
  }

  void rejectsBadFiles() {
    for (const auto& [file, number] :
         {std::pair{"gone.wav", basic::kFileNotFound}, {"cut.mpg", GstMediaDevice::kCannotPlay}}) {
      try {
        GstMediaDevice().open(path(file));
        QFAIL("open succeeded");
      } catch (const basic::Error& e) {
        QVERIFY2(e.number() == number && e.description().contains(file), qPrintable(e.description()));
      }
    }
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

  // A sound server that stops taking sound must not hang the player: the device
  // restarts the stream where it stood and, when that does not help, reports it.
  void stalledSoundIsReported() {
    GstMediaDevice dev;
    dev.open(path("tone.wav"));
    QSignalSpy errors(&dev, &MediaDevice::errorOccurred), finished(&dev, &MediaDevice::finished);
    dev.play();
    QTRY_VERIFY_WITH_TIMEOUT(dev.positionMs() > 300, 10000);
    QCOMPARE(QProcess::execute("pactl", {"suspend-sink", "mirova_test", "1"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, 3 * GstMediaDevice::kStallMs + 5000);
    QProcess::execute("pactl", {"suspend-sink", "mirova_test", "0"});
    QCOMPARE(finished.size(), 1);
    QCOMPARE(dev.mode(), int(MediaDevice::Stopped));
    QVERIFY2(errors[0][0].toString().contains("tone.wav"), qPrintable(errors[0][0].toString()));
  }

  // Chosen in the playlist window, the entries play 1, 2, 3, 1 moved on by the status tick alone.
  void playlistPlaysInOrder() {
    QDir::setCurrent(dir_.path());
    FakePlatform fp;
    fp.pictures.add(fp.programFolder + "/bg.bmp");
    const auto media = makeSystemMediaDevices(fp.drives);
    Platform p = fp.platform(*media);
    frmcd w(p);
    w.start();
    w.action("menu_multi")->trigger();
    multi* m = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets()) m = m ? m : qobject_cast<multi*>(t);
    QVERIFY(m);
    for (const char* name : {"1.wav", "2.wav", "3.wav"}) {
      m->File1->setCurrentItem(m->File1->findItems(name, Qt::MatchExactly).value(0));
      QTest::mouseClick(m->cmd_add, Qt::LeftButton);
    }
    QStringList played;  // each file seen playing, once a run
    MediaControl* mc = w.mcicdplayer;
    auto note = [&] {
      if (mc->Mode() == MediaDevice::Playing && played.value(played.size() - 1) != mc->FileName())
        played << mc->FileName();
    };
    QTest::mouseClick(m->cmd_ok, Qt::LeftButton);
    note();
    connect(mc, &MediaControl::StatusUpdate, this, note);
    QTRY_VERIFY_WITH_TIMEOUT(played.size() >= 4, 30000);
    const QString d = QDir(dir_.path()).canonicalPath() + '/';
    QCOMPARE(played.mid(0, 4), (QStringList{d + "1.wav", d + "2.wav", d + "3.wav", d + "1.wav"}));
    QVERIFY2(fp.messages.shown.isEmpty(), qPrintable(fp.messages.texts().join('\n')));
  }
};

QTEST_MAIN(TestGstMediaDevice)
#include "test_gst_media_device.moc"
