// Screen capture: the capture notice and the capture button of the main window.
#include <QPushButton>

#include "app/frmcd.h"
#include "dialogs/capture_notice.h"

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

void frmcd::wirePictures() {}
