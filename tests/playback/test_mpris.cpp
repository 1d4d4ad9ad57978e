// SPDX-License-Identifier: GPL-3.0-or-later
// The media keys: the player on a private session bus, driven by a second
// connection as a desktop's media applet would, and by playerctl, playing
// real files through a private PulseAudio; copies of the real player started
// beside it; and the metadata of audio CD tracks on a scripted disc.
#include <QtDBus>
#include <QtTest>
#include <QtWidgets>

#include "app/instance_lock.h"
#include "core/range_scrollbar.h"
#include "desktop/mpris.h"
#include "fakes/fakes.h"
#include "playback/real_media.h"

namespace {
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
}  // namespace

// The main window on fakes but real media devices, published on the bus.
struct Player : TestWindow {
  Mpris mpris{w};
  Player() : TestWindow({}, Real) { QVERIFY(mpris.publish(QDBusConnection::sessionBus())); }
  // What the window shows, for the rows to pick from.
  QString state() const {
    MediaDevice* d = w.mcicdplayer->device();
    return QStringLiteral("slider %1, at %2 s, mode %3, volume %4, mixer %5, %6, track %7, rows %8")
        .arg(w.HScroll1->Value())
        .arg(d ? d->positionMs() / 1000 : -1)
        .arg(d ? d->mode() : 0)
        .arg(w.vsVolume->Value())
        .arg(fp.mixers.state.writes.isEmpty() ? -1 : qint64(fp.mixers.state.writes.last().second))
        .arg(w.windowTitle(), w.lbltrack->text(), rows().join('|'));
  }
};

