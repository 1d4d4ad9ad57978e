// SPDX-License-Identifier: GPL-3.0-or-later
// The Wayland grab on a private session bus, this program run again as the portal.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "pictures/qt_screen_grabber.h"

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");

// Answers with a picture only a request that names its handle and asks the user nothing.
class FakePortal : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
 public:
  explicit FakePortal(QString file) : file_(std::move(file)) {}
 public Q_SLOTS:
  QDBusObjectPath Screenshot(const QString&, const QVariantMap& options, const QDBusMessage& message) {
    const QString token = options.value(QStringLiteral("handle_token")).toString();
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/") +
                         message.service().mid(1).replace(u'.', u'_') + u'/' + token;
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::cyan);
    QVariantMap results;
    if (!token.isEmpty() && !options.value(QStringLiteral("interactive"), true).toBool() && img.save(file_, "PNG"))
      results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(file_).toString());
    // The answer comes after the call has returned, as with the real portal.
    QTimer::singleShot(30, this, [path, results] {
      QDBusMessage response = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                         QStringLiteral("Response"));
      response << uint(results.isEmpty() ? 2 : 0) << results;
      QDBusConnection::sessionBus().send(response);
    });
    return QDBusObjectPath(path);
  }

 private:
  QString file_;
};

class TestPortal : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void answered() {
    QTemporaryDir dir;
    QProcess portal;
    portal.start(QCoreApplication::applicationFilePath(), {"--portal", dir.filePath(QStringLiteral("shot.png"))});
    QTRY_VERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value());
    qputenv("WAYLAND_DISPLAY", "mirova-test");  // any Wayland display sends the grab to the portal
    const QImage img = QtScreenGrabber(5000).grabScreen();
    portal.close();  // kills it and waits
    QCOMPARE(img.size(), QSize(64, 48));
    QCOMPARE(img.pixelColor(10, 10), QColor(Qt::cyan));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("shot.png"))));  // one file per capture would pile up
  }
};

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc == 3 && qstrcmp(argv[1], "--portal") == 0) {
    FakePortal portal(QString::fromLocal8Bit(argv[2]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal, QDBusConnection::ExportAllSlots);
    return bus.registerService(kService) ? QGuiApplication::exec() : 1;
  }
  TestPortal test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_portal.moc"
