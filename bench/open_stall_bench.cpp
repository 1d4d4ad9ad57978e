// SPDX-License-Identifier: GPL-3.0-or-later
// The longest stall of the GUI thread while the main window opens a media
// file through the menu and plays it: a 2 ms timer runs beside the window,
// and the widest gap between its ticks is the longest time the window could
// not repaint or take a click. A short file of the same kind is opened
// first, so that loading GStreamer's plugins for it is not counted.
// Usage: open_stall_bench WARM_UP_FILE FILE [SECONDS]   (run it with the
// slow-read library of bench/slow_read.cpp preloaded to slow FILE down)
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <cstdio>

#include "app/frmcd.h"
#include "fakes/fakes.h"
#include "playback/media_backends.h"
#include "playback/media_control.h"

namespace {

void runFor(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s WARM_UP_FILE FILE [SECONDS]\n", argv[0]);
    return 2;
  }
  const QString warmUp = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
  const QString file = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
  const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 15;

  FakePlatform fp;
  fp.pictures.add(fp.programFolder + QStringLiteral("/bg.bmp"));
  const auto media = makeSystemMediaDevices(fp.drives);
  Platform p = fp.platform(*media);
  frmcd w(p);
  w.start();
  StallMeter meter;
  const auto choose = [&](const QString& path) {
    fp.filePicker.answers.emplace_back(path);
    w.action(QStringLiteral("menu_vcd"))->trigger();
  };
  choose(warmUp);
  runFor(1000);

  meter.reset();
  QElapsedTimer t;
  t.start();
  QString label = w.lbltime->text();
  qint64 labelAt = -1;
  QTimer::singleShot(0, [&] { choose(file); });
  QObject::connect(&meter.tick, &QTimer::timeout, [&] {
    if (w.lbltime->text() != label) {
      label = w.lbltime->text();
      labelAt = t.elapsed();
    }
  });
  runFor(seconds * 1000);

  std::printf("longest GUI stall (ms): %lld\n", meter.widest);
  std::printf("length shown: %s, %lld ms after the choice\n", qPrintable(label), labelAt);
  std::printf("playing: %s, messages: %lld\n", w.mcicdplayer->Mode() == MediaDevice::Playing ? "yes" : "no",
              qint64(fp.messages.shown.size()));
  w.close();
  return 0;
}
