// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictures/off_screen.h"

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <QWidget>
#include <cstdlib>
#include <memory>

namespace {

constexpr int kWindowManagerBoundMs = 1000;  // for the window manager to map or withdraw
constexpr int kRepaintMs = 50;               // uncovered X clients redraw themselves
constexpr int kCompositorRepaintMs = 150;    // a compositor needs a frame or two more
constexpr int kWaylandSettleMs = 250;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

void runEventsFor(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
  }
}

xcb_map_state_t mapState(xcb_connection_t* c, xcb_window_t w) {
  Reply<xcb_get_window_attributes_reply_t> a(
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr));
  return a ? xcb_map_state_t(a->map_state) : XCB_MAP_STATE_UNMAPPED;  // gone altogether counts as unmapped
}

bool unmapped(xcb_connection_t* c, xcb_window_t w) { return mapState(c, w) == XCB_MAP_STATE_UNMAPPED; }

// The window's top-level ancestor below the root: the frame a reparenting
// window manager put around it, or the window itself.
xcb_window_t frameOf(xcb_connection_t* c, xcb_window_t w, xcb_window_t* root) {
  for (int depth = 0; depth < 16; ++depth) {
    Reply<xcb_query_tree_reply_t> t(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
    if (!t) return w;
    *root = t->root;
    if (t->parent == t->root || t->parent == XCB_NONE) return w;
    w = t->parent;
  }
  return w;
}

bool compositorRuns(xcb_connection_t* c, xcb_window_t root) {
  int screen = 0;
  for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it), ++screen)
    if (it.data->root == root) break;
  const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
  Reply<xcb_intern_atom_reply_t> atom(
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, quint16(name.size()), name.constData()), nullptr));
  if (!atom || atom->atom == XCB_NONE) return false;
  Reply<xcb_get_selection_owner_reply_t> owner(
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr));
  return owner && owner->owner != XCB_NONE;
}

xcb_connection_t* x11Connection(QWidget* window) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 && window->internalWinId() ? x11->connection() : nullptr;
}

// A window shown a moment ago may still wait for the window manager to frame
// and map it. Withdrawn in the middle of that, twm destroys the new frame
// with the window still inside: the window is gone for good, while Qt still
// takes it for shown.
void waitMappedX11(QWidget* window) {
  xcb_connection_t* c = x11Connection(window);
  if (!c || !window->isVisible()) return;
  const auto w = xcb_window_t(window->internalWinId());
  QDeadlineTimer deadline(kWindowManagerBoundMs);
  for (;;) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    xcb_flush(c);
    if (mapState(c, w) == XCB_MAP_STATE_VIEWABLE || deadline.hasExpired()) return;
    QThread::msleep(5);
  }
}

void waitX11(QWidget* window) {
  xcb_connection_t* c = x11Connection(window);
  if (!c) {
    QCoreApplication::processEvents();
    return;
  }
  const auto w = xcb_window_t(window->internalWinId());
  xcb_window_t root = XCB_NONE;
  QDeadlineTimer deadline(kWindowManagerBoundMs);
  for (;;) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    xcb_flush(c);
    const xcb_window_t frame = frameOf(c, w, &root);
    if (!unmapped(c, w) && frame == w) {
      // Mapped again by no one but the window manager: twm, busy, maps the
      // frame's children once more before taking the window out, then leaves
      // it on the root, unmanaged and never repainted. Take it off again.
      xcb_unmap_window(c, w);
      continue;
    }
    if (unmapped(c, w) && (frame == w || unmapped(c, frame))) break;
    if (deadline.hasExpired()) break;
    QThread::msleep(5);
  }
  if (root == XCB_NONE) frameOf(c, w, &root);
  runEventsFor(root != XCB_NONE && compositorRuns(c, root) ? kCompositorRepaintMs : kRepaintMs);
}

}  // namespace

void hideUntilOffScreen(QWidget* window) {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("xcb")) waitMappedX11(window);
  window->hide();
  if (platform == QLatin1String("xcb")) {
    waitX11(window);
  } else if (platform.startsWith(QLatin1String("wayland"))) {
    runEventsFor(kWaylandSettleMs);
  } else {
    QCoreApplication::processEvents();
  }
}
