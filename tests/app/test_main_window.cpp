// The main window on fakes: start-up, switches, layout reset, geometry,
// reload, exits and the capture notice.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
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

struct Fixture {
  FakePlatform fp;
  Platform p = fp.platform();
  std::unique_ptr<frmcd> w;
  explicit Fixture(bool withBg = true) {
    if (withBg) fp.pictures.add(kBg, {233, 179}, Qt::darkCyan);
  }
  frmcd& start() {
    w = std::make_unique<frmcd>(p);
    w->start();
    return *w;
  }
  QWidget* control(const char* name) const { return w->findChild<QWidget*>(QLatin1String(name)); }
};

QStringList kjWrites(const QStringList& writes) {
  QStringList out;
  for (const QString& s : writes)
    if (s.startsWith(QLatin1String("kj/"))) out << s;
  return out;
}
}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void firstStart();
  void layout_data();
  void layout();
  void menuTree();
  void storedSwitches_data();
  void storedSwitches();
  void oneSwitch_data();
  void oneSwitch();
  void allOffAllOn();
  void captureSwitchGoesThroughNotice();
  void captureNoticeTools();
  void geometryRoundTripThroughIniFile();
  void unusableGeometrySkipsRestore_data();
  void unusableGeometrySkipsRestore();
  void deletedBackgroundResets();
  void missingDefaultBackgroundEnds();
  void noBackgroundAtAllStillStarts();
  void secondCopyTouchesNothing();
  void reloadKeepsPlaybackMembers();
  void exits();
  void resizeRescalesControls();
};

void TestMainWindow::firstStart() {
  Fixture f;
  frmcd& w = f.start();
  QCOMPARE(w.windowTitle(), QStringLiteral("Savrel超级播放器"));
  for (const char* shown :
       {"cdload", "vcdload", "lblindicator", "lbltrack", "lbltime", "lsttrack", "HScroll1", "vsVolume", "mcicdplayer"})
    QVERIFY2(!f.control(shown)->isHidden(), shown);
  QVERIFY(w.cmd_scr->isHidden());
  QVERIFY(w.piccopy->isHidden());
  QVERIFY(!w.HScroll1->isEnabled());
  QCOMPARE(w.lsttrack->count(), 1);
  QCOMPARE(w.lsttrack->item(0)->text(), QStringLiteral("播放列表:"));
  QCOMPARE(w.lbltrack->text(), QStringLiteral("0"));
  QCOMPARE(w.lbltime->text(), QStringLiteral("00:00"));
  QCOMPARE(w.step_time, 1000.0);
  QCOMPARE(w.seekskip, basic::kFalse);
  QVERIFY(w.bgpath.isEmpty());
  QVERIFY(w.mcicdplayer->shareflag());
  QCOMPARE(w.mcicdplayer->UpdateInterval(), 0);
  QVERIFY(!w.mcicdplayer->isOpen());
  QVERIFY(f.fp.media.createdTypes.isEmpty());  // no device opened
  QCOMPARE(f.fp.autoPlay.commands, QStringList{QStringLiteral("/opt/mirova/mirova")});
  QCOMPARE(f.fp.pictures.loaded, QStringList{kBg});
  QCOMPARE(w.picture().size(), QSize(233, 179));
  QVERIFY(f.fp.settings.writes.isEmpty());  // a start writes nothing
  QVERIFY(f.fp.messages.shown.isEmpty());
  QCOMPARE(f.fp.mixers.state.opens, 1);
  QCOMPARE(w.area->size(), frmcd::kDesignClient);
}

void TestMainWindow::layout_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("twips");
  QTest::addColumn<QString>("tip");
  QTest::newRow("cdload") << "cdload" << QRect(120, 120, 420, 260) << "搜索CD唱片";
  QTest::newRow("vcdload") << "vcdload" << QRect(120, 600, 420, 260) << "自动播放VCD";
  QTest::newRow("cmd_scr") << "cmd_scr" << QRect(120, 1080, 420, 250) << "截图";
  QTest::newRow("lblindicator") << "lblindicator" << QRect(840, 195, 135, 135) << "播放/停止指示灯";
  QTest::newRow("lbltrack") << "lbltrack" << QRect(1200, 120, 150, 240) << "当前曲目/文件";
  QTest::newRow("lbltime") << "lbltime" << QRect(1560, 120, 510, 240) << "当前播放时间";
  QTest::newRow("piccopy") << "piccopy" << QRect(1920, 480, 375, 495) << "";
  QTest::newRow("vsVolume") << "vsVolume" << QRect(2250, 240, 90, 1200) << "";
  QTest::newRow("lsttrack") << "lsttrack" << QRect(2400, 0, 975, 1680) << "曲目/文件列表";
  QTest::newRow("HScroll1") << "HScroll1" << QRect(0, 1540, 2415, 90) << "";
  QTest::newRow("mcicdplayer") << "mcicdplayer" << QRect(-15, 1620, 3400, 390) << "控制键";
}

