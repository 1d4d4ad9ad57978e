// SPDX-License-Identifier: GPL-3.0-or-later
#include "gst/sector_source.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <algorithm>

#include "base/basic.h"
#include "disc/drives.h"

namespace {
// Bytes handed over per request when the demuxer does not say how many it
// wants: a run of sectors, as the reader reads them.
constexpr unsigned kChunk = 32 * disc::kForm2Bytes;
// The longest run of empty sectors skipped at the start of a sequence (2 s).
constexpr int kMaxMargin = 150;
}  // namespace

SectorSource::SectorSource(std::unique_ptr<disc::PayloadReader> reader, const disc::FileEntry& file)
    : reader_(std::move(reader)), name_(file.name) {
  // A Video CD's sequence starts with a margin of empty sectors. Handed
  // over, they leave typefinding unsure of the stream, so that it tries
  // every finder it has, libav's too, which loads that whole library.
  if (file.form2) {
    for (int n = 0; n < kMaxMargin; ++n) {
      const auto sector = reader_->read(start_, disc::kForm2Bytes);
      if (!sector || sector->size() < disc::kForm2Bytes || sector->count('\0') != sector->size()) break;
      start_ += disc::kForm2Bytes;
    }
  }
  size_ = reader_->size() - start_;
}

SectorSource::~SectorSource() = default;

void SectorSource::attach(GstElement* element) {
  GstAppSrc* src = GST_APP_SRC(element);
  gst_app_src_set_stream_type(src, GST_APP_STREAM_TYPE_RANDOM_ACCESS);
  gst_app_src_set_size(src, size_);
  g_object_set(src, "format", GST_FORMAT_BYTES, "blocksize", kChunk, nullptr);
  GstAppSrcCallbacks callbacks{};
  callbacks.need_data = [](GstAppSrc* appsrc, guint length, gpointer self) {
    static_cast<SectorSource*>(self)->feed(appsrc, length);
  };
  callbacks.seek_data = [](GstAppSrc*, guint64 offset, gpointer self) -> gboolean {
    return static_cast<SectorSource*>(self)->seekTo(offset);
  };
  gst_app_src_set_callbacks(src, &callbacks, this, nullptr);
}

bool SectorSource::seekTo(quint64 offset) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (offset > quint64(size_)) return false;
  offset_ = qint64(offset);
  return true;
}

void SectorSource::feed(GstAppSrc* src, unsigned length) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (offset_ >= size_) {
    lock.unlock();
    gst_app_src_end_of_stream(src);
    return;
  }
  const qint64 want = length == 0 || length > 16 * kChunk ? kChunk : length;
  const auto bytes = reader_->read(start_ + offset_, want);
  if (!bytes || bytes->isEmpty()) {
    const QByteArray name = name_.toUtf8();
    lock.unlock();
    // The error stops the pipeline; appsrc waits for data until then.
    GST_ELEMENT_ERROR(src, RESOURCE, READ, ("The disc cannot be read in %s", name.constData()), (nullptr));
    return;
  }
  offset_ += bytes->size();
  lock.unlock();
  GstBuffer* buffer = gst_buffer_new_memdup(bytes->constData(), gsize(bytes->size()));
  gst_app_src_push_buffer(src, buffer);  // takes the buffer
}
