// SPDX-License-Identifier: GPL-3.0-or-later
#include "cdaudio/cd_drive.h"

#include <cdio/cdio.h>
#include <gst/gst.h>

#include <QCryptographicHash>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <cstdio>

#include "cdaudio/cd_source.h"

namespace {

// How long a play start waits for the first sound to be ready before it
// seeks: as long as a drive may take to spin up. It is the worker that waits.
constexpr GstClockTime kPrerollWait = 30 * GST_SECOND;
// How long a request waits for the door: less than a client waits for it.
constexpr int kDoorWaitMs = 1500;

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

void endPipeline(GstElement* pipeline) {
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
}

// A pipeline from the CD source to the sound server, paused with its first
// sound ready; null when it cannot be made or the disc cannot be read.
GstElement* buildPipeline(const QString& libcdioName) {
  GstElement* pipeline = gst_pipeline_new("cd");
  GstElement* src = cdaudio::makeCdSource();
  GstElement* convert = make("audioconvert");
  GstElement* resample = make("audioresample");
  GstElement* sink = make("autoaudiosink");
  if (!src || !convert || !resample || !sink) {
    for (GstElement* e : {src, convert, resample, sink})
      if (e) gst_object_unref(e);
    gst_object_unref(pipeline);
    return nullptr;
  }
  g_object_set(src, "device", QFile::encodeName(libcdioName).constData(), nullptr);
  gst_util_set_object_arg(G_OBJECT(src), "mode", "continuous");
  gst_bin_add_many(GST_BIN(pipeline), src, convert, resample, sink, nullptr);
  if (!gst_element_link_many(src, convert, resample, sink, nullptr) ||
      gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ||
      gst_element_get_state(pipeline, nullptr, nullptr, kPrerollWait) == GST_STATE_CHANGE_FAILURE) {
    endPipeline(pipeline);
    return nullptr;
  }
  return pipeline;
}

// The drive reaches its speed before the sound server's stream is opened:
// a stream whose first sound comes seconds after it opened can stand still.
void spinUp(const QString& libcdioName, int sector) {
  const disc::Handle cdio = disc::open(disc::Source{libcdioName, disc::imageKind(libcdioName), {}, 0});
  char buffer[CDIO_CD_FRAMESIZE_RAW];
  if (cdio) cdio_read_audio_sector(cdio.get(), buffer, lsn_t(sector));
}

}  // namespace

// What a job on the worker found; the worker writes it, and then `done`.
struct CdDrive::Outcome {
  std::atomic<bool> done{false};
  int generation = 0;
  bool isToc = false;
  std::optional<disc::Toc> toc;
  QString libcdioName;
  GstElement* pipeline = nullptr;  // a play's, handed back
};

// GStreamer's registry is read while the first client is still talking to
// us: on a fresh machine that can take seconds.
CdDrive::CdDrive(DriveFactory factory)
    : factory_(std::move(factory)),
      gstReady_(std::async(std::launch::async, [] { gst_init(nullptr, nullptr); }).share()) {}

CdDrive::CdDrive(const QString& probeProgram)
    : CdDrive([probeProgram](const QString& source) { return cdaudio::makeDrive(source, probeProgram); }) {}

CdDrive::~CdDrive() {
  dispose(pipeline_);
  for (const auto& o : outcomes_) {
    // Its pipeline is not ours until it is done.
    while (!o->done) std::this_thread::yield();
    dispose(o->pipeline);
  }
}

void CdDrive::setSource(const QString& source) {
  if (source == source_) return;
  forget(State::NoDisc);
  source_ = source;
  drive_.reset();
}

void CdDrive::forget(State state) {
  ++generation_;
  dispose(std::exchange(pipeline_, nullptr));
  toc_.reset();
  state_ = state;
}

void CdDrive::dispose(GstElement* pipeline) {
  if (pipeline) worker_.post([pipeline] { endPipeline(pipeline); });
}

bool CdDrive::open(QString* why) {
  poll();
  if (source_.isEmpty()) {
    *why = QStringLiteral("no drive");
    return false;
  }
  if (!drive_) drive_ = factory_(source_);
  const disc::DriveState s = drive_->state();
  switch (s) {
    case disc::DriveState::NoPermission:
    case disc::DriveState::NoDrive:
      forget(State::NoDisc);
      *why = QLatin1String(disc::describe(s));
      return false;
    case disc::DriveState::TrayOpen:
      forget(State::DoorOpen);
      return true;
    case disc::DriveState::NoDisc:
    case disc::DriveState::NotReady:
      forget(State::NoDisc);
      return true;
    case disc::DriveState::Ready:
      break;
  }
  // Asked on every open, so that the drive's event is never left for later.
  const bool changed = drive_->changed();
  if (state_ == State::Playing || state_ == State::Paused) return true;
  if ((toc_ && !changed) || busy()) return true;
  forget(State::NoDisc);
  auto o = std::make_shared<Outcome>();
  o->generation = generation_;
  o->isToc = true;
  outcomes_.push_back(o);
  worker_.post([o, drive = drive_] {
    o->toc = drive->toc(&o->libcdioName);
    o->done = true;
  });
  return true;
}

