// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/autoplay_registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <optional>

#include "app/ini_lines.h"

namespace {
const QString kDesktopName = QStringLiteral("mirova.desktop");
const QString kCdType = QStringLiteral("x-content/audio-cdda");
const QString kEntry = QStringLiteral("Desktop Entry");
const QString kExec = QStringLiteral("Exec");
// Marks the per-user entries this registry writes, so that it removes no other.
const QString kMarker = QStringLiteral("X-Mirova-AutoPlay");

QString canonical(const QString& path) {
  const QString c = QFileInfo(path).canonicalFilePath();
  return c.isEmpty() ? QDir::cleanPath(path) : c;
}

bool isOurs(const IniLines& entry) {
  if (!entry.value(kEntry, kMarker).isNull()) return true;
  // The hidden entry earlier versions wrote, before they marked it.
  return entry.value(kEntry, QStringLiteral("NoDisplay")) == QLatin1String("true") &&
         entry.value(kEntry, QStringLiteral("Categories")).isNull() &&
         entry.value(kEntry, QStringLiteral("MimeType")) == kCdType + QLatin1Char(';');
}

// The file argument an entry's command ends with (" %F" and the like): a new
// command keeps it, so "Open With" goes on handing files over as before.
QString fileArgument(const IniLines& entry) {
  static const QRegularExpression code(QStringLiteral(" %[fFuU]$"));
  return code.match(entry.value(kEntry, kExec)).captured();
}

bool runs(const IniLines& entry, const QString& command) {
  const QString program = DesktopAutoPlayRegistry::execProgram(entry.value(kEntry, kExec));
  return !program.isEmpty() && program == canonical(command);
}

IniLines hiddenEntry() {
  IniLines e;
  e.lines = {
      "[" + kEntry.toUtf8() + "]",      "Type=Application", "Name=Savrel超级播放器", "Icon=mirova",
      "MimeType=x-content/audio-cdda;", "NoDisplay=true",   "Terminal=false",
  };
  return e;
}
}  // namespace

DesktopAutoPlayRegistry::DesktopAutoPlayRegistry(QString dataHome, QString configHome, QStringList dataDirs)
    : dataHome_(std::move(dataHome)), configHome_(std::move(configHome)), dataDirs_(std::move(dataDirs)) {}

QString DesktopAutoPlayRegistry::defaultDataHome() {
  const QString xdg = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
  if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return xdg;
  return QDir::homePath() + QStringLiteral("/.local/share");
}

QStringList DesktopAutoPlayRegistry::defaultDataDirs() {
  QStringList dirs;
  for (const QString& d : QString::fromLocal8Bit(qgetenv("XDG_DATA_DIRS")).split(QLatin1Char(':')))
    if (QDir::isAbsolutePath(d)) dirs << d;
  if (dirs.isEmpty()) dirs = QStringList{QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
  return dirs;
}

QString DesktopAutoPlayRegistry::desktopFilePath() const {
  return dataHome_ + QStringLiteral("/applications/") + kDesktopName;
}
QString DesktopAutoPlayRegistry::mimeAppsPath() const { return configHome_ + QStringLiteral("/mimeapps.list"); }

QString DesktopAutoPlayRegistry::execValue(const QString& command) {
  // Line breaks and tabs have escapes in the file's string syntax; no other
  // control character may appear in a desktop file at all.
  static const QString escapable = QStringLiteral("\n\t\r");
  for (QChar c : command)
    if ((c.unicode() < 0x20 || c.unicode() == 0x7f) && !escapable.contains(c)) return QString();
  static const QString reserved = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`");
  bool quote = false;
  for (QChar c : command) quote = quote || reserved.contains(c);
  QString v;
  for (QChar c : command) {
    if (c == QLatin1Char('%')) {
      v += QStringLiteral("%%");
    } else if (quote &&
               (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))) {
      v += QLatin1Char('\\');
      v += c;
    } else {
      v += c;
    }
  }
  // The desktop file's own string syntax escapes backslashes once more, and
  // writes line breaks and tabs as escapes.
  if (quote) v = QLatin1Char('"') + v + QLatin1Char('"');
  v.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
  v.replace(QLatin1Char('\n'), QStringLiteral("\\n")).replace(QLatin1Char('\t'), QStringLiteral("\\t"));
  return v.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
}

QString DesktopAutoPlayRegistry::execProgram(const QString& value) {
  // Undo the string syntax first, then read the first argument.
  QString s;
  for (qsizetype i = 0; i < value.size(); ++i) {
    const QChar c = value[i];
    if (c != QLatin1Char('\\') || i + 1 == value.size()) {
      s += c;
      continue;
    }
    const QChar e = value[++i];
    s += e == QLatin1Char('s') ? QLatin1Char(' ') : e == QLatin1Char('t') ? QLatin1Char('\t') : e;
  }
  QString program;
  qsizetype i = 0;
  if (s.startsWith(QLatin1Char('"'))) {
    for (i = 1; i < s.size() && s[i] != QLatin1Char('"'); ++i) {
      if (s[i] == QLatin1Char('\\') && i + 1 < s.size()) ++i;
      program += s[i];
    }
    if (i == s.size()) return QString();  // no closing quote
  } else {
    for (; i < s.size() && s[i] != QLatin1Char(' ') && s[i] != QLatin1Char('\t'); ++i) program += s[i];
  }
  program.replace(QStringLiteral("%%"), QStringLiteral("%"));
  if (program.isEmpty()) return QString();
  if (!program.contains(QLatin1Char('/'))) program = QStandardPaths::findExecutable(program);
  return QDir::isAbsolutePath(program) ? canonical(program) : QString();
}

void DesktopAutoPlayRegistry::registerAudioCdCommand(const QString& command) {
  const QString exec = execValue(command);
  if (exec.isEmpty()) return;  // a path no desktop file can hold: register nothing
  const QString path = desktopFilePath();
  const bool userFile = QFileInfo::exists(path);
  IniLines user = IniLines::load(path);
  std::optional<IniLines> installed;
  for (const QString& dir : dataDirs_) {
    const QString f = dir + QStringLiteral("/applications/") + kDesktopName;
    if (QFileInfo::exists(f)) {
      installed = IniLines::load(f);
      break;
    }
  }

  if (userFile && !isOurs(user)) {
    if (!runs(user, command)) {
      user.setValue(kEntry, kExec, exec + fileArgument(user));
      if (!user.save(path)) return;
    }
  } else if (installed && runs(*installed, command)) {
    if (userFile && !QFile::remove(path)) return;
  } else {
    IniLines entry = installed ? *installed : hiddenEntry();
    entry.setValue(kEntry, kExec, exec + (installed ? fileArgument(*installed) : QString()));
    entry.setValue(kEntry, kMarker, QStringLiteral("true"));
    if (!entry.save(path)) return;
  }

  IniLines mime = IniLines::load(mimeAppsPath());
  mime.setValue(QStringLiteral("Default Applications"), kCdType, kDesktopName + QLatin1Char(';'));
  // Keep the other handlers the user had added, ours first.
  QStringList added =
      mime.value(QStringLiteral("Added Associations"), kCdType).split(QLatin1Char(';'), Qt::SkipEmptyParts);
  added.removeAll(kDesktopName);
  added.prepend(kDesktopName);
  mime.setValue(QStringLiteral("Added Associations"), kCdType, added.join(QLatin1Char(';')) + QLatin1Char(';'));
  mime.save(mimeAppsPath());  // refused for a file read as damaged: it holds the desktop's other associations
}
