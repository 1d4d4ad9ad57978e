// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's load and unload steps: start-up, the reload that the
// playback modes use, and the two ways out.
#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "app/frmcd.h"
#include "app/instance_lock.h"
#include "app/settings_store.h"
#include "core/message_boxes.h"
#include "core/program_exit.h"
#include "core/range_scrollbar.h"
#include "desktop/autoplay_registry.h"
#include "playback/media_control.h"

void frmcd::start() {
  Form_Load();
  show();
  fitFrame();
}

void frmcd::Form_Load() {
  unloaded_ = false;
  // 1. One copy only: a second one leaves without a trace.
  if (!platform_.instanceLock.acquire()) platform_.programExit.endNow();
  // 2.
  seekskip = basic::kFalse;
  // 3. The command the desktop runs for an inserted audio CD; failures ignored.
  platform_.autoPlay.registerAudioCdCommand(programFile(QStringLiteral("mirova")));
  // 4. Display switches; a value that is not a number counts as the default.
  const std::pair<const char*, QWidget*> switches[] = {
      {"cd", cdload},     {"vcd", vcdload}, {"indicator", lblindicator}, {"track", lbltrack}, {"time", lbltime},
      {"list", lsttrack}, {"hsb", HScroll1}};
  for (const auto& [key, control] : switches) {
    const QString v = platform_.settings.read(kApp, QStringLiteral("kj"), QLatin1String(key), QStringLiteral("1"));
    bool ok = false;
    const double n = v.trimmed().toDouble(&ok);
    if (ok && n == 0) control->hide();
  }
  // 5.
  FSAutoSize1.record(area);
  // 6. Geometry: all four or none.
  try {
    const auto get = [this](const char* key) {
      return basic::textToInt16(platform_.settings.read(kApp, QStringLiteral("size"), QLatin1String(key)));
    };
    const qint16 w = get("Width"), h = get("Height"), t = get("top"), l = get("left");
    setWidth(w);
    setHeight(h);
    setTop(t);
    setLeft(l);
  } catch (const basic::Error&) {
  }
  // 7. Background picture.
  const QString bg = platform_.settings.read(kApp, QStringLiteral("size"), QStringLiteral("bg"));
  if (bg.isEmpty()) {
    // Without a stored picture and without bg.bmp the window simply starts
    // without a picture; the stored settings are left alone.
    loadBackground(programFile(QStringLiteral("bg.bmp")));
  } else if (!loadBackground(bg)) {
    platform_.messages.show(QStringLiteral("背景文件不存在。背景文件复位。"), kTitle);
    reset_Click();
  }
  // 8.-11.
  step_time = 1000.0;
  mcicdplayer->setShareflag(true);
  mcicdplayer->setUpdateInterval(0);
  lsttrack->addItem(QStringLiteral("播放列表:"));
  lbltrack->setText(QStringLiteral("0"));
  // 12.
  setupVolume();
}

void frmcd::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  try {
    mcicdplayer->setCommand(QStringLiteral("stop"));
  } catch (const basic::Error&) {
  }
  auto put = [this](const char* key, double v) {
    platform_.settings.write(kApp, QStringLiteral("size"), QLatin1String(key), basic::singleText(v));
  };
  put("height", Height());
  put("width", Width());
  put("top", Top());
  put("left", Left());
}

void frmcd::reload() {
  Form_Unload();
  hide();
  // The old device goes with the old control.
  if (mcicdplayer) mcicdplayer->setCommand(QStringLiteral("close"));
  buildControls();
  setWindowTitle(kTitle);  // the playback modes' captions go with what they had loaded
  Form_Load();
  show();
}

void frmcd::closeEvent(QCloseEvent* event) {
  Form_Unload();
  if (mcicdplayer) mcicdplayer->setCommand(QStringLiteral("close"));
  event->accept();
}

void frmcd::Form_Resize() { FSAutoSize1.rescale(); }

void frmcd::exit_Click() {
  try {
    mcicdplayer->setCommand(QStringLiteral("stop"));
  } catch (const basic::Error&) {
  }
  close();
}

void frmcd::exitbutcd_Click() { platform_.programExit.endNow(); }
