// The volume class and slider on the fake mixer: start-up ranges, the
// arithmetic from thumb to mixer, drags, a missing mixer, the panel command.
#include <QAction>
#include <QSignalSpy>
#include <QTest>

#include "app/frmcd.h"
#include "core/range_scrollbar.h"
#include "fakes/fakes.h"
#include "slider_mouse.h"
#include "volume/cls_volume.h"

using namespace slider_mouse;

namespace {
struct Fixture {
  FakePlatform fp;
  Platform p = fp.platform();
  std::unique_ptr<frmcd> w;
  Fixture() { fp.pictures.add(fp.programFolder + QStringLiteral("/bg.bmp")); }
  frmcd& start() {
    w = std::make_unique<frmcd>(p);
    w->start();
    return *w;
  }
  const QList<QPair<quint32, quint32>>& writes() const { return fp.mixers.state.writes; }
  quint32 lastSpeakerWrite() const {
    for (auto it = writes().crbegin(); it != writes().crend(); ++it)
      if (it->first == fp.mixers.state.speakers.id) return it->second;
    return quint32(-1);
  }
};
}  // namespace

class TestVolumeSlider : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void sliderFollowsRange_data();
  void sliderFollowsRange();
  void dragWritesEveryPosition();
  void volumeClass_data();
  void volumeClass();
  void noMixer();
  void volumePanel_data();
  void volumePanel();
};

void TestVolumeSlider::sliderFollowsRange_data() {
  QTest::addColumn<int>("minimum");
  QTest::addColumn<int>("maximum");
  QTest::addColumn<int>("top");     // slider Min
  QTest::addColumn<int>("bottom");  // slider Max
  QTest::addColumn<int>("oneStepUp");
  QTest::addColumn<int>("atTop");
  QTest::addColumn<int>("atBottom");
  QTest::newRow("classic 0..65535") << 0 << 65535 << 32767 << 0 << 2000 << 65534 << 0;
  QTest::newRow("pulse 0..65536") << 0 << 65536 << 32767 << 0 << 2000 << 65536 << 0;
  QTest::newRow("wide 0..200000") << 0 << 200000 << 32767 << 0 << 6104 << 200000 << 0;
  QTest::newRow("hardware 0..31") << 0 << 31 << 15 << 0 << 30 << 30 << 0;
  QTest::newRow("minimum above 0") << 100 << 65535 << 32767 << 100 << 2200 << 65534 << 200;
}

void TestVolumeSlider::sliderFollowsRange() {
  QFETCH(int, minimum);
  QFETCH(int, maximum);
  QFETCH(int, top);
  QFETCH(int, bottom);
  QFETCH(int, oneStepUp);
  QFETCH(int, atTop);
  QFETCH(int, atBottom);
  Fixture f;
  f.fp.mixers.state.speakers = {1, minimum, maximum};
  frmcd& w = f.start();
  QCOMPARE(w.vsVolume->Min(), top);
  QCOMPARE(w.vsVolume->Max(), bottom);
  QCOMPARE(w.vsVolume->SmallChange(), 1000);
  QCOMPARE(w.vsVolume->LargeChange(), 1000);
  QVERIFY(f.fp.messages.shown.isEmpty());
  // The system volume stays as it was until the user moves the slider.
  QVERIFY(f.writes().isEmpty());

  clickArrow(w.vsVolume, true);
  QCOMPARE(f.writes().size(), 1);
  QCOMPARE(f.lastSpeakerWrite(), quint32(oneStepUp));
  dragToEnd(w.vsVolume, true);
  QCOMPARE(w.vsVolume->Value(), w.vsVolume->Min());
  QCOMPARE(f.lastSpeakerWrite(), quint32(atTop));
  dragToEnd(w.vsVolume, false);
  QCOMPARE(f.lastSpeakerWrite(), quint32(atBottom));
  QCOMPARE(w.volume->prSpeakerVolume(), atBottom);
}

void TestVolumeSlider::dragWritesEveryPosition() {
  Fixture f;
  frmcd& w = f.start();
  RangeScrollBar* bar = w.vsVolume;
  QSignalSpy scrolls(bar, &RangeScrollBar::Scroll);
  QSignalSpy changes(bar, &RangeScrollBar::Change);
  QList<int> seen;
  {
    Drag d(bar);
    for (int i = 0; i < 8; ++i) {
      const qsizetype before = f.writes().size();
      d.by(0, -3);
      // Each reported position reaches the mixer at once, as the value the
      // thumb now shows, not the one before it.
      QCOMPARE(f.writes().size(), before + 1);
      QCOMPARE(f.lastSpeakerWrite(), quint32(bar->Value() * 2));
      seen << bar->Value();
    }
    QCOMPARE(changes.size(), 0);
  }
  QCOMPARE(scrolls.size(), 8);
  QCOMPARE(changes.size(), 1);  // once, at the end of the drag
  QCOMPARE(f.lastSpeakerWrite(), quint32(seen.last() * 2));
  for (qsizetype i = 1; i < seen.size(); ++i) QVERIFY2(seen[i] > seen[i - 1], "up is louder");
}

void TestVolumeSlider::volumeClass_data() {
  QTest::addColumn<bool>("hasSpeakers");
  QTest::addColumn<bool>("hasMic");
  QTest::addColumn<QList<int>>("ranges");  // speaker min, max, mic min, max
  QTest::newRow("both lines") << true << true << QList<int>{0, 65535, 0, 65535};
  QTest::newRow("speakers only") << true << false << QList<int>{0, 65535, 0, 0};
  QTest::newRow("microphone only") << false << true << QList<int>{0, 0, 0, 65535};
}

