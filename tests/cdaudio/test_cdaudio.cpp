// The CD drive service on a disc image made by the test, through its real
// clients, heard through the private null sink's monitor.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QtTest>
#include <QtWidgets>

#include "app/frmcd.h"
#include "cd_image.h"
#include "cdaudio/protocol.h"
#include "fakes/fakes.h"
#include "playback/cd_service_client.h"
#include "playback/mci.h"
#include "playback/media_backends.h"
#include "playback/media_control.h"

namespace {

// Tracks of 3 s at 300 Hz, 3 s at 500 Hz and 4 s at 800 Hz: 750 sectors, 10 s.
const QList<ToneTrack> kTracks{{225, 300}, {225, 500}, {300, 800}};
const QString kOpen = QStringLiteral("open cdaudio alias cd wait shareable");
const QString kTmsf = QStringLiteral("set cd time format tmsf wait");
const QString kMs = QStringLiteral("set cd time format ms");

// The running service's process id from its lock file, or 0.
pid_t servicePid() {
  QFile lock(cdaudio::lockPath());
  if (!lock.open(QIODevice::ReadOnly)) return 0;
  const pid_t pid = pid_t(lock.readAll().trimmed().toLongLong());
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  // A zombie (nobody may reap a detached service here) has ended too.
  if (pid <= 0 || !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ")) return 0;
  return pid;
}

bool waitGone(pid_t pid, int ms) {
  QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) {
    if (servicePid() != pid) return true;
    QThread::msleep(20);
  }
  return false;
}

// One raw request as a stranger or ourselves would send it: the bytes that
// came back before the service closed the connection (or 1 s passed).
QByteArray rawExchange(const QByteArray& payload) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const QByteArray path = QFile::encodeName(cdaudio::socketPath());
  std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
  QByteArray in;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::send(fd, payload.constData(), size_t(payload.size()), MSG_NOSIGNAL) == payload.size()) {
    timeval tv{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) in.append(buffer, n);
  }
  ::close(fd);
  return in;
}

}  // namespace

