// The About and help windows, opened from the main window on fakes.
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "app/frmcd.h"
#include "dialogs/about.h"
#include "dialogs/help.h"
#include "fakes/fakes.h"

namespace {
const QString kNoSysInfo = QStringLiteral("此时系统信息不可用");
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
  void about();
  void aboutCloses_data();
  void aboutCloses();
  void systemInformation_data();
  void systemInformation();
  void textsFit_data();
  void textsFit();
  void paragraphBreaks_data();
  void paragraphBreaks();
  void help();
  void helpPages();
  void firstPageGivesFreshWindow();
  void windowsOutliveMainWindow();
};

void TestDialogs::about() {
  Fixture f;
  frmAbout* a = f.about();
  QVERIFY(a && a->isVisible());
  QCOMPARE(f.about(), a);  // one at a time
  QCOMPARE(a->windowTitle(), QStringLiteral("关于 Savrel超级播放器"));
  QCOMPARE(a->lblVersion->text(), QStringLiteral("版本 1.0.64"));
  QCOMPARE(a->lblTitle->text(), QStringLiteral("Savrel超级播放器"));
  QVERIFY(a->lblDescription->text().startsWith(
      QStringLiteral("    本软件可以用来播放CD、VCD、WAV、MIDI等windows多媒体文件。由于本人水平有限，"
                     "设计得不好或欠缺的地方还请大家指出。") +
      QString(18, QLatin1Char(' ')) + QStringLiteral("本软件诚征赞助或广告。")));
  QVERIFY(!a->lblDescription->text().contains(QRegularExpression(QStringLiteral("www|http|@|\\.com"))));
  QVERIFY(!a->lblDisclaimer->text().isEmpty());
  QCOMPARE(a->size(), QSize(382, 237));
  QCOMPARE(a->picIcon->pixmap().size(), QSize(90, 47));
  QCOMPARE(a->picIcon->contentsRect().size(), QSize(90, 47));
  QVERIFY(a->cmdOK->isDefault());
  QCOMPARE(a->focusWidget(), a->cmdOK);
  QCOMPARE(a->parentWidget(), nullptr);
  // The etched rule: grey over white.
  const QImage img = a->grab().toImage();
  QCOMPARE(img.pixelColor(190, 168), QColor(0x80, 0x80, 0x80));
  QCOMPARE(img.pixelColor(190, 169), QColor(Qt::white));
}

void TestDialogs::aboutCloses_data() {
  QTest::addColumn<QString>("focus");  // control that has the focus
  QTest::addColumn<int>("key");        // 0: click cmdOK
  QTest::newRow("Enter") << "cmdOK" << int(Qt::Key_Enter);
  QTest::newRow("Return") << "cmdOK" << int(Qt::Key_Return);
  QTest::newRow("Esc") << "cmdOK" << int(Qt::Key_Escape);
  QTest::newRow("Esc on the other button") << "cmdSysInfo" << int(Qt::Key_Escape);
  QTest::newRow("click") << "cmdOK" << 0;
}

void TestDialogs::aboutCloses() {
  QFETCH(QString, focus);
  QFETCH(int, key);
  Fixture f;
  frmAbout* a = f.about();
  auto* target = a->findChild<QPushButton*>(focus);
  target->setFocus();
  if (key)
    QTest::keyClick(target, Qt::Key(key));
  else
    QTest::mouseClick(a->cmdOK, Qt::LeftButton);
  QTRY_VERIFY(!f.w.aboutWindow);
  QVERIFY(f.fp.launcher.started.isEmpty());
  // The next use makes a fresh window.
  QVERIFY(f.about());
}

void TestDialogs::systemInformation_data() {
  QTest::addColumn<QStringList>("installed");
  QTest::addColumn<bool>("startFails");
  QTest::addColumn<QString>("started");  // "program arg..."; empty: the message
  QTest::newRow("none") << QStringList{} << false << "";
  QTest::newRow("unrelated programs") << QStringList{"bash", "sndvol32.exe"} << false << "";
  QTest::newRow("dedicated viewer first")
      << QStringList{"gnome-control-center", "kinfocenter", "xfce4-about"} << false << "kinfocenter";
  QTest::newRow("desktop page") << QStringList{"gnome-control-center"} << false << "gnome-control-center info-overview";
  QTest::newRow("xfce") << QStringList{"xfce4-about"} << false << "xfce4-about";
  QTest::newRow("found but does not start") << QStringList{"hardinfo"} << true << "";
}

void TestDialogs::systemInformation() {
  QFETCH(QStringList, installed);
  QFETCH(bool, startFails);
  QFETCH(QString, started);
  Fixture f;
  f.fp.launcher.installed = installed;
  f.fp.launcher.startFails = startFails;
  frmAbout* a = f.about();
  QTest::mouseClick(a->cmdSysInfo, Qt::LeftButton);
  QStringList ran;
  for (const Launcher::Command& c : f.fp.launcher.started) ran << (QStringList{c.program} + c.arguments).join(u' ');
  if (started.isEmpty()) {
    QVERIFY(ran.isEmpty());
    QCOMPARE(f.fp.messages.texts(), QStringList{kNoSysInfo});
    QCOMPARE(f.fp.messages.shown.constFirst().title, frmcd::kTitle);
  } else {
    QCOMPARE(ran, QStringList{started});
    QVERIFY(f.fp.messages.shown.isEmpty());
  }
  QVERIFY(f.w.aboutWindow && a->isVisible());
}

