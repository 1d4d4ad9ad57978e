#pragma once
#include <QString>

// Registers the command the desktop runs to play an inserted audio CD.
// Failures are ignored by the caller; register() never throws.
class AutoPlayRegistry {
 public:
  virtual ~AutoPlayRegistry() = default;
  virtual void registerAudioCdCommand(const QString& command) = 0;
};

// freedesktop: <dataHome>/applications/mirova.desktop handling
// x-content/audio-cdda, made the default in <configHome>/mimeapps.list.
// Every other line of mimeapps.list is kept.
class DesktopAutoPlayRegistry final : public AutoPlayRegistry {
 public:
  DesktopAutoPlayRegistry(QString dataHome, QString configHome);
  static QString defaultDataHome();
  void registerAudioCdCommand(const QString& command) override;

  QString desktopFilePath() const;
  QString mimeAppsPath() const;
  // The command as an Exec= value: quoted and escaped where the desktop
  // entry syntax needs it, so a folder with blanks, '%' or a line break
  // still works. Empty for a command with a control character that the
  // syntax cannot hold; nothing is registered then.
  static QString execValue(const QString& command);

 private:
  QString dataHome_;
  QString configHome_;
};
