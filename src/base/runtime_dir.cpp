// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/runtime_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>

namespace runtime {

bool ensurePrivate(const QString& path) {
  const QByteArray p = QFile::encodeName(path);
  if (::mkdir(p.constData(), 0700) != 0 && errno != EEXIST) return false;
  // lstat, not stat: a link planted in /tmp must not lead us elsewhere.
  struct stat st {};
  if (::lstat(p.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return false;
  if ((st.st_mode & 077) != 0 && ::chmod(p.constData(), 0700) != 0) return false;
  return ::access(p.constData(), W_OK | X_OK) == 0;
}

QString privateFolder(const QString& name) {
  const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) {
    const QString folder = QDir(xdg).filePath(name);
    if (ensurePrivate(folder)) return folder;
  }
  const QString base = QDir::tempPath() + QStringLiteral("/mirova-") + QString::number(::getuid());
  if (!ensurePrivate(base)) return QString();
  const QString folder = base + QLatin1Char('/') + name;
  return ensurePrivate(folder) ? folder : QString();
}

}  // namespace runtime
