// SPDX-License-Identifier: GPL-3.0-or-later
#include <QLibrary>

#include "base/basic.h"
#include "cdclient/cd_audio_device.h"
#include "playback/media_backends.h"

namespace {

class SystemMediaDevices final : public MediaDeviceFactory {
 public:
  SystemMediaDevices(Drives& drives, CdServiceSetup cd, const QString& programFolder)
      : drives_(drives),
        cd_(std::move(cd)),
        fileModule_(programFolder + QLatin1Char('/') + QLatin1String(kFileDeviceModule)) {}

  std::unique_ptr<MediaDevice> create(const QString& deviceType) override {
    if (deviceType.compare(QLatin1String("cdaudio"), Qt::CaseInsensitive) == 0)
      return std::make_unique<CdAudioDevice>(cd_);
    // Loaded once and never unloaded: devices made by it may live until the end.
    if (!makeFileDevice_) makeFileDevice_ = reinterpret_cast<MakeFileDevice*>(fileModule_.resolve(kFileDeviceEntry));
    if (!makeFileDevice_)
      throw basic::Error(kDeviceUnavailable,
                         QStringLiteral("Cannot load the media module: %1").arg(fileModule_.errorString()));
    return std::unique_ptr<MediaDevice>(makeFileDevice_(&drives_));
  }

 private:
  static constexpr int kDeviceUnavailable = 68;  // "Device unavailable"
  Drives& drives_;
  CdServiceSetup cd_;
  QLibrary fileModule_;
  MakeFileDevice* makeFileDevice_ = nullptr;
};

}  // namespace

std::unique_ptr<MediaDeviceFactory> makeSystemMediaDevices(Drives& drives, CdServiceSetup cd,
                                                           const QString& programFolder) {
  return std::make_unique<SystemMediaDevices>(drives, std::move(cd), programFolder);
}
