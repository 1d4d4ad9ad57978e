// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

#include "cdaudio/cd_drive.h"
#include "cdaudio/mci_session.h"

class QSocketNotifier;

// The CD drive service: one drive, any number of clients of this user on
// the socket of protocol.h, one event loop. It holds the lock file for as
// long as it runs, so a second copy never serves the same socket.
class CdAudioService : public QObject {
  Q_OBJECT
 public:
  static constexpr int kMaxClients = 32;

  // `program` is this service's own, run to probe disc images (ImageProbe).
  CdAudioService(int idleExitMs, const QString& program, QObject* parent = nullptr);
  ~CdAudioService() override;

  enum class Start { Listening, AlreadyRunning, Failed };
  // Takes the lock (waiting a little for a copy that is just ending) and
  // listens on the socket.
  Start start(QString* why);

 private:
  struct Client {
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    QByteArray pending;  // bytes of a request not yet ended by '\n'
    std::unique_ptr<MciSession> session;
  };

  void acceptClients();
  void readClient(int fd);
  // False when the reply could not be written whole: the client is dropped.
  bool reply(Client& c, const MciSession::Reply& r);
  void drop(int fd);
  void onTick();

  CdDrive drive_;
  int idleExitMs_;
  int lockFd_ = -1;
  int listenFd_ = -1;
  QByteArray socketPath_;
  std::unique_ptr<QSocketNotifier> listenNotifier_;
  std::vector<std::unique_ptr<Client>> clients_;
  QTimer tick_;
  QElapsedTimer idleSince_;
};
