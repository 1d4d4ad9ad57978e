#pragma once
// Audio CD images for the tests, written at test time: raw 44.1 kHz 16-bit
// stereo sine tones, one per track, each a whole number of 2352-byte sectors.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <algorithm>
#include <cmath>
#include <numbers>

struct ToneTrack {
  int sectors;
  int hz;
};

// Writes <dir>/<name>.cue and its .bin; returns the .cue's path.
inline QString writeCdImage(const QString& dir, const QString& name, const QList<ToneTrack>& tracks) {
  QByteArray pcm;
  QString cue = QStringLiteral("FILE \"%1.bin\" BINARY\n").arg(name);
  int at = 0;
  for (qsizetype t = 0; t < tracks.size(); ++t) {
    cue += QStringLiteral("  TRACK %1 AUDIO\n    INDEX 01 %2:%3:%4\n")
               .arg(t + 1, 2, 10, QLatin1Char('0'))
               .arg(at / 4500, 2, 10, QLatin1Char('0'))
               .arg(at / 75 % 60, 2, 10, QLatin1Char('0'))
               .arg(at % 75, 2, 10, QLatin1Char('0'));
    const qsizetype frames = qsizetype(tracks[t].sectors) * 588;  // 2352 bytes = 588 stereo frames
    for (qsizetype i = 0; i < frames; ++i) {
      const auto v = qint16(std::lround(12000 * std::sin(2 * std::numbers::pi * tracks[t].hz * double(i) / 44100)));
      const char le[4] = {char(v & 0xff), char(v >> 8), char(v & 0xff), char(v >> 8)};
      pcm.append(le, 4);
    }
    at += tracks[t].sectors;
  }
  QFile bin(dir + QLatin1Char('/') + name + QStringLiteral(".bin"));
  QFile description(dir + QLatin1Char('/') + name + QStringLiteral(".cue"));
  if (!bin.open(QIODevice::WriteOnly) || bin.write(pcm) != pcm.size()) return QString();
  if (!description.open(QIODevice::WriteOnly) || description.write(cue.toLatin1()) < 0) return QString();
  return description.fileName();
}

// The frequency of the tone in 16-bit stereo little-endian samples: the
// median over windows of 20 ms of the left channel's zero crossings, so that
// the gaps a busy sound server leaves do not count; 0 for silence.
inline double toneHz(const QByteArray& pcm) {
  constexpr qsizetype kWindow = 882 * 4;
  QList<double> found;
  for (qsizetype w = 0; w + kWindow <= pcm.size(); w += kWindow) {
    int side = 0, n = 0;
    qsizetype first = -1, last = -1;
    for (qsizetype i = w; i < w + kWindow; i += 4) {
      const int s = qint16(quint8(pcm[i]) | (quint8(pcm[i + 1]) << 8));
      const int now = s > 1000 ? 1 : s < -1000 ? -1 : side;
      if (now != side && side != 0) {
        ++n;
        last = i / 4;
        if (first < 0) first = i / 4;
      }
      side = now;
    }
    if (n >= 4) found << (n - 1) / 2.0 / (double(last - first) / 44100);
  }
  if (found.isEmpty()) return 0;
  std::sort(found.begin(), found.end());
  return found[found.size() / 2];
}
