// SPDX-License-Identifier: GPL-3.0-or-later
#include "cdaudio/cd_source.h"

#include <cdio/cdio.h>
#include <gst/audio/gstaudiocdsrc.h>

#include <QFile>

#include "disc/disc.h"

namespace {

struct MirovaCdSrc {
  GstAudioCdSrc parent;
  CdIo_t* cdio;
};

struct MirovaCdSrcClass {
  GstAudioCdSrcClass parent;
};

G_DEFINE_TYPE(MirovaCdSrc, mirova_cd_src, GST_TYPE_AUDIO_CD_SRC)

MirovaCdSrc* self(GstAudioCdSrc* src) { return reinterpret_cast<MirovaCdSrc*>(src); }

void closeDisc(GstAudioCdSrc* src) {
  if (self(src)->cdio) disc::CdioCloser()(self(src)->cdio);
  self(src)->cdio = nullptr;
}

// The base class indexes its table by track number as if the first were 1,
// so it gets the tracks counted from 1; positions are sectors, which stay.
gboolean openDisc(GstAudioCdSrc* src, const gchar* device) {
  // The drive hands over only a drive node or an image its probe has read
  // without harm (a cdrdao TOC as its copy with absolute names).
  const QString name = QFile::decodeName(device);
  disc::Handle cdio = disc::open(disc::Source{name, disc::imageKind(name), {}});
  const std::optional<disc::Toc> toc = disc::readToc(cdio.get());
  if (!toc) {
    GST_ELEMENT_ERROR(src, RESOURCE, OPEN_READ, ("The disc cannot be read."), ("no table of contents in %s", device));
    return FALSE;
  }
  guint number = 0;
  for (const disc::Track& t : toc->tracks) {
    GstAudioCdSrcTrack track{};
    track.is_audio = t.audio;
    track.num = ++number;
    track.start = guint(t.start);
    track.end = guint(t.start + t.sectors - 1);
    if (!gst_audio_cd_src_add_track(src, &track)) break;
  }
  self(src)->cdio = cdio.release();
  return TRUE;
}

GstBuffer* readSector(GstAudioCdSrc* src, gint sector) {
  GstBuffer* buffer = gst_buffer_new_allocate(nullptr, CDIO_CD_FRAMESIZE_RAW, nullptr);
  GstMapInfo map;
  bool read = gst_buffer_map(buffer, &map, GST_MAP_WRITE);
  read = read && cdio_read_audio_sector(self(src)->cdio, map.data, lsn_t(sector)) == DRIVER_OP_SUCCESS;
  gst_buffer_unmap(buffer, &map);
  if (read) return buffer;
  gst_buffer_unref(buffer);
  GST_ELEMENT_ERROR(src, RESOURCE, READ, ("The disc cannot be read."), ("at sector %d", sector));
  return nullptr;
}

void mirova_cd_src_init(MirovaCdSrc* src) { src->cdio = nullptr; }

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
