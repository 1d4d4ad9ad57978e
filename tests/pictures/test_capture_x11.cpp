// The capture button with the real grab on a private X server; the rest on fakes.
#include <QDir>
#include <QGuiApplication>
#include <QImageReader>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "app/frmcd.h"
#include "fakes/fakes.h"
#include "pictures/qt_screen_grabber.h"

namespace {
const QColor kRoot(0x30, 0x60, 0x90);
const QColor kWindow(0xFF, 0x00, 0xFF);  // the main window's background picture
const QColor kOther(0x00, 0xC0, 0x00);

int count(const QImage& img, const QColor& c) {
  const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
  int n = 0;
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x) n += rgb.pixel(x, y) == c.rgb();
  return n;
}
}  // namespace

class TestCaptureX11 : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void captures();
  void wholeDesktop();

 private:
  FakePlatform fp;
  QtScreenGrabber grabber;
};

void TestCaptureX11::captures() {
  QTemporaryDir dir;
  fp.pictures.add(QStringLiteral("/opt/mirova/bg.bmp"), {400, 300}, kWindow);
  // The fake screen hands out what the real grab reads off the X server.
  fp.screen.onGrab = [this] { fp.screen.image = grabber.grabScreen(); };
  Platform p = fp.platform();
  frmcd w(p);
  w.start();
  w.move(200, 150);
  QTRY_VERIFY(count(grabber.grabScreen(), kWindow) >= 1000);  // the window is on the screen
  w.cmd_scr->show();
  const QSize screen = QGuiApplication::primaryScreen()->virtualSize();

  // Saved: the bare root at the screen's size, neither the window nor a frame in it.
  const QString shot = dir.filePath(QStringLiteral("screen.bmp"));
  fp.filePicker.answers.push_back(shot);
  w.cmd_scr->click();
  QImageReader reader(shot);
  QCOMPARE(reader.format(), QByteArray("bmp"));
  const QImage saved = reader.read();
  QCOMPARE(saved.size(), screen);
  QCOMPARE(count(saved, kRoot), screen.width() * screen.height());

  // Cancelled: nothing written, the window back on the screen.
  fp.filePicker.answers.push_back(std::nullopt);
  w.cmd_scr->click();
  QTRY_VERIFY(count(grabber.grabScreen(), kWindow) >= 1000);
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("screen.bmp")});

  // Another window on the screen: the next capture replaces the first.
  QWidget other;
  other.setWindowFlag(Qt::X11BypassWindowManagerHint);
  other.setGeometry(700, 500, 120, 90);
  other.setPalette(QPalette(kOther));
  other.setAutoFillBackground(true);
  other.show();
  QTRY_VERIFY(count(grabber.grabScreen(), kOther) >= 100 * 80);
  fp.filePicker.answers.push_back(shot);
  w.cmd_scr->click();
  const QImage again(shot);
  QVERIFY(count(again, kOther) >= 100 * 80);
  QCOMPARE(count(again, kWindow), 0);

  QCOMPARE(fp.filePicker.requests.size(), 3);
  for (const FilePicker::Request& r : fp.filePicker.requests) QCOMPARE(r.initialName, QStringLiteral("mirova.bmp"));
  QVERIFY(fp.messages.shown.isEmpty());
}

// Every monitor, not only the one Qt calls primary.
void TestCaptureX11::wholeDesktop() {
  const int monitors = qEnvironmentVariableIntValue("MIROVA_MONITORS");
  QVERIFY(QGuiApplication::screens().size() >= monitors);
  const QImage shot = grabber.grabScreen();
  QCOMPARE(shot.size(), QGuiApplication::primaryScreen()->virtualSize());
  QCOMPARE(shot.pixelColor(shot.width() - 10, 10), kRoot);
}

QTEST_MAIN(TestCaptureX11)
#include "test_capture_x11.moc"
