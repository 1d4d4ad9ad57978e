// SPDX-License-Identifier: GPL-3.0-or-later
#include "cdclient/mci.h"

int ServiceMci::sendString(const QString& command, QString* reply, int replyLength) {
  const CdServiceClient::Reply r = client_.send(command);
  if (reply && replyLength > 0) *reply = r.error == 0 ? r.text.left(replyLength - 1) : QString();
  return r.error;
}
