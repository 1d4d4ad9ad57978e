// A stand-in for the desktop portal's Screenshot call on a private session
// bus. Usage: fake_portal MODE FILE
//   ok       writes a 64x48 picture to FILE and answers with its URI
//   deny     answers "cancelled by the user"
//   silent   never answers; a Close of the request creates FILE.closed
//   rename   answers on a request path of its own, as old portals did
// A request without handle_token or with interactive other than false is
// answered with code 2, so the caller gets no picture.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QImage>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <cstdio>

class Request : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
 public:
  explicit Request(QString marker, QObject* parent) : QObject(parent), marker_(std::move(marker)) {}
 public Q_SLOTS:
  void Close() {
    QFile f(marker_);
    if (!f.open(QIODevice::WriteOnly)) std::fprintf(stderr, "fake_portal: cannot write %s\n", qPrintable(marker_));
  }

 private:
  QString marker_;
};

class ScreenshotPortal : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
 public:
  ScreenshotPortal(QString mode, QString file) : mode_(std::move(mode)), file_(std::move(file)) {}

 public Q_SLOTS:
  QDBusObjectPath Screenshot(const QString&, const QVariantMap& options, const QDBusMessage& message) {
    QString sender = message.service().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString token = options.value(QStringLiteral("handle_token")).toString();
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + QLatin1Char('/') +
                         (mode_ == QLatin1String("rename") || token.isEmpty() ? QStringLiteral("own1") : token);
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.registerObject(path, new Request(file_ + QStringLiteral(".closed"), this), QDBusConnection::ExportAllSlots);

    uint code = 0;
    QVariantMap results;
    const QVariant interactive = options.value(QStringLiteral("interactive"));
    if (token.isEmpty() || !interactive.isValid() || interactive.toBool()) {
      code = 2;
    } else if (mode_ == QLatin1String("deny")) {
      code = 1;
    } else {
      QImage img(64, 48, QImage::Format_RGB32);
      img.fill(QColor(0x12, 0x34, 0x56));
      img.setPixelColor(1, 1, Qt::white);
      img.save(file_, "PNG");
      results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(file_).toString());
    }
    if (mode_ != QLatin1String("silent")) {
      // The answer comes after the call has returned, as with the real portal.
      QTimer::singleShot(30, this, [path, code, results] {
        QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                         QStringLiteral("Response"));
        signal << code << results;
        QDBusConnection::sessionBus().send(signal);
      });
    }
    return QDBusObjectPath(path);
  }

 private:
  QString mode_;
  QString file_;
};

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: fake_portal MODE FILE\n");
    return 2;
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  ScreenshotPortal screenshot(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
  if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &screenshot,
                          QDBusConnection::ExportAllSlots) ||
      !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
    std::fprintf(stderr, "fake_portal: cannot register on the session bus\n");
    return 1;
  }
  return QCoreApplication::exec();
}

#include "fake_portal.moc"
