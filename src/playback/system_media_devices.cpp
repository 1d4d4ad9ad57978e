#include "core/basic.h"
#include "playback/media_backends.h"

namespace {
class NoDevices final : public MediaDeviceFactory {
 public:
  std::unique_ptr<MediaDevice> create(const QString&) override { return nullptr; }
};
}  // namespace

std::unique_ptr<MediaDeviceFactory> makeSystemMediaDevices() { return std::make_unique<NoDevices>(); }
