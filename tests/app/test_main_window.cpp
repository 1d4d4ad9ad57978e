// The main window on fakes: start-up, switches, layout reset, geometry,
// reload, exits and the capture notice.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/frmcd.h"
#include "app/settings_store.h"
#include "core/range_scrollbar.h"
#include "dialogs/capture_notice.h"
#include "fakes/fakes.h"
#include "playback/media_control.h"

namespace {
const QString kBg = QStringLiteral("/opt/mirova/bg.bmp");
const char* const kGroups[] = {"cdload", "vcdload", "lblindicator", "lbltrack", "lbltime", "lsttrack", "HScroll1"};

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
  // Starts and reports whether the program ended on the way.
  bool startEnds() {
    try {
      start();
    } catch (const ProgramEnded&) {
      return true;
    }
    return false;
  }
  QStringList hidden() const {
    QStringList out;
    for (const char* n : kGroups)
      if (w->findChild<QWidget*>(QLatin1String(n))->isHidden()) out << QLatin1String(n);
    if (w->cmd_scr->isHidden()) out << QStringLiteral("cmd_scr");
    return out;
  }
  void trigger(const char* action) { w->action(QLatin1String(action))->trigger(); }
};
}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void firstStart();
  void layout_data();
  void layout();
  void storedSwitches_data();
  void storedSwitches();
  void oneSwitch_data();
  void oneSwitch();
  void allOffAllOn();
  void captureSwitchGoesThroughNotice();
  void geometryRoundTripThroughIniFile();
  void unusableGeometrySkipsRestore();
  void deletedBackgroundResets();
  void missingDefaultBackgroundEnds();
  void reloadKeepsPlaybackMembers();
  void exitButCdWritesNothing();
};

void TestMainWindow::firstStart() {
  Fixture f;
  frmcd& w = f.start();
  QCOMPARE(w.windowTitle(), QStringLiteral("Savrel超级播放器"));
  QCOMPARE(f.hidden(), QStringList{"cmd_scr"});
  QVERIFY(w.piccopy->isHidden());
  QVERIFY(!w.HScroll1->isEnabled());
  QCOMPARE(w.lsttrack->count(), 1);
  QCOMPARE(w.lsttrack->item(0)->text(), QStringLiteral("播放列表:"));
  QCOMPARE(w.lbltrack->text(), QStringLiteral("0"));
  QCOMPARE(w.lbltime->text(), QStringLiteral("00:00"));
  QCOMPARE(w.step_time, 1000.0);
  QVERIFY(w.mcicdplayer->shareflag());
  QCOMPARE(w.mcicdplayer->UpdateInterval(), 0);
  QVERIFY(f.fp.media.createdTypes.isEmpty());  // no device opened
  QCOMPARE(f.fp.autoPlay.commands, QStringList{QStringLiteral("/opt/mirova/mirova")});
  QCOMPARE(w.picture().size(), QSize(233, 179));
  QVERIFY(f.fp.settings.writes.isEmpty());  // a start writes nothing
  QCOMPARE(w.area->size(), frmcd::kDesignClient);
}

void TestMainWindow::layout_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("twips");
  QTest::newRow("cdload") << "cdload" << QRect(120, 120, 420, 260);
  QTest::newRow("cmd_scr") << "cmd_scr" << QRect(120, 1080, 420, 250);
  QTest::newRow("lblindicator") << "lblindicator" << QRect(840, 195, 135, 135);
  QTest::newRow("lbltime") << "lbltime" << QRect(1560, 120, 510, 240);
  QTest::newRow("vsVolume") << "vsVolume" << QRect(2250, 240, 90, 1200);
  QTest::newRow("lsttrack") << "lsttrack" << QRect(2400, 0, 975, 1680);
  QTest::newRow("HScroll1") << "HScroll1" << QRect(0, 1540, 2415, 90);
  QTest::newRow("mcicdplayer") << "mcicdplayer" << QRect(-15, 1620, 3400, 390);
}

void TestMainWindow::layout() {
  QFETCH(QString, name);
  QFETCH(QRect, twips);
  Fixture f;
  f.start();
  const QRect px = f.w->findChild<QWidget*>(name)->geometry();
  // Whole pixels at 15 twips each: within half a pixel.
  for (auto [got, want] :
       {std::pair{px.x(), twips.x()}, {px.y(), twips.y()}, {px.width(), twips.width()}, {px.height(), twips.height()}})
    QVERIFY2(std::abs(got * 15 - want) <= 8,
             qPrintable(QStringLiteral("%1: %2 px for %3 twips").arg(name).arg(got).arg(want)));
}

void TestMainWindow::storedSwitches_data() {
  QTest::addColumn<QStringList>("stored");  // key=value
  QTest::addColumn<QStringList>("hidden");
  QTest::newRow("cd off only") << QStringList{"cd=0"} << QStringList{"cdload", "cmd_scr"};
  QTest::newRow("cam on is never read") << QStringList{"cam=1"} << QStringList{"cmd_scr"};
  QTest::newRow("other numbers and words are on")
      << QStringList{"list=-1", "hsb=2", "time=off"} << QStringList{"cmd_scr"};
}

