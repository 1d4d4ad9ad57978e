// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/auto_size.h"

#include <cmath>

void AutoSize::record(QWidget* container) {
  container_ = container;
  layout_.clear();
  base_ = container->size();
  for (QWidget* w : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) layout_.insert(w, w->geometry());
}

void AutoSize::rescale() {
  if (!container_ || base_.width() <= 0 || base_.height() <= 0) return;
  const double sx = double(container_->width()) / base_.width();
  const double sy = double(container_->height()) / base_.height();
  for (auto it = layout_.cbegin(); it != layout_.cend(); ++it) {
    const QRect& r = it.value();
    const int l = int(std::lround(r.left() * sx)), t = int(std::lround(r.top() * sy));
    const int rgt = int(std::lround((r.left() + r.width()) * sx)), bot = int(std::lround((r.top() + r.height()) * sy));
    it.key()->setGeometry(l, t, std::max(1, rgt - l), std::max(1, bot - t));
  }
}
