// SPDX-License-Identifier: GPL-3.0-or-later
#include "cdaudio/cd_drive.h"

#include <cdio/cdio.h>
#include <gst/gst.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

#include "cdaudio/cd_source.h"

namespace {

// How long play() waits for the first sound to be ready before it seeks; a
// slow drive still plays, the seek then waits inside GStreamer.
constexpr GstClockTime kPrerollWait = 1500 * GST_MSECOND;

GstClockTime sectorTime(int sectors) { return gst_util_uint64_scale(guint64(sectors), GST_SECOND, 75); }

bool sameDisc(const disc::Toc& a, const disc::Toc& b) {
  if (a.leadout != b.leadout || a.tracks.size() != b.tracks.size()) return false;
  for (qsizetype i = 0; i < a.tracks.size(); ++i) {
    const disc::Track &x = a.tracks[i], &y = b.tracks[i];
    if (x.number != y.number || x.audio != y.audio || x.start != y.start || x.sectors != y.sectors) return false;
  }
  return true;
}

GstElement* make(const char* factory) {
  GstElement* e = gst_element_factory_make(factory, nullptr);
  if (!e) std::fprintf(stderr, "mirova-cdaudio: GStreamer element %s is missing\n", factory);
  return e;
}

}  // namespace

// GStreamer's registry is read while the first client is still talking to
// us: on a fresh machine that can take seconds.
CdDrive::CdDrive(const QString& probeProgram)
    : probe_(probeProgram), gstReady_(std::async(std::launch::async, [] { gst_init(nullptr, nullptr); }).share()) {}

CdDrive::~CdDrive() {
  teardown();
  gstReady_.wait();
}

void CdDrive::setSource(const QString& source) {
  if (source == source_) return;
  teardown();
  source_ = source;
  toc_.reset();
  state_ = State::NoDisc;
}

bool CdDrive::isImage() const { return QFileInfo(source_).isFile(); }

bool CdDrive::load(QString* why) {
  pollBus();
  if (state_ == State::Playing || state_ == State::Paused) return true;
  const auto fail = [this, why](const char* reason) {
    teardown();
    toc_.reset();
    state_ = State::NoDisc;
    *why = QString::fromLatin1(reason);
    return false;
  };
  if (source_.isEmpty()) return fail("no drive");
  std::optional<disc::Toc> toc = probe_.toc(source_, &libcdioName_);
  if (!toc) return fail("no disc");
  const auto isAudio = [](const disc::Track& t) { return t.audio; };
  const auto firstAudio = std::find_if(toc->tracks.cbegin(), toc->tracks.cend(), isAudio);
  if (firstAudio == toc->tracks.cend()) return fail("no audio track");
  const auto lastAudio = std::find_if(toc->tracks.crbegin(), toc->tracks.crend(), isAudio);

  first_ = firstAudio->start;
  end_ = lastAudio->start + lastAudio->sectors;
  const bool same = toc_ && sameDisc(*toc_, *toc);
  toc_ = std::move(toc);
  if (!same || state_ != State::Stopped) stoppedAt_ = first_;
  state_ = State::Stopped;
  return true;
}

CdDrive::State CdDrive::state() {
  pollBus();
  return state_;
}

int CdDrive::trackAt(int sector) const {
  if (!toc_ || toc_->tracks.isEmpty()) return 0;
  int number = toc_->tracks.first().number;
  for (const disc::Track& t : toc_->tracks) {
    if (t.start > sector || t.start >= end_) break;
    number = t.number;
  }
  return number;
}

const disc::Track* CdDrive::track(int number) const {
  if (!toc_) return nullptr;
  for (const disc::Track& t : toc_->tracks)
    if (t.number == number) return &t;
  return nullptr;
}

int CdDrive::streamPosition() {
  gint64 ns = 0;
  if (!pipeline_ || !gst_element_query_position(pipeline_, GST_FORMAT_TIME, &ns) || ns < 0) return -1;
  return first_ + int(gst_util_uint64_scale(guint64(ns), 75, GST_SECOND));
}

int CdDrive::position() {
  pollBus();
  if (state_ == State::Playing || state_ == State::Paused) {
    const int p = streamPosition();
    if (p >= 0) stoppedAt_ = std::clamp(p, first_, end_);
  }
  return stoppedAt_;
}

// The end of the disc (or of the range asked for) stops the drive there; a
// read error stops it for good: the disc counts as absent until the next
// open reads it again.
void CdDrive::pollBus() {
  if (!pipeline_) return;
  GstBus* bus = gst_element_get_bus(pipeline_);
  while (GstMessage* msg = gst_bus_pop_filtered(bus, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR))) {
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS) {
      teardown();
      stoppedAt_ = playEnd_;
      state_ = State::Stopped;
    } else {
      GError* err = nullptr;
      gst_message_parse_error(msg, &err, nullptr);
      std::fprintf(stderr, "mirova-cdaudio: %s: %s\n", qPrintable(source_), err ? err->message : "playback error");
      if (err) g_error_free(err);
      teardown();
      toc_.reset();
      state_ = State::NoDisc;
    }
    gst_message_unref(msg);
    if (!pipeline_) break;
  }
  gst_object_unref(bus);
}

