// SPDX-License-Identifier: GPL-3.0-or-later
// The background picture on fakes, and the capture button with the real grab
// on a private X server whose root is #306090.
#include <QAction>
#include <QDir>
#include <QImageReader>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "fakes/fakes.h"
#include "pictures/qt_screen_grabber.h"

class TestPictures : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void background_data() {
    QTest::addColumn<QStringList>("answers");  // "" cancels
    QTest::addColumn<QColor>("colour");        // on show at the end
    QTest::addColumn<QStringList>("stored");   // settings written, in order
    const QString a = QStringLiteral("/pics/a b.bmp"), bad = QStringLiteral("/pics/notes.txt"), sa = "size/bg=" + a;
    QTest::newRow("choose") << QStringList{a} << QColor(Qt::red) << QStringList{sa};
    QTest::newRow("cancel after start") << QStringList{""} << QColor(Qt::yellow) << QStringList{};
    QTest::newRow("not a picture, then cancel") << QStringList{a, bad, ""} << QColor(Qt::red) << QStringList{sa, sa};
  }
  void background() {
    QFETCH(QStringList, answers);
    TestWindow t([](FakePlatform& fp) {
      fp.settings.set(QStringLiteral("size"), QStringLiteral("bg"), QStringLiteral("/saved/s.bmp"));
      fp.pictures.add(QStringLiteral("/saved/s.bmp"), {30, 30}, Qt::yellow);
      fp.pictures.add(QStringLiteral("/pics/a b.bmp"), {30, 30}, Qt::red);
      fp.pictures.notPictures << QStringLiteral("/pics/notes.txt");
    });
    FakePlatform& fp = t.fp;
    frmcd& w = t.w;
    w.reload();  // rebuilt controls must not connect the menu twice
    fp.settings.writes.clear();
    for (const QString& answer : answers) {
      fp.filePicker.answers.push_back(answer.isEmpty() ? std::nullopt : std::optional(answer));
      w.action(QStringLiteral("bjfile"))->trigger();
    }
    QTEST(w.picture().toImage().pixelColor(0, 0), "colour");  // at once, with no repaint or restart
    QTEST(fp.settings.writes, "stored");                      // nothing else is touched
    QCOMPARE(fp.messages.texts().size(), int(answers.contains(QStringLiteral("/pics/notes.txt"))));
  }

  void capture() {
    const QColor root(0x30, 0x60, 0x90), window(Qt::magenta), other(0x00, 0xC0, 0x00);
    const auto count = [](const QImage& img, const QColor& c) {
      const QImage rgb = img.convertToFormat(QImage::Format_RGB32);  // rows without padding
      const auto* px = reinterpret_cast<const QRgb*>(rgb.constBits());
      return int(std::count(px, px + rgb.width() * rgb.height(), c.rgb()));
    };
    QTemporaryDir dir;
    QtScreenGrabber grabber;
    TestWindow t([&](FakePlatform& fp) {
      fp.pictures.add(fp.programFolder + "/bg.bmp", {400, 300}, window);
      fp.screen.onGrab = [&fp, &grabber] { fp.screen.image = grabber.grabScreen(); };  // the real grab
    });
    FakePlatform& fp = t.fp;
    frmcd& w = t.w;
    w.move(200, 150);
    w.cmd_scr->show();
    QTRY_VERIFY(count(grabber.grabScreen(), window) >= 1000);
    // Saved: the bare root over every monitor, neither the window nor a frame in it.
    QVERIFY(QGuiApplication::screens().size() >= qEnvironmentVariableIntValue("MIROVA_MONITORS"));
    const QSize screen = QGuiApplication::primaryScreen()->virtualSize();
    const QString shot = dir.filePath(QStringLiteral("screen.bmp"));
    fp.filePicker.answers = {shot, std::nullopt, shot};
    w.cmd_scr->click();
    QImageReader reader(shot);
    QCOMPARE(reader.format(), QByteArray("bmp"));
    QCOMPARE(reader.size(), screen);
    QCOMPARE(count(reader.read(), root), screen.width() * screen.height());
    w.cmd_scr->click();  // cancelled: nothing written, the window back on the screen
    QTRY_VERIFY(count(grabber.grabScreen(), window) >= 1000);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("screen.bmp")});
    QCOMPARE(QProcess::execute(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), other.name()}), 0);
    w.cmd_scr->click();  // the next capture replaces the first, with what the screen shows now
    QCOMPARE(count(QImage(shot), other), screen.width() * screen.height());
    QCOMPARE(fp.filePicker.requests.size(), 3);
    for (const FilePicker::Request& r : fp.filePicker.requests) QCOMPARE(r.initialName, QStringLiteral("mirova.bmp"));
  }
};

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
