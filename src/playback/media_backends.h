#pragma once
#include <memory>

#include "playback/media_device.h"

class Drives;

// The machine's real playback devices: GStreamer for files, the CD drive
// service for "cdaudio". File names with a drive letter are resolved
// through `drives`, which must outlive the factory.
std::unique_ptr<MediaDeviceFactory> makeSystemMediaDevices(Drives& drives);
