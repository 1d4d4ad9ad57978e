// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// Hides a window and returns once it is really gone from the screen, so that
// a copy of the screen taken next does not show it. Pending events run
// meanwhile. X11: first until a window shown just before is mapped by the
// window manager (bounded), then until the window and its frame are
// unmapped (bounded), plus a moment for a compositor or the uncovered
// windows to repaint. Wayland: a fixed moment for the compositor. Elsewhere:
// one pass of pending events.
void hideUntilOffScreen(QWidget* window);
