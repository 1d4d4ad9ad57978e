// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on fakes: start-up, display switches, geometry, background reset, reload.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/frmcd.h"
#include "app/settings_store.h"
#include "core/range_scrollbar.h"
#include "fakes/fakes.h"
#include "playback/media_control.h"

namespace {
const QString kBg = QStringLiteral("/opt/mirova/bg.bmp");
const QString kGone = QStringLiteral("/home/u/gone.bmp");
const char* kGroups[] = {"cdload", "vcdload", "lblindicator", "lbltrack", "lbltime", "lsttrack", "HScroll1", "cmd_scr"};
const char* const kSwitches[] = {"switch_cd",   "switch_vcd",  "switch_play", "switch_track",
                                 "switch_time", "switch_list", "switch_hsb"};
const char* const kKeys[] = {"cd", "vcd", "indicator", "track", "time", "list", "hsb"};
const QStringList kAllOff{"kj/cd=0",   "kj/vcd=0",  "kj/indicator=0", "kj/track=0",
                          "kj/time=0", "kj/list=0", "kj/cam=0",       "kj/hsb=0"};
const QStringList kAllOn{"kj/cd=1", "kj/vcd=1", "kj/indicator=1", "kj/track=1", "kj/time=1", "kj/list=1", "kj/hsb=1"};

struct Fixture {
  FakePlatform fp;
  Platform p = fp.platform();
  std::unique_ptr<frmcd> w;
  explicit Fixture(bool withBg = true) {
    if (withBg) fp.pictures.add(kBg, {233, 179});
  }
  frmcd& start() {
    w = std::make_unique<frmcd>(p);
    w->start();
    return *w;
  }
  QStringList hidden() const {
    QStringList out;
    for (const char* n : kGroups)
      if (w->findChild<QWidget*>(QLatin1String(n))->isHidden()) out << QLatin1String(n);
    return out;
  }
};
}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void firstStart();
  void switches_data();
  void switches();
  void geometryRoundTripThroughIniFile();
  void deletedBackgroundResets();
  void missingDefaultBackgroundEnds();
  void reloadKeepsPlaybackMembers();
};

void TestMainWindow::firstStart() {
  Fixture f;
  frmcd& w = f.start();
  QCOMPARE(f.hidden(), QStringList{"cmd_scr"});
  QVERIFY(!w.HScroll1->isEnabled());
  QCOMPARE(w.lsttrack->count(), 1);
  QCOMPARE(w.lsttrack->item(0)->text(), QStringLiteral("播放列表:"));
  QCOMPARE(w.lbltrack->text(), QStringLiteral("0"));
  QCOMPARE(w.lbltime->text(), QStringLiteral("00:00"));
  QCOMPARE(w.picture().size(), QSize(233, 179));
  QVERIFY(f.fp.settings.writes.isEmpty());  // a start writes nothing
}

void TestMainWindow::switches_data() {
  QTest::addColumn<QString>("off");
  QTest::addColumn<QString>("on");
  QTest::addColumn<QStringList>("hidden");  // after off; on leaves only the capture button hidden
  QTest::addColumn<QStringList>("writes");
  for (int i = 0; i < 7; ++i)
    QTest::newRow(kKeys[i]) << QString(kSwitches[i]) << QString(kSwitches[i]) << QStringList{kGroups[i], "cmd_scr"}
                            << QStringList{"kj/" + QString(kKeys[i]) + "=0", "kj/" + QString(kKeys[i]) + "=1"};
  QTest::newRow("all") << QStringLiteral("switch_alloff") << QStringLiteral("switch_allon")
                       << QStringList(std::begin(kGroups), std::end(kGroups)) << kAllOff + kAllOn;
}

void TestMainWindow::switches() {
  QFETCH(QString, off);
  QFETCH(QString, on);
  QFETCH(QStringList, hidden);
  QFETCH(QStringList, writes);
  Fixture f;
  frmcd& w = f.start();
  w.action(off)->trigger();
  QCOMPARE(f.hidden(), hidden);
  w.action(on)->trigger();
  QCOMPARE(f.hidden(), QStringList{"cmd_scr"});
  QCOMPARE(f.fp.settings.writes, writes);
}

