// SPDX-License-Identifier: GPL-3.0-or-later
// The background picture chosen by the user.
#include "app/frmcd.h"
#include "app/settings_store.h"
#include "core/message_boxes.h"
#include "core/picture_loader.h"

void frmcd::bjfile_Click() {
  bjdialog->setFileName(QString());
  bjdialog->setFilter(QStringLiteral("位图文件(*.bmp)|*.bmp"));
  bjdialog->setFilterIndex(1);
  try {
    bjdialog->ShowOpen();
  } catch (const basic::Error&) {
    // Only a cancel can end the dialog this way; treat it like one.
    bjdialog->setFileName(QString());
  }
  // A cancel falls back on the picture already chosen or reset in this run.
  const QString previous = bgpath;
  if (!bjdialog->FileName().isEmpty()) bgpath = bjdialog->FileName();
  if (bgpath.isEmpty()) return;
  QPixmap picture;
  try {
    picture = platform_.pictures.load(bgpath);
  } catch (const basic::Error&) {
    // The user may type any name. Keep what is on show and in the store,
    // and keep a later cancel from trying the bad file again.
    bgpath = previous;
    platform_.messages.show(QStringLiteral("无法读取这个图片文件，背景没有改变。"), kTitle);
    return;
  }
  area->setPicture(picture);
  platform_.settings.write(kApp, QStringLiteral("size"), QStringLiteral("bg"), bgpath);
}
