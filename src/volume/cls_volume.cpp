// SPDX-License-Identifier: GPL-3.0-or-later
#include "volume/cls_volume.h"

#include "core/message_boxes.h"

clsVolume::clsVolume(MixerFactory& mixers, MessageBoxes& messages) : mixers_(mixers), messages_(messages) {}

void clsVolume::meOpenMixer() {
  if (openTried_) return;  // one open per object, whatever the first gave
  openTried_ = true;
  mixer_ = mixers_.create();
  mixerErr_ = mixer_ ? mixer_->open() : -1;
  if (mixerErr_ != 0) {
    messages_.show(QStringLiteral("Could not open the mixer."), QStringLiteral("Volume Control"),
                   MessageBoxes::Icon::Stop);
    return;
  }
  if (meGetLineControl(Mixer::Line::Speakers, speaker_)) {
    speakerMax_ = speaker_.maximum;
    speakerMin_ = speaker_.minimum;
  }
  if (meGetLineControl(Mixer::Line::Microphone, mic_)) {
    micMax_ = mic_.maximum;
    micMin_ = mic_.minimum;
  }
}

bool clsVolume::meGetLineControl(Mixer::Line line, Mixer::Control& control) {
  Mixer::Control found;
  if (!mixer_ || !mixer_->volumeControl(line, found)) return false;
  control = found;
  return true;
}

bool clsVolume::meSetControlValue(const Mixer::Control& control, qint32 value) {
  // The value is handed on as the mixer's unsigned word, unchanged; a
  // control that was never found (id 0) is refused by the mixer.
  return mixer_ && mixerErr_ == 0 && mixer_->setValue(control, static_cast<quint32>(value));
}

void clsVolume::prSpeakerVolume(qint32 v) {
  speakerVolume_ = v;
  meSetControlValue(speaker_, v);
}

void clsVolume::prMicVolume(qint32 v) {
  micVolume_ = v;
  meSetControlValue(mic_, v);
}
