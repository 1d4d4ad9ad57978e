// SPDX-License-Identifier: GPL-3.0-or-later
#include "gst/gst_media_device.h"

#include <gst/gst.h>
#include <gst/video/video.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <QAbstractEventDispatcher>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <mutex>

#include "base/aside.h"
#include "base/basic.h"
#include "disc/drives.h"
#include "gst/gst_setup.h"
#include "gst/length_scan.h"
#include "gst/sector_source.h"
#include "gst/video_window.h"

namespace {

constexpr GstClockTime kSettleTimeout = 5 * GST_SECOND;
constexpr double kMidiGain = 1.0;  // fluidsynth's default 0.2 is barely audible
constexpr int kPlayFlagText = 1 << 2;
// A colour balance nobody sets: in front of a scaled picture it still
// costs twice the scaling.
constexpr int kPlayFlagSoftColorBalance = 1 << 10;
constexpr const char* kSeekMark = "mirova-seek";
// An end of stream trails its seek by a few seeks at most (frame steps).
constexpr std::size_t kEarlierSeeksKept = 16;
constexpr int kWatchdogMs = 500;

// The General MIDI soundfonts Debian ships, the small one first.
const char* const kSoundFonts[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
                                   "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/soundfonts/default.sf2"};

qint64 toMs(gint64 ns) { return ns / gint64(GST_MSECOND); }

QString errorText(GstMessage* message) {
  GError* err = nullptr;
  gchar* debug = nullptr;
  gst_message_parse_error(message, &err, &debug);
  const QString text = err ? QString::fromUtf8(err->message) : QStringLiteral("unknown error");
  if (err) g_error_free(err);
  g_free(debug);
  return text;
}

// A seek into the last pictures of an MPEG program stream may resume past
// the last key frame (its data travels ahead of its time), and the video
// decoder then reaches the end with nothing to show, which it reports as
// an error. Nothing was left to play: that is the end of the medium.
bool noPicturesLeft(GstMessage* message) {
  if (!GST_IS_VIDEO_DECODER(GST_MESSAGE_SRC(message))) return false;
  GError* err = nullptr;
  gchar* debug = nullptr;
  gst_message_parse_error(message, &err, &debug);
  const bool none = err && g_error_matches(err, GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE) && debug &&
                    g_strstr_len(debug, -1, "no valid frames found");
  if (err) g_error_free(err);
  g_free(debug);
  return none;
}
}  // namespace

GstMediaDevice::GstMediaDevice(Drives* drives, QObject* parent)
    : MediaDevice(parent), drives_(drives), frames_(std::make_unique<FrameSlot>()) {
  gst::setUp();
  for (const char* path : kSoundFonts)
    if (QFileInfo::exists(QString::fromLatin1(path))) {
      soundFont_ = path;
      break;
    }
  connect(&busPoll_, &QTimer::timeout, this, &GstMediaDevice::pollBus);
  watchdog_.setInterval(kWatchdogMs);
  connect(&watchdog_, &QTimer::timeout, this, &GstMediaDevice::checkProgress);
  // Once the window has stopped changing size, the paused picture is decoded again at the new size.
  reprerolling_.setSingleShot(true);
  reprerolling_.setInterval(100);
  connect(&reprerolling_, &QTimer::timeout, this, [this] {
    if (pipeline_ && mode_ != Playing && !atEnd_ && !failed_) seekPipeline(streamPositionMs());
  });
}

GstMediaDevice::~GstMediaDevice() { teardown(); }

