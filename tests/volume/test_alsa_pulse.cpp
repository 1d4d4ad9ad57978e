// The ALSA mixer against a private PulseAudio daemon whose default sink is
// the null sink "mirova_test" (with_pulse.sh): what the server reports counts.
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "volume/alsa_mixer.h"
#include "volume_test.h"

namespace {
QString pactl(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral("pactl"), args);
  if (!p.waitForFinished(10000) || p.exitCode() != 0) qFatal("pactl %s failed", qPrintable(args.join(' ')));
  return QString::fromUtf8(p.readAllStandardOutput());
}
// The raw volume of every channel of the sink, or of another device.
QList<quint32> volumes(const QString& kind = "sink", const QString& name = "mirova_test") {
  static const QRegularExpression channel(QStringLiteral(R"(:\s*(\d+)\s*/)"));
  QList<quint32> out;
  for (auto it = channel.globalMatch(pactl({"get-" + kind + "-volume", name})); it.hasNext();)
    out << it.next().captured(1).toUInt();
  return out;
}
QList<quint32> both(quint32 v) { return {v, v}; }
void setSink(const QString& v) { pactl({"set-sink-volume", "mirova_test", v}); }
}  // namespace

class TestAlsaPulse : public QObject {
  Q_OBJECT
  QTemporaryDir home_;
 private Q_SLOTS:
  void initTestCase() {
    QVERIFY2(qEnvironmentVariableIsSet("PULSE_SERVER"), "run under tests/support/with_pulse.sh");
    QVERIFY(alsaToPulse(home_));  // whatever the machine's own configuration says
    qputenv("HOME", home_.path().toUtf8());
  }

  void mixerOnTheServer() {
    AlsaMixer m;
    QCOMPARE(m.open(), 0);
    Mixer::Control speakers, mic;
    QVERIFY(m.volumeControl(Mixer::Line::Speakers, speakers) && m.volumeControl(Mixer::Line::Microphone, mic));
    setSink("100%");
    const auto full = qint32(volumes().first());
    QCOMPARE((QList<qint32>{speakers.minimum, speakers.maximum, mic.minimum, mic.maximum}), (QList{0, full, 0, full}));
    // A value changed elsewhere since the mixer wrote it must still be written.
    for (const char* elsewhere : {"100", "50000"}) {
      setSink(elsewhere);
      QTest::qWait(300);  // the server's change event reaches the plugin's thread
      QVERIFY(m.setValue(speakers, 2000));
      QCOMPARE(volumes(), both(2000));
    }
    QVERIFY(!m.setValue(speakers, 70000));
    QCOMPARE(volumes(), both(2000));
    QVERIFY(m.setValue(mic, 12345));
    QCOMPARE(volumes("source", pactl({"get-default-source"}).trimmed()), both(12345));
  }

  void sliderDrivesTheSink() {
    setSink("50000");
    AlsaMixerFactory alsa;
    Window f(&alsa);
    frmcd& w = f.w;
    QCOMPARE(volumes(), both(50000));  // start-up leaves the volume alone
    clickArrow(w.vsVolume, true);
    QCOMPARE(volumes(), both(2000));
    dragToEnd(w.vsVolume, true);
    QCOMPARE(volumes(), both(65536));
    dragToEnd(w.vsVolume, false);
    QCOMPARE(volumes(), both(0));
    w.reload();  // a fresh mixer on the same sink
    clickArrow(w.vsVolume, true);
    QCOMPARE(volumes(), both(2000));
    Press thumb(w.vsVolume);
    for (int i = 0; i < 6; ++i) {  // the sink follows every position while the thumb is held
      const quint32 before = volumes().first();
      thumb.by(-4);
      QVERIFY(before < volumes().first());
      QCOMPARE(volumes(), both(quint32(qRound64(w.vsVolume->Value() * 65536.0 / 32767))));
    }
  }
};

QTEST_MAIN(TestAlsaPulse)
#include "test_alsa_pulse.moc"
