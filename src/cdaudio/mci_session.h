// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QMap>
#include <QString>
#include <QStringList>

class CdDrive;

// One client's view of the shared drive: the aliases it has opened, each
// with its own time format, and the interpreter of its command strings
// (see protocol.h for the language and what holds between clients).
class MciSession {
 public:
  struct Reply {
    int error = 0;
    QString text;
  };
  enum class TimeFormat { Milliseconds, Msf, Tmsf };

  explicit MciSession(CdDrive& drive) : drive_(drive) {}

  // One request line, without its newline.
  Reply handle(const QString& line);

 private:
  Reply open(const QStringList& args);
  Reply close(const QStringList& args);
  Reply play(TimeFormat format, const QStringList& args);
  Reply seek(TimeFormat format, const QStringList& args);
  Reply set(TimeFormat& format, const QStringList& args);
  Reply status(TimeFormat format, const QStringList& args);
  // A position in the time format, as a sector of the disc.
  bool parsePosition(TimeFormat format, const QString& text, int* sector, Reply* error);
  QString formatPosition(TimeFormat format, int sector, bool trackRelative);

  CdDrive& drive_;
  QMap<QString, TimeFormat> aliases_;
};
