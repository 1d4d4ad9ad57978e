// SPDX-License-Identifier: GPL-3.0-or-later
// mirova-cdaudio: the CD drive service. Started by the player when it first
// needs the drive; see protocol.h for what it answers and when it ends.
// Usage: mirova-cdaudio [--idle-exit-ms N]
//        mirova-cdaudio --probe IMAGE | --read IMAGE ...   (see ImageProbe)
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "cdaudio/protocol.h"
#include "cdaudio/service.h"
#include "disc/image_probe.h"

int main(int argc, char** argv) {
  // Whatever the starting player left open (a pipe someone reads to its end,
  // for one) must not be held for as long as the disc plays.
  ::close_range(3, ~0U, 0);
  // Ended at once, without exit handlers: nothing of a damaged image's
  // leftovers may turn a finished probe into a failed one.
  if (argc == 3 && std::strcmp(argv[1], "--probe") == 0) ::_exit(ImageProbe::runProbe(QFile::decodeName(argv[2])));
  if (argc > 2 && std::strcmp(argv[1], "--read") == 0) {
    QStringList args;
    for (int i = 2; i < argc; ++i) args << QFile::decodeName(argv[i]);
    ::_exit(ImageProbe::runReader(args));
  }
  QCoreApplication app(argc, argv);
  std::signal(SIGPIPE, SIG_IGN);
  int idleMs = cdaudio::kIdleExitMs;
  const QStringList args = QCoreApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    bool ok = false;
    if (args[i] == QLatin1String("--idle-exit-ms") && i + 1 < args.size()) idleMs = args[++i].toInt(&ok);
    if (!ok || idleMs < 0) {
      std::fprintf(stderr, "usage: mirova-cdaudio [--idle-exit-ms N]\n");
      return 2;
    }
  }
  CdAudioService service(idleMs, QCoreApplication::applicationFilePath());
  QString why;
  switch (service.start(&why)) {
    case CdAudioService::Start::AlreadyRunning:
      return 0;
    case CdAudioService::Start::Failed:
      std::fprintf(stderr, "mirova-cdaudio: %s\n", qPrintable(why));
      return 1;
    case CdAudioService::Start::Listening:
      break;
  }
  return QCoreApplication::exec();
}
