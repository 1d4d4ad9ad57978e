// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <QSize>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "gst/gst_media_device.h"

namespace gst {
// Asks the GUI thread, through the bus, to paint the newest picture.
inline constexpr const char* kFrameMessage = "mirova-frame";
}  // namespace gst

// The streaming thread leaves the newest picture here and asks the GUI thread,
// through the bus, to paint it; one request is outstanding at a time.
struct GstMediaDevice::FrameSlot {
  std::mutex mutex;
  GstSample* sample = nullptr;
  std::atomic<bool> repaintPending{false};

  ~FrameSlot() { clear(); }
  void put(GstSample* s, GstElement* sink) {
    if (!s) return;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (sample) gst_sample_unref(sample);
      sample = s;
    }
    if (!repaintPending.exchange(true))
      gst_element_post_message(
          sink, gst_message_new_application(GST_OBJECT(sink), gst_structure_new_empty(gst::kFrameMessage)));
  }
  GstSample* current() {
    std::lock_guard<std::mutex> lock(mutex);
    return sample ? gst_sample_ref(sample) : nullptr;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex);
    if (sample) gst_sample_unref(sample);
    sample = nullptr;
  }

  static GstFlowReturn onSample(GstAppSink* sink, gpointer slot) {
    static_cast<FrameSlot*>(slot)->put(gst_app_sink_pull_sample(sink), GST_ELEMENT(sink));
    return GST_FLOW_OK;
  }
  static GstFlowReturn onPreroll(GstAppSink* sink, gpointer slot) {
    static_cast<FrameSlot*>(slot)->put(gst_app_sink_pull_preroll(sink), GST_ELEMENT(sink));
    return GST_FLOW_OK;
  }
};

namespace gst {
// The window that shows the pictures, with the video sink that feeds it,
// both made before the pipeline prerolls. Where the session runs on X11 and
// ximagesink is there, the sink draws each picture straight into a native
// child window; elsewhere (Wayland, no ximagesink) an appsink leaves it in
// `frames` and the window paints it. Either way the pictures come scaled to
// the letterboxed area in square pixels, so showing one is a plain copy.
class VideoWindow final : public QWidget {
 public:
  explicit VideoWindow(GstMediaDevice::FrameSlot& frames);
  ~VideoWindow() override;

  // For playbin's video-sink; null when GStreamer lacks the elements.
  GstElement* sink() const { return sink_; }
  // True when ximagesink draws into the window: the pipeline's bus must
  // then hand the window over through handOver, as its sync handler.
  bool drawn() const { return drawable_ != 0; }
  // Runs on a streaming thread, and reads only what the constructor set.
  static GstBusSyncReply handOver(GstBus* bus, GstMessage* message, gpointer window);
  // The picture's shape in square pixels, known once the pipeline has
  // prerolled: the window takes that size.
  void setPicture(QSize size);
  // Called when the window changed size: a paused pipeline must preroll
  // again for a picture of the new size.
  std::function<void()> resized;

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  GstMediaDevice::FrameSlot& frames_;
  GstElement* sink_ = nullptr;    // a bin: the scale's caps, then the sink
  GstElement* scale_ = nullptr;   // in the bin: the capsfilter that sets the pictures' size
  GstElement* drawer_ = nullptr;  // in the bin: ximagesink, or null
  QWidget* surface_ = nullptr;    // its native child window
  guintptr drawable_ = 0;
  QSize picture_;
};
}  // namespace gst
