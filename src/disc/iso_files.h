// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "disc/disc.h"

// The ISO 9660 file system of a disc opened with disc::open(), and the bytes
// of its files read straight from the sectors. A Video CD keeps its MPEG
// files in Mode 2 Form 2 sectors (2324 bytes of payload each), which the
// kernel's file system cannot read: they are read here as raw sectors.
namespace disc {

constexpr int kDataBytes = 2048;   // a Mode 1 or Mode 2 Form 1 sector's user data
constexpr int kForm2Bytes = 2324;  // a Mode 2 Form 2 sector's payload

struct FileEntry {
  QString name;  // as the directory spells it, without the ";1" version
  bool folder = false;
  int lsn = 0;         // first sector
  qint64 sectors = 0;  // sectors the file takes
  qint64 size = 0;     // the directory's byte count: sectors x 2048 even for Form 2
  bool form2 = false;
  // What the file holds for a reader: its Form 2 payloads one after another,
  // else its first `size` data bytes.
  qint64 payloadBytes() const { return form2 ? sectors * kForm2Bytes : size; }
};

// A disc's folders, each read by its exact path on the disc ("/",
// "/MPEGAV/"): its entries in the order the directory holds them, without
// "." and "..". Null when there is no such folder, or no ISO 9660 file
// system (an audio CD, an empty drive).
using FolderReader = std::function<std::optional<QList<FileEntry>>(const QByteArray& exactPath)>;

// The folders of a disc opened with disc::open(), through libiso9660.
FolderReader isoFolders(CdIo_t* cdio);

// The entries of a folder given by its names from the root ({} is the
// root, {"Mpegav"} its MPEGAV folder), each matched without regard to case,
// an exact match first. Null when a folder of the path is not there.
std::optional<QList<FileEntry>> listFolder(const FolderReader& folders, const QStringList& path);

// The ordinary file at `path` (folders, then the file's name), matched
// likewise; null when there is none.
std::optional<FileEntry> findFile(const FolderReader& folders, const QStringList& path);

// What a player reads of a file: its payload at any byte offset.
class PayloadReader {
 public:
  virtual ~PayloadReader() = default;
  virtual qint64 size() const = 0;
  // Up to `length` bytes from `offset`; fewer only at the end of the file.
  // Null when the disc cannot be read there (a damaged or truncated image,
  // a directory that places the file off the disc, a scratched disc, the
  // disc taken out).
  virtual std::optional<QByteArray> read(qint64 offset, qint64 length) = 0;
};

// A reader that plays on past a scratch: where a stretch cannot be read it
// is read again one sector at a time, and a sector that still fails reads
// as zeros (the demuxer finds its way again at the next pack). At most
// `maxFilled` sectors of a file are filled so; past that its reads fail,
// as a disc that cannot be read at all (taken out, say) must end.
class FillingReader final : public PayloadReader {
 public:
  static constexpr int kMaxFilled = 150;  // 2 s of a Video CD
  FillingReader(std::unique_ptr<PayloadReader> reader, int sectorBytes, int maxFilled = kMaxFilled)
      : reader_(std::move(reader)), sectorBytes_(sectorBytes), maxFilled_(maxFilled) {}
  qint64 size() const override { return reader_->size(); }
  std::optional<QByteArray> read(qint64 offset, qint64 length) override;
  int filled() const { return filled_; }

 private:
  std::unique_ptr<PayloadReader> reader_;
  int sectorBytes_;
  int maxFilled_;
  int filled_ = 0;
};

// A file read from the sectors of a disc opened with disc::open(), a run of
// sectors at a time. Not thread-safe: one reader per streaming thread.
class FileReader final : public PayloadReader {
 public:
  FileReader(Handle cdio, const FileEntry& file) : cdio_(std::move(cdio)), file_(file) {}
  qint64 size() const override { return file_.payloadBytes(); }
  std::optional<QByteArray> read(qint64 offset, qint64 length) override;

 private:
  bool loadRun(qint64 firstSector);
  Handle cdio_;
  FileEntry file_;
  QByteArray run_;        // payload of the sectors read last
  qint64 runFirst_ = -1;  // their first sector, counted from the file's start
};

}  // namespace disc
