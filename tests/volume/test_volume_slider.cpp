// The volume class and slider on the fake mixer: from thumb to mixer.
#include <QTest>

#include "volume/cls_volume.h"
#include "volume_test.h"

class TestVolumeSlider : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void sliderFollowsRange_data() {
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QList<int>>("expected");  // slider top, bottom; written: one step up, at the top, at the bottom
    QTest::newRow("classic 0..65535") << 0 << 65535 << QList{32767, 0, 2000, 65534, 0};
    QTest::newRow("pulse 0..65536") << 0 << 65536 << QList{32767, 0, 2000, 65536, 0};
    QTest::newRow("wide 0..200000") << 0 << 200000 << QList{32767, 0, 6104, 200000, 0};
    QTest::newRow("hardware 0..31") << 0 << 31 << QList{15, 0, 30, 30, 0};
    QTest::newRow("minimum above 0") << 100 << 65535 << QList{32767, 100, 2200, 65534, 200};
  }
  void sliderFollowsRange() {
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    Window f(nullptr, {1, minimum, maximum});
    RangeScrollBar* bar = f.w.vsVolume;
    const auto& writes = f.fp.mixers.state.writes;
    QVERIFY(writes.isEmpty());  // the system volume stays as it was until the user moves the slider
    QList<int> seen{bar->Min(), bar->Max()};
    clickArrow(bar, true);
    QCOMPARE(writes.size(), 1);
    seen << int(writes.last().second);
    for (bool up : {true, false}) dragToEnd(bar, up), seen << int(writes.last().second);
    QTEST(seen, "expected");
    for (const auto& [id, value] : writes) QCOMPARE(id, 1u);
  }

  void volumeClass_data() {
    QTest::addColumn<QList<int>>("ranges");  // speaker min, max, mic min, max; max 0: no such line
    QTest::newRow("both lines") << QList{0, 65535, 10, 20000};
    QTest::newRow("speakers only") << QList{0, 65535, 0, 0};
    QTest::newRow("microphone only") << QList{0, 0, 10, 20000};
  }
  void volumeClass() {
    QFETCH(QList<int>, ranges);
    FakePlatform fp;
    fp.mixers.state.hasSpeakers = ranges[1] != 0;
    fp.mixers.state.hasMic = ranges[3] != 0;
    fp.mixers.state.mic = {2, 10, 20000};
    clsVolume v(fp.mixers, fp.messages);
    v.meOpenMixer();
    QCOMPARE((QList{v.prSpeakerMinVolume(), v.prSpeakerMaxVolume(), v.prMicMinVolume(), v.prMicMaxVolume()}), ranges);
    // Values go out unclamped, and only to the lines the mixer has.
    v.prSpeakerVolume(70000);
    v.prMicVolume(-5);
    QList<QPair<quint32, quint32>> expected;
    if (ranges[1]) expected << qMakePair(1u, 70000u);
    if (ranges[3]) expected << qMakePair(2u, quint32(-5));
    QCOMPARE(fp.mixers.state.writes, expected);
  }
};

QTEST_MAIN(TestVolumeSlider)
#include "test_volume_slider.moc"
