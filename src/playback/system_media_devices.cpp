#include "playback/cd_audio_device.h"
#include "playback/gst_media_device.h"
#include "playback/media_backends.h"

namespace {

class SystemMediaDevices final : public MediaDeviceFactory {
 public:
  explicit SystemMediaDevices(CdServiceSetup cd) : cd_(std::move(cd)) {}
  std::unique_ptr<MediaDevice> create(const QString& deviceType) override {
    if (deviceType.compare(QLatin1String("cdaudio"), Qt::CaseInsensitive) == 0)
      return std::make_unique<CdAudioDevice>(cd_);
    return std::make_unique<GstMediaDevice>();
  }

 private:
  CdServiceSetup cd_;
};

}  // namespace

std::unique_ptr<MediaDeviceFactory> makeSystemMediaDevices(CdServiceSetup cd) {
  return std::make_unique<SystemMediaDevices>(std::move(cd));
}
