// SPDX-License-Identifier: GPL-3.0-or-later
// The volume slider on the ALSA mixer, its "default" led to the pulse plugin:
// on a private PulseAudio daemon whose default sink is the null sink
// "mirova_test" (with_pulse.sh), where what the server reports counts; then
// with no sound server behind the plugin at all.
#include <QAction>
#include <QMouseEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QStyleOptionSlider>
#include <QTest>

#include "core/range_scrollbar.h"
#include "fakes/fakes.h"
#include "volume/alsa_mixer.h"
#include "volume/cls_volume.h"

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

// Holds the left button on a part of the scroll bar until destroyed: a temporary clicks it,
// Press(bar).by(±2000) drags the thumb past an end.
struct Press {
  QScrollBar* bar;
  QPoint at;
  explicit Press(QScrollBar* b, QStyle::SubControl part = QStyle::SC_ScrollBarSlider) : bar(b) {
    struct Peek : QScrollBar {
      using QScrollBar::initStyleOption;
    };
    QStyleOptionSlider opt;
    (bar->*(&Peek::initStyleOption))(&opt);
    at = bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, part, bar).center();
    send(QEvent::MouseButtonPress, Qt::LeftButton);
  }
  ~Press() { send(QEvent::MouseButtonRelease, Qt::NoButton); }
  void by(int dy) { at.ry() += dy, send(QEvent::MouseMove, Qt::LeftButton); }
  void send(QEvent::Type type, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(at), QPointF(bar->mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(bar, &e);
  }
};
}  // namespace

class TestAlsaPulse : public QObject {
  Q_OBJECT
  QTemporaryDir home_;
 private Q_SLOTS:
  void onTheServer() {  // first: HOME must be the test's own before ALSA reads it
    QVERIFY2(qEnvironmentVariableIsSet("PULSE_SERVER"), "run under tests/support/with_pulse.sh");
    QVERIFY(writeFile(home_.filePath(".asoundrc"), "pcm.!default { type pulse }\nctl.!default { type pulse }\n"));
    qputenv("HOME", home_.path().toUtf8());  // whatever the machine's own configuration says
    AlsaMixer m;
    Mixer::Control sp;
    QVERIFY(m.open() == 0 && m.volumeControl(Mixer::Line::Speakers, sp));
    QVERIFY(m.setValue(sp, 2000));
    setSink("50000");   // changed elsewhere since the mixer wrote it: the same value must still be written
    QTest::qWait(300);  // the server's change event reaches the plugin's thread
    QVERIFY(m.setValue(sp, 2000));
    QCOMPARE(volumes(), both(2000));
    // The slider on the same sink; start-up leaves the volume alone.
    setSink("50000");
    AlsaMixerFactory alsa;
    TestWindow f([&](FakePlatform& p) { p.mixers.real = &alsa; });
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

  void noSoundServer() {
    // A server named where none listens: a pulse client must not start one of its own.
    qputenv("XDG_RUNTIME_DIR", home_.path().toUtf8());
    qputenv("PULSE_SERVER", "unix:" + home_.filePath(QStringLiteral("native")).toUtf8());
    AlsaMixerFactory alsa;
    TestWindow f([&](FakePlatform& p) { p.mixers.real = &alsa; });
    f.w.reload();
    Press(f.w.vsVolume, QStyle::SC_ScrollBarAddLine);
    QList<int> seen{f.w.vsVolume->Value(), f.w.volume->prSpeakerVolume()};
    Press(f.w.vsVolume).by(2000);
    seen << f.w.vsVolume->Value() << f.w.volume->prSpeakerVolume();
    f.w.action(QStringLiteral("vol"))->trigger();  // no panel to start either
    const QString noMixer = QStringLiteral("[stop] Volume Control: Could not open the mixer.");
    QCOMPARE(f.fp.messages.boxes,
             (QStringList{noMixer, noMixer, "Savrel超级播放器: 无法打开音量控制！"}));  // once per load
    QCOMPARE(seen, (QList{1, 2, 32767, 65534}));  // the layout range 0..32767, moving, its values going nowhere
  }
};

QTEST_MAIN(TestAlsaPulse)
#include "test_alsa_pulse.moc"
