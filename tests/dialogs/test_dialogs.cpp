// The About and help windows, opened from the main window on fakes.
#include <QAction>
#include <QPushButton>
#include <QTest>

#include "app/frmcd.h"
#include "dialogs/about.h"
#include "dialogs/help.h"
#include "fakes/fakes.h"

namespace {
const QSize kHelpSize(461, 392);  // 6915 x 5880 twips

struct Fixture {
  FakePlatform fp;
  Platform p = fp.platform();
  frmcd w{p};
  Fixture() {
    fp.pictures.add(QStringLiteral("/opt/mirova/bg.bmp"));
    w.start();
  }
  ~Fixture() {
    delete w.aboutWindow;
    delete w.helpWindow;
  }
  frmAbout* about() {
    w.action(QStringLiteral("about"))->trigger();
    return w.aboutWindow;
  }
  frmhelp* help() {
    w.action(QStringLiteral("help"))->trigger();
    return w.helpWindow;
  }
};
}  // namespace

class TestDialogs : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void about_data();
  void about();
  void systemInformation();
  void firstPageGivesFreshWindow();
};

void TestDialogs::about_data() {
  QTest::addColumn<QString>("focus");
  QTest::addColumn<int>("key");
  QTest::newRow("Enter") << "cmdOK" << int(Qt::Key_Enter);
  QTest::newRow("Esc on the other button") << "cmdSysInfo" << int(Qt::Key_Escape);
}

void TestDialogs::about() {
  QFETCH(QString, focus);
  QFETCH(int, key);
  Fixture f;
  frmAbout* a = f.about();
  QVERIFY(a && a->isVisible());
  QCOMPARE(a->windowTitle(), QStringLiteral("关于 Savrel超级播放器"));
  QCOMPARE(a->lblVersion->text(), QStringLiteral("版本 1.0.64"));
  auto* target = a->findChild<QPushButton*>(focus);
  target->setFocus();
  QTest::keyClick(target, Qt::Key(key));
  // A hidden but living window would come back instead of a fresh one.
  QTRY_VERIFY(!f.w.aboutWindow);
  QVERIFY(f.fp.launcher.started.isEmpty());
}

void TestDialogs::systemInformation() {
  Fixture f;
  frmAbout* a = f.about();
  a->cmdSysInfo->click();  // no viewer at all
  f.fp.launcher.installed = QStringList{QStringLiteral("hardinfo")};
  f.fp.launcher.startFails = true;
  a->cmdSysInfo->click();  // one that does not start
  QCOMPARE(f.fp.messages.texts(), QStringList(2, QStringLiteral("此时系统信息不可用")));
  QVERIFY(f.w.aboutWindow && a->isVisible());
}

void TestDialogs::firstPageGivesFreshWindow() {
  Fixture f;
  QPointer<frmhelp> old = f.help();
  const QRect labelAt = old->Label1->geometry();
  old->resize(700, 600);
  QCOMPARE(old->Label1->geometry(), labelAt);
  QTest::mouseClick(old->cmd2, Qt::LeftButton);
  QCOMPARE(f.help(), old.data());  // one window at a time, on the page it shows
  QCOMPARE(old->Label1->text(), frmhelp::page2());
  QTest::mouseClick(old->cmd1, Qt::LeftButton);
  QTRY_VERIFY(!old);
  QPointer<frmhelp> fresh = f.w.helpWindow.data();
  QVERIFY(fresh && fresh->isVisible());
  QCOMPARE(fresh->size(), kHelpSize);
  QCOMPARE(fresh->Label1->text(), frmhelp::page1());
  QCOMPARE(f.help(), fresh);  // the menu follows the replacement
}

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
