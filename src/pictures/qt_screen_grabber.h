// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "pictures/screen_grabber.h"

// X11: Qt's grab of the root window, the whole virtual desktop. Wayland (and
// X clients of a Wayland compositor): the desktop portal's Screenshot call,
// without asking the user to pick an area; the portal's answer is awaited
// for at most responseTimeoutMs, events other than user input running
// meanwhile.
class QtScreenGrabber final : public ScreenGrabber {
 public:
  explicit QtScreenGrabber(int responseTimeoutMs = 60000) : responseTimeoutMs_(responseTimeoutMs) {}
  QImage grabScreen() override;

 private:
  static constexpr int kCallTimeoutMs = 10000;
  // noPortal: set when no portal answers on the session bus at all.
  QImage grabThroughPortal(bool* noPortal);

  int responseTimeoutMs_;
};
