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
QString settled(Send send) {
  QString mode;
  for (QDeadlineTimer d(10000); (mode = send("status cd mode")) == "seeking" && !d.hasExpired();) QThread::msleep(10);
  return mode;
}
QString settled(CdServiceClient& c) {
  return settled([&c](const QString& r) { return c.send(r).text; });
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
    auto c = std::make_unique<CdServiceClient>(CdServiceSetup{program_, [this] { return source_; }}, start);
    const bool ok = c->send("open cdaudio alias cd wait shareable").error == 0 &&
                    c->send("set cd time format tmsf wait").error == 0 && settled(*c) == "stopped";
    return ok ? std::move(c) : nullptr;
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

  // Each ends in "not ready" in the window, with the CD button enabled.
  void notReady_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("program");
    const QByteArray track = "FILE \"%1.bin\" BINARY\n  TRACK 01 %2\n    INDEX 01 00:00:00\n";
    file("data.bin", QByteArray(2352 * 300, '\0'));
    QTest::newRow("no drive") << QString() << program_;
    QTest::newRow("description without data")
        << file("nobin.cue", QString(track).arg("gone", "AUDIO").toLatin1()) << program_;
    QTest::newRow("data disc") << file("data.cue", QString(track).arg("data", "MODE1/2352").toLatin1()) << program_;
    QTest::newRow("service cannot start") << disc_ << dir_.filePath("no-such-program");
  }

  void notReady() {
    QFETCH(QString, source);
    QFETCH(QString, program);
    Window window(program, source);
    QTest::mouseClick(window.w.cdload, Qt::LeftButton);
    QCOMPARE(window.fp.messages.texts(), QStringList{"设备未准备好。"});
    QVERIFY(window.w.cdload->isEnabled());
  }

  // The socket's own guards: another user is turned away, an overlong request refused; the service serves on.
  void refuses_data() {
    QTest::addColumn<bool>("stranger");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("reply");  // all that comes back before the service closes
    QTest::newRow("another user") << true << QByteArray("status x mode\n") << QByteArray();
    QTest::newRow("overlong, no end") << false << QByteArray(600, 'a') << QByteArray("268 request too long\n");
    QTest::newRow("overlong drive") << false << "@drive " + QByteArray(PATH_MAX + 1, 'a') + '\n'
                                    << QByteArray("268 request too long\n");
  }

  void refuses() {
    QFETCH(bool, stranger);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, reply);
    const auto c = opened();
    QVERIFY(c);
    // Only the peer check stands in a stranger's way: folder and socket are opened up (the tests run as root).
    QVERIFY(::chmod(QFile::encodeName(cdaudio::folder()).constData(), 0711) == 0);
    QVERIFY(::chmod(QFile::encodeName(cdaudio::socketPath()).constData(), 0777) == 0);
    const pid_t child = ::fork();
    if (child == 0)
      ::_exit(stranger && (::setgid(65534) || ::setuid(65534)) ? 2 : rawExchange(payload) == reply ? 0 : 1);
    int status = -1;
    ::waitpid(child, &status, 0);
    QCOMPARE(status, 0);
    QCOMPARE(c->send("status cd mode").text, QStringLiteral("stopped"));  // still serving its own
  }

  // Playing with nobody connected it stays; once the disc has ended, it ends.
  void endsWhenIdle() {
    QProcess service;
    service.start(program_, {"--idle-exit-ms", "1000"});
    std::unique_ptr<CdServiceClient> c;
    for (QDeadlineTimer d(5000); !c && !d.hasExpired(); QThread::msleep(20)) c = opened(Start::Never);
    QVERIFY(c && servicePid() == pid_t(service.processId()));
    QCOMPARE(c->send("play cd from 3").error, 0);  // 4 s to the end of the disc
    c.reset();
    QVERIFY(!service.waitForFinished(2500));
    QVERIFY(service.waitForFinished(15000));
    QVERIFY(service.exitCode() == 0 && !QFileInfo::exists(cdaudio::socketPath()));
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

  // Requests on a disc opened in tmsf: the test disc, or one laid out as real
  // ones are: a cue sheet, its data file in parts of "audio" (the test disc's
  // 750 sectors), "data:N" or "gap:N" sectors. The last reply (an error's
  // number), and the tone at the sink after it (0: none asked).
  void requests_data() {
    QTest::addColumn<QByteArray>("cue");
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("hz");
    const auto row = [](const char* name, const QStringList& requests, const QString& reply) {
      QTest::newRow(name) << QByteArray() << QStringList() << requests << reply << 0;
    };
    row("track start", {"status cd position track 3"}, "03:00:00:00");
    row("a place in a track, in ms", {"seek cd to 2:00:01:30", "set cd time format ms", "status cd position"}, "4400");
    row("the end", {"seek cd to end", "status cd position"}, "03:00:04:00");
    row("no track 4", {"seek cd to 4"}, QString::number(cdaudio::kOutOfRange));
    row("not a number", {"seek cd to 1x"}, QString::number(cdaudio::kBadInteger));
    row("moved while paused, plays on into the next track",
        {"play cd", "pause cd", "play cd from 2:00:02:60", "sleep", "status cd current track"}, "3");
    const QByteArray audio = "  TRACK 0%1 AUDIO\n    INDEX 01 %2\n";
    const auto tracks = [&audio](int first, const QStringList& at) {
      QByteArray text;
      for (const QString& a : at) text += QString(audio).arg(first++).arg(a).toLatin1();
      return text;
    };
    const QByteArray file = "FILE \"x.bin\" BINARY\n";
    QTest::newRow("mixed mode: data first")
        << file + "  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n" + tracks(2, {"00:04:00", "00:07:00", "00:10:00"})
        << QStringList{"data:300", "audio"} << QStringList{"play cd from 4"} << "" << 800;
    QTest::newRow("enhanced CD: its last audio track ends")
        << file + tracks(1, {"00:00:00", "00:03:00", "00:06:00"}) +
               "REM SESSION 02\n  TRACK 04 MODE1/2352\n    INDEX 01 02:42:00\n"
        << QStringList{"audio", "gap:11400", "data:300"}
        << QStringList{"play cd from 3:00:03:60", "sleep", "status cd position"} << "03:00:04:00" << 0;
    QTest::newRow("a broken entry") << file + tracks(1, {"00:00:00", "00:03:00", "00:06:00", "70:00:00"})
                                    << QStringList{"audio"} << QStringList{"status cd number of tracks"} << "3" << 0;
  }

  void requests() {
    QFETCH(QByteArray, cue);
    QFETCH(QStringList, parts);
    QFETCH(QStringList, requests);
    QFETCH(QString, reply);
    QFETCH(int, hz);
    if (!cue.isEmpty()) {
      QByteArray data;
      QFile audio(dir_.filePath("disc.bin"));
      QVERIFY(audio.open(QIODevice::ReadOnly));
      for (const QString& part : parts) {
        const int n = part.section(':', 1).toInt();
        data += part == "audio" ? audio.readAll() : QByteArray(n * 2352, part.startsWith("gap") ? 'x' : '\0');
      }
      QVERIFY(!file("x.bin", data).isEmpty());
      source_ = file("x.cue", cue);
    }
    const auto c = opened();
    QVERIFY(c);
    QString last;
    for (const QString& r : requests) {
      if (r == "sleep") {
        QTest::qWait(2000);
        continue;
      }
      const CdServiceClient::Reply got = c->send(r);
      last = got.error ? QString::number(got.error) : got.text;
      settled(*c);
    }
    QCOMPARE(last, reply);
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

  // A service that hangs costs one short wait and is ended by the player: the
  // CD button says so once, and the next press starts a fresh one.
  void hungServiceIsReplaced() {
    QVERIFY(opened());
    const pid_t hung = servicePid();
    QVERIFY(::kill(hung, SIGSTOP) == 0);
    Window window(program_, disc_);
    frmcd& w = window.w;
    QElapsedTimer t;
    t.start();
    QTest::mouseClick(w.cdload, Qt::LeftButton);
    QVERIFY(t.elapsed() < cdaudio::kCallTimeoutMs + 500);
    QCOMPARE(window.fp.messages.texts(), QStringList{"设备未准备好。"});
    QTest::mouseClick(w.cdload, Qt::LeftButton);
    QCOMPARE(w.lsttrack->count(), 3);
    QVERIFY(window.fp.messages.shown.size() == 1 && servicePid() != hung);
  }
};

QTEST_MAIN(TestCdAudio)
#include "test_cdaudio.moc"
