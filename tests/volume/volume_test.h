// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window on the fakes, driven by real mouse events.
#include <QApplication>
#include <QMouseEvent>
#include <QStyleOptionSlider>
#include <QTemporaryDir>

#include "core/range_scrollbar.h"
#include "fakes/fakes.h"

// Points ALSA's "default" at the pulse plugin, for HOME set to `home`.
inline bool alsaToPulse(const QTemporaryDir& home) {
  QFile rc(home.filePath(QStringLiteral(".asoundrc")));
  return rc.open(QIODevice::WriteOnly) && rc.write("pcm.!default { type pulse }\nctl.!default { type pulse }\n") > 0;
}

// The started main window, on real mixers or on a fake one with these speakers.
struct Window : TestWindow {
  explicit Window(MixerFactory* mixers, Mixer::Control speakers = {1, 0, 65535})
      : TestWindow([&](FakePlatform& f) { f.mixers.real = mixers, f.mixers.state.speakers = speakers; }) {}
};

// Holds the left button on a part of the scroll bar until destroyed: a temporary clicks it,
// Press(bar).by(±2000) drags the thumb past an end.
struct Press {
  QScrollBar* bar;
  QPoint at;
  explicit Press(QScrollBar* b, QStyle::SubControl part = QStyle::SC_ScrollBarSlider) : bar(b) {
    struct Peek : QScrollBar {
      using QScrollBar::initStyleOption;
    };
    QStyleOptionSlider opt;
    (bar->*(&Peek::initStyleOption))(&opt);
    at = bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, part, bar).center();
    send(QEvent::MouseButtonPress, Qt::LeftButton);
  }
  ~Press() { send(QEvent::MouseButtonRelease, Qt::NoButton); }
  void by(int dy) { at.ry() += dy, send(QEvent::MouseMove, Qt::LeftButton); }
  void send(QEvent::Type type, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(at), QPointF(bar->mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(bar, &e);
  }
};
