#pragma once
#include <memory>

#include "playback/media_device.h"

// The machine's real playback devices: GStreamer for files, the CD drive
// service for "cdaudio".
std::unique_ptr<MediaDeviceFactory> makeSystemMediaDevices();