void CdDrive::teardown() {
  if (!pipeline_) return;
  gst_element_set_state(pipeline_, GST_STATE_NULL);
  gst_object_unref(pipeline_);
  pipeline_ = nullptr;
}

bool CdDrive::play(int from, int to, QString* why) {
  if (!hasDisc()) {
    *why = QStringLiteral("no disc");
    return false;
  }
  from = std::clamp(from, first_, end_);
  to = to < 0 ? end_ : std::clamp(to, from, end_);
  // A drive that is playing moves its head without stopping the sound.
  if (pipeline_ && from < to && seekStream(from, to)) {
    gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    playEnd_ = to;
    state_ = State::Playing;
    return true;
  }
  teardown();
  stoppedAt_ = from;
  state_ = State::Stopped;
  if (from >= to) return true;  // nothing left to play

  gstReady_.wait();
  pipeline_ = gst_pipeline_new("cd");
  GstElement* src = cdaudio::makeCdSource();
  GstElement* convert = make("audioconvert");
  GstElement* resample = make("audioresample");
  GstElement* sink = make("autoaudiosink");
  if (!src || !convert || !resample || !sink) {
    for (GstElement* e : {src, convert, resample, sink})
      if (e) gst_object_unref(e);
    teardown();
    *why = QStringLiteral("GStreamer's audio output is missing");
    return false;
  }
  g_object_set(src, "device", QFile::encodeName(libcdioName_).constData(), nullptr);
  gst_util_set_object_arg(G_OBJECT(src), "mode", "continuous");
  gst_bin_add_many(GST_BIN(pipeline_), src, convert, resample, sink, nullptr);
  if (!gst_element_link_many(src, convert, resample, sink, nullptr) ||
      gst_element_set_state(pipeline_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ||
      gst_element_get_state(pipeline_, nullptr, nullptr, kPrerollWait) == GST_STATE_CHANGE_FAILURE) {
    teardown();
    toc_.reset();
    state_ = State::NoDisc;
    *why = QStringLiteral("the disc cannot be read");
    return false;
  }
  seekStream(from, to);
  gst_element_set_state(pipeline_, GST_STATE_PLAYING);
  playEnd_ = to;
  state_ = State::Playing;
  return true;
}

// Times count from the first audio track in continuous mode.
bool CdDrive::seekStream(int from, int to) {
  const bool bounded = to < end_;
  return gst_element_seek(pipeline_, 1.0, GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                          GST_SEEK_TYPE_SET, gint64(sectorTime(from - first_)),
                          bounded ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE,
                          bounded ? gint64(sectorTime(to - first_)) : -1);
}

void CdDrive::watch() {
  if (state() != State::Playing) {
    standing_.invalidate();
    return;
  }
  const int at = position();
  if (at != watchedAt_ || !standing_.isValid()) {
    watchedAt_ = at;
    standing_.start();
  } else if (standing_.elapsed() >= kStallMs) {
    std::fprintf(stderr, "mirova-cdaudio: playing without moving at sector %d; starting again\n", at);
    teardown();
    QString why;
    play(at, playEnd_, &why);
    standing_.start();
  }
}

void CdDrive::pause() {
  if (state() != State::Playing) return;
  gst_element_set_state(pipeline_, GST_STATE_PAUSED);
  state_ = State::Paused;
}

void CdDrive::resume() {
  if (state() != State::Paused) return;
  gst_element_set_state(pipeline_, GST_STATE_PLAYING);
  state_ = State::Playing;
}

void CdDrive::stop() {
  if (!hasDisc()) return;
  position();  // holds where it stood
  teardown();
  state_ = State::Stopped;
}

void CdDrive::seek(int sector) {
  if (!hasDisc()) return;
  teardown();
  stoppedAt_ = std::clamp(sector, first_, end_);
  state_ = State::Stopped;
}

bool CdDrive::openDoor(QString* why) {
  teardown();
  toc_.reset();
  state_ = State::DoorOpen;
  if (isImage() || source_.isEmpty()) return true;
  if (cdio_eject_media_drive(QFile::encodeName(source_).constData()) != DRIVER_OP_SUCCESS) {
    *why = QStringLiteral("the drive did not open");
    return false;
  }
  return true;
}

bool CdDrive::closeDoor(QString* why) {
  teardown();
  toc_.reset();
  state_ = State::NoDisc;  // read again at the next open
  if (isImage() || source_.isEmpty()) return true;
  if (cdio_close_tray(QFile::encodeName(source_).constData(), nullptr) != DRIVER_OP_SUCCESS) {
    *why = QStringLiteral("the drive did not close");
    return false;
  }
  return true;
}
