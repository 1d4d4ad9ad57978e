// SPDX-License-Identifier: GPL-3.0-or-later
// The volume slider and the system volume panel of the main window.
#include <QSignalBlocker>

#include "app/frmcd.h"
#include "core/launcher.h"
#include "core/message_boxes.h"
#include "core/range_scrollbar.h"
#include "volume/cls_volume.h"
#include "volume/slider_scale.h"

namespace {
SliderScale speakerScale(const clsVolume& v) { return {v.prSpeakerMinVolume(), v.prSpeakerMaxVolume()}; }
}  // namespace

void frmcd::setupVolume() {
  volume = std::make_unique<clsVolume>(platform_.mixers, platform_.messages);
  volume->meOpenMixer();
  if (volume->prMixerErr() != 0) return;
  const SliderScale scale = speakerScale(*volume);
  // A range that does not start at 0 moves the thumb into it; that is no
  // move of the user's and must not touch the system volume.
  const QSignalBlocker quiet(vsVolume);
  vsVolume->setMax(scale.bottom());
  vsVolume->setMin(scale.top());
  vsVolume->setSmallChange(1000);
  vsVolume->setLargeChange(1000);
}

// Also while the thumb is dragged, so the volume follows it.
void frmcd::vsVolume_Change() { volume->prSpeakerVolume(speakerScale(*volume).volumeAt(vsVolume->Value())); }
void frmcd::vsVolume_Scroll() { vsVolume_Change(); }

void frmcd::wireVolume() {
  connect(vsVolume, &RangeScrollBar::Change, this, &frmcd::vsVolume_Change);
  connect(vsVolume, &RangeScrollBar::Scroll, this, &frmcd::vsVolume_Scroll);
}

namespace {
// The desktops' own sound settings, the running desktop's first.
QList<Launcher::Command> desktopSoundSettings() {
  struct Panel {
    const char* desktop;
    Launcher::Command command;
  };
  const QList<Panel> panels = {
      {"GNOME", {QStringLiteral("gnome-control-center"), {QStringLiteral("sound")}}},
      {"KDE", {QStringLiteral("systemsettings"), {QStringLiteral("kcm_pulseaudio")}}},
      {"X-Cinnamon", {QStringLiteral("cinnamon-settings"), {QStringLiteral("sound")}}},
      {"MATE", {QStringLiteral("mate-volume-control"), {}}},
      {"Budgie", {QStringLiteral("budgie-control-center"), {QStringLiteral("sound")}}},
  };
  const QStringList current = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts);
  QList<Launcher::Command> first, rest;
  for (const Panel& p : panels)
    (current.contains(QLatin1String(p.desktop), Qt::CaseInsensitive) ? first : rest) << p.command;
  return first + rest;
}
}  // namespace

void frmcd::vol_Click() {
  QList<Launcher::Command> panels = {{QStringLiteral("pavucontrol"), {}}, {QStringLiteral("pavucontrol-qt"), {}}};
  panels += desktopSoundSettings();
  // A terminal only helps when there is something to run in it.
  const QString alsamixer = platform_.launcher.find(QStringLiteral("alsamixer"));
  if (!alsamixer.isEmpty()) {
    panels << Launcher::Command{QStringLiteral("x-terminal-emulator"), {QStringLiteral("-e"), alsamixer}}
           << Launcher::Command{QStringLiteral("xterm"), {QStringLiteral("-e"), alsamixer}};
  }
  if (platform_.launcher.startFirst(panels)) return;
  platform_.messages.show(QStringLiteral("无法打开音量控制！"), kTitle);
  show();
  raise();
  activateWindow();
}
