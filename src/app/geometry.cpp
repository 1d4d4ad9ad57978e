// SPDX-License-Identifier: GPL-3.0-or-later
#include <QMoveEvent>
#include <QResizeEvent>
#include <algorithm>

#include "app/frmcd.h"
#include "core/twips.h"

// Geometry. The frame is the window manager's; until it is known (before the
// first show) sizes are applied to the window and corrected once it is. On
// Wayland the compositor places windows itself: there only the size holds.
double frmcd::Width() const { return twips::fromPx(frameGeometry().width()); }
double frmcd::Height() const { return twips::fromPx(frameGeometry().height()); }
double frmcd::Top() const { return twips::fromPx(frameGeometry().top()); }
double frmcd::Left() const { return twips::fromPx(frameGeometry().left()); }

void frmcd::setWidth(double tw) {
  const int px = std::max(1, twips::toPx(tw));
  const int extra = frameGeometry().width() - geometry().width();
  resize(std::max(1, px - extra), geometry().height());
  wantFrame_.setWidth(px);
}

void frmcd::setHeight(double tw) {
  const int px = std::max(1, twips::toPx(tw));
  const int extra = frameGeometry().height() - geometry().height();
  resize(geometry().width(), std::max(1, px - extra));
  wantFrame_.setHeight(px);
}

void frmcd::setTop(double tw) { move(frameGeometry().left(), twips::toPx(tw)); }
void frmcd::setLeft(double tw) { move(twips::toPx(tw), frameGeometry().top()); }

void frmcd::fitFrame() {
  if (!wantFrame_.isValid() || !isVisible()) return;
  const QSize extra = frameGeometry().size() - geometry().size();
  if (extra.isEmpty()) return;  // frame not known yet (or there is none)
  resize(wantFrame_ - extra);
  wantFrame_ = QSize();
}

void frmcd::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  fitFrame();
}

void frmcd::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  fitFrame();
}