bool CdDrive::busy() {
  poll();
  return std::any_of(outcomes_.cbegin(), outcomes_.cend(),
                     [this](const auto& o) { return o->generation == generation_; });
}

void CdDrive::poll() {
  while (!outcomes_.empty() && outcomes_.front()->done) {
    const std::shared_ptr<Outcome> o = outcomes_.front();
    outcomes_.pop_front();
    apply(*o);
  }
  pollBus();
}

void CdDrive::apply(Outcome& o) {
  if (o.generation != generation_) return dispose(o.pipeline);
  if (o.isToc) {
    const auto isAudio = [](const disc::Track& t) { return t.audio; };
    if (!o.toc || o.toc->audioTracks() == 0) return;  // stays "not ready"
    const auto firstAudio = std::find_if(o.toc->tracks.cbegin(), o.toc->tracks.cend(), isAudio);
    const auto lastAudio = std::find_if(o.toc->tracks.crbegin(), o.toc->tracks.crend(), isAudio);
    const int first = firstAudio->start, end = lastAudio->start + lastAudio->sectors;
    if (!toc_ || !sameDisc(*toc_, *o.toc) || stoppedAt_ < first || stoppedAt_ > end) stoppedAt_ = first;
    first_ = first;
    end_ = end;
    toc_ = std::move(o.toc);
    libcdioName_ = o.libcdioName;
    state_ = State::Stopped;
    return;
  }
  if (!o.pipeline) return readFailed();
  pipeline_ = o.pipeline;
  gst_element_set_state(pipeline_, state_ == State::Paused ? GST_STATE_PAUSED : GST_STATE_PLAYING);
}

CdDrive::State CdDrive::state() {
  poll();
  return state_;
}

QString CdDrive::identity() const {
  if (!toc_) return {};
  QByteArray text = QByteArray::number(toc_->leadout);
  for (const disc::Track& t : toc_->tracks)
    text +=
        ' ' + QByteArray::number(t.number) + ':' + QByteArray::number(t.start) + ':' + QByteArray::number(t.sectors);
  return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex().left(16));
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
  poll();
  if (state_ == State::Playing || state_ == State::Paused) {
    const int p = streamPosition();
    if (p >= 0) stoppedAt_ = std::clamp(p, first_, end_);
  }
  return stoppedAt_;
}

// The end of the range played stops the drive there. A read error the CD
// source could not play through stops it where it stood; a drive whose
// disc has gone has none until the next open reads it again.
void CdDrive::pollBus() {
  if (!pipeline_) return;
  GstBus* bus = gst_element_get_bus(pipeline_);
  while (GstMessage* msg = gst_bus_pop_filtered(bus, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR))) {
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS) {
      ++generation_;
      dispose(std::exchange(pipeline_, nullptr));
      stoppedAt_ = playEnd_;
      state_ = State::Stopped;
    } else {
      GError* err = nullptr;
      gst_message_parse_error(msg, &err, nullptr);
      std::fprintf(stderr, "mirova-cdaudio: %s: %s\n", qPrintable(source_), err ? err->message : "playback error");
      if (err) g_error_free(err);
      readFailed();
    }
    gst_message_unref(msg);
    if (!pipeline_) break;
  }
  gst_object_unref(bus);
}

void CdDrive::readFailed() {
  const int p = streamPosition();
  if (p >= 0) stoppedAt_ = std::clamp(p, first_, end_);
  const disc::DriveState s = drive_ ? drive_->state() : disc::DriveState::NoDrive;
  if (s != disc::DriveState::Ready) return forget(s == disc::DriveState::TrayOpen ? State::DoorOpen : State::NoDisc);
  std::fprintf(stderr, "mirova-cdaudio: %s: stopped at sector %d, which cannot be read\n", qPrintable(source_),
               stoppedAt_);
  ++generation_;
  dispose(std::exchange(pipeline_, nullptr));
  state_ = State::Stopped;
}

bool CdDrive::play(int from, int to, QString* why) {
  if (!hasDisc()) {
    *why = QStringLiteral("no disc");
    return false;
  }
  from = std::clamp(from, first_, end_);
  to = to < 0 ? end_ : std::clamp(to, from, end_);
  restarts_ = 0;
  start(from, to);
  return true;
}

