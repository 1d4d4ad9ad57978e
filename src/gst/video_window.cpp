// SPDX-License-Identifier: GPL-3.0-or-later
// The picture's way from the video sink's streaming thread to a window of
// the device's own.
#include "gst/video_window.h"

#include <gst/video/video.h>
#include <gst/video/videooverlay.h>

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QRegularExpression>
#include <algorithm>
#include <cstdlib>

#include "disc/drives.h"

namespace {

// The native child window ximagesink draws into. Qt paints nothing there;
// when X shows it again the sink puts its last picture back.
class Surface final : public QWidget {
 public:
  Surface(QWidget* parent, GstElement* drawer) : QWidget(parent), drawer_(drawer) {
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  QPaintEngine* paintEngine() const override { return nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override {
    // The sink asks the server for the window's size on its own connection:
    // Qt's resize must have reached the server first.
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (xcb_connection_t* c = x11 ? x11->connection() : nullptr)
      std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    gst_video_overlay_expose(GST_VIDEO_OVERLAY(drawer_));
  }

 private:
  GstElement* drawer_;
};

// ximagesink with a window of ours, or null where the session is not on X11.
GstElement* makeDrawer() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  GstElement* sink = gst_element_factory_make("ximagesink", nullptr);
  if (!sink) return nullptr;
  // The window's own events reach Qt: the sink needs no thread of its own
  // polling for them, twenty times a second even while paused.
  g_object_set(sink, "handle-events", FALSE, "handle-expose", FALSE, "pixel-aspect-ratio", "1/1", nullptr);
  return sink;
}

GstElement* makeFrameSink(GstMediaDevice::FrameSlot& frames) {
  GstElement* appsink = gst_element_factory_make("appsink", nullptr);
  if (!appsink) return nullptr;
  // QImage::Format_RGB32 is 0xffRRGGBB in native order.
  GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING,
                                      G_BYTE_ORDER == G_LITTLE_ENDIAN ? "BGRx" : "xRGB", nullptr);
  g_object_set(appsink, "caps", caps, "max-buffers", 2u, "drop", TRUE, nullptr);
  gst_caps_unref(caps);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_preroll = &GstMediaDevice::FrameSlot::onPreroll;
  callbacks.new_sample = &GstMediaDevice::FrameSlot::onSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(appsink), &callbacks, &frames, nullptr);
  return appsink;
}

// Square pixels, and the size when it is known.
void setScale(GstElement* scale, QSize size) {
  GstCaps* caps = gst_caps_new_simple("video/x-raw", "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
  if (!size.isEmpty())
    gst_caps_set_simple(caps, "width", G_TYPE_INT, size.width(), "height", G_TYPE_INT, size.height(), nullptr);
  g_object_set(scale, "caps", caps, nullptr);
  gst_caps_unref(caps);
}

// The area of `window` that shows a picture of `picture`'s shape: as large
// as fits, centred, black bars on two sides.
QRect letterbox(QSize picture, QSize window) {
  const QSize shown = picture.scaled(window, Qt::KeepAspectRatio);
  return {QPoint((window.width() - shown.width()) / 2, (window.height() - shown.height()) / 2), shown};
}

}  // namespace

gst::VideoWindow::VideoWindow(GstMediaDevice::FrameSlot& frames) : frames_(frames) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_QuitOnClose, false);  // the player's own windows decide when it ends
  drawer_ = makeDrawer();
  GstElement* sink = drawer_ ? drawer_ : makeFrameSink(frames);
  scale_ = gst_element_factory_make("capsfilter", nullptr);
  if (!sink || !scale_) {
    if (sink) gst_object_unref(gst_object_ref_sink(sink));
    if (scale_) gst_object_unref(gst_object_ref_sink(scale_));
    scale_ = drawer_ = nullptr;
    return;
  }
  setScale(scale_, {});
  sink_ = GST_ELEMENT(gst_object_ref_sink(gst_bin_new(nullptr)));
  gst_bin_add_many(GST_BIN(sink_), scale_, sink, nullptr);
  gst_element_link(scale_, sink);
  GstPad* pad = gst_element_get_static_pad(scale_, "sink");
  gst_element_add_pad(sink_, gst_ghost_pad_new("sink", pad));
  gst_object_unref(pad);
  if (drawer_) {
    surface_ = new Surface(this, drawer_);
    drawable_ = surface_->winId();
  }
}

