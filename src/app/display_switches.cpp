// SPDX-License-Identifier: GPL-3.0-or-later
// The display switches and the layout reset of the main window.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "app/frmcd.h"
#include "app/settings_store.h"
#include "core/message_boxes.h"
#include "core/program_exit.h"
#include "core/range_scrollbar.h"

void frmcd::writeKj(const QString& key, const QString& value) {
  platform_.settings.write(kApp, QStringLiteral("kj"), key, value);
}

// A group's state is nothing but its control's own visibility.
void frmcd::toggleGroup(QWidget* control, const QString& key) {
  if (!control->isHidden()) {
    control->hide();
    writeKj(key, QStringLiteral("0"));
  } else {
    control->show();
    writeKj(key, QStringLiteral("1"));
  }
}

void frmcd::switch_cd_Click() { toggleGroup(cdload, QStringLiteral("cd")); }
void frmcd::switch_vcd_Click() { toggleGroup(vcdload, QStringLiteral("vcd")); }
void frmcd::switch_play_Click() { toggleGroup(lblindicator, QStringLiteral("indicator")); }
void frmcd::switch_track_Click() { toggleGroup(lbltrack, QStringLiteral("track")); }
void frmcd::switch_time_Click() { toggleGroup(lbltime, QStringLiteral("time")); }
void frmcd::switch_list_Click() { toggleGroup(lsttrack, QStringLiteral("list")); }
void frmcd::switch_hsb_Click() { toggleGroup(HScroll1, QStringLiteral("hsb")); }

// Showing the capture button goes through the capture notice.
void frmcd::switch_cam_Click() {
  if (!cmd_scr->isHidden()) {
    cmd_scr->hide();
    writeKj(QStringLiteral("cam"), QStringLiteral("0"));
  } else {
    menu_scr_Click();
  }
}

void frmcd::switch_allon_Click() {
  const std::pair<QWidget*, const char*> groups[] = {
      {cdload, "cd"},     {vcdload, "vcd"}, {lblindicator, "indicator"}, {lbltrack, "track"}, {lbltime, "time"},
      {lsttrack, "list"}, {HScroll1, "hsb"}};
  for (const auto& [control, key] : groups) {
    control->show();
    writeKj(QLatin1String(key), QStringLiteral("1"));
  }
}

void frmcd::switch_alloff_Click() {
  const std::pair<QWidget*, const char*> groups[] = {
      {cdload, "cd"},      {vcdload, "vcd"},  {lblindicator, "indicator"},
      {lbltrack, "track"}, {lbltime, "time"}, {lsttrack, "list"},
      {cmd_scr, "cam"},    {HScroll1, "hsb"}};
  for (const auto& [control, key] : groups) {
    control->hide();
    writeKj(QLatin1String(key), QStringLiteral("0"));
  }
}

void frmcd::reset_Click() {
  switch_allon_Click();
  const std::pair<const char*, const char*> defaults[] = {
      {"height", "2685"}, {"width", "3495"}, {"top", "2895"}, {"left", "4005"}};
  for (const auto& [key, value] : defaults)
    platform_.settings.write(kApp, QStringLiteral("size"), QLatin1String(key), QLatin1String(value));
  setHeight(2685);
  setWidth(3495);
  setTop(2895);
  setLeft(4005);
  bgpath = programFile(QStringLiteral("bg.bmp"));
  if (!loadBackground(bgpath)) {
    platform_.messages.show(QStringLiteral("背景复位失败！bg.bmp丢失，请重装。"), kTitle);
    platform_.programExit.endNow();
  }
  platform_.settings.write(kApp, QStringLiteral("size"), QStringLiteral("bg"), programFile(QStringLiteral("bg.bmp")));
}
