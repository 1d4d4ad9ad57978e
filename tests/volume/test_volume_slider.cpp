// SPDX-License-Identifier: GPL-3.0-or-later
// The volume slider on the fake mixer, and on ALSA with no sound server at all:
// its "default" leads to the pulse plugin with nothing behind it.
#include <QAction>
#include <QTest>

#include "volume/alsa_mixer.h"
#include "volume/cls_volume.h"
#include "volume_test.h"

class TestVolumeSlider : public QObject {
  Q_OBJECT
  QTemporaryDir home_;
 private Q_SLOTS:
  void noSoundServer() {  // first: HOME must be the test's own before ALSA reads it
    QVERIFY(alsaToPulse(home_));
    for (const char* v : {"HOME", "XDG_RUNTIME_DIR"}) qputenv(v, home_.path().toUtf8());
    // A server named where none listens: a pulse client must not start one of its own.
    qputenv("PULSE_SERVER", "unix:" + home_.filePath(QStringLiteral("native")).toUtf8());
    AlsaMixerFactory alsa;
    Window f(&alsa);
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

  void fakeMixer_data() {
    QTest::addColumn<QList<int>>(
        "values");  // range; slider top, bottom; written: one step up, at the top, at the bottom
    QTest::newRow("0..65535") << QList{0, 65535, 32767, 0, 2000, 65534, 0};
    QTest::newRow("hardware 0..31") << QList{0, 31, 15, 0, 30, 30, 0};
    QTest::newRow("minimum above 0") << QList{100, 65535, 32767, 100, 2200, 65534, 200};
  }
  void fakeMixer() {
    QFETCH(QList<int>, values);
    Window f(nullptr, {1, values[0], values[1]});
    RangeScrollBar* bar = f.w.vsVolume;
    const auto& writes = f.fp.mixers.state.writes;
    QVERIFY(writes.isEmpty());  // the system volume stays as it was until the user moves the slider
    QList<int> seen{bar->Min(), bar->Max()};
    Press(bar, QStyle::SC_ScrollBarSubLine);
    QCOMPARE(writes.size(), 1);
    seen << int(writes.last().second);
    for (int dy : {-2000, 2000}) Press(bar).by(dy), seen << int(writes.last().second);
    QCOMPARE(seen, values.mid(2));
    for (const auto& [id, value] : writes) QCOMPARE(id, 1u);  // the speakers' line only
  }
};

QTEST_MAIN(TestVolumeSlider)
#include "test_volume_slider.moc"
