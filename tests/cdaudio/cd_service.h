// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CD drive service's tests: the service program, disc images and the
// sink's tone from the end-to-end scripts' library.
#include <signal.h>

#include <QtTest>
#include <cstdlib>

#include "cdclient/cd_service_client.h"
#include "playback/media_fixtures.h"

namespace cdtest {

inline QString program() { return qEnvironmentVariable("MIROVA_BIN_DIR") + QStringLiteral("/mirova-cdaudio"); }

// A function of the end-to-end scripts' library, run in bash; what it printed.
inline QString lib(const QString& call) {
  QProcess p;
  p.start("bash", {"-c", "source \"$0\" && " + call, qEnvironmentVariable("MIROVA_E2E_LIB")});
  p.waitForFinished(30000);
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The sink sounds near `hz` for the next 2.5 s.
inline void hear(int hz) {
  const int heard = lib(QStringLiteral("e2e_sink_freq 2.5")).toInt();
  QVERIFY2(std::abs(heard - hz) < 40, qPrintable(QString::number(heard)));
}

// The reply's text, or its error number.
inline QString ask(CdServiceClient& c, const QString& request) {
  const CdServiceClient::Reply r = c.send(request);
  return r.error ? QString::number(r.error) : r.text;
}

// Nothing lingers from one case to the next, hung or not.
inline void endService() {
  const pid_t pid = fixtures::servicePid();
  if (pid) ::kill(pid, SIGCONT), ::kill(pid, SIGKILL);
  QTRY_VERIFY(fixtures::servicePid() != pid || !pid);
}

}  // namespace cdtest
