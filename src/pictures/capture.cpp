// SPDX-License-Identifier: GPL-3.0-or-later
// Screen capture: the capture notice and the capture button of the main window.
#include <QAction>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "app/frmcd.h"
#include "core/message_boxes.h"
#include "dialogs/capture_notice.h"
#include "pictures/off_screen.h"
#include "pictures/screen_grabber.h"

void frmcd::menu_scr_Click() {
  if (!captureNotice) {
    captureNotice = new Dialog(platform_.launcher, platform_.messages, this);
    // Parentless so that it may outlive a closed main window, as a modeless
    // window of its own does.
    connect(captureNotice, &Dialog::showCaptureButton, this, [this] { cmd_scr->show(); });
  }
  captureNotice->show();
  captureNotice->raise();
  captureNotice->activateWindow();
}

namespace {
// Shows the window again however the capture ends.
struct ShowAgain {
  QWidget* window;
  ~ShowAgain() { window->show(); }
};
}  // namespace

void frmcd::cmd_scr_Click() {
  const ShowAgain showAgain{this};
  hideUntilOffScreen(this);

  QImage shot = platform_.screen.grabScreen();
  if (shot.isNull()) {
    // Saving an empty picture would pass for a capture; say so instead.
    platform_.messages.show(QStringLiteral("无法读取屏幕，截图失败。"), kTitle);
    return;
  }
  // piccopy keeps the copy, at the screen's size, until the next capture.
  piccopy->resize(shot.size());
  piccopy->setPixmap(QPixmap::fromImage(std::move(shot)));

  // From here on nothing is reported: a cancel or a failed save just ends.
  try {
    vcddialog->setFileName(QStringLiteral("mirova.bmp"));
    vcddialog->setDialogTitle(QStringLiteral("存储文件"));
    vcddialog->setFilter(QStringLiteral("位图文件(*.bmp)|*.bmp"));
    vcddialog->setCancelError(true);
    vcddialog->ShowSave();
  } catch (const basic::Error&) {
    return;
  }
  // Under the name exactly as chosen, whatever its extension.
  piccopy->pixmap().toImage().save(vcddialog->FileName(), "BMP");
}

void frmcd::wirePictures() {
  connect(cmd_scr, &QPushButton::clicked, this, &frmcd::cmd_scr_Click);
  // The menu outlives the controls: connect it once, not at every reload.
  connect(action(QStringLiteral("bjfile")), &QAction::triggered, this, &frmcd::bjfile_Click, Qt::UniqueConnection);
}
