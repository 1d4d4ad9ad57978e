// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

// An INI-style file kept as its lines of bytes, so that changing one value
// leaves every other line, comment, unknown section, line ending and byte
// that is not UTF-8 exactly as it was. Section and key names match without
// regard to letter case; values are read and written as UTF-8.
struct IniLines {
  QList<QByteArray> lines;  // without their '\n'; a '\r' before it stays
  // False when the file exists but could not be opened (no permission, a
  // folder in its place): writing would then replace settings we never saw.
  bool writable = true;
  // The file exists but was read as no lines: binary, oversized, or cut
  // short while reading.
  bool damaged = false;

  // A missing, unreadable or damaged file gives no lines.
  static IniLines load(const QString& path);
  // What a write does to a file that was read as damaged: leave it alone
  // (for a file that others depend on), or move it aside to
  // "<path>.damaged" (or "<path>.damaged-2", ...) and write a fresh one.
  enum class IfDamaged { Refuse, KeepBeside };
  // Atomic replace through a temporary file; false when nothing was written.
  bool save(const QString& path, IfDamaged ifDamaged = IfDamaged::Refuse) const;

  // The value of section/key, or a null string when absent.
  QString value(const QString& section, const QString& key) const;
  void setValue(const QString& section, const QString& key, const QString& value);
};
