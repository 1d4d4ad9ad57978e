// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>

// Starts other programs detached, by argument list and never through a
// shell. find() answers the first candidate present on PATH (or given as an
// existing absolute path), or an empty string.
class Launcher {
 public:
  struct Command {
    QString program;
    QStringList arguments;
  };
  virtual ~Launcher() = default;
  virtual QString find(const QString& program) const = 0;
  virtual bool start(const QString& program, const QStringList& arguments) = 0;

  // Tries the commands in order and stops at the first that is found and
  // starts; false when none does.
  bool startFirst(const QList<Command>& candidates);
};

class ProcessLauncher final : public Launcher {
 public:
  QString find(const QString& program) const override;
  bool start(const QString& program, const QStringList& arguments) override;
};
