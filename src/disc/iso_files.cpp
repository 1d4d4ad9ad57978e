// SPDX-License-Identifier: GPL-3.0-or-later
#include "disc/iso_files.h"

#include <cdio/bytesex.h>
#include <cdio/cdio.h>
#include <cdio/iso9660.h>
#include <cdio/xa.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace disc {

namespace {

constexpr int kRunSectors = 32;  // about 75 KB a read: half a second of a Video CD
constexpr int kSubheaderBytes = 8;

struct ListFree {
  void operator()(CdioList_t* list) const { iso9660_filelist_free(list); }
};
using List = std::unique_ptr<CdioList_t, ListFree>;

// "AVSEQ01.DAT;1" -> "AVSEQ01.DAT"; "README.;1" -> "README".
QString shownName(const char* raw) {
  QString name = QString::fromLatin1(raw);
  const qsizetype version = name.lastIndexOf(QLatin1Char(';'));
  if (version > 0) name.truncate(version);
  if (name.endsWith(QLatin1Char('.')) && name.size() > 1 && name != QLatin1String("..")) name.chop(1);
  return name;
}

// The entries of the folder whose exact path ("/MPEGAV/") is known.
std::optional<QList<FileEntry>> readFolder(CdIo_t* cdio, const QByteArray& exactPath) {
  const List list(iso9660_fs_readdir(cdio, exactPath.constData()));
  if (!list) return std::nullopt;
  QList<FileEntry> entries;
  for (CdioListNode_t* node = _cdio_list_begin(list.get()); node; node = _cdio_list_node_next(node)) {
    const auto* stat = static_cast<const iso9660_stat_t*>(_cdio_list_node_data(node));
    if (!stat) continue;
    FileEntry e;
    e.name = shownName(stat->filename);
    if (e.name.isEmpty() || e.name == QLatin1String(".") || e.name == QLatin1String("..")) continue;
    e.folder = stat->type == iso9660_stat_s::_STAT_DIR;
    e.lsn = stat->lsn;
    e.sectors = stat->secsize;
    e.size = stat->size;
    e.form2 = stat->b_xa && (uint16_from_be(stat->xa.attributes) & XA_ATTR_MODE2FORM2) != 0;
    entries.append(e);
  }
  return entries;
}

// The entry named `name` (any letter case), an exact match first.
const FileEntry* pick(const QList<FileEntry>& entries, const QString& name, bool folder) {
  const FileEntry* loose = nullptr;
  for (const FileEntry& e : entries) {
    if (e.folder != folder || e.name.compare(name, Qt::CaseInsensitive) != 0) continue;
    if (e.name == name) return &e;
    if (!loose) loose = &e;
  }
  return loose;
}

}  // namespace

FolderReader isoFolders(CdIo_t* cdio) {
  return [cdio](const QByteArray& exactPath) { return cdio ? readFolder(cdio, exactPath) : std::nullopt; };
}

std::optional<QList<FileEntry>> listFolder(const FolderReader& folders, const QStringList& path) {
  QByteArray exact("/");
  auto entries = folders(exact);
  for (const QString& part : path) {
    if (!entries) return std::nullopt;
    const FileEntry* next = pick(*entries, part, true);
    if (!next) return std::nullopt;
    exact += next->name.toLatin1() + '/';
    entries = folders(exact);
  }
  return entries;
}

std::optional<FileEntry> findFile(const FolderReader& folders, const QStringList& path) {
  if (path.isEmpty()) return std::nullopt;
  const auto entries = listFolder(folders, path.mid(0, path.size() - 1));
  if (!entries) return std::nullopt;
  const FileEntry* file = pick(*entries, path.last(), false);
  return file ? std::optional(*file) : std::nullopt;
}

std::optional<QByteArray> FillingReader::read(qint64 offset, qint64 length) {
  if (auto whole = reader_->read(offset, length)) return whole;
  const qint64 end = std::min(offset + std::max<qint64>(length, 0), size());
  QByteArray out;
  for (qint64 at = std::max<qint64>(offset, 0); at < end;) {
    const qint64 next = std::min(end, (at / sectorBytes_ + 1) * sectorBytes_);
    auto piece = reader_->read(at, next - at);
    if (!piece || piece->size() != next - at) {
      if (filled_ >= maxFilled_) return std::nullopt;
      ++filled_;
      piece = QByteArray(next - at, '\0');
    }
    out += *piece;
    at = next;
  }
  return out;
}

std::optional<QByteArray> FileReader::read(qint64 offset, qint64 length) {
  const qint64 end = std::min(offset + std::max<qint64>(length, 0), size());
  QByteArray out;
  if (offset < 0 || offset >= end) return out;
  const int perSector = file_.form2 ? kForm2Bytes : kDataBytes;
  out.reserve(end - offset);
  for (qint64 at = offset; at < end;) {
    const qint64 sector = at / perSector;
    if (sector < runFirst_ || sector >= runFirst_ + run_.size() / perSector || runFirst_ < 0) {
      if (!loadRun(sector)) return std::nullopt;
    }
    const qint64 from = at - qint64(runFirst_) * perSector;
    const qint64 take = std::min(end - at, run_.size() - from);
    out.append(run_.constData() + from, take);
    at += take;
  }
  return out;
}

bool FileReader::loadRun(qint64 firstSector) {
  runFirst_ = -1;
  run_.clear();
  const int count = int(std::clamp<qint64>(file_.sectors - firstSector, 0, kRunSectors));
  const qint64 first = qint64(file_.lsn) + firstSector;
  // A damaged directory may place a file anywhere; no disc reaches past 2^31 sectors.
  if (count == 0 || first < 0 || first + count > std::numeric_limits<lsn_t>::max()) return false;
  const auto lsn = lsn_t(first);
  if (file_.form2) {
    QByteArray raw(qsizetype(count) * M2RAW_SECTOR_SIZE, '\0');
    if (cdio_read_mode2_sectors(cdio_.get(), raw.data(), lsn, true, unsigned(count)) != DRIVER_OP_SUCCESS) return false;
    run_.reserve(qsizetype(count) * kForm2Bytes);
    for (int i = 0; i < count; ++i) run_.append(raw.constData() + i * M2RAW_SECTOR_SIZE + kSubheaderBytes, kForm2Bytes);
  } else {
    run_.resize(qsizetype(count) * kDataBytes);
    if (cdio_read_data_sectors(cdio_.get(), run_.data(), lsn, kDataBytes, unsigned(count)) != DRIVER_OP_SUCCESS) {
      run_.clear();
      return false;
    }
  }
  runFirst_ = firstSector;
  return true;
}

}  // namespace disc
