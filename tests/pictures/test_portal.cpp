// The Wayland path of the screen grab against a stand-in portal on a private
// session bus (the test runs under dbus-run-session).
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "pictures/qt_screen_grabber.h"

class TestPortal : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase();
  void grab_data();
  void grab();
};

void TestPortal::initTestCase() {
  QVERIFY2(QDBusConnection::sessionBus().isConnected(), "no session bus");
  // Any Wayland display sends the grab to the portal.
  qputenv("WAYLAND_DISPLAY", "mirova-test");
}

void TestPortal::grab_data() {
  QTest::addColumn<QString>("mode");
  QTest::addColumn<bool>("picture");
  QTest::newRow("answered") << "ok" << true;
  QTest::newRow("request renamed by the portal") << "rename" << true;
  QTest::newRow("refused") << "deny" << false;
  QTest::newRow("no answer") << "silent" << false;
}

void TestPortal::grab() {
  QFETCH(QString, mode);
  QFETCH(bool, picture);
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("shot.png"));
  QProcess portal;
  portal.setProcessChannelMode(QProcess::ForwardedChannels);
  portal.start(QStringLiteral(MIROVA_FAKE_PORTAL), {mode, file});
  QVERIFY(portal.waitForStarted());
  QDBusConnectionInterface* names = QDBusConnection::sessionBus().interface();
  QTRY_VERIFY(names->isServiceRegistered(QStringLiteral("org.freedesktop.portal.Desktop")).value());

  QtScreenGrabber grabber(400);
  QElapsedTimer t;
  t.start();
  const QImage img = grabber.grabScreen();
  const qint64 ms = t.elapsed();
  if (picture) {
    QCOMPARE(img.size(), QSize(64, 48));
    QCOMPARE(img.pixelColor(10, 10), QColor(0x12, 0x34, 0x56));
    QCOMPARE(img.pixelColor(1, 1), QColor(Qt::white));
  } else {
    QVERIFY(img.isNull());
  }
  if (mode == QLatin1String("silent")) {
    QVERIFY2(ms >= 300 && ms < 3000, qPrintable(QString::number(ms)));
    QTRY_VERIFY(QFile::exists(file + QStringLiteral(".closed")));  // the request is withdrawn
  }
  portal.kill();
  portal.waitForFinished();
  QTRY_VERIFY(!names->isServiceRegistered(QStringLiteral("org.freedesktop.portal.Desktop")).value());
}

QTEST_MAIN(TestPortal)
#include "test_portal.moc"
