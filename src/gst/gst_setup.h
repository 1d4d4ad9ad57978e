// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace gst {

// GStreamer's one-time set-up for this process: gst_init, then decoder ranks
// that keep libav out unless a file needs it. With the stock ranks playbin
// decodes MP3, MPEG audio and MPEG-1/2 video with libav, whose plugin maps
// libavcodec, libavformat and libavfilter (and through them speech voices,
// librsvg and more): some 30 MB for streams that mpg123 and libmpeg2 decode
// just as well. So mpg123audiodec and mpeg2dec are ranked above every libav
// decoder that takes the same streams; anything only libav decodes (MPEG-4,
// H.264, ...) still loads it on demand.
//
// A user who sets GST_PLUGIN_FEATURE_RANK has chosen ranks: they are kept.
// Calling again is harmless; only the first call does the work.
void setUp();

}  // namespace gst