class TestCdAudio : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  QString disc_;
  QString source_;
  QString program_ = qEnvironmentVariable("MIROVA_BIN_DIR") + QStringLiteral("/mirova-cdaudio");
  QProcess parec_;

  CdServiceSetup setup() {
    return {program_, [this] { return source_; }};
  }
  QString file(const QString& name, const QByteArray& text) {
    QFile f(dir_.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) return QString();
    return f.fileName();
  }
  // What the sink played during the next `ms`, as 16-bit stereo.
  QByteArray record(int ms) {
    parec_.readAllStandardOutput();
    QByteArray pcm;
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
      parec_.waitForReadyRead(50);
      pcm += parec_.readAllStandardOutput();
    }
    return pcm;
  }
  // A client that has opened the alias "cd" on the test disc, in tmsf.
  std::unique_ptr<CdServiceClient> openedClient(CdServiceClient::Start start = CdServiceClient::Start::OnOpen) {
    auto c = std::make_unique<CdServiceClient>(setup(), start);
    if (c->send(kOpen).error != 0 || c->send(kTmsf).error != 0) return nullptr;
    return c;
  }

 private Q_SLOTS:
  void initTestCase() {
    disc_ = writeCdImage(dir_.path(), QStringLiteral("disc"), kTracks);
    QVERIFY(!disc_.isEmpty());
    QVERIFY2(QFileInfo(program_).isExecutable(), qPrintable(program_));
    parec_.start("parec",
                 {"--device=mirova_test.monitor", "--raw", "--format=s16le", "--channels=2", "--latency-msec=20"});
    QVERIFY2(parec_.waitForStarted(5000) && parec_.waitForReadyRead(5000), "parec did not start");
  }
  void cleanupTestCase() { parec_.close(); }
  void init() { source_ = disc_; }
  // Nothing lingers from one case to the next.
  void cleanup() {
    if (const pid_t pid = servicePid()) {
      ::kill(pid, SIGCONT);
      ::kill(pid, SIGKILL);
      QVERIFY(waitGone(pid, 5000));
    }
  }

  void replies_data() {
    QTest::addColumn<QStringList>("commands");  // on one fresh connection, all but the last succeed
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("reply");
    const auto row = [](const char* name, const QStringList& commands, int error, const QString& reply = {}) {
      QTest::newRow(name) << commands << error << reply;
    };
    row("tracks in the table of contents", {kOpen, "status cd number of tracks"}, 0, "3");
    row("track 2 starts after 225 sectors", {kOpen, kMs, "status cd position track 2"}, 0, "3000");
    row("track start in tmsf", {kOpen, kTmsf, "status cd position track 3"}, 0, "03:00:00:00");
    row("track length is msf in tmsf", {kOpen, kTmsf, "status cd length track 3"}, 0, "00:04:00");
    row("disc length in msf, the default", {kOpen, "status cd length"}, 0, "00:10:00");
    row("seek cd to  3", {kOpen, kTmsf, "stop cd wait", "seek cd to  3", "status cd position"}, 0, "03:00:00:00");
    row("seek into a track", {kOpen, kTmsf, "seek cd to 2:00:01:30", "status cd position"}, 0, "02:00:01:30");
    row("the same place in ms", {kOpen, kTmsf, "seek cd to 2:00:01:30", kMs, "status cd position"}, 0, "4400");
    row("current track of a ms seek", {kOpen, kMs, "seek cd to 6500", "status cd current track"}, 0, "3");
    row("stopped at the end", {kOpen, kTmsf, "seek cd to end", "status cd mode"}, 0, "stopped");
    row("the end in tmsf", {kOpen, kTmsf, "seek cd to end", "status cd position"}, 0, "03:00:04:00");
    row("audio track", {kOpen, "status cd type track 1"}, 0, "audio");
    row("unknown command", {kOpen, "rewind cd"}, cdaudio::kUnrecognizedCommand);
    row("empty command", {kOpen, ""}, cdaudio::kUnrecognizedCommand);
    row("status of nothing", {kOpen, "status cd"}, cdaudio::kMissingParameter);
    row("unknown status", {kOpen, "status cd colour"}, cdaudio::kUnrecognizedKeyword);
    row("alias never opened", {kOpen, "status dvd mode"}, cdaudio::kInvalidDeviceName);
    row("alias closed by close all", {kOpen, "close all", "status cd mode"}, cdaudio::kInvalidDeviceName);
    row("no track 4", {kOpen, kTmsf, "seek cd to 4"}, cdaudio::kOutOfRange);
    row("61 seconds", {kOpen, kTmsf, "seek cd to 1:00:61:00"}, cdaudio::kOutOfRange);
    row("past the end", {kOpen, kMs, "seek cd to 11000"}, cdaudio::kOutOfRange);
    row("not a number", {kOpen, "seek cd to 1x"}, cdaudio::kBadInteger);
    row("five fields", {kOpen, kTmsf, "seek cd to 1:0:0:0:0"}, cdaudio::kBadInteger);
    row("unknown time format", {kOpen, "set cd time format smpte"}, cdaudio::kBadTimeFormat);
    row("alias twice", {kOpen, kOpen}, cdaudio::kDuplicateAlias);
    row("another device", {"open waveaudio alias w"}, cdaudio::kInvalidDeviceName);
  }

  void replies() {
    QFETCH(QStringList, commands);
    QFETCH(int, error);
    QFETCH(QString, reply);
    CdServiceClient client(setup(), CdServiceClient::Start::OnOpen);
    for (const QString& c : commands.mid(0, commands.size() - 1)) {
      const CdServiceClient::Reply r = client.send(c);
      QVERIFY2(r.error == 0, qPrintable(c + ": " + r.text));
    }
    const CdServiceClient::Reply last = client.send(commands.last());
    QVERIFY2(last.error == error, qPrintable(QString::number(last.error) + ' ' + last.text));
    if (error == 0) QCOMPARE(last.text, reply);
  }

  // Each ends in "not ready", at the client and in the window, with the CD button enabled.
  void notReady_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("program");
    const QString program = program_;
    QTest::newRow("no drive") << QString() << program;
    QTest::newRow("no such image") << dir_.filePath("gone.cue") << program;
    QTest::newRow("description without its data") << file("nobin.cue",
                                                          "FILE \"gone.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                                          "    INDEX 01 00:00:00\n")
                                                  << program;
    QTest::newRow("not a description") << file("junk.cue",
                                               "\x7f"
                                               "ELF, not a disc\n")
                                       << program;
    QTest::newRow("data disc") << (file("data.bin", QByteArray(2352 * 300, '\0')),
                                   file("data.cue",
                                        "FILE \"data.bin\" BINARY\n  TRACK 01 MODE1/2352\n"
                                        "    INDEX 01 00:00:00\n"))
                               << program;
    QTest::newRow("service cannot start") << disc_ << dir_.filePath("no-such-program");
  }

  void notReady() {
    QFETCH(QString, source);
    QFETCH(QString, program);
    source_ = source;
    program_.swap(program);
    const auto restore = qScopeGuard([&] { program_.swap(program); });
    QCOMPARE(CdServiceClient(setup(), CdServiceClient::Start::OnOpen).send(kOpen).error, int(cdaudio::kDeviceNotReady));

    FakePlatform fp;
    fp.pictures.add(fp.programFolder + "/bg.bmp");
    const auto media = makeSystemMediaDevices(setup());
    ServiceMci mci(setup());
    Platform p{fp.settings,   fp.lock, fp.autoPlay, fp.messages, fp.exit,          fp.pictures, fp.launcher,
               fp.filePicker, *media,  fp.mixers,   fp.screen,   fp.programFolder, fp.drives,   mci};
    frmcd w(p);
    w.start();
    QTest::mouseClick(w.cdload, Qt::LeftButton);
    QCOMPARE(fp.messages.texts(), QStringList{"设备未准备好。"});
    QVERIFY(w.cdload->isEnabled());
  }

  // Set going near the end of track 1, the drive reaches track 2 by itself.
  void playsOnAcrossTracks() {
    const auto c = openedClient();
    QVERIFY(c);
    QCOMPARE(c->send("play cd from 1:00:02:00").error, 0);
    QCOMPARE(c->send("status cd mode").text, QStringLiteral("playing"));
    static const QRegularExpression tmsf("^\\d\\d:\\d\\d:\\d\\d:\\d\\d$");
    QString last = "01:00:02:00";
    QDeadlineTimer deadline(15000);
    while (!last.startsWith("02:") && !deadline.hasExpired()) {
      QThread::msleep(100);
      const QString now = c->send("status cd position").text;
      QVERIFY2(tmsf.match(now).hasMatch(), qPrintable(now));
      QVERIFY2(now >= last, qPrintable(now + " after " + last));  // the fixed width sorts as the time does
      last = now;
    }
    QVERIFY2(last.startsWith("02:"), qPrintable(last));
    QCOMPARE(c->send("status cd current track").text, QStringLiteral("2"));
    QCOMPARE(c->send("status cd mode").text, QStringLiteral("playing"));
    // Moved while playing, and while paused: it plays on from there.
    for (const char* pause : {"status cd mode", "pause cd"}) {
      QCOMPARE(c->send(pause).error, 0);
      QCOMPARE(c->send("play cd from 3:00:01:00").error, 0);
      QCOMPARE(c->send("status cd mode").text, QStringLiteral("playing"));
      QTRY_VERIFY_WITH_TIMEOUT(c->send("status cd position").text > QStringLiteral("03:00:01:10"), 10000);
    }
  }

  // Two connections, one drive: what one does, the other sees; closing an alias never stops the disc.
  void clientsShareOneDrive() {
    const auto a = openedClient();
    CdServiceClient b(setup(), CdServiceClient::Start::Never);
    QVERIFY(a);
    QCOMPARE(b.send("open cdaudio alias other").error, 0);
    QCOMPARE(a->send("seek cd to 3").error, 0);
    QCOMPARE(b.send("status other current track").text, QStringLiteral("3"));
    QCOMPARE(a->send("play cd").error, 0);
    QCOMPARE(b.send("status other mode").text, QStringLiteral("playing"));
    QCOMPARE(a->send("close all").error, 0);
    QCOMPARE(b.send("status other mode").text, QStringLiteral("playing"));
    QCOMPARE(b.send("stop other").error, 0);
    QCOMPARE(a->send(kOpen).error, 0);
    QCOMPARE(a->send("status cd mode").text, QStringLiteral("stopped"));
    QCOMPARE(a->send("status cd time format").text, QStringLiteral("msf"));  // a fresh alias has its own format
  }

  void refusesWhatItMustNot_data() {
    QTest::addColumn<bool>("stranger");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("reply");  // all that comes back before the service closes
    QTest::newRow("two requests in one write") << false << QByteArray("status cd mode\nstatus cd mode\n")
                                               << QByteArray("263 device not open\n263 device not open\n");
    QTest::newRow("another user") << true << QByteArray("status cd mode\n") << QByteArray();
    QTest::newRow("overlong, no end") << false << QByteArray(600, 'a') << QByteArray("268 request too long\n");
    QTest::newRow("overlong line") << false << QByteArray(10000, 'a') + '\n' << QByteArray("268 request too long\n");
  }

  void refusesWhatItMustNot() {
    QFETCH(bool, stranger);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, reply);
    const auto c = openedClient();
    QVERIFY(c);
    QByteArray got;
    if (stranger) {
      if (::geteuid() != 0) QSKIP("only root can send as another user (the test command runs as root)");
      // Only the peer check stands in its way: the folder and socket are opened up for it.
      QVERIFY(::chmod(QFile::encodeName(cdaudio::folder()).constData(), 0711) == 0);
      ::chmod(QFile::encodeName(cdaudio::socketPath()).constData(), 0777);
      int pipeFds[2];
      QVERIFY(::pipe(pipeFds) == 0);
      const pid_t child = ::fork();
      if (child == 0) {
        ::close(pipeFds[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        const QByteArray in = rawExchange(payload);
        ::_exit(::write(pipeFds[1], in.constData(), size_t(in.size())) == in.size() ? 0 : 4);
      }
      ::close(pipeFds[1]);
      int status = 0;
      ::waitpid(child, &status, 0);
      char buffer[4096];
      for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) got.append(buffer, n);
      ::close(pipeFds[0]);
      ::chmod(QFile::encodeName(cdaudio::folder()).constData(), 0700);
      QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the stranger could not try");
    } else {
      got = rawExchange(payload);
    }
    QCOMPARE(got, reply);
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
    constexpr int kIdleMs = 1000;
    QProcess service;
    service.start(program_, {"--idle-exit-ms", QString::number(kIdleMs)});
    QVERIFY(service.waitForStarted());
    auto c = openedClient(CdServiceClient::Start::Never);
    for (QDeadlineTimer d(5000); !c && !d.hasExpired(); QThread::msleep(20))
      c = openedClient(CdServiceClient::Start::Never);
    QVERIFY(c);
    QCOMPARE(servicePid(), pid_t(service.processId()));
    if (play) QCOMPARE(c->send("play cd from 3").error, 0);  // 4 s to the end of the disc
    if (!stayConnected) c.reset();
    QCOMPARE(service.waitForFinished(2500), !alive);
    if (play) {  // once the disc has ended, it is idle like any other
      QVERIFY(service.waitForFinished(15000));
    }
    if (service.state() == QProcess::NotRunning) {
      QCOMPARE(service.exitCode(), 0);
      QVERIFY(!QFileInfo::exists(cdaudio::socketPath()));
    }
  }

  // A service that dies or hangs costs the client one short wait at most; the next open starts a fresh one.
  void deadServiceNeverHangs_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("maxMs");  // for the first call after it
    QTest::newRow("killed") << SIGKILL << 300;
    QTest::newRow("hung") << SIGSTOP << cdaudio::kCallTimeoutMs + 500;
  }

  void deadServiceNeverHangs() {
    QFETCH(int, signal);
    QFETCH(int, maxMs);
    CdServiceSetup s = setup();
    CdServiceClient first(s, CdServiceClient::Start::OnOpen), second(s, CdServiceClient::Start::Never);
    QCOMPARE(first.send(kOpen).error, 0);
    QCOMPARE(second.send("open cdaudio alias other").error, 0);
    const pid_t pid = servicePid();
    QVERIFY(pid > 0);
    ::kill(pid, signal);
    QElapsedTimer t;
    t.start();
    QVERIFY(first.send("status cd mode").error != 0);
    QVERIFY2(t.elapsed() <= maxMs, qPrintable(QString::number(t.elapsed())));
    t.restart();
    QVERIFY(second.send("status other mode").error != 0);  // no second wait, on any client
    QVERIFY2(t.elapsed() <= 300, qPrintable(QString::number(t.elapsed())));
    if (signal == SIGSTOP) {
      ::kill(pid, SIGKILL);
      QVERIFY(waitGone(pid, 5000));
      QThread::msleep(CdServiceClient::kUnreachableMs);
    }
    const CdServiceClient::Reply again = first.send(kOpen);
    QVERIFY2(again.error == 0, qPrintable(again.text));
    QVERIFY(servicePid() != pid);
  }

  // The window on the real service: the third row sounds the third track and
  // the time runs; a service killed mid-play takes the quiet way out.
  void windowPlaysTheRightTrack() {
    FakePlatform fp;
    fp.pictures.add(fp.programFolder + "/bg.bmp");
    fp.drives.add('d', QString());
    fp.drives.drives.last().source = disc_;
    const CdServiceSetup s{program_, [&fp] { return firstCdSource(fp.drives); }};
    const auto media = makeSystemMediaDevices(s);
    ServiceMci mci(s);
    Platform p{fp.settings,   fp.lock, fp.autoPlay, fp.messages, fp.exit,          fp.pictures, fp.launcher,
               fp.filePicker, *media,  fp.mixers,   fp.screen,   fp.programFolder, fp.drives,   mci};
    frmcd w(p);
    w.start();
    QTest::mouseClick(w.cdload, Qt::LeftButton);
    QCOMPARE(w.lsttrack->count(), 3);
    const QPoint row2 = w.lsttrack->visualItemRect(w.lsttrack->item(2)).center();
    QTest::mouseClick(w.lsttrack->viewport(), Qt::LeftButton, {}, row2);
    QTest::mouseDClick(w.lsttrack->viewport(), Qt::LeftButton, {}, row2);
    const double hz = toneHz(record(2500));
    QVERIFY2(std::abs(hz - 800) < 40, qPrintable(QString::number(hz)));
    QTRY_COMPARE_WITH_TIMEOUT(w.lbltime->text(), QStringLiteral("00:02"), 5000);
    QCOMPARE(w.mcicdplayer->Track(), 3);

    ::kill(servicePid(), SIGKILL);
    QTRY_COMPARE_WITH_TIMEOUT(w.lsttrack->count(), 0, 3000);
    QVERIFY(!w.mcicdplayer->isOpen());
    QVERIFY2(fp.messages.texts().isEmpty(), qPrintable(fp.messages.texts().join('\n')));
  }
};

QTEST_MAIN(TestCdAudio)
#include "test_cdaudio.moc"