void TestMainWindow::geometryRoundTripThroughIniFile() {
  QTemporaryDir dir;
  IniSettingsStore ini(dir.path());
  FakePlatform fp;
  Platform withIni{ini,           fp.lock,  fp.autoPlay, fp.messages, fp.exit,          fp.pictures, fp.launcher,
                   fp.filePicker, fp.media, fp.mixers,   fp.screen,   fp.programFolder, fp.drives,   fp.mci};
  frmcd first(withIni);
  first.start();
  first.setWidth(4500);
  first.setHeight(3000);
  first.setLeft(1500);
  first.setTop(1200);
  first.close();  // closing saves the geometry
  QFile file(dir.path() + QStringLiteral("/mirova/mirova.ini"));
  QVERIFY(file.open(QIODevice::ReadOnly) &&
          file.readAll().contains("[size]\nheight=3000\nwidth=4500\ntop=1200\nleft=1500\n"));
  frmcd w(withIni);
  w.start();  // load reads "Width" and "Height"
  QCOMPARE(QRectF(w.Left(), w.Top(), w.Width(), w.Height()), QRectF(1500, 1200, 4500, 3000));
  ini.write(QStringLiteral("mirova"), QStringLiteral("size"), QStringLiteral("Height"), QStringLiteral("40000"));
  frmcd skipped(withIni);
  skipped.start();  // a height beyond 16 bits skips the whole restore
  QVERIFY(skipped.Left() != 1500 && skipped.Width() != 4500);
}

void TestMainWindow::deletedBackgroundResets() {
  Fixture f;
  f.fp.settings.set(QStringLiteral("size"), QStringLiteral("bg"), kGone);
  f.fp.settings.set(QStringLiteral("kj"), QStringLiteral("cd"), QStringLiteral("0"));
  frmcd& w = f.start();
  QCOMPARE(f.fp.messages.boxes, QStringList{"Savrel超级播放器: 背景文件不存在。背景文件复位。"});
  QCOMPARE(f.fp.settings.writes, (kAllOn + QStringList{"size/height=2685", "size/width=3495", "size/top=2895",
                                                       "size/left=4005", "size/bg=" + kBg}));
  QCOMPARE(QRectF(w.Left(), w.Top(), w.Width(), w.Height()), QRectF(4005, 2895, 3495, 2685));
  QCOMPARE(w.picture().size(), QSize(233, 179));
  QCOMPARE(w.lsttrack->count(), 1);  // load went on
}

void TestMainWindow::missingDefaultBackgroundEnds() {
  Fixture f(false);
  f.fp.settings.set(QStringLiteral("size"), QStringLiteral("bg"), kGone);
  QVERIFY_THROWS_EXCEPTION(ProgramEnded, f.start());
  QCOMPARE(f.fp.messages.boxes, (QStringList{"Savrel超级播放器: 背景文件不存在。背景文件复位。",
                                             "Savrel超级播放器: 背景复位失败！bg.bmp丢失，请重装。"}));
  QCOMPARE(f.fp.settings.value(QStringLiteral("size"), QStringLiteral("bg")), kGone);  // next start says the same

  Fixture none(false);  // nothing stored and no bg.bmp: starts without a picture
  QVERIFY(none.start().picture().isNull() && none.fp.messages.shown.isEmpty());
}

void TestMainWindow::reloadKeepsPlaybackMembers() {
  Fixture f;
  f.fp.settings.set(QStringLiteral("kj"), QStringLiteral("hsb"), QStringLiteral("0"));
  frmcd& w = f.start();
  w.listmode = basic::kTrue;
  w.filelist = QStringList{QString(), "a.mp3", "b.mp3"};
  w.curfile = 2;
  w.multidir = QStringLiteral("/music");
  w.cmd_scr->show();
  w.HScroll1->show();
  w.setWindowTitle(QStringLiteral("Savrel超级播放器-播放多媒体文件"));
  f.fp.settings.writes.clear();

  w.reload();

  for (QString& s : f.fp.settings.writes) s = s.section('=', 0, 0);
  QCOMPARE(f.fp.settings.writes, (QStringList{"size/height", "size/width", "size/top", "size/left"}));
  QCOMPARE(w.listmode, basic::kTrue);
  QCOMPARE(w.filelist.size(), 3);
  QCOMPARE(w.curfile, qint16(2));
  QCOMPARE(w.multidir, QStringLiteral("/music"));
  QCOMPARE(f.hidden(), (QStringList{"HScroll1", "cmd_scr"}));
  QCOMPARE(w.windowTitle(), QStringLiteral("Savrel超级播放器"));  // the start-up caption again
  QCOMPARE(f.fp.mixers.state.opens, 2);                           // a new volume object
  QVERIFY(w.isVisible());
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
