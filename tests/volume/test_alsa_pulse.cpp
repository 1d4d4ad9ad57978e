// The ALSA mixer against a real PulseAudio daemon whose default sink is the
// null sink "mirova_test" (run under tests/support/with_pulse.sh): ranges,
// writes seen by the server, and the main window's slider on top of it.
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "app/frmcd.h"
#include "core/range_scrollbar.h"
#include "fakes/fakes.h"
#include "slider_mouse.h"
#include "volume/alsa_mixer.h"
#include "volume/cls_volume.h"

using namespace slider_mouse;

namespace {
const QString kSink = QStringLiteral("mirova_test");

QString pactl(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral("pactl"), args);
  if (!p.waitForFinished(10000) || p.exitCode() != 0)
    qFatal("pactl %s failed: %s", qPrintable(args.join(QLatin1Char(' '))), p.readAllStandardError().constData());
  return QString::fromUtf8(p.readAllStandardOutput());
}

// The raw volume of every channel, as the server reports it.
QList<quint32> volumes(const QString& kind, const QString& name) {
  QList<quint32> out;
  static const QRegularExpression channel(QStringLiteral(R"(:\s*(\d+)\s*/)"));
  const QString text = pactl({QStringLiteral("get-%1-volume").arg(kind), name});
  for (auto it = channel.globalMatch(text); it.hasNext();) out << it.next().captured(1).toUInt();
  return out;
}
QList<quint32> sinkVolumes() { return volumes(QStringLiteral("sink"), kSink); }
QList<quint32> both(quint32 v) { return {v, v}; }
void setSinkVolume(quint32 v) { pactl({QStringLiteral("set-sink-volume"), kSink, QString::number(v)}); }
}  // namespace

class TestAlsaPulse : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase();
  void rangesAreTheServers();
  void writesReachTheSink_data();
  void writesReachTheSink();
  void microphoneIsTheDefaultSource();
  void sliderDrivesTheSink();
  void dragWritesEveryPosition();

 private:
  QTemporaryDir home_;
};

void TestAlsaPulse::initTestCase() {
  QVERIFY2(qEnvironmentVariableIsSet("PULSE_SERVER"), "run under tests/support/with_pulse.sh");
  QCOMPARE(sinkVolumes().size(), 2);
  // Route ALSA's "default" to the sound server through the pulse plugin,
  // whatever the machine's own configuration says.
  QVERIFY(home_.isValid());
  QFile rc(home_.filePath(QStringLiteral(".asoundrc")));
  QVERIFY(rc.open(QIODevice::WriteOnly));
  rc.write("pcm.!default { type pulse }\nctl.!default { type pulse }\n");
  rc.close();
  qputenv("HOME", home_.path().toUtf8());
}

void TestAlsaPulse::rangesAreTheServers() {
  AlsaMixer m;
  QCOMPARE(m.open(), 0);
  QCOMPARE(m.open(), 0);
  Mixer::Control speakers, mic;
  QVERIFY(m.volumeControl(Mixer::Line::Speakers, speakers));
  QVERIFY(m.volumeControl(Mixer::Line::Microphone, mic));
  QVERIFY(speakers.id != 0 && mic.id != 0 && speakers.id != mic.id);
  // The server's 0 % and 100 %.
  pactl({QStringLiteral("set-sink-volume"), kSink, QStringLiteral("100%")});
  const quint32 full = sinkVolumes().first();
  QCOMPARE(full, 65536u);
  QCOMPARE(speakers.minimum, 0);
  QCOMPARE(speakers.maximum, qint32(full));
  QCOMPARE(mic.minimum, 0);
  QCOMPARE(mic.maximum, qint32(full));
}

void TestAlsaPulse::writesReachTheSink_data() {
  QTest::addColumn<quint32>("before");
  QTest::addColumn<quint32>("value");
  QTest::addColumn<bool>("accepted");
  QTest::addColumn<quint32>("after");
  QTest::newRow("quiet") << 50000u << 2000u << true << 2000u;
  QTest::newRow("silent") << 50000u << 0u << true << 0u;
  QTest::newRow("full") << 100u << 65536u << true << 65536u;
  QTest::newRow("above the range") << 40000u << 70000u << false << 40000u;
}

