#pragma once
#include <memory>

#include "playback/cd_service_client.h"
#include "playback/media_device.h"

// The machine's real playback devices: GStreamer for files, the CD drive
// service for "cdaudio" (without a setup there is no CD drive).
std::unique_ptr<MediaDeviceFactory> makeSystemMediaDevices(CdServiceSetup cd = {});
