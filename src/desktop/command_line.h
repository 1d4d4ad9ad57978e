// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// mirova [FILE|FOLDER]... : what the player is to open (frmcd::openPaths
// says how), or --help and --version.
namespace command_line {

// Answers --help and --version on standard output before anything needs a
// display: the exit status, or nothing when the player is to start. A "--"
// ends the options; every argument after it is a path.
std::optional<int> answer(int argc, char** argv);

// The paths in QApplication::arguments() (Qt's own options already taken
// out), absolute against the current folder; a file: URL stands for its
// local path. `unknown` gets the first option the player does not know.
QStringList paths(const QStringList& arguments, QString& unknown);

}  // namespace command_line