void GstMediaDevice::teardown() {
  if (scan_) scan_->cancel();
  scan_.reset();
  busPoll_.stop();
  watchdog_.stop();
  reprerolling_.stop();
  if (busWatch_) {
    g_source_remove(busWatch_);
    busWatch_ = 0;
  }
  if (pipeline_) {
    // Joins the streaming threads, so nothing touches frames_ afterwards.
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    gst_object_unref(pipeline_);
    pipeline_ = nullptr;
    videoSink_ = nullptr;
  }
  if (bus_) {
    gst_object_unref(bus_);
    bus_ = nullptr;
  }
  sectors_.reset();
  window_.reset();
  frames_->clear();
  frames_->repaintPending = false;
  mode_ = NotOpen;
#ifdef __GLIBC__
  // Each pipeline's streaming threads allocate from malloc arenas of their
  // own, which keep what they freed: a playlist would otherwise grow by a
  // decoder's working set (a soundfont, 16 MB) per arena before it levels off.
  malloc_trim(0);
#endif
}

void GstMediaDevice::open(const QString& fileName) {
  teardown();
  fileName_ = fileName;
  lengthMs_ = -1;
  lastPositionMs_ = originMs_ = 0;
  videoFps_ = 0;
  lengthDirty_ = lengthExact_ = atEnd_ = failed_ = seeked_ = false;
  restarts_ = 0;
  seekSeqnum_ = GST_SEQNUM_INVALID;
  earlierSeeks_.clear();
  seekMarks_ = 0;

  // A drive path may read a disc: its folders, then the margin of its
  // first sectors, each as slow as the drive (a spin-up, a scratch).
  QString localFile;
  const QByteArray uri = aside::call([&] { return sourceUri(fileName, localFile); }).toUtf8();

  pipeline_ = gst_element_factory_make("playbin", nullptr);
  window_ = std::make_unique<gst::VideoWindow>(*frames_);
  if (!pipeline_ || !window_->sink()) {
    teardown();
    throw basic::Error(kCannotPlay, QStringLiteral("GStreamer's playbin or video sink is not installed"));
  }
  videoSink_ = window_->sink();

  gint flags = 0;
  g_object_get(pipeline_, "flags", &flags, nullptr);
  g_object_set(pipeline_, "uri", uri.constData(), "video-sink", videoSink_, "flags",
               flags & ~(kPlayFlagText | kPlayFlagSoftColorBalance), nullptr);
  if (sectors_)
    g_signal_connect(pipeline_, "source-setup", G_CALLBACK(+[](GstElement*, GstElement* source, gpointer sectors) {
                       static_cast<SectorSource*>(sectors)->attach(source);
                     }),
                     sectors_.get());
  g_signal_connect(pipeline_, "element-setup", G_CALLBACK(&GstMediaDevice::elementSetup), this);
  bus_ = gst_element_get_bus(pipeline_);
  // The sink asks for its window from a streaming thread: it gets the one
  // made above, never one of its own.
  if (window_->drawn()) gst_bus_set_sync_handler(bus_, &gst::VideoWindow::handOver, window_.get(), nullptr);

  // Preroll: the first frame decoded proves the file is playable. Waited
  // for aside: the streaming threads read the medium, as slowly as it reads.
  const QString failure = aside::call([this] { return preroll(); });
  if (!failure.isEmpty()) {
    teardown();
    throw basic::Error(kCannotPlay, QStringLiteral("Cannot play \"%1\": %2").arg(fileName, failure));
  }

  gint64 duration = 0;
  if (gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &duration) && duration > 0) lengthMs_ = toMs(duration);
  // MPEG program streams count time from their first time stamp (often
  // 0.5 s), while their duration counts from zero.
  gint64 origin = 0;
  if (gst_element_query_position(pipeline_, GST_FORMAT_TIME, &origin) && origin > 0) originMs_ = toMs(origin);
  setUpVideo();
  if (lengthMs_ < 0 && !window_ && !localFile.isEmpty()) startLengthScan(localFile);

  frames_->repaintPending = false;  // any request was popped above
  const QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance(thread());
  if (loop && loop->inherits("QEventDispatcherGlib"))
    busWatch_ = gst_bus_add_watch(bus_, reinterpret_cast<GstBusFunc>(&GstMediaDevice::busCallback), this);
  else
    busPoll_.start(20);
  mode_ = Stopped;
}

