#include "app/autoplay_registry.h"

#include <QDir>

#include "app/ini_lines.h"

namespace {
const QString kDesktopName = QStringLiteral("mirova.desktop");
const QString kCdType = QStringLiteral("x-content/audio-cdda");
}  // namespace

DesktopAutoPlayRegistry::DesktopAutoPlayRegistry(QString dataHome, QString configHome)
    : dataHome_(std::move(dataHome)), configHome_(std::move(configHome)) {}

QString DesktopAutoPlayRegistry::defaultDataHome() {
  const QString xdg = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
  if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return xdg;
  return QDir::homePath() + QStringLiteral("/.local/share");
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

void DesktopAutoPlayRegistry::registerAudioCdCommand(const QString& command) {
  const QString exec = execValue(command);
  if (exec.isEmpty()) return;  // a path no desktop file can hold: register nothing
  IniLines desktop;
  desktop.lines = {
      "[Desktop Entry]",       "Type=Application", "Name=Savrel超级播放器",
      "Exec=" + exec.toUtf8(), "Icon=mirova",      "MimeType=x-content/audio-cdda;",
      "NoDisplay=true",        "Terminal=false",
  };
  if (!desktop.save(desktopFilePath())) return;

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
