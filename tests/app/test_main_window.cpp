// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on fakes: start-up, display switches, geometry, background reset, reload.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "core/range_scrollbar.h"
#include "fakes/fakes.h"

namespace {
const QString kGone = QStringLiteral("/home/u/gone.bmp");
const char* const kGroups[] = {"cdload",  "vcdload",  "lblindicator", "lbltrack",
                               "lbltime", "lsttrack", "HScroll1",     "cmd_scr"};
const char* const kSwitches[] = {"switch_cd",   "switch_vcd",  "switch_play", "switch_track",
                                 "switch_time", "switch_list", "switch_hsb"};

QStringList hidden(const frmcd& w) {
  QStringList out;
  for (const char* n : kGroups)
    if (w.findChild<QWidget*>(QLatin1String(n))->isHidden()) out << QLatin1String(n);
  return out;
}
}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void firstStart() {
    TestWindow t;
    QCOMPARE(hidden(t.w), QStringList{"cmd_scr"});
    QCOMPARE(t.rows(), QStringList{"播放列表:"});
    QVERIFY(t.fp.settings.writes.isEmpty());  // a start writes nothing
  }

  // Each switch hides its group and shows it again; the next load finds it as it was left.
  void switches_data() {
    QTest::addColumn<QString>("off");
    QTest::addColumn<QString>("on");
    QTest::addColumn<QStringList>("hidden");  // after off; on leaves only the capture button hidden
    for (int i = 0; i < 7; ++i)
      QTest::newRow(kSwitches[i]) << QString(kSwitches[i]) << QString(kSwitches[i])
                                  << QStringList{kGroups[i], "cmd_scr"};
    QTest::newRow("all") << QStringLiteral("switch_alloff") << QStringLiteral("switch_allon")
                         << QStringList(std::begin(kGroups), std::end(kGroups));
  }

  void switches() {
    QFETCH(QString, off);
    QFETCH(QString, on);
    QFETCH(QStringList, hidden);
    TestWindow t;
    t.w.action(off)->trigger();
    QCOMPARE(::hidden(t.w), hidden);
    t.w.reload();
    QCOMPARE(::hidden(t.w), hidden);
    t.w.action(on)->trigger();
    t.w.reload();
    QCOMPARE(::hidden(t.w), QStringList{"cmd_scr"});
  }

  // Stored geometry is taken whole; a height beyond 16 bits skips it all.
  void geometryRestored_data() {
    QTest::addColumn<QString>("height");
    QTest::addColumn<bool>("restored");
    QTest::newRow("stored") << "3000" << true;
    QTest::newRow("height beyond 16 bits") << "40000" << false;
  }
  void geometryRestored() {
    QFETCH(QString, height);
    QFETCH(bool, restored);
    TestWindow t([&](FakePlatform& fp) {
      for (const auto& [key, v] :
           {std::pair{"Width", QStringLiteral("4500")}, {"Height", height}, {"top", "1200"}, {"left", "1500"}})
        fp.settings.set(QStringLiteral("size"), QLatin1String(key), v);
    });
    QCOMPARE(QRectF(t.w.Left(), t.w.Top(), t.w.Width(), t.w.Height()) == QRectF(1500, 1200, 4500, 3000), restored);
  }

  // A stored background that is gone: said, and the default taken and stored, so the next start says nothing.
  void deletedBackgroundResets() {
    TestWindow t([](FakePlatform& fp) { fp.settings.set(QStringLiteral("size"), QStringLiteral("bg"), kGone); });
    QCOMPARE(t.fp.messages.boxes, QStringList{"Savrel超级播放器: 背景文件不存在。背景文件复位。"});
    QCOMPARE(t.fp.settings.value(QStringLiteral("size"), QStringLiteral("bg")), t.fp.programFolder + "/bg.bmp");
    QCOMPARE(t.w.picture().size(), QSize(20, 10));
    QCOMPARE(t.w.lsttrack->count(), 1);  // load went on
  }

  void missingDefaultBackgroundEnds() {
    TestWindow t(
        [](FakePlatform& fp) {
          fp.pictures.files.clear();
          fp.settings.set(QStringLiteral("size"), QStringLiteral("bg"), kGone);
        },
        TestWindow::Fakes, false);
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, t.w.start());
    QCOMPARE(t.fp.messages.boxes, (QStringList{"Savrel超级播放器: 背景文件不存在。背景文件复位。",
                                               "Savrel超级播放器: 背景复位失败！bg.bmp丢失，请重装。"}));
    QCOMPARE(t.fp.settings.value(QStringLiteral("size"), QStringLiteral("bg")), kGone);  // next start says the same

    TestWindow none([](FakePlatform& fp) { fp.pictures.files.clear(); });  // nothing stored, no bg.bmp
    QVERIFY(none.w.picture().isNull() && none.fp.messages.shown.isEmpty());
  }

  // A reload (the CD button's) brings back the start-up caption and a fresh volume object.
  void reload() {
    TestWindow t;
    t.w.setWindowTitle(QStringLiteral("Savrel超级播放器-播放多媒体文件"));
    t.w.reload();
    QCOMPARE(t.w.windowTitle(), frmcd::kTitle);
    QCOMPARE(t.fp.mixers.state.opens, 2);
    QVERIFY(t.w.isVisible());
  }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
