#pragma once
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <QSize>
#include <atomic>
#include <memory>
#include <mutex>

#include "gst/gst_media_device.h"

class QWidget;

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
// The video sink the device hands to playbin: an appsink that leaves each
// picture in `frames`, in the window's native pixel format.
GstElement* makeFrameSink(GstMediaDevice::FrameSlot& frames);
// A window that paints the newest picture of `frames`, letterboxed with the
// picture's shape kept.
std::unique_ptr<QWidget> makeVideoWindow(GstMediaDevice::FrameSlot& frames, QSize pictureSize);
}  // namespace gst