void TestAlsaPulse::writesReachTheSink() {
  QFETCH(quint32, before);
  QFETCH(quint32, value);
  QFETCH(bool, accepted);
  QFETCH(quint32, after);
  setSinkVolume(before);
  AlsaMixer m;
  QCOMPARE(m.open(), 0);
  Mixer::Control speakers;
  QVERIFY(m.volumeControl(Mixer::Line::Speakers, speakers));
  QCOMPARE(m.setValue(speakers, value), accepted);
  QCOMPARE(sinkVolumes(), both(after));
  if (!accepted) return;
  // Changed elsewhere, then the same value again: it must reach the sink,
  // although the mixer last wrote that very value.
  setSinkVolume(before);
  QTest::qWait(300);  // the server's change event reaches the plugin's thread
  QVERIFY(m.setValue(speakers, value));
  QCOMPARE(sinkVolumes(), both(after));
}

void TestAlsaPulse::microphoneIsTheDefaultSource() {
  const QString source = pactl({QStringLiteral("get-default-source")}).trimmed();
  pactl({QStringLiteral("set-source-volume"), source, QStringLiteral("65536")});
  FakePlatform fp;
  AlsaMixerFactory alsa;
  clsVolume v(alsa, fp.messages);
  v.meOpenMixer();
  QCOMPARE(v.prMixerErr(), 0);
  v.prMicVolume(12345);
  QCOMPARE(volumes(QStringLiteral("source"), source), both(12345));
  QVERIFY(fp.messages.shown.isEmpty());
}

void TestAlsaPulse::sliderDrivesTheSink() {
  setSinkVolume(50000);
  FakePlatform fp;
  fp.pictures.add(fp.programFolder + QStringLiteral("/bg.bmp"));
  AlsaMixerFactory alsa;
  fp.mixers.real = &alsa;
  Platform p = fp.platform();
  frmcd w(p);
  w.start();
  QVERIFY(fp.messages.shown.isEmpty());
  QCOMPARE(w.volume->prSpeakerMaxVolume(), 65536);
  QCOMPARE(w.vsVolume->Min(), 32767);
  QCOMPARE(w.vsVolume->Max(), 0);
  QCOMPARE(sinkVolumes(), both(50000));  // start-up leaves the volume alone

  clickArrow(w.vsVolume, true);
  QCOMPARE(sinkVolumes(), both(2000));
  dragToEnd(w.vsVolume, true);
  QCOMPARE(sinkVolumes(), both(65536));
  dragToEnd(w.vsVolume, false);
  QCOMPARE(sinkVolumes(), both(0));

  // A reload opens a fresh mixer that drives the same sink.
  w.reload();
  QVERIFY(fp.messages.shown.isEmpty());
  clickArrow(w.vsVolume, true);
  clickArrow(w.vsVolume, true);
  QCOMPARE(sinkVolumes(), both(4000));
  w.close();
}

void TestAlsaPulse::dragWritesEveryPosition() {
  setSinkVolume(50000);
  FakePlatform fp;
  fp.pictures.add(fp.programFolder + QStringLiteral("/bg.bmp"));
  AlsaMixerFactory alsa;
  fp.mixers.real = &alsa;
  Platform p = fp.platform();
  frmcd w(p);
  w.start();
  QList<quint32> seen;
  {
    Drag d(w.vsVolume);
    for (int i = 0; i < 6; ++i) {
      d.by(0, -4);
      // The sink follows while the thumb is still held.
      const quint32 expected = quint32(qRound64(w.vsVolume->Value() * 65536.0 / 32767));
      QCOMPARE(sinkVolumes(), both(expected));
      QVERIFY(seen.isEmpty() || expected > seen.last());
      seen << expected;
    }
  }
  QCOMPARE(sinkVolumes(), both(seen.last()));
  w.close();
}

QTEST_MAIN(TestAlsaPulse)
#include "test_alsa_pulse.moc"