// The pipeline playing goes to the worker to be moved (a seek waits for the
// sector being read); else a new one is built there.
void CdDrive::start(int from, int to) {
  ++generation_;
  GstElement* old = std::exchange(pipeline_, nullptr);
  stoppedAt_ = from;
  playEnd_ = to;
  if (from >= to) {  // nothing left to play
    dispose(old);
    state_ = State::Stopped;
    return;
  }
  state_ = State::Playing;
  auto o = std::make_shared<Outcome>();
  o->generation = generation_;
  outcomes_.push_back(o);
  // Times count from the first audio track in continuous mode; every play
  // is given its end, which need not be the source's.
  const gint64 at = gint64(sectorTime(from - first_)), end = gint64(sectorTime(to - first_));
  worker_.post([o, old, from, at, end, name = libcdioName_, ready = gstReady_] {
    ready.wait();
    if (!old) spinUp(name, from);
    GstElement* p = old ? old : buildPipeline(name);
    if (p && !gst_element_seek(p, 1.0, GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                               GST_SEEK_TYPE_SET, at, GST_SEEK_TYPE_SET, end))
      endPipeline(std::exchange(p, nullptr));
    // Handed back with the sound at the new place ready, so that the clock
    // starts with the first buffer.
    if (p && gst_element_get_state(p, nullptr, nullptr, kPrerollWait) == GST_STATE_CHANGE_FAILURE)
      endPipeline(std::exchange(p, nullptr));
    o->pipeline = p;
    o->done = true;
  });
}

void CdDrive::watch() {
  if (state() != State::Playing || !pipeline_) {
    standing_.invalidate();
    return;
  }
  const int at = position();
  if (at != watchedAt_ || !standing_.isValid()) {
    watchedAt_ = at;
    standing_.start();
  } else if (standing_.elapsed() >= kStallMs) {
    standing_.invalidate();
    if (++restarts_ > kMaxRestarts) {
      std::fprintf(stderr, "mirova-cdaudio: playing without moving at sector %d; stopped\n", at);
      return stop();
    }
    std::fprintf(stderr, "mirova-cdaudio: playing without moving at sector %d; starting again\n", at);
    dispose(std::exchange(pipeline_, nullptr));
    start(at, playEnd_);
  }
}

void CdDrive::pause() {
  if (state() != State::Playing) return;
  if (pipeline_) gst_element_set_state(pipeline_, GST_STATE_PAUSED);
  state_ = State::Paused;
}

void CdDrive::resume() {
  if (state() != State::Paused) return;
  if (pipeline_) gst_element_set_state(pipeline_, GST_STATE_PLAYING);
  state_ = State::Playing;
}

void CdDrive::stop() {
  if (!hasDisc()) return;
  position();  // holds where it stood
  ++generation_;
  dispose(std::exchange(pipeline_, nullptr));
  state_ = State::Stopped;
}

void CdDrive::seek(int sector) {
  stop();
  if (hasDisc()) stoppedAt_ = std::clamp(sector, first_, end_);
}

// The door moves once the pipeline has let the drive go (the kernel opens
// no door that another holds open); a door that does not move in time
// counts as stuck, and the next open sees where it went.
bool CdDrive::onWorker(bool (cdaudio::Drive::*move)(QString*), QString* why) {
  if (source_.isEmpty()) return true;
  if (!drive_) drive_ = factory_(source_);
  auto done = std::make_shared<std::promise<std::pair<bool, QString>>>();
  std::future<std::pair<bool, QString>> result = done->get_future();
  worker_.post([done, move, drive = drive_] {
    QString reason;
    const bool moved = (drive.get()->*move)(&reason);
    done->set_value({moved, reason});
  });
  if (result.wait_for(std::chrono::milliseconds(kDoorWaitMs)) != std::future_status::ready) {
    *why = QStringLiteral("the drive did not answer");
    return false;
  }
  const auto [moved, reason] = result.get();
  *why = reason;
  return moved;
}

bool CdDrive::openDoor(QString* why) {
  const State was = state();
  const int at = position();
  ++generation_;
  dispose(std::exchange(pipeline_, nullptr));
  if (!onWorker(&cdaudio::Drive::eject, why)) {
    // Still closed: the disc stays, stopped where it stood.
    if (was == State::Playing || was == State::Paused) state_ = State::Stopped;
    stoppedAt_ = at;
    return false;
  }
  forget(State::DoorOpen);
  return true;
}

bool CdDrive::closeDoor(QString* why) {
  poll();
  forget(State::NoDisc);  // read again at the next open
  return onWorker(&cdaudio::Drive::close, why);
}
