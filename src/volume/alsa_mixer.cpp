// SPDX-License-Identifier: GPL-3.0-or-later
#include "volume/alsa_mixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <limits>
#include <mutex>
#include <utility>

namespace {

// ALSA prints its own diagnostics ("ALSA lib pulse.c:...: Unable to
// connect") on stderr by default; the player reports a missing mixer in its
// own words, so they are dropped. The handler is process-wide.
void silent(const char*, int, const char*, int, const char*, ...) {}

void silenceAlsa() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&silent); });
}

qint32 to32(long v) {
  return qint32(std::clamp<long>(v, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

constexpr quint32 kSpeakersId = 1;
constexpr quint32 kMicrophoneId = 2;

bool hasVolume(snd_mixer_elem_t* e, bool playback) {
  return snd_mixer_selem_is_active(e) &&
         (playback ? snd_mixer_selem_has_playback_volume(e) : snd_mixer_selem_has_capture_volume(e));
}

}  // namespace

AlsaMixer::AlsaMixer(QByteArray device) : device_(std::move(device)) {}

AlsaMixer::~AlsaMixer() {
  if (handle_) snd_mixer_close(handle_);
}

int AlsaMixer::open() {
  if (opened_) return openResult_;
  opened_ = true;
  silenceAlsa();
  snd_mixer_t* h = nullptr;
  int err = snd_mixer_open(&h, 0);
  if (err == 0) err = snd_mixer_attach(h, device_.constData());
  if (err == 0) err = snd_mixer_selem_register(h, nullptr, nullptr);
  if (err == 0) err = snd_mixer_load(h);
  if (err < 0) {
    if (h) snd_mixer_close(h);
    openResult_ = err;
    return err;
  }
  handle_ = h;
  return 0;
}

AlsaMixer::Element AlsaMixer::choose(Line line) const {
  const bool playback = line == Line::Speakers;
  auto byName = [&](const char* name) -> Element {
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(handle_); e; e = snd_mixer_elem_next(e))
      if (qstrcmp(snd_mixer_selem_get_name(e), name) == 0 && hasVolume(e, playback))
        return {QByteArray(name), snd_mixer_selem_get_index(e), playback};
    return {};
  };
  if (playback) {
    for (const char* name : {"Master", "Speaker", "PCM", "Front", "Headphone"})
      if (Element found = byName(name); !found.name.isEmpty()) return found;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(handle_); e; e = snd_mixer_elem_next(e))
      if (hasVolume(e, true)) return {QByteArray(snd_mixer_selem_get_name(e)), snd_mixer_selem_get_index(e), true};
    return {};
  }
  for (const char* name : {"Mic", "Capture"})
    if (Element found = byName(name); !found.name.isEmpty()) return found;
  return {};
}

snd_mixer_elem_t* AlsaMixer::findElement(const Element& e) const {
  if (!handle_ || e.name.isEmpty()) return nullptr;
  snd_mixer_selem_id_t* id = nullptr;
  snd_mixer_selem_id_alloca(&id);
  snd_mixer_selem_id_set_name(id, e.name.constData());
  snd_mixer_selem_id_set_index(id, e.index);
  snd_mixer_elem_t* found = snd_mixer_find_selem(handle_, id);
  return found && hasVolume(found, e.playback) ? found : nullptr;
}

bool AlsaMixer::volumeControl(Line line, Control& out) {
  if (!handle_) return false;
  const Element chosen = choose(line);
  snd_mixer_elem_t* e = findElement(chosen);
  if (!e) return false;
  long lo = 0, hi = 0;
  const int err = chosen.playback ? snd_mixer_selem_get_playback_volume_range(e, &lo, &hi)
                                  : snd_mixer_selem_get_capture_volume_range(e, &lo, &hi);
  if (err < 0) return false;
  (line == Line::Speakers ? speakers_ : microphone_) = chosen;
  out.id = line == Line::Speakers ? kSpeakersId : kMicrophoneId;
  out.minimum = to32(lo);
  out.maximum = to32(hi);
  return true;
}

bool AlsaMixer::setValue(const Control& control, quint32 value) {
  if (!handle_) return false;
  const Element* target = control.id == kSpeakersId ? &speakers_ : control.id == kMicrophoneId ? &microphone_ : nullptr;
  if (!target) return false;
  // The simple mixer skips a write equal to the value it last saw, so it
  // must first hear of changes made elsewhere (the desktop's panel, keys),
  // or the slider could not set a volume it had set before.
  snd_mixer_handle_events(handle_);
  snd_mixer_elem_t* e = findElement(*target);
  if (!e) return false;
  // The mixer's word carries a signed ALSA volume.
  const long v = static_cast<qint32>(value);
  long lo = 0, hi = 0;
  if (target->playback)
    snd_mixer_selem_get_playback_volume_range(e, &lo, &hi);
  else
    snd_mixer_selem_get_capture_volume_range(e, &lo, &hi);
  if (v < lo || v > hi) return false;
  const int err =
      target->playback ? snd_mixer_selem_set_playback_volume_all(e, v) : snd_mixer_selem_set_capture_volume_all(e, v);
  return err == 0;
}

std::unique_ptr<Mixer> AlsaMixerFactory::create() { return std::make_unique<AlsaMixer>(); }
