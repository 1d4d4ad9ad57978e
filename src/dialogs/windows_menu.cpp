// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's About and help commands.
#include <QAction>
#include <QPushButton>

#include "app/frmcd.h"
#include "dialogs/about.h"
#include "dialogs/help.h"

namespace {
void bringForward(QWidget* w) {
  w->show();
  w->raise();
  w->activateWindow();
}

// Follows the help window through its "第一页", which replaces it.
void trackHelp(frmcd* main, frmhelp* w) {
  main->helpWindow = w;
  QObject::connect(w, &frmhelp::replaced, main, [main](frmhelp* fresh) { trackHelp(main, fresh); });
}
}  // namespace

// Both windows are parentless, so that they may outlive a closed main window.
void frmcd::about_Click() {
  if (!aboutWindow) aboutWindow = new frmAbout(platform_.launcher, platform_.messages);
  bringForward(aboutWindow);
  aboutWindow->cmdOK->setFocus();
}

void frmcd::help_Click() {
  if (!helpWindow) trackHelp(this, new frmhelp);
  bringForward(helpWindow);
  helpWindow->cmdok->setFocus();
}

void frmcd::wireDialogs() {
  // The menu outlives the controls: connect it once, not at every reload.
  connect(action(QStringLiteral("about")), &QAction::triggered, this, &frmcd::about_Click, Qt::UniqueConnection);
  connect(action(QStringLiteral("help")), &QAction::triggered, this, &frmcd::help_Click, Qt::UniqueConnection);
}