void TestMainWindow::layout() {
  QFETCH(QString, name);
  QFETCH(QRect, twips);
  QFETCH(QString, tip);
  Fixture f;
  f.start();
  QWidget* c = f.w->findChild<QWidget*>(name);
  QVERIFY(c);
  const QRect px = c->geometry();
  // Positions are whole pixels at 15 twips each: within half a pixel.
  QVERIFY2(
      std::abs(px.x() * 15 - twips.x()) <= 8 && std::abs(px.y() * 15 - twips.y()) <= 8 &&
          std::abs(px.width() * 15 - twips.width()) <= 8 && std::abs(px.height() * 15 - twips.height()) <= 8,
      qPrintable(
          QStringLiteral("%1 at %2,%3 %4x%5 px").arg(name).arg(px.x()).arg(px.y()).arg(px.width()).arg(px.height())));
  QCOMPARE(c->toolTip(), tip);
  QCOMPARE(c->parentWidget(), f.w->area);
}

void TestMainWindow::menuTree() {
  Fixture f;
  frmcd& w = f.start();
  const QList<QPair<QString, QString>> expected = {
      {"device", "文件(&F)"},
      {"menu_cd", "播放 CD (&C)"},
      {"menu_files", "打开VCD WAV MIDI MP3等文件(&V)"},
      {"menu_vcd", "选择单个文件(&S)"},
      {"menu_multi", "选择多个文件(&M)"},
      {"menu_scr", "屏幕截图(&S)"},
      {"exitbutcd", "退出，但不停止CD音乐(&B)"},
      {"exit", "退出(&X)"},
      {"option", "选项(&O)"},
      {"background", "设置背景(&B)"},
      {"bjfile", "选择背景图片(&P)"},
      {"kj", "设置背景控件(&K)"},
      {"switch_cd", "CD按钮开/关(&C)"},
      {"switch_vcd", "VCD按钮开/关(&V)"},
      {"switch_cam", "截图按钮开/关(&P)"},
      {"switch_play", "播放指示灯开/关(&d)"},
      {"switch_track", "当前曲目指示器开/关(&Q)"},
      {"switch_time", "播放时间指示器开/关(&T)"},
      {"switch_list", "曲目列表开/关(&L)"},
      {"switch_hsb", "滚动控制条开/关(&S)"},
      {"switch_allon", "控件复位(&R)"},
      {"switch_alloff", "控件全关(&G)"},
      {"reset", "背景复位(&R)"},
      {"vol", "设置音量(&V)"},
      {"help_menu", "帮助(&H)"},
      {"help", "帮助(&H)"},
      {"about", "关于(&A)"},
  };
  for (const auto& [name, caption] : expected) {
    QAction* a = w.action(name);
    QVERIFY2(a, qPrintable(name));
    QCOMPARE(a->text(), caption);
    QVERIFY(a->isEnabled() && a->isVisible() && !a->isChecked() && a->shortcut().isEmpty());
  }
  for (const char* sep : {"a", "b", "c", "d"}) QVERIFY(w.action(QLatin1String(sep))->isSeparator());
  // The tree: submenus hold their items in order.
  const QList<QAction*> kj = w.action(QStringLiteral("kj"))->menu()->actions();
  QCOMPARE(kj.size(), 11);
  QCOMPARE(kj.first()->objectName(), QStringLiteral("switch_cd"));
  QCOMPARE(kj.last()->objectName(), QStringLiteral("switch_alloff"));
  const QList<QAction*> file = w.action(QStringLiteral("device"))->menu()->actions();
  QStringList names;
  for (QAction* a : file) names << a->objectName();
  QCOMPARE(names, (QStringList{"menu_cd", "menu_files", "menu_scr", "a", "exitbutcd", "exit"}));
}

