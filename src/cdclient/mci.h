// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include "cdclient/cd_service_client.h"

// Command strings to the CD drive, as the platform's mciSendString takes
// them ("open cdaudio alias cd wait shareable", "status cd position", ...).
// Calls come from the GUI thread and return promptly (a dead or hung drive
// service costs at most a short timeout).
class Mci {
 public:
  virtual ~Mci() = default;
  // Returns 0 or the error number. With replyLength > 0 the reply is stored
  // in *reply, cut to replyLength - 1 characters as into a buffer of that
  // size with its terminating zero; after an error *reply is empty.
  virtual int sendString(const QString& command, QString* reply = nullptr, int replyLength = 0) = 0;
};

// The drive service's client: its aliases live as long as this object's
// connection. It never starts the service: the media control's CD device
// does, at the CD set-up, so a service that has died mid-play shows as a
// failing string rather than being replaced behind the window's back.
class ServiceMci final : public Mci {
 public:
  explicit ServiceMci(CdServiceSetup setup) : client_(std::move(setup), CdServiceClient::Start::Never) {}
  int sendString(const QString& command, QString* reply = nullptr, int replyLength = 0) override;

 private:
  CdServiceClient client_;
};
