// SPDX-License-Identifier: GPL-3.0-or-later
// The length of media whose header does not tell it, measured off the GUI
// thread.
#include "gst/length_scan.h"

#include <QFile>
#include <QMetaObject>
#include <QThreadPool>
#include <atomic>

namespace {

constexpr int kScanTimeoutMs = 120000;  // a whole file read off the GUI thread, even from a slow share

qint64 toMs(gint64 ns) { return ns / gint64(GST_MSECOND); }

// Reads a file through its parser alone, as fast as it goes, and returns
// where its last buffer ends: the exact length of MP3s without a header that
// tells it (GStreamer only estimates those, and only once playing). -1 when
// the scan fails, is cancelled or does not finish by the deadline. The whole
// file is read: on a slow disk or share that takes seconds, so it never runs
// on the GUI thread.
qint64 scanLengthMs(const QString& path, gint64 deadlineUs, GstMediaDevice::LengthScan& state) {
  GstElement* scan = gst_parse_launch("filesrc name=src ! parsebin ! fakesink name=sink sync=false", nullptr);
  if (!scan) return -1;
  GstElement* src = gst_bin_get_by_name(GST_BIN(scan), "src");
  GstElement* sink = gst_bin_get_by_name(GST_BIN(scan), "sink");
  std::atomic<gint64> endNs{-1};
  if (src && sink) {
    g_object_set(src, "location", QFile::encodeName(path).constData(), nullptr);
    g_object_set(sink, "signal-handoffs", TRUE, nullptr);
    g_signal_connect(sink, "handoff", G_CALLBACK(+[](GstElement*, GstBuffer* buffer, GstPad*, gpointer end) {
                       if (!GST_BUFFER_PTS_IS_VALID(buffer)) return;
                       const gint64 e =
                           gint64(GST_BUFFER_PTS(buffer)) +
                           (GST_BUFFER_DURATION_IS_VALID(buffer) ? gint64(GST_BUFFER_DURATION(buffer)) : 0);
                       auto& slot = *static_cast<std::atomic<gint64>*>(end);
                       if (e > slot.load()) slot = e;  // only one streaming thread writes
                     }),
                     &endNs);
  }
  GstBus* bus = gst_element_get_bus(scan);
  bool started = false;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.cancelled) state.bus = bus;
    started = !state.cancelled && src && sink;
  }
  bool finished = false;
  if (started && gst_element_set_state(scan, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
    const gint64 left = deadlineUs - g_get_monotonic_time();
    GstMessage* msg = left > 0 ? gst_bus_timed_pop_filtered(
                                     bus, GstClockTime(left) * GST_USECOND,
                                     GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR | GST_MESSAGE_APPLICATION))
                               : nullptr;
    finished = msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (msg) gst_message_unref(msg);
  }
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.bus = nullptr;
  }
  gst_object_unref(bus);
  gst_element_set_state(scan, GST_STATE_NULL);
  if (src) gst_object_unref(src);
  if (sink) gst_object_unref(sink);
  gst_object_unref(scan);
  return finished && endNs > 0 ? toMs(endNs) : -1;
}

}  // namespace

void GstMediaDevice::startLengthScan(const QString& path) {
  auto scan = std::make_shared<LengthScan>();
  scan_ = scan;
  const gint64 deadline = g_get_monotonic_time() + gint64(kScanTimeoutMs) * 1000;
  QThreadPool::globalInstance()->start([this, scan, path, deadline] {
    const qint64 ms = scanLengthMs(path, deadline, *scan);
    // Under the lock the device cannot go away before the call is queued; a
    // device destroyed later drops the queued call with its other events.
    std::lock_guard<std::mutex> lock(scan->mutex);
    if (scan->cancelled || ms < 0) return;
    QMetaObject::invokeMethod(
        this,
        [this, scan, ms] {
          if (scan != scan_) return;  // a file opened since
          scan_.reset();
          lengthMs_ = ms;
          lengthExact_ = true;
          lengthDirty_ = false;
          Q_EMIT lengthChanged();
        },
        Qt::QueuedConnection);
  });
}
