// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QHash>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

// Rescales every child control of a container in proportion to the
// container's size, from the layout recorded by record().
class AutoSize {
 public:
  void record(QWidget* container);
  void rescale();

 private:
  QPointer<QWidget> container_;
  QSize base_;
  QHash<QWidget*, QRect> layout_;
};
