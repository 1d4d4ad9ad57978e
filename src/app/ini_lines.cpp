// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ini_lines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
constexpr qint64 kLimit = 1 << 20;  // a settings file is small; refuse to swallow a huge one

bool isSection(const QByteArray& t) { return t.startsWith('[') && t.endsWith(']'); }

// Names are compared as text; the line's own bytes are never rewritten.
bool sameName(const QByteArray& bytes, const QString& name) {
  return QString::fromUtf8(bytes.trimmed()).compare(name, Qt::CaseInsensitive) == 0;
}

struct Where {
  int keyLine = -1;
  int sectionLine = -1;
  int insertAt = -1;  // last non-blank line of the section
};

Where find(const QList<QByteArray>& lines, const QString& section, const QString& key) {
  Where w;
  bool inSection = false;
  for (int i = 0; i < lines.size(); ++i) {
    const QByteArray t = lines[i].trimmed();
    if (isSection(t)) {
      if (inSection) break;
      inSection = sameName(t.mid(1, t.size() - 2), section);
      if (inSection) w.sectionLine = w.insertAt = i;
      continue;
    }
    if (!inSection || t.isEmpty()) continue;
    w.insertAt = i;
    if (t.startsWith(';') || t.startsWith('#')) continue;
    const int eq = t.indexOf('=');
    if (eq > 0 && w.keyLine < 0 && sameName(t.left(eq), key)) w.keyLine = i;
  }
  return w;
}

QString besideName(const QString& path) {
  QString name = path + QStringLiteral(".damaged");
  for (int n = 2; QFileInfo::exists(name); ++n) name = path + QStringLiteral(".damaged-%1").arg(n);
  return name;
}
}  // namespace

IniLines IniLines::load(const QString& path) {
  IniLines ini;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    ini.writable = !QFileInfo::exists(path);
    return ini;
  }
  const qint64 size = f.size();
  const QByteArray bytes = size > kLimit ? QByteArray() : f.read(kLimit + 1);
  // Binary garbage, a huge file or a short read: treat as no keys, and
  // remember that the file holds more than we saw.
  if (size > kLimit || bytes.size() != size || bytes.contains('\0')) {
    ini.damaged = true;
    return ini;
  }
  if (bytes.isEmpty()) return ini;
  ini.lines = bytes.split('\n');
  if (bytes.endsWith('\n')) ini.lines.removeLast();  // the last line's end, not a line
  return ini;
}

bool IniLines::save(const QString& path, IfDamaged ifDamaged) const {
  if (!writable) return false;
  if (damaged && (ifDamaged == IfDamaged::Refuse || !QFile::rename(path, besideName(path)))) return false;
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly)) return false;
  for (const QByteArray& l : lines) out.write(l + '\n');
  return out.commit();
}

QString IniLines::value(const QString& section, const QString& key) const {
  const Where w = find(lines, section, key);
  if (w.keyLine < 0) return QString();
  const QByteArray& l = lines[w.keyLine];
  return QString::fromUtf8(l.mid(l.indexOf('=') + 1).trimmed());
}

void IniLines::setValue(const QString& section, const QString& key, const QString& value) {
  // Values are single lines; a line break would corrupt the file's structure.
  QString clean = value;
  clean.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
  // New lines end as the file's lines do.
  const QByteArray end = !lines.isEmpty() && lines.first().endsWith('\r') ? "\r" : "";
  const QByteArray line = (key + QLatin1Char('=') + clean).toUtf8() + end;
  const Where w = find(lines, section, key);
  if (w.keyLine >= 0) {
    lines[w.keyLine] = line;
  } else if (w.sectionLine >= 0) {
    lines.insert(w.insertAt + 1, line);
  } else {
    if (!lines.isEmpty()) lines << end;
    lines << ('[' + section.toUtf8() + ']' + end) << line;
  }
}
