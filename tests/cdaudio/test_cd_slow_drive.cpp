// SPDX-License-Identifier: GPL-3.0-or-later
// The CD drive service on an image read as a real drive reads: slow to spin
// up, with a scratch. The slow-read library (bench/slow_read.cpp) is
// preloaded into the service alone.
#include "cd_service.h"

class TestCdSlowDrive : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private Q_SLOTS:
  void initTestCase() {  // 3 s at 300 Hz, 3 s at 500 Hz, 4 s at 800 Hz
    cdtest::lib(QStringLiteral("e2e_cd_image '%1' 3:300 3:500 4:800").arg(dir_.path()));
  }
  void cleanup() { cdtest::endService(); }

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
    CdServiceClient c({cdtest::program(), [this] { return dir_.filePath("disc.cue"); }},
                      CdServiceClient::Start::OnOpen);
    qint64 longest = 0;
    const auto send = [&c, &longest](const QString& request) {
      QElapsedTimer t;
      t.start();
      const QString reply = cdtest::ask(c, request);
      longest = std::max(longest, t.elapsed());
      return reply;
    };
    QCOMPARE(send("open cdaudio alias cd"), QString());     // and the service starts
    for (const auto& [name, value] : env) qunsetenv(name);  // the service has started
    longest = 0;
    QTRY_COMPARE_WITH_TIMEOUT(send("status cd mode"), QStringLiteral("stopped"), 30000);
    QCOMPARE(send("set cd time format tmsf"), QString());
    QCOMPARE(send("play cd from 2 to 3"), QString());
    QTRY_COMPARE_WITH_TIMEOUT(send("status cd mode"), QStringLiteral("playing"), 30000);
    cdtest::hear(500);
    QTRY_COMPARE_WITH_TIMEOUT(send("status cd mode"), QStringLiteral("stopped"), 30000);
    QCOMPARE(send("status cd position"), QStringLiteral("03:00:00:00"));
    QVERIFY2(longest < 250, qPrintable(QString::number(longest)));
  }
};

QTEST_GUILESS_MAIN(TestCdSlowDrive)
#include "test_cd_slow_drive.moc"
