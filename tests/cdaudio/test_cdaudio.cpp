// SPDX-License-Identifier: GPL-3.0-or-later
// The CD drive service on a disc image made by the test, through the
// player's clients; sound checked at the private null sink.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>

#include <QtDBus>
#include <QtTest>
#include <QtWidgets>

#include "app/frmcd.h"
#include "cdaudio/cd_drive.h"
#include "cdaudio/mci_session.h"
#include "cdaudio/protocol.h"
#include "cdclient/mci.h"
#include "fakes/fakes.h"
#include "playback/media_backends.h"
#include "playback/media_control.h"
#include "playback/media_fixtures.h"

namespace {
using Start = CdServiceClient::Start;
const QString kOpen = QStringLiteral("open cdaudio alias cd wait shareable");
const QString kTmsf = QStringLiteral("set cd time format tmsf wait");
const QString kMs = QStringLiteral("set cd time format ms");

// A function of the end-to-end scripts' library, run in bash; what it printed.
QString lib(const QString& call) {
  QProcess p;
  p.start("bash", {"-c", "source \"$0\" && " + call, qEnvironmentVariable("MIROVA_E2E_LIB")});
  p.waitForFinished(30000);
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

using fixtures::servicePid;

// The mode once a table of contents read or a play start has ended.
template <typename Send>
QString settled(Send send, const QString& alias) {
  QString mode;
  for (QDeadlineTimer d(10000); (mode = send("status " + alias + " mode")) == "seeking" && !d.hasExpired();)
    QThread::msleep(10);
  return mode;
}
QString settled(CdServiceClient& c, const QString& alias = "cd") {
  return settled([&c](const QString& r) { return c.send(r).text; }, alias);
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

// Sends raw bytes; all that comes back before the service closes (or 1 s passes).
QByteArray rawExchange(const QByteArray& payload) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{AF_UNIX, {}};
  const QByteArray path = QFile::encodeName(cdaudio::socketPath());
  std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
  QByteArray in;
  const timeval second{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &second, sizeof second);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::send(fd, payload.constData(), size_t(payload.size()), MSG_NOSIGNAL) == payload.size()) {
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) in.append(buffer, n);
  }
  ::close(fd);
  return in;
}

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
  QString disc_ = dir_.filePath("disc.cue"), source_;
  QString program_ = qEnvironmentVariable("MIROVA_BIN_DIR") + QStringLiteral("/mirova-cdaudio");

  CdServiceSetup setup() {
    return {program_, [this] { return source_; }};
  }
  QString file(const QString& name, const QByteArray& text) {
    QFile f(dir_.filePath(name));
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size() ? f.fileName() : QString();
  }
  // An audio CD image <folder>/disc.cue, made with e2e_cd_image's arguments.
  QString image(const QString& folder, const QString& tracks) {
    lib(QStringLiteral("mkdir -p '%1' && e2e_cd_image '%1' %2").arg(folder, tracks));
    return folder + "/disc.cue";
  }
  // A client that has opened the alias "cd" on the test disc, in tmsf.
  std::unique_ptr<CdServiceClient> opened(Start start = Start::OnOpen) {
    auto c = std::make_unique<CdServiceClient>(setup(), start);
    return c->send(kOpen).error == 0 && c->send(kTmsf).error == 0 && settled(*c) == "stopped" ? std::move(c) : nullptr;
  }

 private Q_SLOTS:
  void initTestCase() {
    // 3 s at 300 Hz, 3 s at 500 Hz, 4 s at 800 Hz: 750 sectors.
    image(dir_.path(), "3:300 3:500 4:800");
    QVERIFY(QFileInfo(disc_).size() > 0 && QFileInfo(program_).isExecutable());
  }
  void init() { source_ = disc_; }
  void cleanup() {  // nothing lingers from one case to the next
    const pid_t pid = servicePid();
    if (pid) ::kill(pid, SIGCONT), ::kill(pid, SIGKILL);
    QTRY_VERIFY(servicePid() != pid || !pid);
  }

  void replies_data() {
    QTest::addColumn<QStringList>("commands");  // on one connection; all but the last succeed
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("reply");
    const auto row = [](const char* name, const QStringList& commands, int error, const QString& reply = {}) {
      QTest::newRow(name) << commands << error << reply;
    };
    row("tracks in the table of contents", {kOpen, "status cd number of tracks"}, 0, "3");
    row("track 2 starts after 225 sectors", {kOpen, kMs, "status cd position track 2"}, 0, "3000");
    row("track start in tmsf", {kOpen, kTmsf, "status cd position track 3"}, 0, "03:00:00:00");
    row("lengths are msf in tmsf", {kOpen, kTmsf, "status cd length track 3"}, 0, "00:04:00");
    row("seek cd to  3", {kOpen, kTmsf, "stop cd wait", "seek cd to  3", "status cd position"}, 0, "03:00:00:00");
    row("a place in a track", {kOpen, kTmsf, "seek cd to 2:00:01:30", kMs, "status cd position"}, 0, "4400");
    row("the end", {kOpen, kTmsf, "seek cd to end", "status cd position"}, 0, "03:00:04:00");
    row("unknown command", {kOpen, "rewind cd"}, cdaudio::kUnrecognizedCommand);
    row("status of nothing", {kOpen, "status cd"}, cdaudio::kMissingParameter);
    row("alias closed by close all", {kOpen, "close all", "status cd mode"}, cdaudio::kInvalidDeviceName);
    row("no track 4", {kOpen, kTmsf, "seek cd to 4"}, cdaudio::kOutOfRange);
    row("not a number", {kOpen, "seek cd to 1x"}, cdaudio::kBadInteger);
    row("alias twice", {kOpen, kOpen}, cdaudio::kDuplicateAlias);
    row("another device", {"open waveaudio alias w"}, cdaudio::kInvalidDeviceName);
  }

  void replies() {
    QFETCH(QStringList, commands);
    QFETCH(int, error);
    QFETCH(QString, reply);
    CdServiceClient client(setup(), Start::OnOpen);
    for (const QString& c : commands.mid(0, commands.size() - 1)) {
      QCOMPARE(client.send(c).error, 0);
      if (c == kOpen) settled(client);
    }
    const CdServiceClient::Reply last = client.send(commands.last());
    QCOMPARE(last.error, error);
    QCOMPARE(last.text, error ? last.text : reply);
  }

  // Each ends in "not ready", at the client and in the window, with the CD button enabled.
  void notReady_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("program");
    const QByteArray track = "FILE \"%1.bin\" BINARY\n  TRACK 01 %2\n    INDEX 01 00:00:00\n";
    file("data.bin", QByteArray(2352 * 300, '\0'));
    QTest::newRow("no drive") << QString() << program_;
    QTest::newRow("no such image") << dir_.filePath("gone.cue") << program_;
    QTest::newRow("description without data")
        << file("nobin.cue", QString(track).arg("gone", "AUDIO").toLatin1()) << program_;
    QTest::newRow("not a description") << file("junk.cue",
                                               "\x7f"
                                               "ELF")
                                       << program_;
    QTest::newRow("data disc") << file("data.cue", QString(track).arg("data", "MODE1/2352").toLatin1()) << program_;
    QTest::newRow("service cannot start") << disc_ << dir_.filePath("no-such-program");
  }

  void notReady() {
    QFETCH(QString, source);
    QFETCH(QString, program);
    source_ = source;
    program_.swap(program);
    const auto restore = qScopeGuard([&] { program_.swap(program); });
    {  // an image that is there opens, and then has no tracks
      CdServiceClient c(setup(), Start::OnOpen);
      CdServiceClient::Reply r = c.send(kOpen);
      if (r.error == 0 && settled(c) == "not ready") r = c.send("status cd number of tracks");
      QCOMPARE(r.error, int(cdaudio::kDeviceNotReady));
    }
    FakePlatform fp;
    fp.pictures.add(fp.programFolder + "/bg.bmp");
    const auto media = makeSystemMediaDevices(fp.drives, setup());
    ServiceMci mci(setup());
    Platform p = fp.platform(*media, mci);
    frmcd w(p);
    w.start();
    QTest::mouseClick(w.cdload, Qt::LeftButton);
    QCOMPARE(fp.messages.texts(), QStringList{"设备未准备好。"});
    QVERIFY(w.cdload->isEnabled());
  }

  // Set going near the end of track 1 it reaches track 2 by itself; moved while playing or paused it plays on.
  void playsOnAcrossTracks() {
    const auto c = opened();
    QVERIFY(c);
    QCOMPARE(c->send("play cd from 1:00:02:00").error, 0);
    static const QRegularExpression tmsf("^\\d\\d:\\d\\d:\\d\\d:\\d\\d$");
    QString last = "01:00:02:00";
    for (QDeadlineTimer deadline(15000); !last.startsWith("02:") && !deadline.hasExpired(); QThread::msleep(100)) {
      const QString now = c->send("status cd position").text;
      QVERIFY2(tmsf.match(now).hasMatch() && now >= last, qPrintable(now + " after " + last));
      last = now;
    }
    QVERIFY2(last.startsWith("02:"), qPrintable(last));
    QCOMPARE(c->send("status cd current track").text, QStringLiteral("2"));
    for (const char* first : {"status cd mode", "pause cd"}) {
      QCOMPARE(c->send(first).error, 0);
      QCOMPARE(c->send("play cd from 3:00:01:00").error, 0);
      QCOMPARE(settled(*c), QStringLiteral("playing"));
      QTRY_VERIFY_WITH_TIMEOUT(c->send("status cd position").text > QStringLiteral("03:00:01:10"), 10000);
    }
  }

  // Two connections, one drive; closing an alias never stops the disc.
  void clientsShareOneDrive() {
    const auto a = opened();
    CdServiceClient b(setup(), Start::Never);
    QVERIFY(a && b.send("open cdaudio alias other").error == 0);
    QCOMPARE(a->send("seek cd to 3").error, 0);
    QCOMPARE(b.send("status other current track").text, QStringLiteral("3"));
    QCOMPARE(a->send("play cd").error, 0);
    QCOMPARE(a->send("close all").error, 0);
    QCOMPARE(settled(b, "other"), QStringLiteral("playing"));
    QCOMPARE(b.send("stop other").error, 0);
    QCOMPARE(a->send(kOpen).error, 0);
    QCOMPARE(a->send("status cd mode").text, QStringLiteral("stopped"));
  }

  void refuses_data() {
    QTest::addColumn<bool>("stranger");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("reply");  // all that comes back before the service closes
    QTest::newRow("two requests in one write") << false << QByteArray("status x mode\nstatus x mode\n")
                                               << QByteArray("263 device not open\n263 device not open\n");
    QTest::newRow("another user") << true << QByteArray("status x mode\n") << QByteArray();
    QTest::newRow("overlong, no end") << false << QByteArray(600, 'a') << QByteArray("268 request too long\n");
    QTest::newRow("overlong line") << false << QByteArray(600, 'a') + '\n' << QByteArray("268 request too long\n");
    QTest::newRow("overlong drive") << false << "@drive " + QByteArray(PATH_MAX + 1, 'a') + '\n'
                                    << QByteArray("268 request too long\n");
  }

  void refuses() {
    QFETCH(bool, stranger);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, reply);
    const auto c = opened();
    QVERIFY(c);
    if (!stranger) {
      QCOMPARE(rawExchange(payload), reply);
    } else {
      if (::geteuid() != 0) QSKIP("only root can send as another user (the test command runs as root)");
      // Only the peer check stands in the stranger's way: folder and socket are opened up.
      QVERIFY(::chmod(QFile::encodeName(cdaudio::folder()).constData(), 0711) == 0);
      QVERIFY(::chmod(QFile::encodeName(cdaudio::socketPath()).constData(), 0777) == 0);
      const pid_t child = ::fork();
      if (child == 0) ::_exit(::setgid(65534) || ::setuid(65534) ? 2 : rawExchange(payload) == reply ? 0 : 1);
      int status = -1;
      ::waitpid(child, &status, 0);
      QCOMPARE(status, 0);
    }
    QCOMPARE(c->send("status cd mode").text, QStringLiteral("stopped"));  // still serving its own
  }

  // Stopped with nobody connected it ends; playing, or with a client, it stays.
  void endsWhenIdle_data() {
    QTest::addColumn<bool>("play");
    QTest::addColumn<bool>("stayConnected");
    QTest::addColumn<bool>("alive");  // after two and a half idle periods
    QTest::newRow("stopped, nobody connected") << false << false << false;
    QTest::newRow("stopped, a client connected") << false << true << true;
    QTest::newRow("playing, nobody connected") << true << false << true;
  }

  void endsWhenIdle() {
    QFETCH(bool, play);
    QFETCH(bool, stayConnected);
    QFETCH(bool, alive);
    QProcess service;
    service.start(program_, {"--idle-exit-ms", "1000"});
    std::unique_ptr<CdServiceClient> c;
    for (QDeadlineTimer d(5000); !c && !d.hasExpired(); QThread::msleep(20)) c = opened(Start::Never);
    QVERIFY(c && servicePid() == pid_t(service.processId()));
    if (play) QCOMPARE(c->send("play cd from 3").error, 0);  // 4 s to the end of the disc
    if (!stayConnected) c.reset();
    QCOMPARE(service.waitForFinished(2500), !alive);
    if (play) QVERIFY(service.waitForFinished(15000));  // once the disc has ended, it is idle
    if (service.state() == QProcess::NotRunning)
      QVERIFY(service.exitCode() == 0 && !QFileInfo::exists(cdaudio::socketPath()));
  }

  // A dead or hung service costs one short wait at most, on any client; the next open starts a fresh one at once.
  void deadServiceNeverHangs_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("maxMs");  // for the first call after it
    QTest::newRow("killed") << SIGKILL << 300;
    QTest::newRow("hung") << SIGSTOP << cdaudio::kCallTimeoutMs + 500;
  }

  void deadServiceNeverHangs() {
    QFETCH(int, signal);
    QFETCH(int, maxMs);
    const CdServiceSetup s = setup();
    CdServiceClient first(s, Start::OnOpen), second(s, Start::Never);
    QVERIFY(first.send(kOpen).error == 0 && second.send("open cdaudio alias other").error == 0);
    const pid_t pid = servicePid();
    ::kill(pid, signal);
    QElapsedTimer t;
    t.start();
    QVERIFY(first.send("status cd mode").error != 0 && t.elapsed() <= maxMs);
    t.restart();
    QVERIFY(second.send("status other mode").error != 0 && t.elapsed() <= 300);
    // A hung one was ended by the client that waited for it.
    QCOMPARE(first.send(kOpen).error, 0);
    QVERIFY(servicePid() != pid);
  }

  // What a drive says of itself, as the requests of one client see it: "request => error reply".
  void driveStates_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("ejectFails");
    QTest::addColumn<QStringList>("exchange");
    using S = disc::DriveState;
    const QString open = "open cdaudio alias cd => 0 ", notReady = "status cd number of tracks => 276 device not ready";
    QTest::newRow("tray open") << int(S::TrayOpen) << QString()
                               << QStringList{open, "status cd mode => 0 open", "status cd media present => 0 false",
                                              notReady, "set cd door closed => 0 "};
    QTest::newRow("no disc") << int(S::NoDisc) << QString()
                             << QStringList{open, "status cd mode => 0 not ready", notReady, "set cd door open => 0 ",
                                            "status cd mode => 0 open"};
    QTest::newRow("spinning up") << int(S::NotReady) << QString()
                                 << QStringList{open, "status cd mode => 0 not ready",
                                                "info cd identity => 276 device not ready"};
    QTest::newRow("no permission") << int(S::NoPermission) << QString()
                                   << QStringList{"open cdaudio alias cd => 276 device not ready: no permission"};
    QTest::newRow("busy mount") << int(S::Ready) << "busy"
                                << QStringList{open, "status cd mode => 0 stopped", "set cd door open => 262 busy",
                                               "status cd mode => 0 stopped", "status cd number of tracks => 0 1"};
    QTest::newRow("read once, opened twice")
        << int(S::Ready) << QString()
        << QStringList{open, "status cd mode => 0 stopped", "close cd => 0 ",
                       open, "status cd mode => 0 stopped", "tables of contents read => 1"};
    QTest::newRow("a disc") << int(S::Ready) << QString()
                            << QStringList{open, "status cd media present => 0 true", "set cd door open => 0 ",
                                           "status cd mode => 0 open"};
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
      if (!request[0].startsWith("open"))
        settled([&session](const QString& r) { return session.handle(r).text; }, "cd");
      QCOMPARE(send(request[0]), request[1]);
    }
  }

  // Eject through a UDisks2 of our own on a private bus: what it was asked, and what came back.
  void udisksEject_data() {
    QTest::addColumn<QStringList>("fake");  // its arguments but the log; none: no UDisks2
    QTest::addColumn<QString>("result");    // "ejected", "<reason>", "none": not through UDisks2
    QTest::addColumn<QString>("calls");
    QTest::newRow("mounted") << QStringList{"/dev/sr7", "mounted", "free"} << "ejected"
                             << "Unmount Eject";
    QTest::newRow("busy mount") << QStringList{"/dev/sr7", "mounted", "busy"} << "busy"
                                << "Unmount";
    QTest::newRow("not mounted") << QStringList{"/dev/sr7", "unmounted", "free"} << "ejected"
                                 << "Eject";
    QTest::newRow("another drive") << QStringList{"/dev/sr9", "mounted", "free"} << "none"
                                   << "";
    QTest::newRow("no UDisks2") << QStringList() << "none"
                                << "";
  }

  void udisksEject() {
    QFETCH(QStringList, fake);
    QFETCH(QString, result);
    QFETCH(QString, calls);
    static QProcess bus;  // one for every row: the connection to it is made once
    if (bus.state() == QProcess::NotRunning) {
      bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
      QVERIFY(bus.waitForReadyRead(5000));
      qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus.readLine().trimmed());
    }
    const QString log = dir_.filePath("udisks.log");
    QFile::remove(log);
    QProcess udisks;
    const auto end = qScopeGuard([&udisks] { udisks.kill(), udisks.waitForFinished(); });
    if (!fake.isEmpty()) {
      udisks.start(QFINDTESTDATA("../support/fake_udisks.py"), fake << log);
      QTRY_VERIFY(QDBusConnection::systemBus().interface()->isServiceRegistered("org.freedesktop.UDisks2"));
    }
    QString why;
    const std::optional<bool> ejected = cdaudio::ejectThroughUdisks("/dev/sr7", &why);
    QCOMPARE(!ejected ? QString("none") : *ejected ? QString("ejected") : why, result);
    QFile f(log);
    QCOMPARE(f.open(QIODevice::ReadOnly) ? QString(f.readAll()).split('\n', Qt::SkipEmptyParts).join(' ') : "", calls);
    udisks.kill();
    udisks.waitForFinished();
    QTRY_VERIFY(!QDBusConnection::systemBus().interface()->isServiceRegistered("org.freedesktop.UDisks2"));
  }

  // Discs laid out as real ones are: the cue sheet, the data file in parts of
  // "audio" (the test disc's 750 sectors), "data:N" or "gap:N" sectors; the
  // last request's reply, and the tone at the sink after it (0: none asked).
  void layouts_data() {
    QTest::addColumn<QByteArray>("cue");
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("hz");
    const QByteArray audio = "  TRACK 0%1 AUDIO\n    INDEX 01 %2\n";
    const auto tracks = [&audio](int first, const QStringList& at) {
      QByteArray text;
      for (const QString& a : at) text += QString(audio).arg(first++).arg(a).toLatin1();
      return text;
    };
    const QByteArray file = "FILE \"x.bin\" BINARY\n";
    QTest::newRow("mixed mode: data first")
        << file + "  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n" + tracks(2, {"00:04:00", "00:07:00", "00:10:00"})
        << QStringList{"data:300", "audio"} << QStringList{kOpen, kTmsf, "play cd from 4"} << "" << 800;
    const QByteArray enhanced = file + tracks(1, {"00:00:00", "00:03:00", "00:06:00"}) +
                                "REM SESSION 02\n  TRACK 04 MODE1/2352\n    INDEX 01 02:42:00\n";
    const QStringList enhancedParts{"audio", "gap:11400", "data:300"};
    QTest::newRow("enhanced CD: last audio track")
        << enhanced << enhancedParts << QStringList{kOpen, kTmsf, "status cd length track 3"} << "00:04:00" << 0;
    QTest::newRow("enhanced CD: its end stops")
        << enhanced << enhancedParts
        << QStringList{kOpen, kTmsf, "play cd from 3:00:03:60", "sleep 2000", "status cd position"} << "03:00:04:00"
        << 0;
    QTest::newRow("a broken entry") << file + tracks(1, {"00:00:00", "00:03:00", "00:06:00", "70:00:00"})
                                    << QStringList{"audio"} << QStringList{kOpen, "status cd number of tracks"} << "3"
                                    << 0;
  }

  void layouts() {
    QFETCH(QByteArray, cue);
    QFETCH(QStringList, parts);
    QFETCH(QStringList, requests);
    QFETCH(QString, reply);
    QFETCH(int, hz);
    QByteArray data;
    QFile audio(dir_.filePath("disc.bin"));
    QVERIFY(audio.open(QIODevice::ReadOnly));
    for (const QString& part : parts) {
      const int n = part.section(':', 1).toInt();
      data += part == "audio" ? audio.readAll() : QByteArray(n * 2352, part.startsWith("gap") ? 'x' : '\0');
    }
    QVERIFY(!file("x.bin", data).isEmpty());
    source_ = file("x.cue", cue);
    CdServiceClient client(setup(), Start::OnOpen);
    for (const QString& r : requests.mid(0, requests.size() - 1)) {
      if (r.startsWith("sleep ")) {
        QTest::qWait(r.mid(6).toInt());
        continue;
      }
      QCOMPARE(client.send(r).error, 0);
      settled(client);
    }
    if (!requests.last().startsWith("play"))
      QCOMPARE(client.send(requests.last()).text, reply);
    else
      QCOMPARE(client.send(requests.last()).error, 0);
    if (hz) {
      const int heard = lib("e2e_sink_freq 2.5").toInt();
      QVERIFY2(std::abs(heard - hz) < 40, qPrintable(QString::number(heard)));
    }
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
    const int hz = lib("e2e_sink_freq 2.5").toInt();
    QVERIFY2(std::abs(hz - 800) < 40, qPrintable(QString::number(hz)));
    QTRY_COMPARE_WITH_TIMEOUT(w.lbltime->text(), QStringLiteral("00:02"), 5000);
    QCOMPARE(w.lbltrack->text(), " " + rows[1].mid(3));
    QCOMPARE(w.lsttrack->currentRow(), 1);
    ::kill(servicePid(), SIGKILL);
    QTRY_COMPARE_WITH_TIMEOUT(w.lsttrack->count(), 0, 3000);
    QVERIFY(!w.mcicdplayer->isOpen() && window.fp.messages.shown.isEmpty());
  }

  // A service that hangs is ended by the player: the CD button says so once,
  // and the next press starts a fresh one.
  void hungServiceIsReplaced() {
    QVERIFY(opened());
    const pid_t hung = servicePid();
    QVERIFY(::kill(hung, SIGSTOP) == 0);
    Window window(program_, disc_);
    frmcd& w = window.w;
    QTest::mouseClick(w.cdload, Qt::LeftButton);
    QCOMPARE(window.fp.messages.texts(), QStringList{"设备未准备好。"});
    QTest::mouseClick(w.cdload, Qt::LeftButton);
    QCOMPARE(w.lsttrack->count(), 3);
    QVERIFY(window.fp.messages.shown.size() == 1 && servicePid() != hung);
  }
};

QTEST_MAIN(TestCdAudio)
#include "test_cdaudio.moc"
