// SPDX-License-Identifier: GPL-3.0-or-later
// The CD drive service on a disc image made by the test, through the
// player's clients; sound checked at the private null sink.
#include <QtDBus>
#include <QtWidgets>
#include <climits>

#include "app/frmcd.h"
#include "cd_service.h"
#include "cdaudio/cd_drive.h"
#include "cdaudio/drive.h"
#include "cdaudio/mci_session.h"
#include "cdclient/mci.h"
#include "fakes/fakes.h"
#include "playback/media_backends.h"
#include "playback/media_control.h"

namespace {
using Start = CdServiceClient::Start;
using fixtures::servicePid;

// The mode once a table of contents read or a play start has ended.
template <typename Send>
QString settled(Send send) {
  QString mode;
  for (QDeadlineTimer d(10000); (mode = send("status cd mode")) == "seeking" && !d.hasExpired();) QThread::msleep(10);
  return mode;
}

// A drive that says what the row tells it to, with one audio track.
struct FakeDrive : cdaudio::Drive {
  disc::DriveState is;
  QString ejectFails;  // the reason; empty: the tray opens
  int& reads;          // of the table of contents
  FakeDrive(disc::DriveState s, const QString& why, int& tocReads) : is(s), ejectFails(why), reads(tocReads) {}
  disc::DriveState state() override { return is; }
  bool changed() override { return false; }
  std::optional<disc::Toc> toc(QString*) override {
    ++reads;
    return disc::Toc{{{1, true, 0, 750}}, 750};
  }
  bool eject(QString* why) override {
    *why = ejectFails;
    if (ejectFails.isEmpty()) is = disc::DriveState::TrayOpen;
    return ejectFails.isEmpty();
  }
  bool close(QString*) override { return true; }
};

// The main window on the fakes with the service's devices, drive D the disc.
struct Window {
  FakePlatform fp;
  CdServiceSetup setup;
  std::unique_ptr<MediaDeviceFactory> media;
  ServiceMci mci{setup};
  Platform p = fp.platform(*media, mci);
  frmcd w{p};
  Window(const QString& program, const QString& disc)
      : setup{program, [this] { return firstCdSource(fp.drives); }}, media(makeSystemMediaDevices(fp.drives, setup)) {
    fp.pictures.add(fp.programFolder + "/bg.bmp");
    fp.drives.add('d', QString());
    fp.drives.drives.last().source = disc;
    w.start();
  }
};
}  // namespace

