// SPDX-License-Identifier: GPL-3.0-or-later
// Drive paths ("E:\Mpegav\AVSEQ01.DAT") resolved on this machine, and the
// directory search over them.
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "base/basic.h"
#include "disc/disc.h"
#include "disc/drives.h"
#include "disc/iso_files.h"

namespace {

struct DrivePath {
  QChar letter;
  QStringList parts;  // folders, then the last name
};

// "." stays and ".." goes up, never above the drive's root.
std::optional<DrivePath> split(const QString& path) {
  if (!Drives::isDrivePath(path)) return std::nullopt;
  static const QRegularExpression separators(QStringLiteral("[\\\\/]"));
  DrivePath p{path.at(0).toLower(), {}};
  for (const QString& part : path.mid(2).split(separators, Qt::SkipEmptyParts)) {
    if (part == QLatin1String("..")) {
      if (!p.parts.isEmpty()) p.parts.removeLast();
    } else if (part != QLatin1String(".")) {
      p.parts << part;
    }
  }
  return p;
}

basic::Error unavailable(QChar letter) {
  return basic::Error(Drives::kDeviceUnavailable, QStringLiteral("Device unavailable: %1:").arg(letter.toLower()));
}

// A disc to list and read: a drive's node through libcdio, an image
// through what its probe found, never through libcdio here.
struct Disc {
  disc::Handle cdio;                              // a drive's
  std::shared_ptr<const disc::ImageIndex> index;  // an image's
  disc::FolderReader folders() const { return index ? index->reader() : disc::isoFolders(cdio.get()); }
  bool hasToc() const { return index ? index->toc.has_value() : disc::readToc(cdio.get()).has_value(); }
};

// The drive's disc, when it has one that may be read: an optical drive's
// node or an image. Null for folders and removable media, and for a drive
// we may not open (its mounted folder may still be read).
std::optional<Disc> openDisc(ImageProbe* probe, const Drives::Drive& d) {
  if (d.type != Drives::CdRom || d.source.isEmpty()) return std::nullopt;
  if (disc::imageKind(d.source) != disc::ImageKind::NotImage) {
    auto index = probe ? probe->index(d.source) : nullptr;
    return index ? std::optional(Disc{nullptr, std::move(index)}) : std::nullopt;
  }
  disc::Handle cdio = disc::openDrive(d.source);
  return cdio ? std::optional(Disc{std::move(cdio), nullptr}) : std::nullopt;
}

// The entry of `folder` called `name` in any letter case, an exact match first.
QString pickName(const QString& folder, const QString& name, QDir::Filters kind) {
  const QDir dir(folder);
  const QFileInfo exact(dir.filePath(name));
  if ((kind & QDir::Dirs) ? exact.isDir() : exact.isFile()) return exact.filePath();
  for (const QFileInfo& e :
       dir.entryInfoList(kind | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted))
    if (e.fileName().compare(name, Qt::CaseInsensitive) == 0) return e.filePath();
  return {};
}

// The folder under `root` that `parts` name, empty when one is missing.
QString walkFolders(const QString& root, const QStringList& parts) {
  QString at = root;
  for (const QString& part : parts) {
    at = pickName(at, part, QDir::Dirs);
    if (at.isEmpty()) return {};
  }
  return at;
}

QRegularExpression wildcard(const QString& pattern) {
  return QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                            QRegularExpression::CaseInsensitiveOption);
}

}  // namespace

bool Drives::isDrivePath(const QString& path) {
  return path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter() && path.at(0).unicode() < 128;
}

Drives::Location Drives::locate(const QString& drivePath) {
  const auto p = split(drivePath);
  if (!p) throw basic::Error(kBadFileName, QStringLiteral("Not a drive path: \"%1\"").arg(drivePath));
  const auto notFound = [&drivePath] {
    return basic::Error(basic::kFileNotFound, QStringLiteral("File not found: \"%1\"").arg(drivePath));
  };
  const auto d = find(p->letter);
  if (!d) throw unavailable(p->letter);
  if (auto disc = openDisc(probe_, *d)) {
    // A drive without a disc opens but has no table of contents.
    if (!disc->hasToc()) throw unavailable(p->letter);
    const auto entry = disc::findFile(disc->folders(), p->parts);
    if (!entry) throw notFound();
    std::unique_ptr<disc::PayloadReader> reader =
        disc->index ? probe_->fileReader(d->source, *entry)
                    : std::make_unique<disc::FileReader>(std::move(disc->cdio), *entry);
    if (!reader) throw unavailable(p->letter);
    reader =
        std::make_unique<disc::FillingReader>(std::move(reader), entry->form2 ? disc::kForm2Bytes : disc::kDataBytes);
    return Location{QString(), std::move(reader), *entry};
  }
  if (p->parts.isEmpty()) throw notFound();
  const QString dir = walkFolders(folder(p->letter), p->parts.mid(0, p->parts.size() - 1));
  const QString file = dir.isEmpty() ? QString() : pickName(dir, p->parts.last(), QDir::Files);
  if (file.isEmpty()) throw notFound();
  return Location{file, nullptr, {}};
}

QStringList Drives::findFiles(const QString& pattern) {
  const auto p = split(pattern);
  if (!p || p->parts.isEmpty()) throw basic::Error(kBadFileName, QStringLiteral("Not a search: \"%1\"").arg(pattern));
  const QRegularExpression match = wildcard(p->parts.last());
  const QStringList folders = p->parts.mid(0, p->parts.size() - 1);
  const auto d = find(p->letter);
  if (!d) throw unavailable(p->letter);
  QStringList names;
  if (const auto disc = openDisc(probe_, *d)) {
    if (!disc->hasToc()) throw unavailable(p->letter);
    for (const disc::FileEntry& e : disc::listFolder(disc->folders(), folders).value_or(QList<disc::FileEntry>()))
      if (!e.folder && match.match(e.name).hasMatch()) names << e.name;
    return names;
  }
  const QString dir = walkFolders(folder(p->letter), folders);
  if (dir.isEmpty()) return names;
  for (const QFileInfo& e : QDir(dir).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted))
    if (match.match(e.fileName()).hasMatch()) names << e.fileName();
  return names;
}

QString Drives::dirFirst(const QString& pattern) {
  found_ = findFiles(pattern);
  nextFound_ = 0;
  return dirNext();
}

QString Drives::dirNext() { return nextFound_ < found_.size() ? found_.at(nextFound_++) : QString(); }
