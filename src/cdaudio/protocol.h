// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QString>
#include <climits>

#include "base/runtime_dir.h"

// The CD drive service `mirova-cdaudio` and its clients speak over a stream
// socket in the user's private runtime folder (runtime::privateFolder).
//
// Requests and replies are single lines of UTF-8 text ending in '\n', each
// at most kMaxLine bytes with the newline; only an "@drive" request may be
// as long as kMaxDriveLine, since it carries a path. Each request gets
// exactly one reply, in order: "<error> <text>", where error 0 is success
// and text is the reply string (often empty), and any other number is one
// of the Mci error numbers below with a short description. A request that
// grows past its bound gets the reply kParameterOverflow and the connection
// is closed.
// The service accepts only peers of its own user (the socket's peer
// credentials); others are closed before anything is read.
//
// Requests are the platform's MCI command strings for the "cdaudio" device
// ("open cdaudio alias cd wait shareable", "status cd position", ...), plus
// one of the service's own:
//   "@drive <source>"  names the drive the next "open" uses: a device node
//                      (/dev/sr0) or a disc image (.cue, .toc, .nrg). When
//                      it differs from the drive the service holds, the old
//                      one is stopped and forgotten. Every client names it
//                      before its "open"; all clients share one drive.
//
// One drive state is shared by every client: what one client's "play" or
// "stop" does, another's "status" sees. Aliases and time formats belong to
// the connection that opened them and go when it closes ("close all" closes
// only the sender's). Closing never stops the drive: a disc plays on with
// no client at all, as a drive does.
//
// Every request is answered at once; only "set <d> door open|closed" waits
// for the drive, and less than a client waits for it. "open" succeeds
// whenever the drive or image is there and may be opened, disc or not
// (else kDeviceNotReady, "device not ready: no drive" or "... no
// permission"). It reads the table of contents again, on the service's
// worker, when the disc may have changed (the drive says so, or had none),
// unless it plays. While that read or the start of a play runs, "status <d>
// mode" is "seeking"; after it "not ready" when there is no disc with audio
// (or a damaged image), "open" for an open tray, else "stopped", "playing"
// or "paused". Requests that need the table of contents answer
// kDeviceNotReady until it is read. "info <d> identity" names the disc: it
// changes with the disc. A door that did not move answers kHardware and the
// reason ("busy", "the drive did not open").
// Positions count sectors (1/75 s) from the start of the disc:
//   milliseconds  "12345"                 from the start of the disc
//   msf           "mm:ss:ff"              the same as minutes, seconds, frames
//   tmsf          "tt:mm:ss:ff"           track, and the time into that track;
//                                          a bare "3" means the start of track 3
// "seek" and "stop" leave the drive stopped at the position; "play" plays
// from the current position (or "from" one) on across track boundaries to
// the end of the disc (or "to" one). "set <d> door open" ejects a drive; on
// an image it stops and the disc counts as absent until the next "open".
// Tracks keep the disc's own numbers, which need not start at 1 (an image
// cut from a larger disc): "status <d> number of tracks" counts them from
// the first audio track to the last, and "start position" in tmsf names the
// first ("05:00:00:00").
//
// The player's CD device starts the service on demand (the command-string
// client only uses a running one); it ends by itself once the disc has been
// stopped (or paused, or never played) and no client has been connected for
// kIdleExitMs.
namespace cdaudio {

constexpr int kMaxLine = 512;
constexpr int kIdleExitMs = 30000;
// A client gives up on a call after this long and counts the service as
// unreachable (see CdServiceClient).
constexpr int kCallTimeoutMs = 2000;

// The platform's MCI error numbers, as mciSendString returns them.
enum Error : int {
  kOk = 0,
  kHardware = 262,
  kInvalidDeviceName = 263,
  kUnrecognizedCommand = 261,
  kUnrecognizedKeyword = 259,
  kParameterOverflow = 268,
  kBadInteger = 270,
  kMissingParameter = 273,
  kDeviceNotReady = 276,
  kOutOfRange = 282,
  kDuplicateAlias = 289,
  kBadTimeFormat = 293,
};

inline constexpr char kDriveRequest[] = "@drive ";
// "@drive ", a path of up to PATH_MAX bytes, '\n'.
constexpr int kMaxDriveLine = int(sizeof kDriveRequest) + PATH_MAX;
// The bound of the request that `line` begins.
inline int maxLine(const QByteArray& line) { return line.startsWith(kDriveRequest) ? kMaxDriveLine : kMaxLine; }

inline QString folder() { return runtime::privateFolder(QStringLiteral("mirova")); }
// A file of that folder; empty when there is no private folder to hold it.
inline QString path(const QString& name) {
  const QString f = folder();
  return f.isEmpty() ? f : f + QLatin1Char('/') + name;
}
inline QString socketPath() { return path(QStringLiteral("cdaudio.socket")); }
// Held locked by the running service, which writes its process id into it.
inline QString lockPath() { return path(QStringLiteral("cdaudio.lock")); }
// The service's own messages.
inline QString logPath() { return path(QStringLiteral("cdaudio.log")); }

}  // namespace cdaudio
