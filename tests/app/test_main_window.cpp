// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on fakes: display switches and reload, geometry, background reset.
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
  // A start writes nothing. Each switch hides its group and shows it again; a
  // reload (the CD button's) brings back the start-up caption, and the groups as they were left.
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
    QVERIFY(t.fp.settings.writes.isEmpty());
    t.w.action(off)->trigger();
    QCOMPARE(::hidden(t.w), hidden);
    t.w.setWindowTitle(QStringLiteral("Savrel超级播放器-播放多媒体文件"));
    t.w.reload();
    QCOMPARE(::hidden(t.w), hidden);
    QCOMPARE(t.w.windowTitle(), frmcd::kTitle);
    t.w.action(on)->trigger();
    t.w.reload();
    QCOMPARE(::hidden(t.w), QStringList{"cmd_scr"});
  }

  // Stored geometry is taken whole or not at all (restoring it is the e2e start-up
  // test's): a height beyond 16 bits skips it all.
  void geometryBeyond16BitsSkipped() {
    TestWindow t([](FakePlatform& fp) {
      for (const auto& [key, v] : {std::pair{"Width", "4500"}, {"Height", "40000"}, {"top", "1200"}, {"left", "1500"}})
        fp.settings.set(QStringLiteral("size"), QLatin1String(key), QLatin1String(v));
    });
    TestWindow fresh;  // nothing stored
    const auto rect = [](const frmcd& w) { return QRectF(w.Left(), w.Top(), w.Width(), w.Height()); };
    QCOMPARE(rect(t.w), rect(fresh.w));
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
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
