#include "core/basic.h"
#include "playback/gst_media_device.h"
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
  explicit SystemMediaDevices(Drives& drives) : drives_(drives) {}
  std::unique_ptr<MediaDevice> create(const QString& deviceType) override {
    if (deviceType.compare(QLatin1String("cdaudio"), Qt::CaseInsensitive) == 0)
      return std::make_unique<CdAudioNotReady>();
    return std::make_unique<GstMediaDevice>(&drives_);
  }

 private:
  Drives& drives_;
};

}  // namespace

std::unique_ptr<MediaDeviceFactory> makeSystemMediaDevices(Drives& drives) {
  return std::make_unique<SystemMediaDevices>(drives);
}