void TestMainWindow::storedSwitches_data() {
  QTest::addColumn<QStringList>("stored");  // key=value
  QTest::addColumn<QStringList>("hidden");
  QTest::newRow("none") << QStringList{} << QStringList{"cmd_scr"};
  QTest::newRow("cd off only") << QStringList{"cd=0"} << QStringList{"cdload", "cmd_scr"};
  QTest::newRow("cam on") << QStringList{"cam=1"} << QStringList{"cmd_scr"};
  QTest::newRow("minus one is on") << QStringList{"list=-1", "hsb=2"} << QStringList{"cmd_scr"};
  QTest::newRow("not a number is on") << QStringList{"time=off"} << QStringList{"cmd_scr"};
  QTest::newRow("all off") << QStringList{"cd=0", "vcd=0", "indicator=0", "track=0", "time=0", "list=0", "hsb=0"}
                           << QStringList{"cdload",  "vcdload",  "lblindicator", "lbltrack",
                                          "lbltime", "lsttrack", "HScroll1",     "cmd_scr"};
}

void TestMainWindow::storedSwitches() {
  QFETCH(QStringList, stored);
  QFETCH(QStringList, hidden);
  Fixture f;
  for (const QString& kv : stored) f.fp.settings.set(QStringLiteral("kj"), kv.section('=', 0, 0), kv.section('=', 1));
  f.start();
  QStringList actual;
  for (const char* n : {"cdload", "vcdload", "lblindicator", "lbltrack", "lbltime", "lsttrack", "HScroll1", "cmd_scr"})
    if (f.control(n)->isHidden()) actual << QLatin1String(n);
  QCOMPARE(actual, hidden);
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
  QCOMPARE(f.fp.settings.value(QStringLiteral("kj"), key), QStringLiteral("0"));
  w.action(action)->trigger();
  QVERIFY(!c->isHidden());
  QCOMPARE(f.fp.settings.value(QStringLiteral("kj"), key), QStringLiteral("1"));
  QCOMPARE(kjWrites(f.fp.settings.writes), (QStringList{"kj/" + key + "=0", "kj/" + key + "=1"}));

  // Starting hidden, the same two presses end hidden with "0".
  Fixture g;
  g.fp.settings.set(QStringLiteral("kj"), key, QStringLiteral("0"));
  frmcd& w2 = g.start();
  w2.action(action)->trigger();
  w2.action(action)->trigger();
  QVERIFY(w2.findChild<QWidget*>(control)->isHidden());
  QCOMPARE(g.fp.settings.value(QStringLiteral("kj"), key), QStringLiteral("0"));
}

void TestMainWindow::allOffAllOn() {
  Fixture f;
  frmcd& w = f.start();
  w.cmd_scr->show();
  w.action(QStringLiteral("switch_alloff"))->trigger();
  QCOMPARE(kjWrites(f.fp.settings.writes), (QStringList{"kj/cd=0", "kj/vcd=0", "kj/indicator=0", "kj/track=0",
                                                        "kj/time=0", "kj/list=0", "kj/cam=0", "kj/hsb=0"}));
  for (const char* n : {"cdload", "vcdload", "lblindicator", "lbltrack", "lbltime", "lsttrack", "cmd_scr", "HScroll1"})
    QVERIFY2(f.control(n)->isHidden(), n);
  f.fp.settings.writes.clear();
  w.action(QStringLiteral("switch_allon"))->trigger();
  QCOMPARE(kjWrites(f.fp.settings.writes),
           (QStringList{"kj/cd=1", "kj/vcd=1", "kj/indicator=1", "kj/track=1", "kj/time=1", "kj/list=1", "kj/hsb=1"}));
  QVERIFY(w.cmd_scr->isHidden());  // all on leaves the capture button alone
  QCOMPARE(f.fp.settings.value(QStringLiteral("kj"), QStringLiteral("cam")), QStringLiteral("0"));
  for (const char* n : {"cdload", "vcdload", "lblindicator", "lbltrack", "lbltime", "lsttrack", "HScroll1"})
    QVERIFY2(!f.control(n)->isHidden(), n);
}

