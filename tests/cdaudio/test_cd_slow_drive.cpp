// SPDX-License-Identifier: GPL-3.0-or-later
// The CD drive service on an image read as a real drive reads: slow to spin
// up, with a scratch. The slow-read library (bench/slow_read.cpp) is
// preloaded into the service alone.
#include <signal.h>

#include <QtTest>

#include "cdclient/cd_service_client.h"
#include "playback/media_fixtures.h"

class TestCdSlowDrive : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  QString program_ = qEnvironmentVariable("MIROVA_BIN_DIR") + QStringLiteral("/mirova-cdaudio");

  static QString lib(const QString& call) {
    QProcess p;
    p.start("bash", {"-c", "source \"$0\" && " + call, qEnvironmentVariable("MIROVA_E2E_LIB")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  }

 private Q_SLOTS:
  void initTestCase() {  // 3 s at 300 Hz, 3 s at 500 Hz, 4 s at 800 Hz
    lib(QStringLiteral("e2e_cd_image '%1' 3:300 3:500 4:800").arg(dir_.path()));
    QVERIFY(QFileInfo(dir_.filePath("disc.bin")).size() == 750 * 2352);
  }
  void cleanup() {
    const pid_t pid = fixtures::servicePid();
    if (pid) ::kill(pid, SIGKILL);
    QTRY_VERIFY(fixtures::servicePid() != pid || !pid);
  }

  // No request waits for the drive; the disc plays to its end through the
  // scratch, the sink hearing track 2 all along.
  void playsThrough_data() {
    QTest::addColumn<QByteArray>("spinUpMs");
    QTest::addColumn<QByteArray>("bad");  // sectors of the data file
    QTest::newRow("spinning up for 5 s") << QByteArray("5000") << QByteArray();
    QTest::newRow("20 bad sectors in track 2") << QByteArray("0") << QByteArray("300-319");
  }

  void playsThrough() {
    QFETCH(QByteArray, spinUpMs);
    QFETCH(QByteArray, bad);
    const QList<std::pair<const char*, QByteArray>> env{{"LD_PRELOAD", qgetenv("MIROVA_SLOW_READ")},
                                                        {"MIROVA_SLOW_PATH", "/disc.bin"},
                                                        {"MIROVA_SLOW_SPINUP_MS", spinUpMs},
                                                        {"MIROVA_SLOW_BAD", bad}};
    for (const auto& [name, value] : env) qputenv(name, value);
    CdServiceClient c({program_, [this] { return dir_.filePath("disc.cue"); }}, CdServiceClient::Start::OnOpen);
    qint64 longest = 0;
    const auto send = [&c, &longest](const QString& request) {
      QElapsedTimer t;
      t.start();
      const CdServiceClient::Reply r = c.send(request);
      longest = std::max(longest, t.elapsed());
      return r.error ? QString::number(r.error) : r.text;
    };
    const auto waitFor = [&send](const QString& mode) {
      for (QDeadlineTimer d(30000); !d.hasExpired(); QThread::msleep(20))
        if (send("status cd mode") == mode) return true;
      return false;
    };
    QCOMPARE(send("open cdaudio alias cd"), QString());     // and the service starts
    for (const auto& [name, value] : env) qunsetenv(name);  // the service has started
    longest = 0;
    QVERIFY(waitFor("stopped"));
    QCOMPARE(send("set cd time format tmsf"), QString());
    QCOMPARE(send("play cd from 2 to 3"), QString());
    QVERIFY(waitFor("playing"));
    const int hz = lib("e2e_sink_freq 2.5").toInt();
    QVERIFY2(std::abs(hz - 500) < 40, qPrintable(QString::number(hz)));
    QVERIFY(waitFor("stopped"));
    QCOMPARE(send("status cd position"), QStringLiteral("03:00:00:00"));
    QVERIFY2(longest < 250, qPrintable(QString::number(longest)));
  }
};

QTEST_GUILESS_MAIN(TestCdSlowDrive)
#include "test_cd_slow_drive.moc"
