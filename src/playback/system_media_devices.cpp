#include <QLibrary>

#include "core/basic.h"
#include "playback/media_backends.h"

namespace {

constexpr int kDeviceUnavailable = 68;  // "Device unavailable"

// The CD drive is played by its own service, which this build does not have
// yet: opening it fails the way a drive without a disc does.
class CdAudioNotReady final : public MediaDevice {
 public:
  void open(const QString&) override {
    throw basic::Error(kDeviceUnavailable, QStringLiteral("The CD audio device is not ready"));
  }
  void play() override {}
  void pause() override {}
  void stop() override {}
  void seek(qint64) override {}
  qint64 positionMs() override { return 0; }
  qint64 lengthMs() override { return 0; }
  int mode() override { return NotOpen; }
  double framesPerSecond() override { return 75.0; }
};

class SystemMediaDevices final : public MediaDeviceFactory {
 public:
  SystemMediaDevices(Drives& drives, const QString& programFolder)
      : drives_(drives), fileModule_(programFolder + QLatin1Char('/') + QLatin1String(kFileDeviceModule)) {}

  std::unique_ptr<MediaDevice> create(const QString& deviceType) override {
    if (deviceType.compare(QLatin1String("cdaudio"), Qt::CaseInsensitive) == 0)
      return std::make_unique<CdAudioNotReady>();
    // Loaded once and never unloaded: devices made by it may live until the end.
    if (!makeFileDevice_) makeFileDevice_ = reinterpret_cast<MakeFileDevice*>(fileModule_.resolve(kFileDeviceEntry));
    if (!makeFileDevice_)
      throw basic::Error(kDeviceUnavailable,
                         QStringLiteral("Cannot load the media module: %1").arg(fileModule_.errorString()));
    return std::unique_ptr<MediaDevice>(makeFileDevice_(&drives_));
  }

 private:
  Drives& drives_;
  QLibrary fileModule_;
  MakeFileDevice* makeFileDevice_ = nullptr;
};

}  // namespace

std::unique_ptr<MediaDeviceFactory> makeSystemMediaDevices(Drives& drives, const QString& programFolder) {
  return std::make_unique<SystemMediaDevices>(drives, programFolder);
}
