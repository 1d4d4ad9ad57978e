// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <gst/gst.h>

#include <QString>
#include <mutex>

#include "gst/gst_media_device.h"

// A scan of a whole file for its exact length, on a worker thread. The
// device that started it may go (or open another file) at any time: it
// cancels the scan, which then stops once the read under way returns, and
// reports nothing.
namespace gst {
inline constexpr const char* kCancelMessage = "mirova-cancel";
}  // namespace gst

struct GstMediaDevice::LengthScan {
  std::mutex mutex;
  GstBus* bus = nullptr;  // the scan pipeline's, while it runs
  bool cancelled = false;

  void cancel() {
    std::lock_guard<std::mutex> lock(mutex);
    cancelled = true;
    if (bus) gst_bus_post(bus, gst_message_new_application(nullptr, gst_structure_new_empty(gst::kCancelMessage)));
  }
};
