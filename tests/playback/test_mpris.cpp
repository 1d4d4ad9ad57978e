// The media keys: the player on a private session bus, driven by a second
// connection as a desktop's media applet would, playing real files through a
// private PulseAudio; and the metadata of audio CD tracks on a scripted disc.
#include <QtDBus>
#include <QtTest>
#include <QtWidgets>

#include "app/frmcd.h"
#include "desktop/mpris.h"
#include "fakes/fakes.h"
#include "playback/media_backends.h"
#include "playback/media_control.h"

namespace {
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

// A disc of three tracks starting at 0, 60 and 150 s, 200 s in all.
class FakeDisc : public FakeMediaDevice {
 public:
  using FakeMediaDevice::FakeMediaDevice;
  int tracks() override { return 3; }
  int currentTrack() override { return positionMs() >= 150000 ? 3 : positionMs() >= 60000 ? 2 : 1; }
  qint64 trackStartMs(int t) override { return t == 3 ? 150000 : t == 2 ? 60000 : 0; }
};

class DiscMedia : public MediaDeviceFactory {
 public:
  FakeMediaDevice::Script script;
  FakeDisc* disc = nullptr;
  std::unique_ptr<MediaDevice> create(const QString&) override {
    auto d = std::make_unique<FakeDisc>(script, false);  // a file-like length; tracks from FakeDisc
    disc = d.get();
    return d;
  }
};
}  // namespace

class TestMpris : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  QProcess parec_;
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

  // The sink plays a tone of `hz` (its pitch from the zero crossings), or nothing for 0.
  void sink(double hz) {
    QTest::qWait(400);  // what was under way reaches the sink
    parec_.readAllStandardOutput();
    QTest::qWait(1200);
    const QByteArray pcm = parec_.readAllStandardOutput();
    int peak = 0, crossings = 0, frames = 0;
    bool above = false;
    for (qsizetype i = 0; i + 3 < pcm.size(); i += 4, ++frames) {  // s16le stereo, the left channel
      const int v = qint16(quint8(pcm[i]) | (quint8(pcm[i + 1]) << 8));
      peak = std::max(peak, std::abs(v));
      if ((v > 0) != above && std::abs(v) > 200) {
        above = v > 0;
        ++crossings;
      }
    }
    const double pitch = frames ? crossings / 2.0 / (frames / 44100.0) : 0.0;
    QVERIFY2(hz ? peak > 1000 && std::abs(pitch - hz) < hz * 0.1 : peak < 300,
             qPrintable(QStringLiteral("peak %1, %2 Hz").arg(peak).arg(pitch)));
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
    for (const auto& [name, source] :
         {std::pair{"a.wav", "sine=frequency=440:duration=20"}, std::pair{"b.wav", "sine=frequency=880:duration=9"}})
      QCOMPARE(QProcess::execute("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", source, "-ac", "2", "-ar",
                                            "44100", dir_.filePath(name)}),
               0);
    parec_.start("parec",
                 {"--device=mirova_test.monitor", "--raw", "--format=s16le", "--channels=2", "--latency-msec=20"});
    QVERIFY2(parec_.waitForStarted(5000) && parec_.waitForReadyRead(5000), "parec did not start");
    client_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "media applet");
    QVERIFY2(client_.isConnected(), "no session bus: run under dbus-run-session");
    QVERIFY(client_.connect(Mpris::kService, Mpris::kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged", this,
                            SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
  }
  void cleanupTestCase() { parec_.close(); }

  void mediaKeysDriveThePlaylist() {
    FakePlatform fp;
    fp.pictures.add(fp.programFolder + "/bg.bmp");
    const auto media = makeSystemMediaDevices(fp.drives);
    Platform p = fp.platform(*media);
    frmcd w(p);
    w.start();
    Mpris mpris(w);
    QVERIFY(mpris.publish(QDBusConnection::sessionBus()));
    QCOMPARE(status(), QStringLiteral("Stopped"));
    QCOMPARE(metadata().value("mpris:trackid").value<QDBusObjectPath>().path(),
             QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));

    // The playlist a.wav, b.wav, as the playlist window hands it over.
    auto playlist = [&] {
      w.multidir = dir_.path();
      w.lsttrack->addItems({"a.wav", "b.wav"});
      w.readmulti();
    };
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

    // PlayPause pauses as the Pause button does: lamp grey, ticks off, sound gone;
    // again, it resumes as a second press does. Pause only ever pauses.
    call("PlayPause");
    QTRY_VERIFY(changes_.contains("PlaybackStatus=Paused"));
    QCOMPARE(status(), QStringLiteral("Paused"));
    QCOMPARE(w.lblindicator->palette().color(QPalette::Window), QColor(0x40, 0x40, 0x40));
    QCOMPARE(w.mcicdplayer->UpdateInterval(), 0);
    sink(0);
    call("Pause");
    call("PlayPause");
    QTRY_COMPARE(status(), QStringLiteral("Playing"));
    QCOMPARE(w.lblindicator->palette().color(QPalette::Window), QColor(0xFF, 0x00, 0x00));
    QCOMPARE(w.mcicdplayer->UpdateInterval(), 1000);
    sink(440);

    // Next moves through the list as the Next button does.
    call("Next");
    QTRY_VERIFY(changes_.contains("Metadata=b.wav"));
    QVERIFY2(std::abs(metadata().value("mpris:length").toLongLong() - 9000000) < 100000,
             qPrintable(metadata().value("mpris:length").toString()));
    QCOMPARE(w.curfile, qint16(2));
    QCOMPARE(w.lbltrack->text(), QStringLiteral("2"));
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
    QVERIFY2(fp.messages.shown.isEmpty(), qPrintable(fp.messages.texts().join('\n')));
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
    FakePlatform fp;
    fp.pictures.add(fp.programFolder + "/bg.bmp");
    DiscMedia media;
    media.script.lengths[QString()] = 200000;
    Platform p = fp.platform(media);
    frmcd w(p);
    w.start();
    Mpris mpris(w);  // not published: read as the bus would
    w.mcicdplayer->setDeviceType("cdaudio");
    w.mcicdplayer->setCommand("open");
    media.disc->setPosition(positionMs);
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
