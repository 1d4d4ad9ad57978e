// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QtGlobal>
#include <memory>

#include "volume/mixer.h"

class MessageBoxes;

// The speaker and microphone volume of the system mixer. meOpenMixer opens
// once per object (later calls do nothing) and shows "Could not open the
// mixer." when it cannot; the ranges read 0 until an open found the control.
// The volume properties report the last value written through them, never
// the mixer's own state, and hand values on unclamped. There is no close:
// the handle lives as long as the object.
class clsVolume {
 public:
  clsVolume(MixerFactory& mixers, MessageBoxes& messages);

  void meOpenMixer();
  qint32 prMixerErr() const { return mixerErr_; }
  qint32 prSpeakerMinVolume() const { return speakerMin_; }
  qint32 prSpeakerMaxVolume() const { return speakerMax_; }
  qint32 prSpeakerVolume() const { return speakerVolume_; }
  void prSpeakerVolume(qint32 v);
  qint32 prMicMinVolume() const { return micMin_; }
  qint32 prMicMaxVolume() const { return micMax_; }
  qint32 prMicVolume() const { return micVolume_; }
  void prMicVolume(qint32 v);

 private:
  bool meGetLineControl(Mixer::Line line, Mixer::Control& control);
  bool meSetControlValue(const Mixer::Control& control, qint32 value);

  MixerFactory& mixers_;
  MessageBoxes& messages_;
  std::unique_ptr<Mixer> mixer_;
  Mixer::Control speaker_;
  Mixer::Control mic_;
  qint32 micVolume_ = 0, micMax_ = 0, micMin_ = 0;
  qint32 speakerVolume_ = 0, speakerMax_ = 0, speakerMin_ = 0;
  qint32 mixerErr_ = 0;
  bool openTried_ = false;
};
