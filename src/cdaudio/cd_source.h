// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

typedef struct _GstElement GstElement;

namespace cdaudio {

// GStreamer's audio CD source (GstAudioCdSrc: continuous mode, seeking,
// timestamps) reading the disc through disc::open and disc::readToc, as the
// rest of the service does. Its "device" property names the drive or image.
// GStreamer's own cdiocddasrc takes track lengths from libcdio 2.1's
// cdio_get_track_sec_count, which is 0 for every track of a disc whose
// numbers do not start at 1 (an image cut from a larger disc): such a disc
// neither seeks nor plays there. A new element, with a floating reference.
GstElement* makeCdSource();

}  // namespace cdaudio
