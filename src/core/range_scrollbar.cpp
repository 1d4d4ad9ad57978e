// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/range_scrollbar.h"

#include <algorithm>
#include <cstdlib>

RangeScrollBar::RangeScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {
  setSingleStep(1);
  setPageStep(1);
  applyRange(0);
  // Scroll follows valueChanged rather than sliderMoved: Qt emits sliderMoved
  // before the value has moved, so a handler reading Value() there would see
  // the previous position and the last position of a drag would be missed.
  connect(this, &QAbstractSlider::valueChanged, this, [this] {
    if (isSliderDown()) {
      dragChanged_ = true;
      Q_EMIT Scroll();
    } else {
      Q_EMIT Change();
    }
  });
  connect(this, &QAbstractSlider::sliderReleased, this, [this] {
    if (dragChanged_) Q_EMIT Change();
    dragChanged_ = false;
  });
}

int RangeScrollBar::Value() const { return fromQt(value()); }

void RangeScrollBar::applyRange(int keep) {
  const QSignalBlocker block(this);
  setRange(0, std::abs(max_ - min_));
  const int lo = std::min(min_, max_), hi = std::max(min_, max_);
  QScrollBar::setValue(toQt(std::clamp(keep, lo, hi)));
}

void RangeScrollBar::setMin(int v) {
  const int before = Value();
  min_ = v;
  applyRange(before);
  if (Value() != before) Q_EMIT Change();
}

void RangeScrollBar::setMax(int v) {
  const int before = Value();
  max_ = v;
  applyRange(before);
  if (Value() != before) Q_EMIT Change();
}

void RangeScrollBar::setValue(int v) {
  const int lo = std::min(min_, max_), hi = std::max(min_, max_);
  QScrollBar::setValue(toQt(std::clamp(v, lo, hi)));
}