void TestMainWindow::storedSwitches() {
  QFETCH(QStringList, stored);
  QFETCH(QStringList, hidden);
  Fixture f;
  for (const QString& kv : stored) f.fp.settings.set(QStringLiteral("kj"), kv.section('=', 0, 0), kv.section('=', 1));
  f.start();
  QCOMPARE(f.hidden(), hidden);
}

void TestMainWindow::oneSwitch_data() {
  QTest::addColumn<QString>("action");
  QTest::addColumn<QString>("control");
  QTest::addColumn<QString>("key");
  QTest::newRow("cd") << "switch_cd"
                      << "cdload"
                      << "cd";
  QTest::newRow("vcd") << "switch_vcd"
                       << "vcdload"
                       << "vcd";
  QTest::newRow("lamp") << "switch_play"
                        << "lblindicator"
                        << "indicator";
  QTest::newRow("track") << "switch_track"
                         << "lbltrack"
                         << "track";
  QTest::newRow("time") << "switch_time"
                        << "lbltime"
                        << "time";
  QTest::newRow("list") << "switch_list"
                        << "lsttrack"
                        << "list";
  QTest::newRow("slider") << "switch_hsb"
                          << "HScroll1"
                          << "hsb";
}

void TestMainWindow::oneSwitch() {
  QFETCH(QString, action);
  QFETCH(QString, control);
  QFETCH(QString, key);
  Fixture f;
  frmcd& w = f.start();
  QWidget* c = w.findChild<QWidget*>(control);
  w.action(action)->trigger();
  QVERIFY(c->isHidden());
  w.action(action)->trigger();
  QVERIFY(!c->isHidden());
  QCOMPARE(f.fp.settings.writes, (QStringList{"kj/" + key + "=0", "kj/" + key + "=1"}));
}

void TestMainWindow::allOffAllOn() {
  Fixture f;
  f.start();
  f.trigger("switch_alloff");
  QCOMPARE(f.fp.settings.writes, (QStringList{"kj/cd=0", "kj/vcd=0", "kj/indicator=0", "kj/track=0", "kj/time=0",
                                              "kj/list=0", "kj/cam=0", "kj/hsb=0"}));
  QCOMPARE(f.hidden().size(), 8);
  f.fp.settings.writes.clear();
  f.trigger("switch_allon");
  QCOMPARE(f.fp.settings.writes,
           (QStringList{"kj/cd=1", "kj/vcd=1", "kj/indicator=1", "kj/track=1", "kj/time=1", "kj/list=1", "kj/hsb=1"}));
  QCOMPARE(f.hidden(), QStringList{"cmd_scr"});  // all on leaves the capture button alone
}

void TestMainWindow::captureSwitchGoesThroughNotice() {
  Fixture f;
  frmcd& w = f.start();
  f.trigger("switch_cam");
  QVERIFY(w.cmd_scr->isHidden());
  QPointer<Dialog> notice = w.captureNotice;
  QVERIFY(notice && notice->isVisible());
  QTest::mouseClick(notice->Command1, Qt::LeftButton);  // no display tool on this machine
  QCOMPARE(f.fp.messages.texts(), QStringList{"无法打开dxdiag！可能是未安装directX。"});
  QVERIFY(notice->isVisible());
  QTest::mouseClick(notice->OKButton, Qt::LeftButton);
  QVERIFY(!w.cmd_scr->isHidden());
  QTRY_VERIFY(!notice);  // closed and gone
  QVERIFY(f.fp.settings.writes.isEmpty());
  f.trigger("switch_cam");  // visible: hides and writes
  QVERIFY(w.cmd_scr->isHidden());
  QCOMPARE(f.fp.settings.writes, QStringList{"kj/cam=0"});
  w.menu_scr_Click();  // leaving by the close box shows nothing
  w.captureNotice->close();
  QTRY_VERIFY(!w.captureNotice);
  QVERIFY(w.cmd_scr->isHidden());
}

void TestMainWindow::geometryRoundTripThroughIniFile() {
  QTemporaryDir dir;
  IniSettingsStore ini(dir.path());
  Fixture f;
  Platform p = f.p;
  Platform withIni{ini,          p.instanceLock, p.autoPlay, p.messages, p.programExit,   p.pictures, p.launcher,
                   p.filePicker, p.media,        p.mixers,   p.screen,   p.programFolder, p.drives};
  {
    frmcd w(withIni);
    w.start();
    w.setWidth(4500);
    w.setHeight(3000);
    w.setLeft(1500);
    w.setTop(1200);
    w.close();
  }
  QFile file(dir.path() + QStringLiteral("/mirova/mirova.ini"));
  QVERIFY(file.open(QIODevice::ReadOnly));
  QVERIFY(file.readAll().contains("[size]\nheight=3000\nwidth=4500\ntop=1200\nleft=1500\n"));
  frmcd w(withIni);
  w.start();  // load reads "Width" and "Height"
  QCOMPARE(QRectF(w.Left(), w.Top(), w.Width(), w.Height()), QRectF(1500, 1200, 4500, 3000));
}

