// SPDX-License-Identifier: GPL-3.0-or-later
#include "disc/drives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <algorithm>

#include "base/basic.h"
#include "disc/image_files.h"

QString Drives::Drive::text() const {
  QString t = QString(letter) + QLatin1Char(':');
  const QString shown = label.isEmpty() ? folder : label;
  if (!shown.isEmpty()) t += QStringLiteral(" [") + shown + QLatin1Char(']');
  return t;
}

disc::DriveState Drives::state(const Drive& d) {
  if (d.type != CdRom || d.source.isEmpty() || disc::imageKind(d.source) != disc::ImageKind::NotImage)
    return disc::DriveState::Ready;
  return disc::driveState(d.source);
}

std::optional<Drives::Drive> Drives::find(QChar letter) {
  const QChar l = letter.toLower();
  for (const Drive& d : list())
    if (d.letter == l) return d;
  return std::nullopt;
}

QString Drives::folder(QChar letter) {
  const auto d = find(letter);
  const auto unavailable = [letter] {
    return basic::Error(kDeviceUnavailable, QStringLiteral("Device unavailable: %1:").arg(letter.toLower()));
  };
  if (!d || d->folder.isEmpty()) throw unavailable();
  const QFileInfo fi(d->folder);
  // A folder we may not enter or list is as good as no disc.
  if (!fi.isDir() || !fi.isReadable() || !fi.isExecutable()) throw unavailable();
  return d->folder;
}

int Drives::driveType(QChar letter) {
  const auto d = find(letter);
  return d ? d->type : NoRootDir;
}

QChar Drives::driveOf(const QString& path) {
  QChar best = QLatin1Char('c');
  qsizetype bestLength = -1;
  for (const Drive& d : list()) {
    if (d.folder.isEmpty()) continue;
    const bool inside = d.folder == QLatin1String("/") || path == d.folder ||
                        path.startsWith(d.folder.endsWith(QLatin1Char('/')) ? d.folder : d.folder + QLatin1Char('/'));
    if (inside && d.folder.size() > bestLength) {
      best = d.letter;
      bestLength = d.folder.size();
    }
  }
  return best;
}

