// SPDX-License-Identifier: GPL-3.0-or-later
// Times the playlist window on a large folder and the hand-over of the
// longest list the main window can count. The main window runs on the test
// fakes with a scripted media device, so the times are the window's and the
// lists' own, not a decoder's.
// Usage: playlist_bench FOLDER [REPEATS]   (FOLDER becomes the current folder)
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <cstdio>

#include "app/frmcd.h"
#include "fakes/fakes.h"
#include "playback/multi.h"

namespace {

multi* openWindow() {
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* m = qobject_cast<multi*>(t); m && m->isVisible()) return m;
  return nullptr;
}

double median(QList<double> v) {
  std::sort(v.begin(), v.end());
  return v.isEmpty() ? 0.0 : v[v.size() / 2];
}

QString list(const QList<double>& v) {
  QStringList s;
  for (double x : v) s << QString::number(x, 'f', 1);
  return s.join(QLatin1Char(' '));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER [REPEATS]\n", argv[0]);
    return 2;
  }
  const QString folder = QDir(QString::fromLocal8Bit(argv[1])).canonicalPath();
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  if (folder.isEmpty() || !QDir::setCurrent(folder)) {
    std::fprintf(stderr, "cannot enter %s\n", argv[1]);
    return 2;
  }

  FakePlatform fp;
  Platform p = fp.platform();
  fp.media.script.lengths[folder + QStringLiteral("/track00001.mp3")] = 1000;
  frmcd w(p);
  w.start();
  QApplication::processEvents();

  // Opening: from the menu item to the window on screen with its files listed.
  QList<double> opening, typing, handOver;
  int listed = 0;
  for (int i = 0; i < repeats; ++i) {
    QElapsedTimer t;
    t.start();
    w.action(QStringLiteral("menu_multi"))->trigger();
    multi* m = openWindow();
    QApplication::processEvents();
    opening << t.nsecsElapsed() / 1e6;
    listed = m->File1->count();

    // A pattern typed into the file type box: the last key filters the folder.
    QLineEdit* edit = m->filetype->lineEdit();
    edit->setText(QStringLiteral("*.mp"));
    t.restart();
    edit->insert(QStringLiteral("3"));
    Q_EMIT edit->textEdited(edit->text());
    QApplication::processEvents();
    typing << t.nsecsElapsed() / 1e6;
    m->cmd_cancel->click();
    QApplication::processEvents();
  }

  // Hand-over: the chosen list is filled beforehand; OK copies it into the
  // main window's list, readmulti takes it over and the first entry starts.
  int rows = 0;
  for (int i = 0; i < repeats; ++i) {
    w.action(QStringLiteral("menu_multi"))->trigger();
    multi* m = openWindow();
    QStringList names;
    names.reserve(multi::kMaxEntries);
    for (int k = 0; k < multi::kMaxEntries; ++k) names << QStringLiteral("track00001.mp3");
    m->List1->addItems(names);
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    m->cmd_ok->click();
    QApplication::processEvents();
    handOver << t.nsecsElapsed() / 1e6;
    rows = w.lsttrack->count();
    if (w.listcount != 32767 || !fp.messages.shown.isEmpty()) {
      std::fprintf(stderr, "hand-over went wrong: listcount %d\n", w.listcount);
      return 1;
    }
  }

  std::printf("files listed: %d\n", listed);
  std::printf("open window + list (ms, median of %d): %.1f   [%s]\n", repeats, median(opening),
              qPrintable(list(opening)));
  std::printf("pattern key on the folder (ms, median): %.1f   [%s]\n", median(typing), qPrintable(list(typing)));
  std::printf("hand-over of %d entries, %d rows (ms, median): %.1f   [%s]\n", multi::kMaxEntries, rows,
              median(handOver), qPrintable(list(handOver)));
  w.close();
  return 0;
}
