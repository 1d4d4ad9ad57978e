#include "disc/disc.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <QFile>
#include <QFileInfo>
#include <mutex>

namespace disc {

namespace {
void quietLog(cdio_log_level_t, const char*) {}

void silenceLibcdio() {
  static std::once_flag once;
  std::call_once(once, [] { cdio_log_set_handler(&quietLog); });
}
}  // namespace

void CdioCloser::operator()(CdIo_t* cdio) const {
  if (cdio) cdio_destroy(cdio);
}

Handle open(const QString& source) {
  silenceLibcdio();
  const QFileInfo info(source);
  if (source.isEmpty() || !info.exists() || info.isDir()) return nullptr;
  const QByteArray name = QFile::encodeName(source);
  const QString suffix = info.suffix().toLower();
  CdIo_t* cdio = nullptr;
  // Images by their description file; anything else is a drive's node.
  if (suffix == QLatin1String("cue"))
    cdio = cdio_open_cue(name.constData());
  else if (suffix == QLatin1String("toc"))
    cdio = cdio_open_cdrdao(name.constData());
  else if (suffix == QLatin1String("nrg"))
    cdio = cdio_open(name.constData(), DRIVER_NRG);
  else
    cdio = cdio_open(name.constData(), DRIVER_DEVICE);
  return Handle(cdio);
}

int Toc::audioTracks() const {
  int n = 0;
  for (const Track& t : tracks) n += t.audio ? 1 : 0;
  return n;
}

std::optional<Toc> readToc(CdIo_t* cdio) {
  if (!cdio) return std::nullopt;
  const track_t first = cdio_get_first_track_num(cdio);
  const track_t count = cdio_get_num_tracks(cdio);
  if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) return std::nullopt;
  Toc toc;
  toc.leadout = cdio_get_disc_last_lsn(cdio);
  if (toc.leadout == CDIO_INVALID_LSN) return std::nullopt;
  for (int i = first; i < first + count; ++i) {
    Track t;
    t.number = i;
    t.audio = cdio_get_track_format(cdio, track_t(i)) == TRACK_FORMAT_AUDIO;
    t.start = cdio_get_track_lsn(cdio, track_t(i));
    const lsn_t last = cdio_get_track_last_lsn(cdio, track_t(i));
    if (t.start == CDIO_INVALID_LSN || last == CDIO_INVALID_LSN || last < t.start) return std::nullopt;
    t.sectors = last - t.start + 1;
    toc.tracks.append(t);
  }
  return toc;
}

}  // namespace disc