class TestMpris : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  fixtures::SinkRecorder sink_;
  QDBusConnection client_{QString()};
  QStringList changes_;  // what PropertiesChanged told: "PlaybackStatus=Paused", "Metadata=b.wav"

  QVariant get(const QString& property) {
    QDBusMessage m = QDBusMessage::createMethodCall(Mpris::kService, Mpris::kPath,
                                                    QStringLiteral("org.freedesktop.DBus.Properties"), "Get");
    m << kPlayer << property;
    // The player answers from this thread: wait with the event loop running.
    const QVariant v = client_.call(m, QDBus::BlockWithGui, 5000).arguments().value(0).value<QDBusVariant>().variant();
    return v.canConvert<QDBusArgument>() ? QVariant(qdbus_cast<QVariantMap>(v.value<QDBusArgument>())) : v;
  }
  void call(const char* method) {
    const auto m = QDBusMessage::createMethodCall(Mpris::kService, Mpris::kPath, kPlayer, QLatin1String(method));
    QCOMPARE(client_.call(m, QDBus::BlockWithGui, 5000).type(), QDBusMessage::ReplyMessage);
  }
  QString status() { return get("PlaybackStatus").toString(); }
  QVariantMap metadata() { return get("Metadata").toMap(); }

  // The sink plays a tone of `hz`, or nothing for 0.
  void sink(double hz) {
    QTest::qWait(400);  // what was under way reaches the sink
    sink_.take();
    QTest::qWait(1200);
    const double heard = hz ? sink_.frequency() : sink_.peak();
    QVERIFY2(hz ? std::abs(heard - hz) < hz * 0.1 : heard < 300, qPrintable(QString::number(heard)));
  }

 public Q_SLOTS:
  void propertiesChanged(const QString&, const QVariantMap& changed, const QStringList&) {
    if (changed.contains("PlaybackStatus")) changes_ << "PlaybackStatus=" + changed.value("PlaybackStatus").toString();
    if (changed.contains("Metadata"))
      changes_ << "Metadata=" + qdbus_cast<QVariantMap>(changed.value("Metadata").value<QDBusArgument>())
                                    .value("xesam:title")
                                    .toString();
  }

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(realmedia::ffmpeg({"sine=frequency=440:duration=20"}, {"-ac", "2"}, dir_.filePath("a.wav")));
    QVERIFY(realmedia::ffmpeg({"sine=frequency=880:duration=9"}, {"-ac", "2"}, dir_.filePath("b.wav")));
    QVERIFY2(sink_.start(), "parec did not start");
    client_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "media applet");
    QVERIFY2(client_.isConnected(), "no session bus: run under dbus-run-session");
    QVERIFY(client_.connect(Mpris::kService, Mpris::kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged", this,
                            SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
  }

  // playerctl, a real MPRIS client, on a.wav (20 s) opened and paused at its
  // start, the volume slider moved by hand to a quarter of its way up.
  void playerctl_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("state");
    QTest::addColumn<double>("hz");  // what the sink then plays, 0 to leave it
    const QString b = dir_.filePath("b.wav");
    QTest::newRow("position set: as the slider at 50 %")
        << QStringList{"position", "10"} << "slider 50, at 10 s, mode 526" << 440.0;
    QTest::newRow("volume set through the slider")
        << QStringList{"volume", "0.5"} << "volume 16384, mixer 32768" << 0.0;
    QTest::newRow("open: as the single-file dialog")
        << QStringList{"open", QUrl::fromLocalFile(b).toString()}
        << "Savrel超级播放器-播放多媒体文件, track 1, rows 播放列表:|" + b << 880.0;
  }

  void playerctl() {
    QFETCH(QStringList, args);
    QFETCH(QString, state);
    QFETCH(double, hz);
    Player m;
    m.w.openFile(dir_.filePath("a.wav"));
    QTRY_COMPARE(m.mpris.playbackStatus(), QStringLiteral("Playing"));
    m.w.mcicdplayer->button(MediaControl::Pause)->click();
    m.w.vsVolume->setValue(8192);
    QTRY_COMPARE(status(), QStringLiteral("Paused"));
    QProcess ctl;
    ctl.start("playerctl", QStringList{"--player=mirova"} + args);
    QTRY_COMPARE_WITH_TIMEOUT(ctl.state(), QProcess::NotRunning, 10000);  // the player answers meanwhile
    QVERIFY2(ctl.exitCode() == 0, qPrintable(ctl.readAllStandardError()));
    QTRY_VERIFY2(m.state().contains(state), qPrintable(m.state()));
    QVERIFY2(m.fp.messages.shown.isEmpty(), qPrintable(m.fp.messages.texts().join('\n')));
    if (hz) sink(hz);
  }

  // Copies of the real player started while this one runs: one with paths
  // hands them over and ends, the window coming forward; one that cannot
  // says why.
  void laterCopy_data() {
    QTest::addColumn<QStringList>("env");  // NAME=value
    QTest::addColumn<QString>("error");    // a pattern for standard error
    QTest::addColumn<QString>("state");    // of the running window afterwards
    const QString file = QStringLiteral("Savrel超级播放器-播放多媒体文件, track 1, rows 播放列表:|");
    QTest::newRow("relative paths, a list in their order") << QStringList() << "^$" << file + "b.wav|a.wav";
    QTest::newRow("no session bus: said why") << QStringList{"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"}
                                              << "^mirova: .*b\\.wav.*no session bus" << file + dir_.filePath("a.wav");
  }

  void laterCopy() {
    QFETCH(QStringList, env);
    QFETCH(QString, error);
    QFETCH(QString, state);
    const bool handed = error == "^$";
    // The lock of the copy that runs, where the later copy looks first.
    QTemporaryDir run;
    FileInstanceLock lock({run.filePath("mirova")});
    QVERIFY(lock.acquire());
    env << "XDG_RUNTIME_DIR=" + run.path() << "XDG_CONFIG_HOME=" + run.filePath("config");
    Player m;
    m.w.openFile(dir_.filePath("a.wav"));
    m.w.showMinimized();
    QProcess copy;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString& v : env) e.insert(v.section('=', 0, 0), v.section('=', 1));
    copy.setProcessEnvironment(e);
    copy.setWorkingDirectory(dir_.path());
    copy.start(qEnvironmentVariable("MIROVA_BIN_DIR") + "/mirova", {"b.wav", "a.wav"});
    QTRY_COMPARE_WITH_TIMEOUT(copy.state(), QProcess::NotRunning, 20000);  // this player answers meanwhile
    const QString err = copy.readAllStandardError();
    QVERIFY2(copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == (handed ? 0 : 1), qPrintable(err));
    QVERIFY2(QRegularExpression(error).match(err).hasMatch(), qPrintable(err));
    QTRY_VERIFY2(m.state().endsWith(state), qPrintable(m.state()));
    QTRY_COMPARE(m.w.isMinimized(), !handed);
    QVERIFY2(m.fp.messages.shown.isEmpty(), qPrintable(m.fp.messages.texts().join('\n')));
  }

  void mediaKeysDriveThePlaylist() {
    Player m;
    // The playlist a.wav, b.wav, as the playlist window hands it over.
    auto playlist = [&] { m.playList(dir_.path(), {"a.wav", "b.wav"}); };
    playlist();
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Playing"), 10000);
    QCOMPARE(metadata().value("xesam:url").toString(), QUrl::fromLocalFile(dir_.filePath("a.wav")).toString());
    // Steady play changes nothing the bus is told about.
    changes_.clear();
    QTest::qWait(3 * Mpris::kPollMs);
    QVERIFY2(changes_.isEmpty(), qPrintable(changes_.join(", ")));
    // PlayPause pauses as the Pause button does and resumes; Pause only ever pauses.
    call("PlayPause");
    QTRY_VERIFY(changes_.contains("PlaybackStatus=Paused"));
    sink(0);
    call("Pause");
    call("PlayPause");
    QTRY_COMPARE(status(), QStringLiteral("Playing"));
    call("Next");  // as the Next button
    QTRY_VERIFY(changes_.contains("Metadata=b.wav"));
    sink(880);
    call("Stop");
    QTRY_COMPARE(status(), QStringLiteral("Stopped"));
    // The CD button rebuilds the controls: the keys follow the new ones.
    m.w.reload();
    QTRY_COMPARE(get("CanPlay").toBool(), false);
    playlist();
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Playing"), 10000);
    call("PlayPause");
    QTRY_COMPARE(status(), QStringLiteral("Paused"));
    QVERIFY2(m.fp.messages.shown.isEmpty(), qPrintable(m.fp.messages.texts().join('\n')));
  }

  void cdTrackMetadata_data() {
    QTest::addColumn<qint64>("positionMs");
    QTest::addColumn<QString>("title");
    QTest::addColumn<qlonglong>("lengthUs");
    QTest::addColumn<qlonglong>("positionUs");
    QTest::newRow("second track") << qint64(70000) << "曲->2" << 90000000LL << 10000000LL;
    QTest::newRow("last track, to the end of the disc") << qint64(150000) << "曲->3" << 50000000LL << 0LL;
  }

  void cdTrackMetadata() {
    QFETCH(qint64, positionMs);
    QFETCH(QString, title);
    QFETCH(qlonglong, lengthUs);
    QFETCH(qlonglong, positionUs);
    TestWindow t([](FakePlatform& fp) {  // a disc of three tracks starting at 0, 60 and 150 s, 200 s in all
      fp.media.script.discTracks = 3;
      fp.media.script.discMs = 200000;
      fp.media.script.trackStartsMs = {0, 60000, 150000};
    });
    Mpris mpris(t.w);  // not published: read as the bus would
    t.w.mcicdplayer->setDeviceType("cdaudio");
    t.w.mcicdplayer->setCommand("open");
    t.fp.media.script.current->setPosition(positionMs);
    const QVariantMap md = mpris.metadata();
    QCOMPARE(md.value("xesam:title").toString(), title);
    QCOMPARE(md.value("mpris:length").toLongLong(), lengthUs);
    QCOMPARE(mpris.position(), positionUs);
  }
};

QTEST_MAIN(TestMpris)
#include "test_mpris.moc"
