// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

// Per-user store of short text values under (application, section, key),
// names matched without regard to letter case. read() gives the default when
// the key is absent; write() creates or replaces. Neither reports failure.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual QString read(const QString& app, const QString& section, const QString& key,
                       const QString& fallback = QString()) const = 0;
  virtual void write(const QString& app, const QString& section, const QString& key, const QString& value) = 0;
};

// INI files, one per application: <configDir>/<app>/<app>.ini. Every write
// rewrites the file through a temporary file and a rename, so a crash never
// leaves half a file. A damaged or unreadable file reads as absent keys;
// lines it cannot parse are kept as they are on the next write.
class IniSettingsStore final : public SettingsStore {
 public:
  // configDir: $XDG_CONFIG_HOME, or ~/.config when that is unset.
  explicit IniSettingsStore(QString configDir);
  static QString defaultConfigDir();

  QString read(const QString& app, const QString& section, const QString& key,
               const QString& fallback = QString()) const override;
  void write(const QString& app, const QString& section, const QString& key, const QString& value) override;
  QString filePath(const QString& app) const;

 private:
  QString configDir_;
};