// The pipeline brought to PAUSED; empty, or why it could not be.
QString GstMediaDevice::preroll() {
  QString failure;
  const gint64 deadline = g_get_monotonic_time() + gint64(kOpenTimeoutMs) * 1000;
  const GstStateChangeReturn started = gst_element_set_state(pipeline_, GST_STATE_PAUSED);
  if (started == GST_STATE_CHANGE_FAILURE) {
    GstMessage* msg = gst_bus_pop_filtered(bus_, GST_MESSAGE_ERROR);
    failure = msg ? errorText(msg) : QStringLiteral("the file cannot be opened");
    if (msg) gst_message_unref(msg);
  } else if (started == GST_STATE_CHANGE_ASYNC) {
    for (;;) {
      const gint64 left = deadline - g_get_monotonic_time();
      if (left <= 0) {
        failure = QStringLiteral("the file did not start within %1 s").arg(kOpenTimeoutMs / 1000);
        break;
      }
      GstMessage* msg = gst_bus_timed_pop_filtered(bus_, GstClockTime(left) * GST_USECOND,
                                                   GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_ASYNC_DONE));
      if (!msg) continue;
      const bool error = GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR;
      const bool done = error || GST_MESSAGE_SRC(msg) == GST_OBJECT(pipeline_);
      if (error) failure = errorText(msg);
      gst_message_unref(msg);
      if (done) break;
    }
  }
  return failure;
}

QString GstMediaDevice::sourceUri(const QString& fileName, QString& localFile) {
  QString path = fileName;
  if (drives_ && Drives::isDrivePath(fileName)) {
    Drives::Location where = drives_->locate(fileName);
    if (where.onDisc()) {
      sectors_ = std::make_unique<SectorSource>(std::move(where.disc), where.entry);
      return QStringLiteral("appsrc://");
    }
    path = where.file;
  }

  const QFileInfo info(path);
  if (path.isEmpty() || !info.exists() || info.isDir())
    throw basic::Error(basic::kFileNotFound, QStringLiteral("File not found: \"%1\"").arg(fileName));
  // A pipe, socket or device node may block the pipeline's state change
  // (on this thread) for good, waiting for a writer that never comes.
  if (!info.isFile())
    throw basic::Error(kCannotPlay, QStringLiteral("Cannot play \"%1\": not a regular file").arg(fileName));
  if (!info.isReadable()) throw basic::Error(kCannotPlay, QStringLiteral("Cannot read \"%1\"").arg(fileName));

  GError* uriError = nullptr;
  gchar* uri = gst_filename_to_uri(QFile::encodeName(info.absoluteFilePath()).constData(), &uriError);
  if (!uri) {
    const QString why = uriError ? QString::fromUtf8(uriError->message) : QString();
    if (uriError) g_error_free(uriError);
    throw basic::Error(kCannotPlay, QStringLiteral("Cannot play \"%1\": %2").arg(fileName, why));
  }
  const QString text = QString::fromUtf8(uri);
  g_free(uri);
  localFile = info.absoluteFilePath();
  return text;
}

void GstMediaDevice::waitSettled() { gst_element_get_state(pipeline_, nullptr, nullptr, kSettleTimeout); }

void GstMediaDevice::play() {
  if (!pipeline_ || failed_) return;
  if (atEnd_) {
    mode_ = Stopped;  // nothing left to play until a seek moves back
    return;
  }
  if (window_ && !window_->isVisible()) window_->show();
  gst_element_set_state(pipeline_, GST_STATE_PLAYING);
  mode_ = Playing;
  watchedPositionMs_ = -1;
  stalledTicks_ = 0;
  watchdog_.start();
}

void GstMediaDevice::fail(const QString& why) {
  const QString text = QStringLiteral("Cannot play \"%1\": %2").arg(fileName_, why);
  failed_ = true;
  mode_ = Stopped;
  watchdog_.stop();
  gst_element_set_state(pipeline_, GST_STATE_READY);
  QMetaObject::invokeMethod(
      this, [this, text] { Q_EMIT errorOccurred(text); }, Qt::QueuedConnection);
  QMetaObject::invokeMethod(this, &MediaDevice::finished, Qt::QueuedConnection);
}

