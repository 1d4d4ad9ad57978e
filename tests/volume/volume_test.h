#pragma once
// Real mouse events on a scroll bar: arrow clicks and thumb drags, as the
// user makes them, so the tests go through Qt's own handling.
#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

namespace slider_mouse {

inline QRect subControl(QScrollBar* bar, QStyle::SubControl sc) {
  struct Peek : QScrollBar {
    using QScrollBar::initStyleOption;
  };
  QStyleOptionSlider opt;
  const auto init = &Peek::initStyleOption;  // a member of QScrollBar, reached through Peek
  (bar->*init)(&opt);
  return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, sc, bar);
}

inline void send(QScrollBar* bar, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
  QMouseEvent e(type, QPointF(at), QPointF(bar->mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
  QApplication::sendEvent(bar, &e);
}

// One click on the arrow at the top (up) or bottom end.
inline void clickArrow(QScrollBar* bar, bool up) {
  const QPoint at = subControl(bar, up ? QStyle::SC_ScrollBarSubLine : QStyle::SC_ScrollBarAddLine).center();
  send(bar, QEvent::MouseButtonPress, at, Qt::LeftButton);
  send(bar, QEvent::MouseButtonRelease, at, Qt::NoButton);
}

// Holds the thumb from construction to release().
class Drag {
 public:
  explicit Drag(QScrollBar* bar) : bar_(bar), at_(subControl(bar, QStyle::SC_ScrollBarSlider).center()) {
    send(bar_, QEvent::MouseButtonPress, at_, Qt::LeftButton);
  }
  ~Drag() { release(); }
  // Moves the pointer by (dx, dy) pixels from where it is.
  void by(int dx, int dy) {
    at_ += QPoint(dx, dy);
    send(bar_, QEvent::MouseMove, at_, Qt::LeftButton);
  }
  void release() {
    if (!down_) return;
    down_ = false;
    send(bar_, QEvent::MouseButtonRelease, at_, Qt::NoButton);
  }

 private:
  QScrollBar* bar_;
  QPoint at_;
  bool down_ = true;
};

// Drags the thumb past the top (up) or bottom end and lets go.
inline void dragToEnd(QScrollBar* bar, bool up) {
  Drag d(bar);
  const int far = bar->height() + bar->width() + 100;
  d.by(0, up ? -far : far);
}

}  // namespace slider_mouse