void TestMainWindow::unusableGeometrySkipsRestore() {
  Fixture f;
  for (const char* key : {"width", "top", "left"}) f.fp.settings.set(QStringLiteral("size"), QLatin1String(key), "300");
  f.fp.settings.set(QStringLiteral("size"), QStringLiteral("height"), QStringLiteral("40000"));
  frmcd& w = f.start();
  QVERIFY(w.Width() != 300.0 && w.Left() != 300.0);
}

void TestMainWindow::deletedBackgroundResets() {
  Fixture f;
  f.fp.settings.set(QStringLiteral("size"), QStringLiteral("bg"), QStringLiteral("/home/u/gone.bmp"));
  f.fp.settings.set(QStringLiteral("kj"), QStringLiteral("cd"), QStringLiteral("0"));
  frmcd& w = f.start();
  QCOMPARE(f.fp.messages.texts(), QStringList{"背景文件不存在。背景文件复位。"});
  QCOMPARE(f.hidden(), QStringList{"cmd_scr"});
  QCOMPARE(f.fp.settings.writes,
           (QStringList{"kj/cd=1", "kj/vcd=1", "kj/indicator=1", "kj/track=1", "kj/time=1", "kj/list=1", "kj/hsb=1",
                        "size/height=2685", "size/width=3495", "size/top=2895", "size/left=4005", "size/bg=" + kBg}));
  QCOMPARE(QRectF(w.Left(), w.Top(), w.Width(), w.Height()), QRectF(4005, 2895, 3495, 2685));
  QCOMPARE(w.picture().size(), QSize(233, 179));
  QCOMPARE(w.lsttrack->count(), 1);  // load went on
}

void TestMainWindow::missingDefaultBackgroundEnds() {
  Fixture f(false);
  f.fp.settings.set(QStringLiteral("size"), QStringLiteral("bg"), QStringLiteral("/home/u/gone.bmp"));
  QVERIFY(f.startEnds());
  QCOMPARE(f.fp.messages.texts(),
           (QStringList{"背景文件不存在。背景文件复位。", "背景复位失败！bg.bmp丢失，请重装。"}));
  // The failed reset keeps the old path, so the next start says the same.
  QCOMPARE(f.fp.settings.value(QStringLiteral("size"), QStringLiteral("bg")), QStringLiteral("/home/u/gone.bmp"));

  Fixture none(false);  // nothing stored and no bg.bmp: starts without a picture
  QVERIFY(!none.startEnds());
  QVERIFY(none.w->picture().isNull() && none.fp.messages.shown.isEmpty());
}

void TestMainWindow::reloadKeepsPlaybackMembers() {
  Fixture f;
  f.fp.settings.set(QStringLiteral("kj"), QStringLiteral("hsb"), QStringLiteral("0"));
  frmcd& w = f.start();
  w.listmode = basic::kTrue;
  w.filelist = QStringList{QString(), "a.mp3", "b.mp3"};
  w.curfile = 2;
  w.multidir = QStringLiteral("/music");
  w.seekskip = basic::kTrue;
  w.step_time = 5.0;
  w.cmd_scr->show();
  w.HScroll1->show();
  w.lsttrack->addItem(QStringLiteral("a.mp3"));
  w.lbltime->setText(QStringLiteral("03:06"));
  f.fp.settings.writes.clear();

  w.reload();

  QStringList keys;
  for (const QString& s : f.fp.settings.writes) keys << s.section('=', 0, 0);
  QCOMPARE(keys, (QStringList{"size/height", "size/width", "size/top", "size/left"}));
  QCOMPARE(w.listmode, basic::kTrue);
  QCOMPARE(w.filelist.size(), 3);
  QCOMPARE(w.curfile, qint16(2));
  QCOMPARE(w.multidir, QStringLiteral("/music"));
  QCOMPARE(w.seekskip, basic::kFalse);  // load sets these two
  QCOMPARE(w.step_time, 1000.0);
  QCOMPARE(f.hidden(), (QStringList{"HScroll1", "cmd_scr"}));
  QCOMPARE(w.lsttrack->count(), 1);
  QCOMPARE(w.lbltime->text(), QStringLiteral("00:00"));
  QCOMPARE(f.fp.mixers.state.opens, 2);  // a new volume object
  QVERIFY(w.isVisible());
}

void TestMainWindow::exitButCdWritesNothing() {
  Fixture f;
  f.start();
  try {
    f.trigger("exitbutcd");
    QFAIL("must end the program");
  } catch (const ProgramEnded&) {
  }
  QVERIFY(f.fp.settings.writes.isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
