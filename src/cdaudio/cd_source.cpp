// SPDX-License-Identifier: GPL-3.0-or-later
#include "cdaudio/cd_source.h"

#include <cdio/cdio.h>
#include <gst/audio/gstaudiocdsrc.h>

#include <QFile>
#include <algorithm>
#include <cstdio>

#include "disc/disc.h"
#include "disc/drive_state.h"

namespace {

// Sectors are read kChunk at a time: a drive streams them at its slow audio
// speed instead of answering one command each 13 ms. A chunk that fails is
// read again a sector at a time, each tried kTries times; a sector that
// still fails is played as silence, as a CD player skips a scratch, up to
// kMaxSkipped a track. Past that, or once the disc has gone, it is an error.
constexpr int kChunk = 16;
constexpr int kTries = 3;
constexpr int kMaxSkipped = 5 * disc::kSectorsPerSecond;
// Quiet enough to hear over; drives that cannot go this slow take their
// slowest.
constexpr int kAudioSpeed = 4;

struct MirovaCdSrc {
  GstAudioCdSrc parent;
  CdIo_t* cdio;
  gchar* device;    // a drive's node; null for an image
  guint8* cache;    // kChunk sectors
  int cacheFirst;   // the sectors in the cache
  int cacheCount;   //
  int singleUntil;  // read a sector at a time below this (a chunk failed)
  int skipTrack;    // the track whose skipped sectors are counted
  int skipped;
  int trackStarts[CDIO_CD_MAX_TRACKS + 1];
  int trackCount;
  int end;  // the sector after the last track
};

struct MirovaCdSrcClass {
  GstAudioCdSrcClass parent;
};

G_DEFINE_TYPE(MirovaCdSrc, mirova_cd_src, GST_TYPE_AUDIO_CD_SRC)

MirovaCdSrc* self(GstAudioCdSrc* src) { return reinterpret_cast<MirovaCdSrc*>(src); }

void closeDisc(GstAudioCdSrc* src) {
  MirovaCdSrc* s = self(src);
  if (s->cdio) disc::CdioCloser()(s->cdio);
  s->cdio = nullptr;
  g_clear_pointer(&s->device, g_free);
  g_clear_pointer(&s->cache, g_free);
}

// The base class indexes its table by track number as if the first were 1,
// so it gets the tracks counted from 1; positions are sectors, which stay.
gboolean openDisc(GstAudioCdSrc* src, const gchar* device) {
  // The drive hands over only a drive node or an image its probe has read
  // without harm (a cdrdao TOC as its copy with absolute names).
  MirovaCdSrc* s = self(src);
  const QString name = QFile::decodeName(device);
  const disc::ImageKind kind = disc::imageKind(name);
  disc::Handle cdio = disc::open(disc::Source{name, kind, {}, 0});
  const std::optional<disc::Toc> toc = disc::readToc(cdio.get());
  if (!toc) {
    GST_ELEMENT_ERROR(src, RESOURCE, OPEN_READ, ("The disc cannot be read."), ("no table of contents in %s", device));
    return FALSE;
  }
  s->trackCount = 0;
  for (const disc::Track& t : toc->tracks) {
    GstAudioCdSrcTrack track{};
    track.is_audio = t.audio;
    track.num = guint(s->trackCount + 1);
    track.start = guint(t.start);
    track.end = guint(t.start + t.sectors - 1);
    if (!gst_audio_cd_src_add_track(src, &track)) break;
    s->trackStarts[s->trackCount++] = t.start;
    s->end = t.start + t.sectors;
  }
  if (kind == disc::ImageKind::NotImage) {
    cdio_set_speed(cdio.get(), kAudioSpeed);
    s->device = g_strdup(device);
  }
  s->cache = static_cast<guint8*>(g_malloc(kChunk * CDIO_CD_FRAMESIZE_RAW));
  s->cacheCount = 0;
  s->singleUntil = -1;
  s->skipTrack = -1;
  s->cdio = cdio.release();
  return TRUE;
}

bool readInto(MirovaCdSrc* s, int sector, int count) {
  return cdio_read_audio_sectors(s->cdio, s->cache, lsn_t(sector), uint32_t(count)) == DRIVER_OP_SUCCESS;
}

// Fills the cache from `sector`; false when even a single sector will not read.
bool fill(MirovaCdSrc* s, int sector) {
  s->cacheFirst = sector;
  s->cacheCount = 0;
  const int chunk = std::clamp(s->end - sector, 1, kChunk);
  if (sector >= s->singleUntil && chunk > 1) {
    if (readInto(s, sector, chunk)) {
      s->cacheCount = chunk;
      return true;
    }
    s->singleUntil = sector + chunk;
  }
  for (int i = 0; i < kTries; ++i) {
    if (readInto(s, sector, 1)) {
      s->cacheCount = 1;
      return true;
    }
  }
  return false;
}

int trackOf(const MirovaCdSrc* s, int sector) {
  const int* at = std::upper_bound(s->trackStarts, s->trackStarts + s->trackCount, sector);
  return int(at - s->trackStarts);
}

GstBuffer* readSector(GstAudioCdSrc* src, gint sector) {
  MirovaCdSrc* s = self(src);
  GstBuffer* buffer = gst_buffer_new_allocate(nullptr, CDIO_CD_FRAMESIZE_RAW, nullptr);
  const bool cached = sector >= s->cacheFirst && sector < s->cacheFirst + s->cacheCount;
  if (cached || fill(s, sector)) {
    gst_buffer_fill(buffer, 0, s->cache + (sector - s->cacheFirst) * CDIO_CD_FRAMESIZE_RAW, CDIO_CD_FRAMESIZE_RAW);
    return buffer;
  }
  const int track = trackOf(s, sector);
  if (track != s->skipTrack) s->skipTrack = track, s->skipped = 0;
  // A drive that lost its disc has nothing to skip to.
  const bool gone = s->device && disc::driveState(QFile::decodeName(s->device)) != disc::DriveState::Ready;
  if (!gone && ++s->skipped <= kMaxSkipped) {
    if (s->skipped == 1) std::fprintf(stderr, "mirova-cdaudio: sector %d cannot be read; played as silence\n", sector);
    gst_buffer_memset(buffer, 0, 0, CDIO_CD_FRAMESIZE_RAW);
    return buffer;
  }
  gst_buffer_unref(buffer);
  GST_ELEMENT_ERROR(src, RESOURCE, READ, ("The disc cannot be read."), ("at sector %d", sector));
  return nullptr;
}

void mirova_cd_src_init(MirovaCdSrc* src) {
  src->cdio = nullptr;
  src->device = nullptr;
  src->cache = nullptr;
  src->cacheCount = 0;
}

void mirova_cd_src_class_init(MirovaCdSrcClass* klass) {
  GstAudioCdSrcClass* base = GST_AUDIO_CD_SRC_CLASS(klass);
  base->open = openDisc;
  base->close = closeDisc;
  base->read_sector = readSector;
  gst_element_class_set_static_metadata(GST_ELEMENT_CLASS(klass), "CD audio source", "Source/File",
                                        "Reads audio from a CD or disc image", "mirova");
}

}  // namespace

namespace cdaudio {

GstElement* makeCdSource() { return GST_ELEMENT(g_object_new(mirova_cd_src_get_type(), nullptr)); }

}  // namespace cdaudio
