// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QImage>

// Copies the whole screen as it is now, at its size in pixels. A null image
// when the screen cannot be read.
class ScreenGrabber {
 public:
  virtual ~ScreenGrabber() = default;
  virtual QImage grabScreen() = 0;
};
