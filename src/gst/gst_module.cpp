// SPDX-License-Identifier: GPL-3.0-or-later
// The entry point of the file device module (see media_backends.h).
#include "gst/gst_media_device.h"
#include "playback/media_backends.h"

MediaDevice* mirova_make_file_device(Drives* drives) { return new GstMediaDevice(drives); }
