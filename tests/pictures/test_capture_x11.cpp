// The capture button on a real X server (Xvfb, 1024x768, root #306090) with
// the real screen grab; everything else on fakes.
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
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
  const QRgb want = c.rgb();
  int n = 0;
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x) n += (line[x] | 0xFF000000u) == want;
  }
  return n;
}

// Waits until the X server shows at least `least` pixels of a colour.
bool waitForColour(ScreenGrabber& g, const QColor& c, int least) {
  for (int i = 0; i < 100; ++i) {
    if (count(g.grabScreen(), c) >= least) return true;
    QTest::qWait(20);
  }
  return false;
}
}  // namespace

class TestCaptureX11 : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase();
  void captures();
  void wholeDesktop();

 private:
  FakePlatform fp;
  QtScreenGrabber grabber;
};

void TestCaptureX11::initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }

void TestCaptureX11::captures() {
  QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(1024, 768));
  QTemporaryDir dir;
  fp.pictures.add(QStringLiteral("/opt/mirova/bg.bmp"), {400, 300}, kWindow);
  // The fake screen hands out what the real grab reads off the X server.
  fp.screen.onGrab = [this] { fp.screen.image = grabber.grabScreen(); };
  Platform p = fp.platform();
  frmcd w(p);
  w.start();
  w.move(200, 150);
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const QRect where = w.geometry();
  QVERIFY2(waitForColour(grabber, kWindow, 1000), "the main window never reached the screen");
  w.cmd_scr->show();

  // 1. Saved: the screen at its size, without the main window.
  const QString first = dir.filePath(QStringLiteral("screen.bmp"));
  fp.filePicker.answers.push_back(first);
  QElapsedTimer t;
  t.start();
  w.cmd_scr->click();
  qInfo("capture and save of the %dx%d screen: %lld ms", 1024, 768, t.elapsed());
  QVERIFY(w.isVisible());
  QImageReader reader(first);
  QCOMPARE(reader.format(), QByteArray("bmp"));
  const QImage saved = reader.read();
  QCOMPARE(saved.size(), QSize(1024, 768));
  // Nothing else is on the screen: neither the window nor a frame around it.
  QCOMPARE(count(saved, kWindow), 0);
  QCOMPARE(saved.pixelColor(where.center()), kRoot);
  QCOMPARE(count(saved, kRoot), 1024 * 768);
  QVERIFY(w.piccopy->isHidden());
  QCOMPARE(w.piccopy->size(), QSize(1024, 768));
  const QImage firstCopy = w.piccopy->pixmap().toImage();

  // 2. Cancelled: nothing written, the window back on the screen.
  QVERIFY(waitForColour(grabber, kWindow, 1000));
  fp.filePicker.answers.push_back(std::nullopt);
  w.cmd_scr->click();
  QVERIFY(w.isVisible());
  QVERIFY(waitForColour(grabber, kWindow, 1000));
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("screen.bmp")});

  // 3. Another window on the screen: the new copy replaces the old one.
  QWidget other;
  other.setWindowFlag(Qt::X11BypassWindowManagerHint);
  other.setGeometry(700, 500, 120, 90);
  QPalette pal = other.palette();
  pal.setColor(QPalette::Window, kOther);
  other.setPalette(pal);
  other.setAutoFillBackground(true);
  other.show();
  QVERIFY(QTest::qWaitForWindowExposed(&other));
  QVERIFY(waitForColour(grabber, kOther, 100 * 80));
  const QString second = dir.filePath(QStringLiteral("again.bmp"));
  fp.filePicker.answers.push_back(second);
  w.cmd_scr->click();
  QCOMPARE(count(firstCopy, kOther), 0);
  QVERIFY(count(w.piccopy->pixmap().toImage(), kOther) >= 100 * 80);
  QImage again;
  QVERIFY(again.load(second));
  QVERIFY(count(again, kOther) >= 100 * 80);
  QCOMPARE(count(again, kWindow), 0);

  QCOMPARE(fp.filePicker.requests.size(), 3);
  for (const FilePicker::Request& r : fp.filePicker.requests) QCOMPARE(r.initialName, QStringLiteral("mirova.bmp"));
  QVERIFY(fp.messages.shown.isEmpty());

  // How long the two halves take on their own.
  t.restart();
  const QImage shot = grabber.grabScreen();
  const qint64 grabMs = t.elapsed();
  t.restart();
  QVERIFY(shot.save(dir.filePath(QStringLiteral("timed.bmp")), "BMP"));
  qInfo("grab %lld ms, save as BMP %lld ms", grabMs, t.elapsed());
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