namespace {

// /proc/mounts writes blanks, tabs, newlines and backslashes as \ooo.
QString unescapeOctal(const QString& field) {
  QString out;
  out.reserve(field.size());
  for (qsizetype i = 0; i < field.size(); ++i) {
    if (field[i] == QLatin1Char('\\') && i + 3 < field.size()) {
      const QString digits = field.mid(i + 1, 3);
      bool ok = std::all_of(digits.cbegin(), digits.cend(),
                            [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('7'); });
      if (ok) {
        out += QChar(digits.toInt(&ok, 8));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

// udev writes unusual characters of a label as \xNN (bytes of UTF-8).
QString unescapeHex(const QString& name) {
  QByteArray bytes;
  const QByteArray in = name.toUtf8();
  for (qsizetype i = 0; i < in.size(); ++i) {
    if (in[i] == '\\' && i + 3 < in.size() && in[i + 1] == 'x') {
      bool ok = false;
      const int code = in.mid(i + 2, 2).toInt(&ok, 16);
      if (ok) {
        bytes += char(code);
        i += 3;
        continue;
      }
    }
    bytes += in[i];
  }
  return QString::fromUtf8(bytes);
}

struct Mount {
  QString device;  // kernel name: "sr0", "sdb1"
  QString folder;
};

QList<Mount> readMounts(const QString& path) {
  QList<Mount> mounts;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return mounts;
  for (const QByteArray& raw : f.readAll().split('\n')) {
    const QStringList fields = QString::fromUtf8(raw).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fields.size() < 2 || !fields[0].startsWith(QLatin1String("/dev/"))) continue;
    QString device = unescapeOctal(fields[0]);
    const QFileInfo node(device);
    if (node.isSymLink()) device = node.symLinkTarget();  // /dev/cdrom and the like
    mounts.append({QFileInfo(device).fileName(), unescapeOctal(fields[1])});
  }
  return mounts;
}

// Kernel name of a device -> its volume label.
QMap<QString, QString> readLabels(const QString& byLabel) {
  QMap<QString, QString> labels;
  const QDir dir(byLabel);
  for (const QFileInfo& link : dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
    if (!link.isSymLink()) continue;
    labels.insert(QFileInfo(link.symLinkTarget()).fileName(), unescapeHex(link.fileName()));
  }
  return labels;
}

QString firstLine(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromLatin1(f.readLine()).trimmed();
}

// Letter -> folder or image named in MIROVA_DRIVES. Entries that are not
// "X=path" with a letter from d to z are passed over.
QMap<QChar, Drives::Drive> parseMapping(const QString& text) {
  QMap<QChar, Drives::Drive> mapped;
  for (const QString& entry : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    const qsizetype eq = entry.indexOf(QLatin1Char('='));
    const QString letterText = entry.left(eq).trimmed().toLower();
    const QString path = entry.mid(eq + 1).trimmed();
    if (eq < 0 || letterText.size() != 1 || path.isEmpty()) continue;
    const QChar letter = letterText[0];
    if (letter < QLatin1Char('d') || letter > QLatin1Char('z')) continue;
    Drives::Drive d;
    d.letter = letter;
    d.type = Drives::CdRom;
    const QFileInfo fi(path);
    if (fi.isDir()) {
      d.folder = QDir::cleanPath(fi.absoluteFilePath());
    } else {
      d.source = fi.absoluteFilePath();  // an image: read by the devices, not as a folder
    }
    d.label = fi.fileName();
    mapped.insert(letter, d);
  }
  return mapped;
}

// Kernel names in their natural order: sr2 before sr10.
bool kernelLess(const QString& a, const QString& b) {
  static const QRegularExpression tail(QStringLiteral("^(.*?)(\\d*)$"));
  const auto ma = tail.match(a), mb = tail.match(b);
  if (ma.captured(1) != mb.captured(1)) return ma.captured(1) < mb.captured(1);
  return ma.captured(2).toLongLong() < mb.captured(2).toLongLong();
}

}  // namespace

LinuxDrives::Sources LinuxDrives::system() {
  Sources s;
  s.mapping = qEnvironmentVariable("MIROVA_DRIVES");
  return s;
}

QList<Drives::Drive> LinuxDrives::list() {
  const QList<Mount> mounts = readMounts(s_.mounts);
  const QMap<QString, QString> labels = readLabels(s_.byLabel);
  const auto mountOf = [&mounts](const QString& device) {
    for (const Mount& m : mounts)
      if (m.device == device) return m.folder;
    return QString();
  };

  // The machine's drives in the order they get letters: optical drives by
  // number, then mounted removable media in block-device order.
  QList<Drive> machine;
  QStringList blocks = QDir(s_.sysBlock).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
  std::sort(blocks.begin(), blocks.end(), kernelLess);
  for (const QString& b : blocks) {
    if (!b.startsWith(QLatin1String("sr"))) continue;
    Drive d;
    d.type = CdRom;
    d.source = QStringLiteral("/dev/") + b;
    d.folder = mountOf(b);
    d.label = labels.value(b);
    machine.append(d);
  }
  for (const QString& b : blocks) {
    if (b.startsWith(QLatin1String("sr")) || b.startsWith(QLatin1String("loop")) || b.startsWith(QLatin1String("ram")))
      continue;
    if (firstLine(s_.sysBlock + QLatin1Char('/') + b + QStringLiteral("/removable")) != QLatin1String("1")) continue;
    // The whole medium or its partitions, each mounted one a drive.
    for (const Mount& m : mounts) {
      if (m.device != b && !QFileInfo(s_.sysBlock + QLatin1Char('/') + b + QLatin1Char('/') + m.device).isDir())
        continue;
      if (std::any_of(machine.cbegin(), machine.cend(), [&m](const Drive& d) { return d.folder == m.folder; }))
        continue;
      Drive d;
      d.type = Removable;
      d.source = QStringLiteral("/dev/") + m.device;
      d.folder = m.folder;
      d.label = labels.value(m.device);
      machine.append(d);
    }
  }

  // Letters named in the mapping are the mapping's; the machine's drives
  // take the others from d upwards.
  const QMap<QChar, Drive> mapped = parseMapping(s_.mapping);
  QMap<QChar, Drive> byLetter = mapped;
  char next = 'd';
  for (Drive d : machine) {
    while (next <= 'z' && mapped.contains(QLatin1Char(next))) ++next;
    if (next > 'z') break;
    d.letter = QLatin1Char(next++);
    byLetter.insert(d.letter, d);
  }

  Drive root;
  root.letter = QLatin1Char('c');
  root.type = Fixed;
  root.folder = QStringLiteral("/");
  QList<Drive> all{root};
  for (const Drive& d : byLetter) all.append(d);
  return all;
}