void GstMediaDevice::checkProgress() {
  if (mode_ != Playing || !pipeline_ || failed_) {
    watchdog_.stop();
    return;
  }
  // The stream's own position: the one reported stands still short of the
  // length while a stream plays on past the length it announced.
  const qint64 at = streamPositionMs();
  stalledTicks_ = at == watchedPositionMs_ ? stalledTicks_ + 1 : 0;
  watchedPositionMs_ = at;
  if (stalledTicks_ * kWatchdogMs < kStallMs) return;
  stalledTicks_ = 0;
  if (restarts_ >= kStallRestarts) {
    fail(QStringLiteral("playback stopped moving"));
    return;
  }
  // Down to READY drops the sound server's stream, so the restart gets a fresh one.
  ++restarts_;
  gst_element_set_state(pipeline_, GST_STATE_READY);
  gst_element_set_state(pipeline_, GST_STATE_PAUSED);
  waitSettled();
  seekPipeline(at);
  gst_element_set_state(pipeline_, GST_STATE_PLAYING);
}

void GstMediaDevice::pause() {
  if (!pipeline_ || mode_ != Playing) return;
  gst_element_set_state(pipeline_, GST_STATE_PAUSED);
  waitSettled();
  mode_ = Paused;
}

void GstMediaDevice::stop() {
  if (!pipeline_) return;
  if (mode_ == Playing) {
    gst_element_set_state(pipeline_, GST_STATE_PAUSED);
    waitSettled();
  }
  mode_ = Stopped;
}

void GstMediaDevice::seek(qint64 ms) {
  if (!pipeline_ || failed_) return;
  ms = std::max<qint64>(ms, 0);
  const qint64 length = lengthMs();
  if (lengthMs_ >= 0 && ms >= length) {
    standAtEnd();  // the end itself: no stream is left to preroll there
    return;
  }
  atEnd_ = false;
  lastPositionMs_ = ms;
  seekPipeline(ms);
}

void GstMediaDevice::standAtEnd() {
  const bool wasPlaying = mode_ == Playing;
  if (wasPlaying) gst_element_set_state(pipeline_, GST_STATE_PAUSED);
  atEnd_ = true;
  mode_ = Stopped;
  if (wasPlaying) QMetaObject::invokeMethod(this, &MediaDevice::finished, Qt::QueuedConnection);
}

void GstMediaDevice::seekPipeline(qint64 ms) {
  GstEvent* seek =
      gst_event_new_seek(1.0, GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                         GST_SEEK_TYPE_SET, gint64(ms + originMs_) * gint64(GST_MSECOND), GST_SEEK_TYPE_NONE, 0);
  // The segment the seek starts carries its number up to its end of stream,
  // in most elements; for the others, a mark on the bus tells the messages
  // posted before the seek from those after it.
  if (seekSeqnum_ != GST_SEQNUM_INVALID) {
    if (earlierSeeks_.size() == kEarlierSeeksKept) earlierSeeks_.erase(earlierSeeks_.begin());
    earlierSeeks_.push_back(seekSeqnum_);
  }
  seekSeqnum_ = gst_event_get_seqnum(seek);
  ++seekMarks_;
  gst_bus_post(bus_, gst_message_new_application(GST_OBJECT(pipeline_), gst_structure_new_empty(kSeekMark)));
  seeked_ = true;
  gst_element_send_event(pipeline_, seek);
  waitSettled();
}

qint64 GstMediaDevice::lengthMs() {
  if (pipeline_ && !failed_ && (lengthDirty_ || lengthMs_ < 0)) {
    gint64 duration = 0;
    if (gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &duration) && duration > 0) {
      lengthMs_ = toMs(duration);
      lengthDirty_ = false;
    }
  }
  return std::max<qint64>(lengthMs_, 0);
}

