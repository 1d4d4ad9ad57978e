#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
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

// The entries of a folder given by its names from the root ({} is the
// root, {"Mpegav"} its MPEGAV folder), each matched without regard to case,
// in the order the disc's directory holds them, without "." and "..".
// Null when the disc has no ISO 9660 file system (an audio CD, an empty
// drive) or the folder is not there.
std::optional<QList<FileEntry>> listFolder(CdIo_t* cdio, const QStringList& path);

// The ordinary file at `path` (folders, then the file's name), matched
// likewise; null when there is none.
std::optional<FileEntry> findFile(CdIo_t* cdio, const QStringList& path);

// Reads a file's payload at any byte offset, a run of sectors at a time.
// Not thread-safe: one reader per streaming thread.
class FileReader {
 public:
  FileReader(Handle cdio, const FileEntry& file) : cdio_(std::move(cdio)), file_(file) {}
  qint64 size() const { return file_.payloadBytes(); }
  // Up to `length` bytes from `offset`; fewer only at the end of the file.
  // Null when the disc cannot be read there (a damaged or truncated image,
  // a directory that places the file off the disc, a scratched disc, the
  // disc taken out).
  std::optional<QByteArray> read(qint64 offset, qint64 length);

 private:
  bool loadRun(qint64 firstSector);
  Handle cdio_;
  FileEntry file_;
  QByteArray run_;        // payload of the sectors read last
  qint64 runFirst_ = -1;  // their first sector, counted from the file's start
};

}  // namespace disc