gst::VideoWindow::~VideoWindow() {
  if (sink_) gst_object_unref(sink_);
}

GstBusSyncReply gst::VideoWindow::handOver(GstBus*, GstMessage* message, gpointer self) {
  if (!gst_is_video_overlay_prepare_window_handle_message(message)) return GST_BUS_PASS;
  const auto* window = static_cast<const VideoWindow*>(self);
  // The sink asks as it first negotiates, at the picture's own size. Left
  // open, the size would follow the window's, which is not set before the
  // picture's size is known.
  GstPad* pad = gst_element_get_static_pad(window->scale_, "src");
  GstCaps* caps = gst_pad_get_current_caps(pad);
  GstVideoInfo info;
  if (caps && gst_video_info_from_caps(&info, caps))
    setScale(window->scale_, QSize(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info)));
  if (caps) gst_caps_unref(caps);
  gst_object_unref(pad);
  gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(GST_MESSAGE_SRC(message)), window->drawable_);
  gst_message_unref(message);
  return GST_BUS_DROP;
}

void gst::VideoWindow::setPicture(QSize size) {
  picture_ = size;
  resize(size);
}

void gst::VideoWindow::resizeEvent(QResizeEvent*) {
  if (picture_.isEmpty() || !scale_) return;
  const QRect area = letterbox(picture_, size());
  if (surface_) surface_->setGeometry(area);
  setScale(scale_, area.size());
  if (resized) resized();
}

void gst::VideoWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = letterbox(picture_, size());
  for (const QRect& bar : QRegion(rect()).subtracted(area)) painter.fillRect(bar, Qt::black);
  if (surface_) return;  // the sink draws the picture
  GstSample* sample = frames_.current();
  GstVideoInfo info;
  GstVideoFrame frame;
  GstCaps* caps = sample ? gst_sample_get_caps(sample) : nullptr;
  GstBuffer* buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
  if (caps && buffer && gst_video_info_from_caps(&info, caps) &&
      gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
    const QImage image(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), GST_VIDEO_INFO_WIDTH(&info),
                       GST_VIDEO_INFO_HEIGHT(&info), GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32);
    if (image.size() == area.size()) {
      painter.drawImage(area.topLeft(), image);
    } else {  // scaled for the window's earlier size, until the next picture
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(area, image);
    }
    gst_video_frame_unmap(&frame);
  } else {
    painter.fillRect(area, Qt::black);
  }
  if (sample) gst_sample_unref(sample);
}

void GstMediaDevice::setUpVideo() {
  GstPad* pad = gst_element_get_static_pad(videoSink_, "sink");
  GstCaps* caps = gst_pad_get_current_caps(pad);
  GstVideoInfo info;
  if (!caps) {
    window_.reset();  // no picture came, and the sink never asked for the window
  } else if (gst_video_info_from_caps(&info, caps) && GST_VIDEO_INFO_WIDTH(&info) > 0) {
    if (GST_VIDEO_INFO_FPS_N(&info) > 0 && GST_VIDEO_INFO_FPS_D(&info) > 0)
      videoFps_ = double(GST_VIDEO_INFO_FPS_N(&info)) / GST_VIDEO_INFO_FPS_D(&info);
    // Named by the file alone, a drive path's last part too ("AVSEQ01.DAT").
    static const QRegularExpression separators(QStringLiteral("[\\\\/]"));
    window_->setWindowTitle(Drives::isDrivePath(fileName_) ? fileName_.section(separators, -1)
                                                           : QFileInfo(fileName_).fileName());
    // The sink took square pixels: its size is the picture's shape.
    window_->setPicture(QSize(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info)));
    window_->resized = [this] {
      if (mode_ != Playing) reprerolling_.start();
    };
  }
  if (caps) gst_caps_unref(caps);
  gst_object_unref(pad);
}

QWidget* GstMediaDevice::videoWindow() const { return window_.get(); }
