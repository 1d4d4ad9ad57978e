// SPDX-License-Identifier: GPL-3.0-or-later
// The ALSA mixer on a private PulseAudio daemon whose default sink is the
// null sink "mirova_test" (with_pulse.sh): what the server reports counts.
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "volume/alsa_mixer.h"
#include "volume_test.h"

namespace {
// Runs pactl; returns every raw channel volume in its answer, by default the sink's.
QList<quint32> volumes(const QStringList& args = {"get-sink-volume", "mirova_test"}) {
  static const QRegularExpression channel(QStringLiteral(R"(:\s*(\d+)\s*/)"));
  QProcess p;
  p.start(QStringLiteral("pactl"), args);
  if (!p.waitForFinished(10000) || p.exitCode() != 0) qFatal("pactl %s failed", qPrintable(args.join(' ')));
  QList<quint32> out;
  for (auto it = channel.globalMatch(QString::fromUtf8(p.readAllStandardOutput())); it.hasNext();)
    out << it.next().captured(1).toUInt();
  return out;
}
QList<quint32> both(quint32 v) { return {v, v}; }
void setSink(const QString& v) { volumes({"set-sink-volume", "mirova_test", v}); }
}  // namespace

class TestAlsaPulse : public QObject {
  Q_OBJECT
  QTemporaryDir home_;
 private Q_SLOTS:
  void onTheServer() {
    QVERIFY2(qEnvironmentVariableIsSet("PULSE_SERVER"), "run under tests/support/with_pulse.sh");
    QVERIFY(alsaToPulse(home_));  // whatever the machine's own configuration says
    qputenv("HOME", home_.path().toUtf8());
    AlsaMixer m;
    Mixer::Control sp;
    QVERIFY(m.open() == 0 && m.volumeControl(Mixer::Line::Speakers, sp));
    setSink("100%");
    QCOMPARE((QList<qint32>{sp.minimum, sp.maximum}), (QList{0, qint32(volumes().first())}));
    QVERIFY(m.setValue(sp, 2000));
    setSink("50000");   // changed elsewhere since the mixer wrote it: the same value must still be written
    QTest::qWait(300);  // the server's change event reaches the plugin's thread
    QVERIFY(m.setValue(sp, 2000));
    QCOMPARE(volumes(), both(2000));
    // The slider on the same sink; start-up leaves the volume alone.
    setSink("50000");
    AlsaMixerFactory alsa;
    Window f(&alsa);
    QList<quint32> seen = volumes();
    Press(f.w.vsVolume, QStyle::SC_ScrollBarSubLine);
    seen << volumes();
    for (int dy : {-2000, 2000}) Press(f.w.vsVolume).by(dy), seen << volumes();
    QCOMPARE(seen, (QList<quint32>{50000, 50000, 2000, 2000, 65536, 65536, 0, 0}));  // one step up, top, bottom
    f.w.reload();                                                                    // a fresh mixer on the same sink
    Press thumb(f.w.vsVolume);
    for (int i = 0; i < 6; ++i) {  // the sink follows every position while the thumb is held
      const quint32 before = volumes().first();
      thumb.by(-4);
      QVERIFY(before < volumes().first());
      QCOMPARE(volumes(), both(quint32(qRound64(f.w.vsVolume->Value() * 65536.0 / 32767))));
    }
  }
};

QTEST_MAIN(TestAlsaPulse)
#include "test_alsa_pulse.moc"
