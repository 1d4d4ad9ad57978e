#pragma once
#include "volume/mixer.h"

// The ALSA mixer of the "default" device.
class AlsaMixerFactory final : public MixerFactory {
 public:
  std::unique_ptr<Mixer> create() override;
};
