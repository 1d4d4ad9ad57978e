// SPDX-License-Identifier: GPL-3.0-or-later
// The playlist on the main window: opening the playlist window and taking
// the chosen list over.
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QWindow>

#include "app/frmcd.h"
#include "core/message_boxes.h"
#include "playback/media_control.h"
#include "playback/multi.h"

void frmcd::menu_multi_Click() {
  // The main window is disabled while a playlist window is open, so there
  // is at most one; should one be open all the same, it comes forward.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* open = qobject_cast<multi*>(w); open && open->isVisible()) {
      open->raise();
      open->activateWindow();
      return;
    }
  }
  auto* window = new multi(*this);
  // Kept above the main window by the window manager, centred on it.
  window->winId();
  if (window->windowHandle() && windowHandle()) window->windowHandle()->setTransientParent(windowHandle());
  window->move(frameGeometry().center() - window->rect().center());
  window->show();
}

void frmcd::readmulti() {
  int rows = lsttrack->count();
  // Nothing below the header: there is no list to take over.
  if (rows < 2) return;
  // listcount counts the rows in 16 bits; a longer list is cut to the
  // largest count rather than wrapping into a negative number.
  if (rows - 1 > multi::kMaxEntries) {
    lsttrack->model()->removeRows(multi::kMaxEntries + 1, rows - (multi::kMaxEntries + 1));
    rows = multi::kMaxEntries + 1;
    platform().messages.show(multi::kTooMany, kTitle);
  }
  listmode = basic::kTrue;
  multimode = basic::kTrue;
  mcicdplayer->setDeviceType(QString());
  QStringList names;
  names.reserve(rows);
  names.append(QString());  // entry 0 is never used
  for (int i = 1; i < rows; ++i) names.append(lsttrack->item(i)->text());
  filelist = std::move(names);
  listcount = static_cast<qint16>(rows);
  curfile = 1;
  lsttrack->setCurrentRow(1);
  playfile();
}

void frmcd::wirePlaylist() {
  // A playlist may bring tens of thousands of rows, each one line in one
  // font: with uniform sizes the list does not measure every row.
  lsttrack->setUniformItemSizes(true);
  // The menu outlives the controls; the old connection goes before the new.
  QAction* item = action(QStringLiteral("menu_multi"));
  disconnect(item, &QAction::triggered, this, nullptr);
  connect(item, &QAction::triggered, this, [this] { menu_multi_Click(); });
}