qint64 GstMediaDevice::streamPositionMs() {
  gint64 pos = 0;
  if (pipeline_ && !failed_ && gst_element_query_position(pipeline_, GST_FORMAT_TIME, &pos) && pos >= 0)
    lastPositionMs_ = std::max<qint64>(toMs(pos) - originMs_, 0);
  return lastPositionMs_;
}

qint64 GstMediaDevice::positionMs() {
  if (!pipeline_) return 0;
  const qint64 length = lengthMs();
  if (atEnd_) return length;
  streamPositionMs();
  if (lengthMs_ < 0) return lastPositionMs_;
  return std::clamp<qint64>(lastPositionMs_, 0, std::max<qint64>(length - 1, 0));
}

double GstMediaDevice::framesPerSecond() { return videoFps_ > 0 ? videoFps_ : kAudioFramesPerSecond; }

int GstMediaDevice::busCallback(GstBus*, GstMessage* message, void* self) {
  static_cast<GstMediaDevice*>(self)->handleMessage(message);
  return G_SOURCE_CONTINUE;
}

void GstMediaDevice::pollBus() {
  while (bus_) {
    GstMessage* message = gst_bus_pop(bus_);
    if (!message) break;
    handleMessage(message);
    gst_message_unref(message);
  }
}

void GstMediaDevice::handleMessage(GstMessage* message) {
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
      // Sinks post EOS only while playing; one left over from before a pause
      // is posted again when playing resumes.
      if (mode_ != Playing || failed_) break;
      // Posted before the last flushing seek, for the stretch that seek left.
      // A sink may post it after that seek's mark, as the flush reaches it:
      // its number still tells.
      if (std::find(earlierSeeks_.begin(), earlierSeeks_.end(), gst_message_get_seqnum(message)) != earlierSeeks_.end())
        break;
      if (seekMarks_ > 0 && gst_message_get_seqnum(message) != seekSeqnum_) break;
      positionMs();
      if (lengthMs_ < 0) lengthMs_ = lastPositionMs_;
      atEnd_ = true;
      mode_ = Stopped;
      gst_element_set_state(pipeline_, GST_STATE_PAUSED);
      QMetaObject::invokeMethod(this, &MediaDevice::finished, Qt::QueuedConnection);
      break;
    case GST_MESSAGE_ERROR: {
      if (failed_ || atEnd_) break;
      positionMs();
      if (seeked_ && noPicturesLeft(message)) {
        if (lengthMs_ < 0) lengthMs_ = lastPositionMs_;
        standAtEnd();
        break;
      }
      fail(errorText(message));
      break;
    }
    case GST_MESSAGE_DURATION_CHANGED:
      lengthDirty_ = !lengthExact_;  // MP3 lengths are estimates until the stream has been parsed
      // The first estimate of a length the open could not tell.
      if (lengthMs_ < 0 && lengthMs() > 0) Q_EMIT lengthChanged();
      break;
    case GST_MESSAGE_APPLICATION:
      if (gst_message_has_name(message, kSeekMark)) --seekMarks_;
      if (gst_message_has_name(message, gst::kFrameMessage)) {
        frames_->repaintPending = false;
        if (window_) window_->update();
      }
      break;
    default:
      break;
  }
}

void GstMediaDevice::elementSetup(GstElement*, GstElement* element, void* self) {
  // Runs on a streaming thread: only GStreamer objects and immutable members.
  GstElementFactory* factory = gst_element_get_factory(element);
  if (!factory || g_strcmp0(GST_OBJECT_NAME(factory), "fluiddec") != 0) return;
  const std::string& font = static_cast<GstMediaDevice*>(self)->soundFont_;
  if (!font.empty()) g_object_set(element, "soundfont", font.c_str(), nullptr);
  g_object_set(element, "synth-gain", kMidiGain, nullptr);
}
