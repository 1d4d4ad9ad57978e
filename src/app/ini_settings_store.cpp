// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>

#include "app/ini_lines.h"
#include "app/settings_store.h"

IniSettingsStore::IniSettingsStore(QString configDir) : configDir_(std::move(configDir)) {}

QString IniSettingsStore::defaultConfigDir() {
  const QString xdg = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
  if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return xdg;
  return QDir::homePath() + QStringLiteral("/.config");
}

QString IniSettingsStore::filePath(const QString& app) const {
  const QString a = app.toLower();
  return configDir_ + QLatin1Char('/') + a + QLatin1Char('/') + a + QStringLiteral(".ini");
}

QString IniSettingsStore::read(const QString& app, const QString& section, const QString& key,
                               const QString& fallback) const {
  const QString v = IniLines::load(filePath(app)).value(section, key);
  return v.isNull() ? fallback : v;
}

void IniSettingsStore::write(const QString& app, const QString& section, const QString& key, const QString& value) {
  const QString path = filePath(app);
  IniLines ini = IniLines::load(path);
  ini.setValue(section, key, value);
  // A damaged file is kept beside the new one: our own settings must work
  // again, and what the user had stays on disk. Failures are not reported.
  ini.save(path, IniLines::IfDamaged::KeepBeside);
}
