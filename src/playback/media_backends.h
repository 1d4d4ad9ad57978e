// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QCoreApplication>
#include <QString>
#include <memory>

#include "cdclient/cd_service_client.h"
#include "playback/media_device.h"

class Drives;

// The machine's real playback devices: GStreamer for files, the CD drive
// service for "cdaudio" (without a setup there is no CD drive). File names
// with a drive letter are resolved through `drives`, which must outlive the
// factory.
//
// The file device lives in the module kFileDeviceModule in programFolder and
// is loaded when the first file is opened, so the player maps GStreamer and
// the libraries it pulls in only once it plays something. When the module
// cannot be loaded, create() raises basic::Error, as a failed open does.
std::unique_ptr<MediaDeviceFactory> makeSystemMediaDevices(
    Drives& drives, CdServiceSetup cd = {}, const QString& programFolder = QCoreApplication::applicationDirPath());

inline constexpr char kFileDeviceModule[] = "mirova-gst.so";
// The module's one export, found by this name: a new file device, owned by
// the caller, resolving drive paths through `drives`.
inline constexpr char kFileDeviceEntry[] = "mirova_make_file_device";
extern "C" {
typedef MediaDevice* MakeFileDevice(Drives* drives);
Q_DECL_EXPORT MakeFileDevice mirova_make_file_device;
}
