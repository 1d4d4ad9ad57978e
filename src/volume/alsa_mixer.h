// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>

#include "volume/mixer.h"

struct _snd_mixer;
struct _snd_mixer_elem;

// The ALSA simple mixer of one device ("default" unless told otherwise).
//
// Speakers: the playback volume of "Master"; on a card without one, of its
// "Speaker", "PCM", "Front" or "Headphone" element, else of the first
// element that has a playback volume. Microphone: the capture volume of
// "Mic", or of "Capture" where "Mic" has none. On a PulseAudio or PipeWire
// desktop "default" is the sound server's own control device, whose
// "Master" and "Capture" follow the default sink and source (0..65536).
//
// open() attaches once; the handle stays open until the object goes.
class AlsaMixer final : public Mixer {
 public:
  explicit AlsaMixer(QByteArray device = QByteArrayLiteral("default"));
  ~AlsaMixer() override;
  AlsaMixer(const AlsaMixer&) = delete;
  AlsaMixer& operator=(const AlsaMixer&) = delete;

  // 0, or the negative ALSA error code of the step that failed. A second
  // call changes nothing and answers the first call's result.
  int open() override;
  // The control's id is 1 for the speakers, 2 for the microphone.
  bool volumeControl(Line line, Control& out) override;
  // False, writing nothing, when the value lies outside the element's
  // range: ALSA itself drops such values without saying so.
  bool setValue(const Control& control, quint32 value) override;

 private:
  struct Element {
    QByteArray name;  // empty: not found
    unsigned index = 0;
    bool playback = true;
  };
  // Looked up again at every use: an event may have removed the element.
  _snd_mixer_elem* findElement(const Element& e) const;
  Element choose(Line line) const;

  QByteArray device_;
  Element speakers_, microphone_;
  _snd_mixer* handle_ = nullptr;
  bool opened_ = false;
  int openResult_ = 0;
};

class AlsaMixerFactory final : public MixerFactory {
 public:
  std::unique_ptr<Mixer> create() override;
};
