// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictures/qt_screen_grabber.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kResponse = QStringLiteral("Response");

// Waits for the one Response signal of a portal request.
class PortalResponse : public QObject {
  Q_OBJECT
 public:
  bool answered = false;
  uint code = 2;  // the portal's "ended some other way"
  QVariantMap results;

 public Q_SLOTS:
  void onResponse(uint response, const QVariantMap& answer) {
    if (answered) return;
    answered = true;
    code = response;
    results = answer;
    Q_EMIT done();
  }

 Q_SIGNALS:
  void done();
};

// Native Wayland, or an X server that a Wayland compositor runs for its X
// clients: there the X root holds nothing useful and only the desktop may
// read the screen.
bool onWayland() {
  return QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QImage grabX11() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  // Window 0 is the root, but Qt crops it to the one monitor unless told
  // otherwise; its coordinates are relative to that monitor.
  const QRect all = screen->virtualGeometry();
  const QRect one = screen->geometry();
  return screen->grabWindow(0, all.x() - one.x(), all.y() - one.y(), all.width(), all.height()).toImage();
}

}  // namespace

QImage QtScreenGrabber::grabScreen() {
  if (!onWayland()) return grabX11();
  bool noPortal = false;
  QImage image = grabThroughPortal(&noPortal);
  // Without any portal an X client may still read what the X server has.
  if (noPortal && !QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return grabX11();
  return image;
}

QImage QtScreenGrabber::grabThroughPortal(bool* noPortal) {
  *noPortal = false;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    *noPortal = true;
    return {};
  }
  // The request's object path is known before the call (handle_token), so
  // the answer cannot slip past between the call and the subscription.
  const QString token = QStringLiteral("mirova%1").arg(QRandomGenerator::global()->generate());
  QString sender = bus.baseService().mid(1);
  sender.replace(QLatin1Char('.'), QLatin1Char('_'));
  QString handle = kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;

  PortalResponse response;
  const char* slot = SLOT(onResponse(uint, QVariantMap));
  bus.connect(kPortalService, handle, kRequestInterface, kResponse, &response, slot);

  QDBusMessage call = QDBusMessage::createMethodCall(
      kPortalService, kPortalPath, QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"));
  const QVariantMap options{{QStringLiteral("handle_token"), token},
                            {QStringLiteral("interactive"), false},
                            {QStringLiteral("modal"), false}};
  call << QString() << options;
  const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
    bus.disconnect(kPortalService, handle, kRequestInterface, kResponse, &response, slot);
    const QString error = reply.errorName();
    *noPortal = error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
                error == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface") ||
                error == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
                error == QLatin1String("org.freedesktop.DBus.Error.NoReply");
    return {};
  }
  // Old portals ignore the token and name the request themselves.
  const QString given = reply.arguments().constFirst().value<QDBusObjectPath>().path();
  if (!given.isEmpty() && given != handle) {
    bus.disconnect(kPortalService, handle, kRequestInterface, kResponse, &response, slot);
    handle = given;
    bus.connect(kPortalService, handle, kRequestInterface, kResponse, &response, slot);
  }

  if (!response.answered) {
    // The desktop may ask the user first, so allow time, but not forever.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&response, &PortalResponse::done, &loop, &QEventLoop::quit);
    timer.start(responseTimeoutMs_);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  bus.disconnect(kPortalService, handle, kRequestInterface, kResponse, &response, slot);

  if (!response.answered) {
    bus.send(QDBusMessage::createMethodCall(kPortalService, handle, kRequestInterface, QStringLiteral("Close")));
    return {};
  }
  if (response.code != 0) return {};
  const QUrl uri(response.results.value(QStringLiteral("uri")).toString());
  if (!uri.isLocalFile()) return {};
  // The portal leaves a new file (in the user's pictures, often) at every
  // call; the picture is ours now, the file is not wanted.
  const QString file = uri.toLocalFile();
  QImage image(file);
  QFile::remove(file);
  return image;
}

#include "qt_screen_grabber.moc"