class TestCdAudio : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  QString disc_ = dir_.filePath("disc.cue"), program_ = cdtest::program();

  QString file(const QString& name, const QByteArray& text) {
    QFile f(dir_.filePath(name));
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size() ? f.fileName() : QString();
  }
  // An audio CD image <folder>/disc.cue, made with e2e_cd_image's arguments.
  static QString image(const QString& folder, const QString& tracks) {
    cdtest::lib(QStringLiteral("mkdir -p '%1' && e2e_cd_image '%1' %2").arg(folder, tracks));
    return folder + "/disc.cue";
  }
  // A client that has opened the alias "cd" on `source`, in tmsf.
  std::unique_ptr<CdServiceClient> opened(const QString& source, Start start = Start::OnOpen) {
    auto c = std::make_unique<CdServiceClient>(CdServiceSetup{program_, [source] { return source; }}, start);
    const bool ok = c->send("open cdaudio alias cd wait shareable").error == 0 &&
                    c->send("set cd time format tmsf wait").error == 0 &&
                    settled([&c](const QString& r) { return c->send(r).text; }) == "stopped";
    return ok ? std::move(c) : nullptr;
  }

 private Q_SLOTS:
  void initTestCase() {
    // 3 s at 300 Hz, 3 s at 500 Hz, 4 s at 800 Hz: 750 sectors.
    image(dir_.path(), "3:300 3:500 4:800");
    QVERIFY(QFileInfo(disc_).size() > 0 && QFileInfo(program_).isExecutable());
  }
  void cleanup() { cdtest::endService(); }

  // Each says "not ready" at once, the CD button still enabled; the next
  // press lists the tracks only once a hung service has been replaced.
  void notReady_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("hung");
    file("data.bin", QByteArray(2352 * 300, '\0'));
    QTest::newRow("no drive") << QString() << program_ << false;
    QTest::newRow("data disc") << file("data.cue",
                                       "FILE \"data.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n")
                               << program_ << false;
    QTest::newRow("service cannot start") << disc_ << dir_.filePath("no-such-program") << false;
    QTest::newRow("service hung") << disc_ << program_ << true;
  }

  void notReady() {
    QFETCH(QString, source);
    QFETCH(QString, program);
    QFETCH(bool, hung);
    if (hung) QVERIFY(opened(disc_) && ::kill(servicePid(), SIGSTOP) == 0);
    Window window(program, source);
    QElapsedTimer t;
    t.start();
    QTest::mouseClick(window.w.cdload, Qt::LeftButton);
    QVERIFY(t.elapsed() < cdaudio::kCallTimeoutMs + 500);
    QCOMPARE(window.fp.messages.texts(), QStringList{"设备未准备好。"});
    QVERIFY(window.w.cdload->isEnabled());
    QTest::mouseClick(window.w.cdload, Qt::LeftButton);
    QCOMPARE(window.w.lsttrack->count(), hung ? 3 : 0);
  }

  // Playing with nobody connected it stays; once the disc has ended, it ends.
  void endsWhenIdle() {
    QProcess service;
    service.start(program_, {"--idle-exit-ms", "1000"});
    std::unique_ptr<CdServiceClient> c;
    for (QDeadlineTimer d(5000); !c && !d.hasExpired(); QThread::msleep(20)) c = opened(disc_, Start::Never);
    QVERIFY(c && servicePid() == pid_t(service.processId()));
    QCOMPARE(c->send("play cd from 3").error, 0);  // 4 s to the end of the disc
    c.reset();
    QVERIFY(!service.waitForFinished(2500));
    QVERIFY(service.waitForFinished(15000));
    QVERIFY(service.exitCode() == 0 && !QFileInfo::exists(cdaudio::socketPath()));
  }

  // A request that grows past its bound is refused, and the service serves on.
  void refusesOverlong() {
    const auto c = opened(disc_);
    QVERIFY(c);
    QProcess p;  // another program of this user: a path past PATH_MAX, and no end
    p.start("python3", {"-c",
                        "import socket, sys\ns = socket.socket(socket.AF_UNIX)\ns.connect(sys.argv[1])\n"
                        "s.sendall(b'@drive ' + b'a' * 4097)\nprint(s.recv(99).decode(), end='')",
                        cdaudio::socketPath()});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.readAllStandardOutput(), QByteArray("268 request too long\n"));
    QCOMPARE(cdtest::ask(*c, "status cd mode"), QStringLiteral("stopped"));
  }

  // What a drive says of itself, as the requests of one client see it: "request => error reply".
  void driveStates_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("ejectFails");
    QTest::addColumn<QStringList>("exchange");
    using S = disc::DriveState;
    const QString open = "open cdaudio alias cd => 0 ", notReady = "status cd number of tracks => 276 device not ready";
    QTest::newRow("tray open") << int(S::TrayOpen) << QString()
                               << QStringList{open, "status cd mode => 0 open", notReady, "set cd door closed => 0 "};
    QTest::newRow("no disc") << int(S::NoDisc) << QString()
                             << QStringList{open, notReady, "set cd door open => 0 ", "status cd mode => 0 open"};
    QTest::newRow("no permission") << int(S::NoPermission) << QString()
                                   << QStringList{"open cdaudio alias cd => 276 device not ready: no permission"};
    QTest::newRow("busy mount") << int(S::Ready) << "busy"
                                << QStringList{open, "set cd door open => 262 busy", "status cd mode => 0 stopped",
                                               "status cd number of tracks => 0 1"};
    QTest::newRow("read once, opened twice")
        << int(S::Ready) << QString()
        << QStringList{open, "close cd => 0 ", open, "status cd mode => 0 stopped", "tables of contents read => 1"};
  }

  void driveStates() {
    QFETCH(int, state);
    QFETCH(QString, ejectFails);
    QFETCH(QStringList, exchange);
    int reads = 0;
    CdDrive drive(
        [&](const QString&) { return std::make_unique<FakeDrive>(disc::DriveState(state), ejectFails, reads); });
    drive.setSource("/dev/sr7");
    MciSession session(drive);
    const auto send = [&session](const QString& r) {
      const MciSession::Reply reply = session.handle(r);
      return QString::number(reply.error) + ' ' + reply.text;
    };
    for (const QString& line : exchange) {
      const QStringList request = line.split(" => ");
      if (request[0] == "tables of contents read") {
        QCOMPARE(QString::number(reads), request[1]);
        continue;
      }
      if (!request[0].startsWith("open")) settled([&session](const QString& r) { return session.handle(r).text; });
      QCOMPARE(send(request[0]), request[1]);
    }
  }

  // Eject through a UDisks2 of our own on a private bus: what it was asked, and what came back.
  void udisksEject_data() {
    QTest::addColumn<QStringList>("fake");  // its arguments but the log; none: no UDisks2
    QTest::addColumn<QString>("result");    // "ejected", "<reason>", "none": not through UDisks2; ": " the calls
    QTest::newRow("mounted") << QStringList{"/dev/sr7", "free"} << "ejected: Unmount Eject";
    QTest::newRow("busy mount") << QStringList{"/dev/sr7", "busy"} << "busy: Unmount";
    QTest::newRow("another drive") << QStringList{"/dev/sr9", "free"} << "none: ";
    QTest::newRow("no UDisks2") << QStringList() << "none: ";
  }

  void udisksEject() {
    QFETCH(QStringList, fake);
    QFETCH(QString, result);
    static QProcess bus;  // one for every row: the connection to it is made once
    if (bus.state() == QProcess::NotRunning) {
      bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
      QVERIFY(bus.waitForReadyRead(5000));
      qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus.readLine().trimmed());
    }
    const QString log = dir_.filePath("udisks.log");
    QFile::remove(log);
    QProcess udisks;
    if (!fake.isEmpty()) {
      udisks.start(QFINDTESTDATA("../support/fake_udisks.py"), fake << log);
      QTRY_VERIFY(QDBusConnection::systemBus().interface()->isServiceRegistered("org.freedesktop.UDisks2"));
    }
    QString why;
    const std::optional<bool> ejected = cdaudio::ejectThroughUdisks("/dev/sr7", &why);
    QFile f(log);
    const QString calls =
        f.open(QIODevice::ReadOnly) ? QString(f.readAll()).split('\n', Qt::SkipEmptyParts).join(' ') : "";
    QCOMPARE((!ejected ? QString("none") : *ejected ? QString("ejected") : why) + ": " + calls, result);
    udisks.kill();
    udisks.waitForFinished();
    QTRY_VERIFY(!QDBusConnection::systemBus().interface()->isServiceRegistered("org.freedesktop.UDisks2"));
  }

  // Requests on a disc opened in tmsf: the test disc, or one laid out as
  // real ones are (a cue sheet over the test disc's sectors, data and gaps).
  // The last reply (an error's number), and the tone at the sink after it
  // (0: none asked).
  void requests_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("hz");
    const auto row = [this](const char* name, const QStringList& requests, const QString& reply) {
      QTest::newRow(name) << disc_ << requests << reply << 0;
    };
    row("a place in a track, in ms", {"seek cd to 2:00:01:30", "set cd time format ms", "status cd position"}, "4400");
    row("the end", {"seek cd to end", "status cd position"}, "03:00:04:00");
    row("no track 4", {"seek cd to 4"}, QString::number(cdaudio::kOutOfRange));
    row("not a number", {"seek cd to 1x"}, QString::number(cdaudio::kBadInteger));
    row("moved while paused, plays on into the next track",
        {"play cd", "pause cd", "play cd from 2:00:02:60", "sleep", "status cd current track"}, "3");
    QFile f(dir_.filePath("disc.bin"));
    const QByteArray audio = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(), data(300 * 2352, '\0');
    file("mixed.bin", data + audio);
    file("enhanced.bin", audio + QByteArray(11400 * 2352, 'x') + data);
    file("broken.bin", audio);
    const auto cue = [&](const char* name, const QByteArray& before, int first, const QStringList& at,
                         const QByteArray& after) {
      QByteArray text = "FILE \"" + QByteArray(name) + ".bin\" BINARY\n" + before;
      for (const QString& a : at)
        text += QString("  TRACK 0%1 AUDIO\n    INDEX 01 %2\n").arg(first++).arg(a).toLatin1();
      return file(QString(name) + ".cue", text + after);
    };
    QTest::newRow("mixed mode: data first")
        << cue("mixed", "  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n", 2, {"00:04:00", "00:07:00", "00:10:00"}, {})
        << QStringList{"play cd from 4"} << "" << 800;
    QTest::newRow("enhanced CD: its last audio track ends")
        << cue("enhanced", {}, 1, {"00:00:00", "00:03:00", "00:06:00"},
               "REM SESSION 02\n  TRACK 04 MODE1/2352\n    INDEX 01 02:42:00\n")
        << QStringList{"play cd from 3:00:03:60", "sleep", "status cd position"} << "03:00:04:00" << 0;
    QTest::newRow("a broken entry") << cue("broken", {}, 1, {"00:00:00", "00:03:00", "00:06:00", "70:00:00"}, {})
                                    << QStringList{"status cd number of tracks"} << "3" << 0;
  }

  void requests() {
    QFETCH(QString, source);
    QFETCH(QStringList, requests);
    QFETCH(QString, reply);
    QFETCH(int, hz);
    const auto c = opened(source);
    QVERIFY(c);
    QString last;
    for (const QString& r : requests) {
      if (r == "sleep") {
        QTest::qWait(2000);
        continue;
      }
      last = cdtest::ask(*c, r);
      settled([&c](const QString& mode) { return c->send(mode).text; });
    }
    QCOMPARE(last, reply);
    if (hz) cdtest::hear(hz);
  }

  // In the window, on discs of two tracks: the first row, then Next, sounds
  // the second track, and the time and track label follow it; a service
  // killed mid-play takes the quiet way out.
  void windowPlaysTheRightTrack_data() {
    QTest::addColumn<QString>("image");
    QTest::addColumn<QStringList>("rows");
    QString deep = dir_.path();  // most of PATH_MAX, far past one request line
    while (QFile::encodeName(deep).size() < PATH_MAX - 300) deep += "/" + QString(80, QChar(0x957f));  // 长
    QTest::newRow("tracks 5 and 6") << image(dir_.filePath("cut"), "5 2:300 8:800") << QStringList{"曲->5", "曲->6"};
    QTest::newRow("a long Chinese path") << image(deep, "2:300 8:800") << QStringList{"曲->1", "曲->2"};
  }

  void windowPlaysTheRightTrack() {
    QFETCH(QString, image);
    QFETCH(QStringList, rows);
    Window window(program_, image);
    frmcd& w = window.w;
    QTest::mouseClick(w.cdload, Qt::LeftButton);
    QStringList shown;
    for (int i = 0; i < w.lsttrack->count(); ++i) shown << w.lsttrack->item(i)->text();
    QCOMPARE(shown, rows);
    clickRow(w.lsttrack, 0, true);
    w.mcicdplayer->button(MediaControl::Next)->click();
    cdtest::hear(800);
    QTRY_COMPARE_WITH_TIMEOUT(w.lbltime->text(), QStringLiteral("00:02"), 5000);
    QCOMPARE(w.lbltrack->text(), " " + rows[1].mid(3));
    QCOMPARE(w.lsttrack->currentRow(), 1);
    ::kill(servicePid(), SIGKILL);
    QTRY_COMPARE_WITH_TIMEOUT(w.lsttrack->count(), 0, 3000);
    QVERIFY(!w.mcicdplayer->isOpen() && window.fp.messages.shown.isEmpty());
  }
};

QTEST_MAIN(TestCdAudio)
#include "test_cdaudio.moc"
