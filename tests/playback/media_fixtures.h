// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Media made at test time, and what the private null sink's monitor heard.
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <array>
#include <cstdlib>

#include "cdaudio/protocol.h"

namespace fixtures {

// The running CD drive service's process id from its lock file; 0 when it
// has ended (a zombie that nobody reaps has ended too).
inline pid_t servicePid() {
  QFile lock(cdaudio::lockPath()), stat;
  const pid_t pid = lock.open(QIODevice::ReadOnly) ? pid_t(lock.readAll().trimmed().toLongLong()) : 0;
  stat.setFileName(QStringLiteral("/proc/%1/stat").arg(pid));
  return pid > 0 && stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ") ? pid : 0;
}

inline QByteArray le32(qsizetype v) {
  return QByteArray(std::array{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}.data(), 4);
}

// A Video CD's .dat file as copied from a disc: a RIFF "CDXA" header, then
// each 2324-byte MPEG pack in a raw Mode 2 Form 2 sector.
inline QByteArray wrapCdxa(const QByteArray& ps) {
  auto bcd = [](int v) { return char(((v / 10) << 4) | (v % 10)); };
  QByteArray sectors;
  int lba = 150;
  for (qsizetype at = 0; at < ps.size(); at += 2324, ++lba)
    sectors += '\0' + QByteArray(10, '\xff') + '\0' + bcd(lba / 4500) + bcd(lba / 75 % 60) + bcd(lba % 75) + '\x02' +
               QByteArray("\x01\x01\x62\x0f\x01\x01\x62\x0f", 8) + ps.mid(at, 2324).leftJustified(2324, '\0') +
               QByteArray(4, '\0');
  return "RIFF" + le32(36 + sectors.size()) + "CDXAfmt " + le32(16) + QByteArray(16, '\0') + "data" +
         le32(sectors.size()) + sectors;
}

// A big-endian number of `bytes` bytes, as Nero images write them.
inline QByteArray be(quint64 v, int bytes) {
  QByteArray out(bytes, '\0');
  for (int i = 0; i < bytes; ++i) out[bytes - 1 - i] = char(v >> (8 * i));
  return out;
}

// A Nero image as libcdio reads it: the sectors of each track one after
// another, then the track table "ETN2", "END!" and the footer "NER5" with
// the table's offset. Modes: 7 audio (2352-byte sectors), 3 Mode 2 (2336).
struct NrgTrack {
  quint32 mode;
  int sectorBytes;
  QByteArray sectors;
};
inline QByteArray nrg(const QList<NrgTrack>& tracks) {
  QByteArray data, table;
  qint64 lsn = 0;
  for (const NrgTrack& t : tracks) {
    table += be(data.size(), 8) + be(t.sectors.size(), 8) + be(t.mode, 4) + be(lsn, 4) + be(0, 8);
    lsn += t.sectors.size() / t.sectorBytes;
    data += t.sectors;
  }
  return data + "ETN2" + be(table.size(), 4) + table + "END!" + be(0, 4) + "NER5" + be(data.size(), 8);
}

// Raw 2352-byte Mode 2 sectors without their sync and header: 2336 bytes each.
inline QByteArray mode2Payloads(const QByteArray& raw) {
  QByteArray out;
  for (qsizetype at = 0; at + 2352 <= raw.size(); at += 2352) out += raw.mid(at + 16, 2336);
  return out;
}

// Records the null sink "mirova_test" as 16-bit stereo at 44.1 kHz.
class SinkRecorder {
 public:
  static constexpr int kRate = 44100;
  bool start() {
    parec_.close();
    parec_.start("parec",
                 {"--device=mirova_test.monitor", "--raw", "--format=s16le", "--channels=2", "--latency-msec=20"});
    return parec_.waitForStarted(5000) && parec_.waitForReadyRead(5000);
  }
  ~SinkRecorder() { parec_.close(); }
  // The left channel recorded since the last call.
  QList<int> take() {
    const QByteArray pcm = parec_.readAllStandardOutput();
    QList<int> left;
    left.reserve(pcm.size() / 4);
    for (qsizetype i = 0; i + 3 < pcm.size(); i += 4) left << int(qint16(quint8(pcm[i]) | (quint8(pcm[i + 1]) << 8)));
    return left;
  }
  // The loudest sample since the last call.
  int peak() {
    int best = 0;
    for (const int s : take()) best = std::max(best, std::abs(s));
    return best;
  }
  // The tone heard since the last call, in Hz: the median spacing of its
  // rising zero crossings, so a dropout of the sound server does not
  // count. 0 for silence.
  double frequency() {
    const QList<int> left = take();
    QList<qsizetype> periods;
    qsizetype last = -1;
    bool below = false;
    for (qsizetype i = 0; i < left.size(); ++i) {
      if (left[i] < -300) below = true;
      if (below && left[i] > 300) {
        below = false;
        if (last >= 0) periods << i - last;
        last = i;
      }
    }
    if (periods.size() < 10) return 0.0;
    std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
    return double(kRate) / double(periods[periods.size() / 2]);
  }

 private:
  QProcess parec_;
};

}  // namespace fixtures