void TestMainWindow::captureSwitchGoesThroughNotice() {
  Fixture f;
  frmcd& w = f.start();
  w.action(QStringLiteral("switch_alloff"))->trigger();
  f.fp.settings.writes.clear();
  w.action(QStringLiteral("switch_cam"))->trigger();
  QVERIFY(w.cmd_scr->isHidden());
  QVERIFY(w.captureNotice && w.captureNotice->isVisible());
  QCOMPARE(w.captureNotice->windowTitle(), QStringLiteral("截图"));
  QPointer<Dialog> first = w.captureNotice;
  w.action(QStringLiteral("menu_scr"))->trigger();  // the same window comes forward
  QCOMPARE(w.captureNotice.data(), first.data());
  QTest::mouseClick(w.captureNotice->OKButton, Qt::LeftButton);
  QVERIFY(!w.cmd_scr->isHidden());
  QTRY_VERIFY(!first);  // closed and gone
  QVERIFY(f.fp.settings.writes.isEmpty());
  QCOMPARE(f.fp.settings.value(QStringLiteral("kj"), QStringLiteral("cam")), QStringLiteral("0"));

  w.action(QStringLiteral("switch_cam"))->trigger();  // visible: hides and writes
  QVERIFY(w.cmd_scr->isHidden());
  QCOMPARE(f.fp.settings.writes, QStringList{"kj/cam=0"});

  // Leaving the notice by its close box shows nothing.
  w.menu_scr_Click();
  QVERIFY(w.captureNotice);
  w.captureNotice->close();
  QTRY_VERIFY(!w.captureNotice);
  QVERIFY(w.cmd_scr->isHidden());
}

void TestMainWindow::captureNoticeTools() {
  Fixture f;
  frmcd& w = f.start();
  w.menu_scr_Click();
  Dialog* d = w.captureNotice;
  QCOMPARE(d->Label1->text().left(6), QStringLiteral("    注意"));
  QCOMPARE(d->OKButton->text(), QStringLiteral("显示截图按钮"));
  QCOMPARE(d->Command1->text(), QStringLiteral("运行Dxdiag"));
  QTest::mouseClick(d->Command1, Qt::LeftButton);
  QCOMPARE(f.fp.messages.texts(), QStringList{"无法打开dxdiag！可能是未安装directX。"});
  QCOMPARE(f.fp.messages.shown.last().title, QStringLiteral("Savrel超级播放器"));
  QVERIFY(d->isVisible());
  f.fp.launcher.installed = QStringList{"arandr", "xfce4-display-settings"};
  QTest::mouseClick(d->Command1, Qt::LeftButton);
  QCOMPARE(f.fp.launcher.started.size(), 1);
  QCOMPARE(f.fp.launcher.started.first().program, QStringLiteral("xfce4-display-settings"));
  QCOMPARE(f.fp.messages.shown.size(), 1);
  d->close();
}

void TestMainWindow::geometryRoundTripThroughIniFile() {
  QTemporaryDir dir;
  IniSettingsStore ini(dir.path());
  Fixture f;
  Platform p{ini,           f.fp.lock,          f.fp.autoPlay,   f.fp.messages, f.fp.exit,
             f.fp.pictures, f.fp.launcher,      f.fp.filePicker, f.fp.media,    f.fp.mixers,
             f.fp.screen,   f.fp.programFolder, f.fp.drives};
  {
    frmcd w(p);
    w.start();
    w.setWidth(4500);
    w.setHeight(3000);
    w.setLeft(1500);
    w.setTop(1200);
    w.close();
  }
  QCOMPARE(ini.read(QStringLiteral("mirova"), QStringLiteral("size"), QStringLiteral("width")), QStringLiteral("4500"));
  QCOMPARE(ini.read(QStringLiteral("mirova"), QStringLiteral("size"), QStringLiteral("height")),
           QStringLiteral("3000"));
  QCOMPARE(ini.read(QStringLiteral("mirova"), QStringLiteral("size"), QStringLiteral("left")), QStringLiteral("1500"));
  QCOMPARE(ini.read(QStringLiteral("mirova"), QStringLiteral("size"), QStringLiteral("top")), QStringLiteral("1200"));
  QFile file(dir.path() + QStringLiteral("/mirova/mirova.ini"));
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(file.readAll());
  QVERIFY2(text.contains(QStringLiteral("[size]\nheight=3000\nwidth=4500\ntop=1200\nleft=1500\n")), qPrintable(text));
  {
    frmcd w(p);
    w.start();  // load reads "Width" and "Height"
    QCOMPARE(w.Width(), 4500.0);
    QCOMPARE(w.Height(), 3000.0);
    QCOMPARE(w.Left(), 1500.0);
    QCOMPARE(w.Top(), 1200.0);
    w.close();
  }
}

