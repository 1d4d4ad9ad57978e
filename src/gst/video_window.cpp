// The picture's way from the video sink's streaming thread to a window of
// the device's own.
#include "gst/video_window.h"

#include <gst/video/video.h>

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QWidget>
#include <algorithm>

#include "disc/drives.h"

namespace {

// Paints the newest frame, letterboxed to the window's shape.
class VideoWindow final : public QWidget {
 public:
  VideoWindow(GstMediaDevice::FrameSlot& frames, QSize pictureSize) : frames_(frames), pictureSize_(pictureSize) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_QuitOnClose, false);  // the player's own windows decide when it ends
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QSize shown = pictureSize_.scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
    painter.fillRect(rect(), Qt::black);
    GstSample* sample = frames_.current();
    if (!sample) return;
    GstVideoInfo info;
    GstVideoFrame frame;
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (caps && buffer && gst_video_info_from_caps(&info, caps) &&
        gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
      const QImage image(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), GST_VIDEO_INFO_WIDTH(&info),
                         GST_VIDEO_INFO_HEIGHT(&info), GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(target, image);
      gst_video_frame_unmap(&frame);
    }
    gst_sample_unref(sample);
  }

 private:
  GstMediaDevice::FrameSlot& frames_;
  QSize pictureSize_;
};

}  // namespace

GstElement* gst::makeFrameSink(GstMediaDevice::FrameSlot& frames) {
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

std::unique_ptr<QWidget> gst::makeVideoWindow(GstMediaDevice::FrameSlot& frames, QSize pictureSize) {
  return std::make_unique<VideoWindow>(frames, pictureSize);
}

void GstMediaDevice::setUpVideo() {
  gint videos = 0;
  g_object_get(pipeline_, "n-video", &videos, nullptr);
  if (videos <= 0 || !videoSink_) return;
  GstPad* pad = gst_element_get_static_pad(videoSink_, "sink");
  GstCaps* caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
  GstVideoInfo info;
  if (caps && gst_video_info_from_caps(&info, caps) && GST_VIDEO_INFO_WIDTH(&info) > 0) {
    if (GST_VIDEO_INFO_FPS_N(&info) > 0 && GST_VIDEO_INFO_FPS_D(&info) > 0)
      videoFps_ = double(GST_VIDEO_INFO_FPS_N(&info)) / GST_VIDEO_INFO_FPS_D(&info);
    int width = GST_VIDEO_INFO_WIDTH(&info);
    if (GST_VIDEO_INFO_PAR_N(&info) > 0 && GST_VIDEO_INFO_PAR_D(&info) > 0)
      width = int(gint64(width) * GST_VIDEO_INFO_PAR_N(&info) / GST_VIDEO_INFO_PAR_D(&info));
    const QSize size(std::max(width, 1), GST_VIDEO_INFO_HEIGHT(&info));
    window_ = gst::makeVideoWindow(*frames_, size);
    // Named by the file alone, a drive path's last part too ("AVSEQ01.DAT").
    static const QRegularExpression separators(QStringLiteral("[\\\\/]"));
    window_->setWindowTitle(Drives::isDrivePath(fileName_) ? fileName_.section(separators, -1)
                                                           : QFileInfo(fileName_).fileName());
    window_->resize(size);
  }
  if (caps) gst_caps_unref(caps);
  if (pad) gst_object_unref(pad);
}

QWidget* GstMediaDevice::videoWindow() const { return window_.get(); }
