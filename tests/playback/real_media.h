// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// For the tests on the real machine: media made at test time.
#include <QDir>
#include <QFile>
#include <QProcess>

#include "fakes/fakes.h"
#include "playback/media_fixtures.h"

namespace realmedia {

// A format 0 MIDI file: six quarter notes at 120 beats per minute, 3 s in all.
inline QByteArray midi() {
  QByteArray t("\0\xFF\x51\x03\x07\xA1\x20\0\xC0\0", 10);  // tempo 500000 us per quarter, piano
  for (const char n : {60, 64, 67, 72, 67, 64}) t += QByteArray("\0\x90", 2) + n + "\x64\x83\x60\x80" + n + "\x40";
  return QByteArray("MThd\0\0\0\x06\0\0\0\x01\x01\xE0MTrk\0\0\0\x44", 22) + t + QByteArray("\0\xFF\x2F\0", 4);
}

// ffmpeg's generated sources (lavfi) encoded into a file; true when it worked.
inline bool ffmpeg(const QStringList& sources, const QStringList& options, const QString& file) {
  QStringList args{"-v", "error", "-y"};
  for (const QString& source : sources) args += QStringList{"-f", "lavfi", "-i", source};
  return QProcess::execute("ffmpeg", args + options + QStringList{file}) == 0;
}

// The same as readFile and writeFile, by their older names.
inline QByteArray read(const QString& file) { return readFile(file); }
inline bool write(const QString& file, const QByteArray& bytes) { return writeFile(file, bytes); }

}  // namespace realmedia
