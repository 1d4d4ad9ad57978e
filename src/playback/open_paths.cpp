// SPDX-License-Identifier: GPL-3.0-or-later
// Files and folders handed to the main window from outside it: the command
// line, a copy started later, the desktop.
#include "playback/open_paths.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QTimer>

#include "app/frmcd.h"
#include "base/aside.h"
#include "core/message_boxes.h"
#include "disc/drives.h"
#include "playback/media_control.h"
#include "playback/multi.h"

namespace {

QString canonical(const QString& path) {
  const QString c = QFileInfo(path).canonicalFilePath();
  return c.isEmpty() ? QDir::cleanPath(path) : c;
}

// A folder's files of the kinds in the playlist window's file-type list, as
// that window lists them.
QStringList mediaFiles(const QString& folder) {
  FileListBox list;
  list.setPattern(multi::kFileTypes.mid(1).join(QLatin1Char(';')));
  list.setPath(folder);
  QStringList names;
  for (int i = 0; i < list.count(); ++i) names << list.item(i)->text();
  return names;
}

// The deepest folder that holds all of `files` (absolute and clean).
QString commonFolder(const QStringList& files) {
  QStringList common = QFileInfo(files.first()).absolutePath().split(QLatin1Char('/'));
  for (const QString& f : files) {
    const QStringList parts = QFileInfo(f).absolutePath().split(QLatin1Char('/'));
    qsizetype n = 0;
    while (n < common.size() && n < parts.size() && common[n] == parts[n]) ++n;
    common.resize(n);
  }
  const QString folder = common.join(QLatin1Char('/'));
  return folder.isEmpty() ? QStringLiteral("/") : folder;
}

}  // namespace

QStringList open_paths::withoutDiscs(Drives& drives, const QStringList& paths) {
  QStringList discs, kept;
  bool listed = false;
  for (const QString& path : paths) {
    const QFileInfo info(QDir::cleanPath(path));
    if (info.isDir()) {
      if (info.fileName().startsWith(QLatin1String("cdda:"))) continue;
      if (!listed) {
        for (const Drives::Drive& d : drives.list())
          if (d.type == Drives::CdRom && !d.folder.isEmpty()) discs << canonical(d.folder);
        listed = true;
      }
      if (discs.contains(canonical(path))) continue;
    }
    kept << path;
  }
  return kept;
}

void frmcd::openPaths(const QStringList& given) {
  // Handed over (by the session bus) while the window waits for a drive: taken once the wait is over.
  if (aside::busy()) {
    QTimer::singleShot(MediaControl::kBusyRetryMs, this, [this, given] { openPaths(given); });
    return;
  }
  QStringList paths = open_paths::withoutDiscs(platform().drives, given);
  for (QString& p : paths) p = QDir::cleanPath(QDir::current().absoluteFilePath(p));
  if (paths.isEmpty()) return;
  if (paths.size() == 1 && !QFileInfo(paths.first()).isDir()) {
    runReported([this, &paths] { openFile(paths.first()); });
    return;
  }

  // Anything else plays as a list, each folder giving its media files.
  QStringList files, missing;
  for (const QString& path : paths) {
    const QFileInfo info(path);
    if (!info.exists())
      missing << open_paths::kCannotOpen.arg(path);
    else if (!info.isDir())
      files << path;
    else if (!info.isReadable() || !info.isExecutable())
      platform().messages.show(multi::kUnreadableFolder, kTitle);
    else
      for (const QString& name : mediaFiles(path)) files << QDir(path).filePath(name);
  }
  if (!missing.isEmpty()) platform().messages.show(missing.join(QLatin1Char('\n')), kTitle);
  if (files.isEmpty()) return;

  // As the playlist window hands a list over: the names in the track list,
  // their folder in multidir. Files of several folders are named from the
  // folder they share.
  const QString folder = commonFolder(files);
  QStringList rows{QStringLiteral("播放列表:")};
  for (const QString& f : files) rows << QDir(folder).relativeFilePath(f);
  runReported([&] {
    lsttrack->setUpdatesEnabled(false);
    lsttrack->clear();
    lsttrack->addItems(rows);
    lsttrack->setUpdatesEnabled(true);
    multidir = folder;
    readmulti();
  });
}
