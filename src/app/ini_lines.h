#pragma once
#include <QString>
#include <QStringList>

// An INI-style file kept as its lines, so that changing one value leaves
// every other line, comment and unknown section exactly as it was.
// Section and key names match without regard to letter case.
struct IniLines {
  QStringList lines;
  // False when the file exists but could not be opened (no permission, a
  // folder in its place): writing would then replace settings we never saw.
  bool writable = true;

  // A missing, unreadable, oversized or binary file gives no lines.
  static IniLines load(const QString& path);
  // Atomic replace through a temporary file; false when it could not be written.
  bool save(const QString& path) const;

  // The value of section/key, or a null string when absent.
  QString value(const QString& section, const QString& key) const;
  void setValue(const QString& section, const QString& key, const QString& value);
};
