// The volume slider and the system volume panel of the main window.
#include "app/frmcd.h"
#include "core/launcher.h"
#include "core/message_boxes.h"
#include "core/vb_scrollbar.h"
#include "volume/cls_volume.h"

void frmcd::setupVolume() {
  volume = std::make_unique<clsVolume>(platform_.mixers, platform_.messages);
  volume->meOpenMixer();
  if (volume->prMixerErr() != 0) return;
  try {
    vsVolume->setMax(basic::toInt16(volume->prSpeakerMinVolume()));
    vsVolume->setMin(basic::toInt16(volume->prSpeakerMaxVolume() / 2));
    vsVolume->setSmallChange(1000);
    vsVolume->setLargeChange(1000);
  } catch (const basic::Error&) {
  }
}

void frmcd::vsVolume_Change() { volume->prSpeakerVolume(qint32(vsVolume->Value()) * 2); }
void frmcd::vsVolume_Scroll() { vsVolume_Change(); }

void frmcd::wireVolume() {
  connect(vsVolume, &VbScrollBar::Change, this, &frmcd::vsVolume_Change);
  connect(vsVolume, &VbScrollBar::Scroll, this, &frmcd::vsVolume_Scroll);
}

void frmcd::vol_Click() {
  const QList<Launcher::Command> panels = {
      {QStringLiteral("pavucontrol"), {}},
      {QStringLiteral("pavucontrol-qt"), {}},
      {QStringLiteral("gnome-control-center"), {QStringLiteral("sound")}},
      {QStringLiteral("systemsettings"), {QStringLiteral("kcm_pulseaudio")}},
      {QStringLiteral("xfce4-mixer"), {}},
      {QStringLiteral("mate-volume-control"), {}},
      {QStringLiteral("x-terminal-emulator"), {QStringLiteral("-e"), QStringLiteral("alsamixer")}},
  };
  if (platform_.launcher.startFirst(panels)) return;
  platform_.messages.show(QStringLiteral("无法打开音量控制！"), kTitle);
  show();
  raise();
  activateWindow();
}