void TestMainWindow::unusableGeometrySkipsRestore_data() {
  QTest::addColumn<QString>("height");
  QTest::newRow("40000") << "40000";
  QTest::newRow("absent") << QString();
  QTest::newRow("words") << "tall";
}

void TestMainWindow::unusableGeometrySkipsRestore() {
  QFETCH(QString, height);
  Fixture plain;
  frmcd& reference = plain.start();
  const QRect expected = reference.frameGeometry();
  Fixture f;
  f.fp.settings.set(QStringLiteral("size"), QStringLiteral("width"), QStringLiteral("6000"));
  f.fp.settings.set(QStringLiteral("size"), QStringLiteral("top"), QStringLiteral("300"));
  f.fp.settings.set(QStringLiteral("size"), QStringLiteral("left"), QStringLiteral("300"));
  if (!height.isNull()) f.fp.settings.set(QStringLiteral("size"), QStringLiteral("height"), height);
  frmcd& w = f.start();
  QCOMPARE(w.frameGeometry().size(), expected.size());
  QVERIFY(w.Width() != 6000.0);
}

void TestMainWindow::deletedBackgroundResets() {
  Fixture f;
  f.fp.settings.set(QStringLiteral("size"), QStringLiteral("bg"), QStringLiteral("/home/u/gone.bmp"));
  f.fp.settings.set(QStringLiteral("kj"), QStringLiteral("cd"), QStringLiteral("0"));
  frmcd& w = f.start();
  QCOMPARE(f.fp.messages.texts(), QStringList{"背景文件不存在。背景文件复位。"});
  QCOMPARE(f.fp.messages.shown.first().title, QStringLiteral("Savrel超级播放器"));
  QVERIFY(!w.cdload->isHidden());
  QVERIFY(w.cmd_scr->isHidden());
  QCOMPARE(f.fp.settings.writes,
           (QStringList{"kj/cd=1", "kj/vcd=1", "kj/indicator=1", "kj/track=1", "kj/time=1", "kj/list=1", "kj/hsb=1",
                        "size/height=2685", "size/width=3495", "size/top=2895", "size/left=4005", "size/bg=" + kBg}));
  QCOMPARE(w.Width(), 3495.0);
  QCOMPARE(w.Height(), 2685.0);
  QCOMPARE(w.Left(), 4005.0);
  QCOMPARE(w.Top(), 2895.0);
  QCOMPARE(w.bgpath, kBg);
  QCOMPARE(w.picture().size(), QSize(233, 179));
  // Load went on: header row and the rest are there.
  QCOMPARE(w.lsttrack->count(), 1);
  QCOMPARE(w.step_time, 1000.0);
}

void TestMainWindow::missingDefaultBackgroundEnds() {
  Fixture f(false);
  f.fp.settings.set(QStringLiteral("size"), QStringLiteral("bg"), QStringLiteral("/home/u/gone.bmp"));
  bool ended = false;
  try {
    f.start();
  } catch (const ProgramEnded&) {
    ended = true;
  }
  QVERIFY(ended);
  QCOMPARE(f.fp.exit.calls, 1);
  QCOMPARE(f.fp.messages.texts(),
           (QStringList{"背景文件不存在。背景文件复位。", "背景复位失败！bg.bmp丢失，请重装。"}));
  // The failed reset keeps the old path, so the next start says the same.
  QCOMPARE(f.fp.settings.value(QStringLiteral("size"), QStringLiteral("bg")), QStringLiteral("/home/u/gone.bmp"));
  QCOMPARE(f.fp.settings.value(QStringLiteral("size"), QStringLiteral("width")), QStringLiteral("3495"));
}

void TestMainWindow::noBackgroundAtAllStillStarts() {
  Fixture f(false);
  frmcd& w = f.start();
  QVERIFY(w.isVisible());
  QVERIFY(w.picture().isNull());
  QVERIFY(f.fp.messages.shown.isEmpty());
  QVERIFY(f.fp.settings.writes.isEmpty());
}

void TestMainWindow::secondCopyTouchesNothing() {
  Fixture f;
  f.fp.lock.anotherCopyRuns = true;
  bool ended = false;
  try {
    f.start();
  } catch (const ProgramEnded&) {
    ended = true;
  }
  QVERIFY(ended);
  QVERIFY(!f.w->isVisible());
  QVERIFY(f.fp.autoPlay.commands.isEmpty());
  QVERIFY(f.fp.settings.writes.isEmpty());
  QVERIFY(f.fp.messages.shown.isEmpty());
}