void TestVolumeSlider::volumeClass() {
  QFETCH(bool, hasSpeakers);
  QFETCH(bool, hasMic);
  QFETCH(QList<int>, ranges);
  FakePlatform fp;
  fp.mixers.state.hasSpeakers = hasSpeakers;
  fp.mixers.state.hasMic = hasMic;
  clsVolume v(fp.mixers, fp.messages);
  QCOMPARE(v.prMixerErr(), 0);
  QCOMPARE(v.prSpeakerMaxVolume(), 0);
  v.meOpenMixer();
  v.meOpenMixer();
  QCOMPARE(fp.mixers.state.opens, 1);
  QCOMPARE(v.prMixerErr(), 0);
  QCOMPARE((QList<int>{v.prSpeakerMinVolume(), v.prSpeakerMaxVolume(), v.prMicMinVolume(), v.prMicMaxVolume()}),
           ranges);
  QVERIFY(fp.messages.shown.isEmpty());
  // Nothing is read back from the mixer; values go out unclamped.
  QCOMPARE(v.prSpeakerVolume(), 0);
  QCOMPARE(v.prMicVolume(), 0);
  v.prSpeakerVolume(70000);
  v.prMicVolume(-5);
  QCOMPARE(v.prSpeakerVolume(), 70000);
  QCOMPARE(v.prMicVolume(), -5);
  QList<QPair<quint32, quint32>> expected;
  if (hasSpeakers) expected << qMakePair(quint32(1), quint32(70000));
  if (hasMic) expected << qMakePair(quint32(2), quint32(-5));
  QCOMPARE(fp.mixers.state.writes, expected);
}

void TestVolumeSlider::noMixer() {
  Fixture f;
  f.fp.mixers.state.openError = 2;
  frmcd& w = f.start();
  QCOMPARE(f.fp.messages.shown.size(), 1);
  const FakeMessages::Shown& m = f.fp.messages.shown.first();
  QCOMPARE(m.text, QStringLiteral("Could not open the mixer."));
  QCOMPARE(m.title, QStringLiteral("Volume Control"));
  QCOMPARE(m.icon, MessageBoxes::Icon::Stop);
  QCOMPARE(w.volume->prMixerErr(), 2);
  // The slider keeps its layout defaults and still moves.
  QCOMPARE(w.vsVolume->Min(), 0);
  QCOMPARE(w.vsVolume->Max(), 32767);
  QCOMPARE(w.vsVolume->SmallChange(), 1);
  clickArrow(w.vsVolume, false);
  QCOMPARE(w.vsVolume->Value(), 1);
  dragToEnd(w.vsVolume, false);
  QCOMPARE(w.vsVolume->Value(), 32767);
  QCOMPARE(w.volume->prSpeakerVolume(), 65534);
  QVERIFY(f.writes().isEmpty());
  // One message per load of the window.
  w.reload();
  w.reload();
  QCOMPARE(f.fp.messages.texts(), QStringList(3, QStringLiteral("Could not open the mixer.")));
  QCOMPARE(f.fp.mixers.state.opens, 3);
  clickArrow(w.vsVolume, false);
  QCOMPARE(w.volume->prSpeakerVolume(), 2);
}

void TestVolumeSlider::volumePanel_data() {
  QTest::addColumn<QStringList>("installed");
  QTest::addColumn<QString>("desktop");
  QTest::addColumn<bool>("startFails");
  QTest::addColumn<QString>("started");  // program and arguments, blank-separated; empty: the message
  QTest::newRow("pavucontrol first") << QStringList{"gnome-control-center", "pavucontrol", "pavucontrol-qt"} << "GNOME"
                                     << false << "pavucontrol";
  QTest::newRow("qt flavour") << QStringList{"pavucontrol-qt", "systemsettings"} << "KDE" << false << "pavucontrol-qt";
  QTest::newRow("running desktop's settings first")
      << QStringList{"gnome-control-center", "systemsettings"} << "KDE" << false << "systemsettings kcm_pulseaudio";
  QTest::newRow("another desktop's settings")
      << QStringList{"mate-volume-control"} << "ubuntu:GNOME" << false << "mate-volume-control";
  QTest::newRow("alsamixer in a terminal") << QStringList{"alsamixer", "xterm"} << "" << false << "xterm -e alsamixer";
  QTest::newRow("terminal without alsamixer") << QStringList{"x-terminal-emulator", "xterm"} << "" << false << "";
  QTest::newRow("nothing installed") << QStringList{} << "GNOME" << false << "";
  QTest::newRow("panel does not start") << QStringList{"pavucontrol"} << "" << true << "";
}

void TestVolumeSlider::volumePanel() {
  QFETCH(QStringList, installed);
  QFETCH(QString, desktop);
  QFETCH(QString, started);
  QFETCH(bool, startFails);
  qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
  Fixture f;
  f.fp.launcher.installed = installed;
  f.fp.launcher.startFails = startFails;
  frmcd& w = f.start();
  w.hide();
  w.action(QStringLiteral("vol"))->trigger();
  qunsetenv("XDG_CURRENT_DESKTOP");
  if (started.isEmpty()) {
    QVERIFY(f.fp.launcher.started.isEmpty());
    QCOMPARE(f.fp.messages.shown.size(), 1);
    QCOMPARE(f.fp.messages.shown[0].text, QStringLiteral("无法打开音量控制！"));
    QCOMPARE(f.fp.messages.shown[0].title, frmcd::kTitle);
    QVERIFY(w.isVisible());
    return;
  }
  QVERIFY(f.fp.messages.shown.isEmpty());
  QCOMPARE(f.fp.launcher.started.size(), 1);
  const Launcher::Command& c = f.fp.launcher.started[0];
  QCOMPARE(QStringList(c.program) + c.arguments, started.split(QLatin1Char(' ')));
}

QTEST_MAIN(TestVolumeSlider)
#include "test_volume_slider.moc"
