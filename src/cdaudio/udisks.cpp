// SPDX-License-Identifier: GPL-3.0-or-later
// Eject as the desktop does it: UDisks2 unmounts what it mounted (a busy
// mount says so) before the drive opens. The kernel's own eject refuses a
// mounted disc, and libcdio's forks umount(8), which cannot unmount what
// the desktop mounted for the user.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QFileInfo>

#include "cdaudio/drive.h"

namespace {

using Interfaces = QMap<QString, QVariantMap>;
using Objects = QMap<QDBusObjectPath, Interfaces>;

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");
// Below the client's bound, so a slow eject is still answered.
constexpr int kCallMs = 1500;

QDBusMessage call(const QString& path, const QString& interface, const QString& method, const QVariantList& args) {
  QDBusMessage m = QDBusMessage::createMethodCall(kService, path, interface, method);
  m.setArguments(args);
  return QDBusConnection::systemBus().call(m, QDBus::Block, kCallMs);
}

// Byte strings (ay, aay) arrive as QByteArray or, nested, as an argument.
QList<QByteArray> byteStrings(const QVariant& v) {
  if (v.canConvert<QDBusArgument>()) return qdbus_cast<QList<QByteArray>>(v.value<QDBusArgument>());
  return {v.toByteArray()};
}

QString reason(const QDBusMessage& error, const QString& otherwise) {
  return error.errorName() == QLatin1String("org.freedesktop.UDisks2.Error.DeviceBusy") ? QStringLiteral("busy")
                                                                                        : otherwise;
}

}  // namespace

Q_DECLARE_METATYPE(Interfaces)
Q_DECLARE_METATYPE(Objects)

namespace cdaudio {

std::optional<bool> ejectThroughUdisks(const QString& node, QString* why) {
  if (!QDBusConnection::systemBus().isConnected()) return std::nullopt;
  qDBusRegisterMetaType<Interfaces>();
  qDBusRegisterMetaType<Objects>();
  const QDBusMessage found =
      call(QStringLiteral("/org/freedesktop/UDisks2"), QStringLiteral("org.freedesktop.DBus.ObjectManager"),
           QStringLiteral("GetManagedObjects"), {});
  if (found.type() != QDBusMessage::ReplyMessage || found.arguments().isEmpty()) return std::nullopt;
  const Objects objects = qdbus_cast<Objects>(found.arguments().first().value<QDBusArgument>());
  QList<QByteArray> names{QFile::encodeName(node)};
  const QString canonical = QFileInfo(node).canonicalFilePath();
  if (!canonical.isEmpty()) names << QFile::encodeName(canonical);
  QString drive;
  for (auto o = objects.cbegin(); o != objects.cend(); ++o) {
    const QVariantMap block = o->value(kBlock);
    QByteArray device = block.value(QStringLiteral("Device")).toByteArray();
    if (device.endsWith('\0')) device.chop(1);
    if (!names.contains(device)) continue;
    drive = block.value(QStringLiteral("Drive")).value<QDBusObjectPath>().path();
    if (!o->contains(kFilesystem)) continue;
    const QList<QByteArray> mounts = byteStrings(o->value(kFilesystem).value(QStringLiteral("MountPoints")));
    if (std::all_of(mounts.cbegin(), mounts.cend(), [](const QByteArray& m) { return m.isEmpty() || m == "\0"; }))
      continue;
    const QDBusMessage unmounted = call(o.key().path(), kFilesystem, QStringLiteral("Unmount"), {QVariantMap()});
    if (unmounted.type() != QDBusMessage::ReplyMessage) {
      *why = reason(unmounted, QStringLiteral("the disc could not be unmounted"));
      return false;
    }
  }
  if (drive.isEmpty() || drive == QLatin1String("/")) return std::nullopt;
  const QDBusMessage ejected = call(drive, kDrive, QStringLiteral("Eject"), {QVariantMap()});
  if (ejected.type() == QDBusMessage::ReplyMessage) return true;
  *why = reason(ejected, QStringLiteral("the drive did not open"));
  return false;
}

}  // namespace cdaudio