// Every text can be read whole in its label at the layout's size.
void TestDialogs::textsFit_data() {
  QTest::addColumn<QString>("window");
  QTest::addColumn<QString>("label");
  QTest::addColumn<int>("page");
  QTest::newRow("description") << "about"
                               << "lblDescription" << 0;
  QTest::newRow("disclaimer") << "about"
                              << "lblDisclaimer" << 0;
  QTest::newRow("title") << "about"
                         << "lblTitle" << 0;
  QTest::newRow("version") << "about"
                           << "lblVersion" << 0;
  QTest::newRow("help page 1") << "help"
                               << "Label1" << 1;
  QTest::newRow("help page 2") << "help"
                               << "Label1" << 2;
}

void TestDialogs::textsFit() {
  QFETCH(QString, window);
  QFETCH(QString, label);
  QFETCH(int, page);
  Fixture f;
  QWidget* win = window == QLatin1String("about") ? static_cast<QWidget*>(f.about()) : f.help();
  if (page == 2) static_cast<frmhelp*>(win)->cmd2->click();
  auto* l = win->findChild<QLabel*>(label);
  QVERIFY(l);
  QCOMPARE(QFontInfo(l->font()).family(), QStringLiteral("WenQuanYi Micro Hei"));
  const QRect box = l->contentsRect();
  const bool wraps = qobject_cast<ParagraphLabel*>(l) != nullptr;
  const QString text = wraps ? ParagraphLabel::displayText(l->text()) : l->text();
  const QRect need =
      QFontMetrics(l->font()).boundingRect(box, Qt::AlignLeft | Qt::AlignTop | (wraps ? Qt::TextWordWrap : 0), text);
  QVERIFY2(need.height() <= box.height() && need.width() <= box.width(),
           qPrintable(QStringLiteral("needs %1x%2, has %3x%4")
                          .arg(need.width())
                          .arg(need.height())
                          .arg(box.width())
                          .arg(box.height())));
}

void TestDialogs::paragraphBreaks_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("shown");
  QTest::newRow("six blanks stay") << "a      b"
                                   << "a      b";
  QTest::newRow("seven break") << "a       b"
                               << "a\nb";
  QTest::newRow("leading indent stays") << "    a"
                                        << "    a";
  QTest::newRow("long runs") << QString(QStringLiteral("a") + QString(152, u' ') + QStringLiteral("b  c")) << "a\nb  c";
}

void TestDialogs::paragraphBreaks() {
  QFETCH(QString, text);
  QFETCH(QString, shown);
  QCOMPARE(ParagraphLabel::displayText(text), shown);
}

void TestDialogs::help() {
  Fixture f;
  frmhelp* h = f.help();
  QVERIFY(h && h->isVisible());
  QCOMPARE(h->windowTitle(), QStringLiteral("帮助"));
  QCOMPARE(h->size(), kHelpSize);
  QCOMPARE(h->Label1->text(), frmhelp::page1());
  QCOMPARE(h->Label1->font().pointSizeF(), 10.5);
  QCOMPARE(h->focusWidget(), h->cmdok);
  QCOMPARE(h->parentWidget(), nullptr);
  // Opening it again brings the same window, on the page it shows.
  QTest::mouseClick(h->cmd2, Qt::LeftButton);
  QTest::mouseClick(h->cmd2, Qt::LeftButton);
  QCOMPARE(f.help(), h);
  QCOMPARE(h->Label1->text(), frmhelp::page2());
  QTest::mouseClick(h->cmdok, Qt::LeftButton);
  QTRY_VERIFY(!f.w.helpWindow);
}

// Paragraphs are blank runs, not line breaks.
void TestDialogs::helpPages() {
  const QRegularExpression run(QStringLiteral(" {7,}"));
  for (const QString& page : {frmhelp::page1(), frmhelp::page2()}) {
    QVERIFY(!page.contains(u'\n'));
    for (auto it = run.globalMatch(page); it.hasNext();) QVERIFY(it.next().capturedLength() <= 152);
  }
}

void TestDialogs::firstPageGivesFreshWindow() {
  Fixture f;
  QPointer<frmhelp> old = f.help();
  const QRect labelAt = old->Label1->geometry();
  old->resize(700, 600);
  QCOMPARE(old->Label1->geometry(), labelAt);  // the label does not grow
  QTest::mouseClick(old->cmd2, Qt::LeftButton);
  QTest::mouseClick(old->cmd1, Qt::LeftButton);
  QTRY_VERIFY(!old);
  QPointer<frmhelp> fresh = f.w.helpWindow.data();
  QVERIFY(fresh && fresh->isVisible());
  QCOMPARE(fresh->size(), kHelpSize);
  QCOMPARE(fresh->Label1->text(), frmhelp::page1());
  QCOMPARE(f.help(), fresh);  // still one window, the fresh one
  fresh->cmd1->click();
  QTRY_VERIFY(!fresh);
  QVERIFY(f.w.helpWindow);
  const QWidgetList tops = QApplication::topLevelWidgets();
  QCOMPARE(std::count_if(tops.begin(), tops.end(), [](QWidget* t) { return qobject_cast<frmhelp*>(t) != nullptr; }), 1);
}

void TestDialogs::windowsOutliveMainWindow() {
  Fixture f;
  frmAbout* a = f.about();
  frmhelp* h = f.help();
  f.w.close();
  QCoreApplication::processEvents();
  QVERIFY(f.w.aboutWindow && f.w.helpWindow);
  QVERIFY(a->isVisible() && h->isVisible());
}

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
