// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/command_line.h"

#include <QDir>
#include <QUrl>
#include <cstdio>
#include <cstring>

namespace {
const char kHelp[] =
    "Usage: mirova [FILE|FOLDER]...\n"
    "Savrel超级播放器: plays audio CDs, Video CDs, media files and playlists.\n"
    "\n"
    "A FILE plays as one chosen in the player's open-file dialog. A FOLDER (its\n"
    "WAV, MIDI, AVI, MP3, MPG and DAT files) or several paths play as a\n"
    "playlist, in the order given. When the player runs already, it is handed\n"
    "the paths over the session bus, and this copy ends.\n"
    "\n"
    "  -h, --help     show this help and end\n"
    "  -v, --version  show the version and end\n";
}  // namespace

std::optional<int> command_line::answer(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--") == 0) break;
    if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (std::strcmp(a, "--version") == 0 || std::strcmp(a, "-v") == 0) {
      std::printf("mirova %d.%d.%d\n", MIROVA_VERSION_MAJOR, MIROVA_VERSION_MINOR, MIROVA_VERSION_PATCH);
      return 0;
    }
  }
  return std::nullopt;
}

QStringList command_line::paths(const QStringList& arguments, QString& unknown) {
  QStringList paths;
  bool options = true;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (options && a == QLatin1String("--")) {
      options = false;
    } else if (options && a.size() > 1 && a.startsWith(QLatin1Char('-'))) {
      if (unknown.isEmpty()) unknown = a;
    } else if (!a.isEmpty()) {
      const QUrl url(a);
      const QString path =
          a.startsWith(QLatin1String("file:"), Qt::CaseInsensitive) && url.isLocalFile() ? url.toLocalFile() : a;
      paths << QDir::cleanPath(QDir::current().absoluteFilePath(path));
    }
  }
  return paths;
}
