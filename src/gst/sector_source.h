// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <memory>
#include <mutex>

#include "disc/iso_files.h"

typedef struct _GstElement GstElement;
typedef struct _GstAppSrc GstAppSrc;

// A file on a disc fed to playbin byte by byte from its sectors: the device
// opens "appsrc://" and hands the appsrc that playbin makes to attach(). The
// stream is random access, so the demuxer can read the end for the length
// and seeks land where they should. A Video CD's .dat file reaches the
// demuxer as its Form 2 payloads, an MPEG program stream.
//
// The appsrc calls back on a streaming thread; the reader is used there
// only, under the object's lock. The object must outlive the pipeline
// (destroy it after the pipeline has gone to NULL). A sector that cannot be
// read ends in an error on the bus, never in a wait for data.
class SectorSource {
 public:
  // Reads `file` through the reader made for this stream (Drives::locate).
  SectorSource(std::unique_ptr<disc::PayloadReader> reader, const disc::FileEntry& file);
  ~SectorSource();

  void attach(GstElement* appsrc);

 private:
  // The appsrc's callbacks, on its streaming thread.
  void feed(GstAppSrc* src, unsigned length);
  bool seekTo(quint64 offset);

  std::mutex mutex_;
  std::unique_ptr<disc::PayloadReader> reader_;
  qint64 start_ = 0;  // payload bytes of the empty sectors skipped at the start
  qint64 size_ = 0;   // from there
  qint64 offset_ = 0;
  QString name_;
};
