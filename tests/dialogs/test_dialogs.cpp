// SPDX-License-Identifier: GPL-3.0-or-later
// The About and help windows, opened from the main window on fakes.
#include <QAction>
#include <QPushButton>
#include <QTest>

#include "dialogs/about.h"
#include "dialogs/capture_notice.h"
#include "dialogs/help.h"
#include "fakes/fakes.h"

struct Fixture : TestWindow {
  ~Fixture() { delete w.aboutWindow, delete w.helpWindow; }
  void open(const char* action) { w.action(QString::fromLatin1(action))->trigger(); }
};

class TestDialogs : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void about() {
    Fixture f;
    f.open("about");
    frmAbout* a = f.w.aboutWindow;
    QVERIFY(a && a->isVisible());
    a->cmdSysInfo->click();  // no viewer at all
    f.fp.launcher.installed = QStringList{QStringLiteral("hardinfo")};
    f.fp.launcher.startFails = true;
    a->cmdSysInfo->click();  // one that does not start
    QCOMPARE(f.fp.messages.boxes, QStringList(2, QStringLiteral("Savrel超级播放器: 此时系统信息不可用")));
    QVERIFY(a->isVisible());
    a->cmdSysInfo->setFocus();
    QTest::keyClick(a->cmdSysInfo, Qt::Key_Escape);
    QTRY_VERIFY(!f.w.aboutWindow);  // gone: a hidden but living window would come back instead of a fresh one
  }

  // The capture switch shows the button only once the notice is confirmed.
  void captureNotice() {
    Fixture f;
    f.open("switch_cam");
    QPointer<Dialog> notice = f.w.captureNotice;
    QVERIFY(notice && notice->isVisible() && f.w.cmd_scr->isHidden());
    QTest::mouseClick(notice->Command1, Qt::LeftButton);  // no display tool on this machine
    QCOMPARE(f.fp.messages.boxes, QStringList{"Savrel超级播放器: 无法打开dxdiag！可能是未安装directX。"});
    QTest::mouseClick(notice->OKButton, Qt::LeftButton);
    QVERIFY(!f.w.cmd_scr->isHidden());
    QTRY_VERIFY(!notice);
  }

  void firstPageGivesFreshWindow() {
    Fixture f;
    f.open("help");
    QPointer<frmhelp> old = f.w.helpWindow.data();
    QTest::mouseClick(old->cmd2, Qt::LeftButton);
    f.open("help");
    QCOMPARE(f.w.helpWindow, old);  // one window at a time, on the page it shows
    QCOMPARE(old->Label1->text(), frmhelp::page2());
    QTest::mouseClick(old->cmd1, Qt::LeftButton);
    QTRY_VERIFY(!old);
    QPointer<frmhelp> fresh = f.w.helpWindow.data();
    QVERIFY(fresh && fresh->isVisible());
    QCOMPARE(fresh->Label1->text(), frmhelp::page1());
    f.open("help");
    QCOMPARE(f.w.helpWindow, fresh);  // the menu follows the replacement
  }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
