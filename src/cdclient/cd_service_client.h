// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <functional>
#include <memory>

class Drives;

// Where the CD drive service is and which drive it is to play.
struct CdServiceSetup {
  QString program;                  // started when no service answers; empty: never started from here
  std::function<QString()> source;  // the drive node or disc image; empty: there is no drive
  // Until when (monotonic ms) the service counts as not answering; shared by
  // every client made from copies of one setup.
  std::shared_ptr<qint64> quietUntil = std::make_shared<qint64>(0);
};

// The optical drive the CD is played from: `current` while it still holds a
// disc (or is spinning one up), else the first of the drive letters that
// holds one, else the first. Its device node, or the disc image a letter is
// mapped to; empty when there is none. Asks the drives only what they tell
// at once, never reads a disc.
QString firstCdSource(Drives& drives, const QString& current = QString());

// One connection to the CD drive service (protocol in cdaudio/protocol.h),
// used from the GUI thread. Every call returns within
// cdaudio::kCallTimeoutMs, whatever the service does.
//
// An "open" string first names the drive ("@drive"), connecting first when
// there is no connection, and starting the service when none answers if
// the client may (Start::OnOpen). Any
// other string without a connection fails at once (a fresh connection
// would not know the aliases it names), except "close all", which then has
// nothing to close and succeeds. A connection that breaks is dropped; a
// service that does not answer in time is not asked again, by this client
// or any other of the same setup, for kUnreachableMs: a hung service costs
// one timeout, not one per call. A client whose setup names the service's
// program ends a hung one (by the process id in its lock file), and the
// next open starts a fresh one at once.
class CdServiceClient {
 public:
  static constexpr int kUnreachableMs = 3000;
  enum class Start { OnOpen, Never };

  struct Reply {
    int error = 0;
    QString text;
  };

  CdServiceClient(CdServiceSetup setup, Start start) : setup_(std::move(setup)), start_(start) {}
  ~CdServiceClient() { disconnect(); }
  CdServiceClient(const CdServiceClient&) = delete;
  CdServiceClient& operator=(const CdServiceClient&) = delete;

  Reply send(const QString& command);
  bool isConnected() const { return fd_ >= 0; }
  void disconnect();

 private:
  bool connectToService(qint64 deadline, QString* why);
  bool exchange(const QByteArray& line, qint64 deadline, Reply* reply);

  CdServiceSetup setup_;
  Start start_;
  int fd_ = -1;
};
