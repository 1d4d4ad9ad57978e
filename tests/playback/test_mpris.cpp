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
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");  // a pattern for what it prints
    QTest::addColumn<QStringList>("state");
    QTest::addColumn<double>("hz");  // what the sink then plays, 0 to leave it
    const QString b = dir_.filePath("b.wav");
    const QString file = QStringLiteral("Savrel超级播放器-播放多媒体文件, track 1, rows 播放列表:|");
    QTest::newRow("position set: as the slider at 50 %")
        << QStringList{"position", "10"} << 0 << "" << QStringList{"slider 50, at 10 s, mode 526"} << 440.0;
    QTest::newRow("seek forward: to the whole percent")
        << QStringList{"position", "5+"} << 0 << "" << QStringList{"slider 25, at 5 s, mode 526"} << 0.0;
    QTest::newRow("seek back before the start")
        << QStringList{"position", "30-"} << 0 << "" << QStringList{"slider 0, at 0 s, mode 526"} << 0.0;
    QTest::newRow("volume read from the slider")
        << QStringList{"volume"} << 0 << "^0\\.2500\\d*\n$" << QStringList{"volume 8192, mixer 16384"} << 0.0;
    QTest::newRow("volume set through the slider")
        << QStringList{"volume", "0.5"} << 0 << "" << QStringList{"volume 16384, mixer 32768"} << 0.0;
    QTest::newRow("open: as the single-file dialog")
        << QStringList{"open", QUrl::fromLocalFile(b).toString()} << 0 << "" << QStringList{file + b} << 880.0;
    QTest::newRow("open refuses another scheme") << QStringList{"open", "http://localhost/b.wav"} << 1 << ""
                                                 << QStringList{file + dir_.filePath("a.wav")} << 0.0;
  }

  void playerctl() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QStringList, state);
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
    QCOMPARE(ctl.exitCode(), exitCode);
    QVERIFY2(QRegularExpression(output).match(ctl.readAllStandardOutput()).hasMatch(),
             qPrintable(ctl.readAllStandardError()));
    for (const QString& part : state) QTRY_VERIFY2(m.state().contains(part), qPrintable(m.state()));
    QVERIFY2(m.fp.messages.shown.isEmpty(), qPrintable(m.fp.messages.texts().join('\n')));
    if (hz) sink(hz);
  }

  // Copies of the real player started while this one runs: one with paths
  // hands them over and ends, the window coming forward; one without ends
  // as it always has. --help and --version need no display.
  void laterCopy_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("env");  // NAME=value, or NAME alone to remove it
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");  // patterns for standard output and error
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("state");  // of the running window afterwards
    QTest::addColumn<bool>("forward");   // it came forward from its minimised state
    const QString b = dir_.filePath("b.wav"), a = dir_.filePath("a.wav");
    const QString file = QStringLiteral("Savrel超级播放器-播放多媒体文件, track 1, rows 播放列表:|");
    const QStringList noDisplay{"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
    QTest::newRow("a file, handed over") << QStringList{b} << QStringList() << 0 << "^$"
                                         << "^$" << file + b << true;
    QTest::newRow("relative paths, a list in their order")
        << QStringList{"b.wav", "a.wav"} << QStringList() << 0 << "^$"
        << "^$"
        << "Savrel超级播放器-播放多媒体文件, track 1, rows 播放列表:|b.wav|a.wav" << true;
    QTest::newRow("no session bus: said why")
        << QStringList{b} << QStringList{"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"} << 1 << "^$"
        << "^mirova: .*" + QRegularExpression::escape(b) + ".*no session bus" << file + a << false;
    QTest::newRow("no paths: ends at once") << QStringList() << QStringList() << 0 << "^$"
                                            << "^$" << file + a << false;
    QTest::newRow("--version") << QStringList{"--version"} << noDisplay << 0 << "^mirova 1\\.0\\.64\n$"
                               << "^$" << file + a << false;
    QTest::newRow("--help") << QStringList{"--help"} << noDisplay << 0 << "^Usage: mirova \\[FILE\\|FOLDER\\]"
                            << "^$" << file + a << false;
  }

  void laterCopy() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, env);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, error);
    QFETCH(QString, state);
    QFETCH(bool, forward);
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
    for (const QString& v : env) v.contains('=') ? e.insert(v.section('=', 0, 0), v.section('=', 1)) : e.remove(v);
    copy.setProcessEnvironment(e);
    copy.setWorkingDirectory(dir_.path());
    copy.start(qEnvironmentVariable("MIROVA_BIN_DIR") + "/mirova", args);
    QTRY_COMPARE_WITH_TIMEOUT(copy.state(), QProcess::NotRunning, 20000);  // this player answers meanwhile
    const QString out = copy.readAllStandardOutput(), err = copy.readAllStandardError();
    QVERIFY2(copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == exitCode, qPrintable(err));
    QVERIFY2(QRegularExpression(output).match(out).hasMatch(), qPrintable(out));
    QVERIFY2(QRegularExpression(error).match(err).hasMatch(), qPrintable(err));
    QTRY_VERIFY2(m.state().endsWith(state), qPrintable(m.state()));
    QTRY_COMPARE(m.w.isMinimized(), !forward);
    QVERIFY2(m.fp.messages.shown.isEmpty(), qPrintable(m.fp.messages.texts().join('\n')));
  }

  void mediaKeysDriveThePlaylist() {
    Player m;
    frmcd& w = m.w;
    QCOMPARE(status(), QStringLiteral("Stopped"));
    QCOMPARE(metadata().value("mpris:trackid").value<QDBusObjectPath>().path(),
             QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));

    // The playlist a.wav, b.wav, as the playlist window hands it over.
    auto playlist = [&] { m.playList(dir_.path(), {"a.wav", "b.wav"}); };
    playlist();
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Playing"), 10000);
    const QVariantMap md = metadata();
    QCOMPARE(md.value("xesam:title").toString(), QStringLiteral("a.wav"));
    QVERIFY2(std::abs(md.value("mpris:length").toLongLong() - 20000000) < 100000,
             qPrintable(md.value("mpris:length").toString()));
    QCOMPARE(md.value("xesam:url").toString(), QUrl::fromLocalFile(dir_.filePath("a.wav")).toString());
    sink(440);
    QTRY_VERIFY(get("Position").toLongLong() > 500000);
    // Steady play changes nothing the bus is told about.
    changes_.clear();
    QTest::qWait(3 * Mpris::kPollMs);
    QVERIFY2(changes_.isEmpty(), qPrintable(changes_.join(", ")));

    // PlayPause pauses as the Pause button does, and resumes as a second
    // press does. Pause only ever pauses.
    call("PlayPause");
    QTRY_VERIFY(changes_.contains("PlaybackStatus=Paused"));
    QCOMPARE(status(), QStringLiteral("Paused"));
    sink(0);
    call("Pause");
    call("PlayPause");
    QTRY_COMPARE(status(), QStringLiteral("Playing"));
    sink(440);

    // Next moves through the list as the Next button does.
    call("Next");
    QTRY_VERIFY(changes_.contains("Metadata=b.wav"));
    QVERIFY2(std::abs(metadata().value("mpris:length").toLongLong() - 9000000) < 100000,
             qPrintable(metadata().value("mpris:length").toString()));
    QCOMPARE(w.lsttrack->currentRow(), 2);
    QTRY_COMPARE(status(), QStringLiteral("Playing"));
    sink(880);
    call("Stop");
    QTRY_COMPARE(status(), QStringLiteral("Stopped"));
    sink(0);

    // The CD button rebuilds the controls: the keys follow the new ones.
    w.reload();
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
    QTest::newRow("first track") << qint64(2500) << "曲->1" << 60000000LL << 2500000LL;
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
    QVERIFY(!md.contains("xesam:url"));
    QVERIFY(md.value("mpris:trackid").value<QDBusObjectPath>().path().endsWith(title.mid(3)));
  }
};

QTEST_MAIN(TestMpris)
#include "test_mpris.moc"
