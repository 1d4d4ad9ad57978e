// SPDX-License-Identifier: GPL-3.0-or-later
// The background picture on fakes, the capture button with the real grab on
// a private X server whose root is #306090, and the Wayland grab through a
// portal on a private session bus: this program run again as the portal.
#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "fakes/fakes.h"
#include "pictures/qt_screen_grabber.h"

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");

// Answers with a picture only a request that names its handle and asks the user nothing.
class FakePortal : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
 public:
 public Q_SLOTS:
  QDBusObjectPath Screenshot(const QString&, const QVariantMap& options, const QDBusMessage& message) {
    const QString token = options.value(QStringLiteral("handle_token")).toString();
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/") +
                         message.service().mid(1).replace(u'.', u'_') + u'/' + token;
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::cyan);
    QVariantMap results;
    const QString file = QCoreApplication::arguments().at(2);
    if (!token.isEmpty() && !options.value(QStringLiteral("interactive"), true).toBool() && img.save(file, "PNG"))
      results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(file).toString());
    // The answer comes after the call has returned, as with the real portal.
    QTimer::singleShot(30, this, [path, results] {
      QDBusMessage response = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                         QStringLiteral("Response"));
      response << uint(results.isEmpty() ? 2 : 0) << results;
      QDBusConnection::sessionBus().send(response);
    });
    return QDBusObjectPath(path);
  }
};

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
    t.w.reload();  // rebuilt controls must not connect the menu twice
    t.fp.settings.writes.clear();
    for (const QString& answer : answers) {
      t.fp.filePicker.answers.push_back(answer.isEmpty() ? std::nullopt : std::optional(answer));
      t.w.action(QStringLiteral("bjfile"))->trigger();
    }
    QTEST(t.w.picture().toImage().pixelColor(0, 0), "colour");  // at once, with no repaint or restart
    QTEST(t.fp.settings.writes, "stored");                      // nothing else is touched
    QCOMPARE(t.fp.messages.texts().size(), int(answers.contains(QStringLiteral("/pics/notes.txt"))));
  }

  void capture() {
    const QColor root(0x30, 0x60, 0x90), window(Qt::magenta);
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
    t.w.move(200, 150);
    t.w.cmd_scr->show();
    QTRY_VERIFY(count(grabber.grabScreen(), window) >= 1000);
    // Saved: the bare root over every monitor, neither the window nor a frame in it.
    QVERIFY(QGuiApplication::screens().size() >= qEnvironmentVariableIntValue("MIROVA_MONITORS"));
    const QSize screen = QGuiApplication::primaryScreen()->virtualSize();
    const QString shot = dir.filePath(QStringLiteral("screen.bmp"));
    t.fp.filePicker.answers = {shot, std::nullopt};
    t.w.cmd_scr->click();
    QCOMPARE(count(QImage(shot), root), screen.width() * screen.height());
    t.w.cmd_scr->click();  // cancelled: the window back on the screen
    QTRY_VERIFY(count(grabber.grabScreen(), window) >= 1000);
  }

  void portal() {
    QTemporaryDir dir;
    QProcess portal;
    portal.start(QCoreApplication::applicationFilePath(), {"--portal", dir.filePath(QStringLiteral("shot.png"))});
    QTRY_VERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(kPortal).value());
    qputenv("WAYLAND_DISPLAY", "mirova-test");  // any Wayland display sends the grab to the portal
    const QImage img = QtScreenGrabber(5000).grabScreen();
    qunsetenv("WAYLAND_DISPLAY");
    portal.close();  // kills it and waits
    QCOMPARE(img.pixelColor(10, 10), QColor(Qt::cyan));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("shot.png"))));  // one file per capture would pile up
  }
};

int main(int argc, char** argv) {
  if (argc == 3 && qstrcmp(argv[1], "--portal") == 0) {
    QCoreApplication app(argc, argv);
    FakePortal portal;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal, QDBusConnection::ExportAllSlots);
    return bus.registerService(kPortal) ? QCoreApplication::exec() : 1;
  }
  QApplication app(argc, argv);
  TestPictures test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_pictures.moc"
