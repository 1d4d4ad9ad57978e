// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// Returns once a window just hidden is really gone from the screen, so that
// a copy of the screen taken next does not show it. Pending events run
// meanwhile. X11: until the window and its window-manager frame are
// unmapped (bounded), plus a moment for a compositor or the uncovered
// windows to repaint. Wayland: a fixed moment for the compositor. Elsewhere:
// one pass of pending events.
void waitUntilOffScreen(QWidget* window);
