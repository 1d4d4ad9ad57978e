// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>

// Registers the command the desktop runs to play an inserted audio CD.
// Failures are ignored by the caller; register() never throws.
class AutoPlayRegistry {
 public:
  virtual ~AutoPlayRegistry() = default;
  virtual void registerAudioCdCommand(const QString& command) = 0;
};

// freedesktop: the desktop entry mirova.desktop handles x-content/audio-cdda
// and is made the default in <configHome>/mimeapps.list, every other line of
// which is kept. The entry the desktop finds first must run the command:
// - an installed entry (in one of dataDirs) that runs it already is left to
//   do so, and a per-user entry this registry wrote earlier is removed, since
//   a per-user file of the same name would hide the installed one;
// - otherwise <dataHome>/applications/mirova.desktop runs it: a copy of the
//   installed entry when there is one (the menus keep the program), else a
//   hidden entry of its own;
// - a per-user entry the user made (a menu editor's copy) is never removed;
//   only its command changes, when it runs another program.
// A command written keeps the file argument (%F) of the entry it replaces.
// The desktop then hands the player a disc's mount point, or nothing, and the
// player starts as it always does (see open_paths::withoutDiscs).
class DesktopAutoPlayRegistry final : public AutoPlayRegistry {
 public:
  DesktopAutoPlayRegistry(QString dataHome, QString configHome, QStringList dataDirs);
  static QString defaultDataHome();
  // $XDG_DATA_DIRS, by default /usr/local/share and /usr/share.
  static QStringList defaultDataDirs();
  void registerAudioCdCommand(const QString& command) override;

  QString desktopFilePath() const;
  QString mimeAppsPath() const;
  // The command as an Exec= value: quoted and escaped where the desktop
  // entry syntax needs it, so a folder with blanks, '%' or a line break
  // still works. Empty for a command with a control character that the
  // syntax cannot hold; nothing is registered then.
  static QString execValue(const QString& command);
  // The program an Exec= value starts, links resolved (a bare name is looked
  // up on PATH); empty when there is none.
  static QString execProgram(const QString& value);

 private:
  QString dataHome_;
  QString configHome_;
  QStringList dataDirs_;
};
