#pragma once
#include "pictures/screen_grabber.h"

// X11: Qt's grab of the root window. Wayland: the desktop portal's
// Screenshot call.
class QtScreenGrabber final : public ScreenGrabber {
 public:
  QImage grabScreen() override;
};
