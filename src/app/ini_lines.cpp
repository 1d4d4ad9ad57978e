#include "app/ini_lines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
bool isSection(const QString& t) { return t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')); }

struct Where {
  int keyLine = -1;
  int sectionLine = -1;
  int insertAt = -1;  // last non-blank line of the section
};

Where find(const QStringList& lines, const QString& section, const QString& key) {
  Where w;
  bool inSection = false;
  for (int i = 0; i < lines.size(); ++i) {
    const QString t = lines[i].trimmed();
    if (isSection(t)) {
      if (inSection) break;
      inSection = t.mid(1, t.size() - 2).trimmed().compare(section, Qt::CaseInsensitive) == 0;
      if (inSection) w.sectionLine = w.insertAt = i;
      continue;
    }
    if (!inSection || t.isEmpty()) continue;
    w.insertAt = i;
    if (t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'))) continue;
    const int eq = t.indexOf(QLatin1Char('='));
    if (eq > 0 && w.keyLine < 0 && t.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) w.keyLine = i;
  }
  return w;
}
}  // namespace

IniLines IniLines::load(const QString& path) {
  IniLines ini;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    ini.writable = !QFileInfo::exists(path);
    return ini;
  }
  constexpr qint64 kLimit = 1 << 20;  // a settings file is small; refuse to swallow a huge one
  if (f.size() > kLimit) return ini;
  const QByteArray bytes = f.readAll();
  if (bytes.contains('\0')) return ini;  // binary garbage: treat as no keys
  ini.lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
  for (QString& l : ini.lines)
    if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
  while (!ini.lines.isEmpty() && ini.lines.last().isEmpty()) ini.lines.removeLast();
  return ini;
}

bool IniLines::save(const QString& path) const {
  if (!writable) return false;
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly)) return false;
  out.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
  return out.commit();
}

QString IniLines::value(const QString& section, const QString& key) const {
  const Where w = find(lines, section, key);
  if (w.keyLine < 0) return QString();
  const QString& l = lines[w.keyLine];
  return l.mid(l.indexOf(QLatin1Char('=')) + 1).trimmed();
}

void IniLines::setValue(const QString& section, const QString& key, const QString& value) {
  // Values are single lines; a line break would corrupt the file's structure.
  QString clean = value;
  clean.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
  const QString line = key + QLatin1Char('=') + clean;
  const Where w = find(lines, section, key);
  if (w.keyLine >= 0) {
    lines[w.keyLine] = line;
  } else if (w.sectionLine >= 0) {
    lines.insert(w.insertAt + 1, line);
  } else {
    if (!lines.isEmpty()) lines << QString();
    lines << QLatin1Char('[') + section + QLatin1Char(']') << line;
  }
}