void TestMainWindow::reloadKeepsPlaybackMembers() {
  Fixture f;
  f.fp.settings.set(QStringLiteral("kj"), QStringLiteral("hsb"), QStringLiteral("0"));
  frmcd& w = f.start();
  w.listmode = basic::kTrue;
  w.multimode = basic::kTrue;
  w.filelist = QStringList{QString(), "a.mp3", "b.mp3"};
  w.listcount = 3;
  w.curfile = 2;
  w.multidir = QStringLiteral("/music");
  w.vcddrive = QStringLiteral("E");
  w.playtime = 42.0;
  w.seekskip = basic::kTrue;
  w.step_time = 5.0;
  w.cmd_scr->show();
  w.HScroll1->show();
  w.HScroll1->setEnabled(true);
  w.lsttrack->addItem(QStringLiteral("a.mp3"));
  w.lbltime->setText(QStringLiteral("03:06"));
  w.lbltrack->setText(QStringLiteral("2"));
  f.fp.settings.writes.clear();

  w.reload();

  QCOMPARE(f.fp.settings.writes.mid(0, 4).join(','),
           QStringLiteral("size/height=%1,size/width=%2,size/top=%3,size/left=%4")
               .arg(w.Height())
               .arg(w.Width())
               .arg(w.Top())
               .arg(w.Left()));
  QCOMPARE(w.listmode, basic::kTrue);
  QCOMPARE(w.multimode, basic::kTrue);
  QCOMPARE(w.filelist.size(), 3);
  QCOMPARE(w.listcount, qint16(3));
  QCOMPARE(w.curfile, qint16(2));
  QCOMPARE(w.multidir, QStringLiteral("/music"));
  QCOMPARE(w.vcddrive, QStringLiteral("E"));
  QCOMPARE(w.playtime, 42.0);
  QCOMPARE(w.seekskip, basic::kFalse);  // load sets these two
  QCOMPARE(w.step_time, 1000.0);
  QVERIFY(w.cmd_scr->isHidden());
  QVERIFY(w.HScroll1->isHidden());  // its stored switch is "0"
  QVERIFY(!w.HScroll1->isEnabled());
  QCOMPARE(w.lsttrack->count(), 1);
  QCOMPARE(w.lbltime->text(), QStringLiteral("00:00"));
  QCOMPARE(w.lbltrack->text(), QStringLiteral("0"));
  QVERIFY(!w.mcicdplayer->isOpen());
  QCOMPARE(f.fp.mixers.state.opens, 2);  // a new volume object
  QCOMPARE(f.fp.autoPlay.commands.size(), 2);
  QVERIFY(w.isVisible());
}

void TestMainWindow::exits() {
  {
    Fixture f;
    frmcd& w = f.start();
    f.fp.settings.writes.clear();
    bool ended = false;
    try {
      w.action(QStringLiteral("exitbutcd"))->trigger();
    } catch (const ProgramEnded&) {
      ended = true;
    }
    QVERIFY(ended);
    QVERIFY(f.fp.settings.writes.isEmpty());  // geometry not saved
    QVERIFY(!f.fp.media.script.log.contains(QStringLiteral("stop")));
  }
  {
    Fixture f;
    frmcd& w = f.start();
    f.fp.settings.writes.clear();
    w.action(QStringLiteral("exit"))->trigger();
    QVERIFY(!w.isVisible());
    QStringList keys;
    for (const QString& s : f.fp.settings.writes) keys << s.section('=', 0, 0);
    QCOMPARE(keys, (QStringList{"size/height", "size/width", "size/top", "size/left"}));
  }
}

void TestMainWindow::resizeRescalesControls() {
  Fixture f;
  frmcd& w = f.start();
  const QRect before = w.lsttrack->geometry();
  w.resize(w.width() * 2, w.height() + frmcd::kDesignClient.height());
  QTRY_COMPARE(w.area->size(), QSize(frmcd::kDesignClient.width() * 2, frmcd::kDesignClient.height() * 2));
  const QRect after = w.lsttrack->geometry();
  QVERIFY(std::abs(after.left() - before.left() * 2) <= 1);
  QVERIFY(std::abs(after.width() - before.width() * 2) <= 1);
  QVERIFY(std::abs(after.height() - before.height() * 2) <= 1);
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
