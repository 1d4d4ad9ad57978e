// SPDX-License-Identifier: GPL-3.0-or-later
// Several optical drives behind the CD and VCD buttons: which drive they
// take, a drive the user may not read, a changed disc, a door that will not
// move; and the CD device against a scripted drive service, the window
// painting on while it waits.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QtTest>
#include <QtWidgets>
#include <thread>

#include "app/frmcd.h"
#include "cdaudio/protocol.h"
#include "cdclient/cd_audio_device.h"
#include "fakes/fakes.h"
#include "playback/media_control.h"
#include "playback/track_list.h"

namespace {

// "d" an optical drive /dev/sr0 without a disc, "e=A.DAT" one whose disc
// holds that Video CD file, "f!" one this user may not read; the nodes
// count up in letter order.
void addDrives(FakeDrives& drives, const QString& script) {
  for (const QString& d : script.split(' ', Qt::SkipEmptyParts)) {
    const QChar letter = d.at(0);
    drives.add(letter, QString());
    drives.drives.last().source = QStringLiteral("/dev/sr%1").arg(letter.unicode() - 'd');
    if (d.contains('=')) drives.files[letter] = d.section('=', 1).split(',', Qt::SkipEmptyParts);
    if (d.section('=', 0, 0).endsWith('!')) drives.states[letter] = disc::DriveState::NoPermission;
  }
}

// The window over the fakes with these drives (as addDrives reads them).
struct Rig : TestWindow {
  explicit Rig(const QString& drives)
      : TestWindow([&drives](FakePlatform& platform) {
          addDrives(platform.drives, drives);
          platform.media.script.lengths["G:\\Mpegav\\AVSEQ01.DAT"] = 5000;
        }) {}
};

// The CD drive service as a script: each request gets the next of its
// replies (the last one again and again), anything else "0 ".
class FakeService {
 public:
  explicit FakeService(const QHash<QString, QStringList>& replies) : replies_(replies) {
    const QByteArray path = QFile::encodeName(cdaudio::socketPath());
    sockaddr_un addr{AF_UNIX, {}};
    std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
    ::unlink(path.constData());
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd_, 4) != 0) ::close(fd_);
    thread_ = std::thread([this] { serve(); });
  }
  ~FakeService() {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
  }

 private:
  void serve() {
    for (int client; (client = ::accept(fd_, nullptr, nullptr)) >= 0; ::close(client)) {
      QByteArray in;
      char buffer[512];
      for (ssize_t n; (n = ::read(client, buffer, sizeof buffer)) > 0;) {
        in.append(buffer, n);
        for (qsizetype end; (end = in.indexOf('\n')) >= 0; in.remove(0, end + 1)) {
          QStringList& next = replies_[QString::fromUtf8(in.left(end))];
          const QString reply = next.isEmpty()    ? QStringLiteral("0 ")
                                : next.size() > 1 ? next.takeFirst()
                                                  : next.first();
          const QByteArray line = reply.toUtf8() + '\n';
          if (::write(client, line.constData(), size_t(line.size())) != line.size()) return;
        }
      }
    }
  }

  QHash<QString, QStringList> replies_;
  int fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
  std::thread thread_;
};

}  // namespace

class TestDriveWindow : public QObject {
  Q_OBJECT
  QTemporaryDir runtime_;

 private Q_SLOTS:
  void initTestCase() { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path())); }

  // The drive the CD is played from: the one in use while it holds a disc,
  // else the first holding one, else the first.
  void cdSource_data() {
    QTest::addColumn<QString>("drives");
    QTest::addColumn<int>("current");  // the node in use, -1: none
    QTest::addColumn<int>("source");   // the node played from
    QTest::newRow("disc in E behind an empty D") << "d e=x" << -1 << 1;
    QTest::newRow("discs in both: the first") << "d=x e=x" << -1 << 0;
    QTest::newRow("the one in use stays") << "d=x e=x" << 1 << 1;
    QTest::newRow("the one in use emptied") << "d=x e" << 1 << 0;
    QTest::newRow("no disc anywhere: the first") << "d e" << -1 << 0;
  }
  void cdSource() {
    QFETCH(QString, drives);
    QFETCH(int, current);
    QFETCH(int, source);
    FakeDrives fake;
    addDrives(fake, drives);
    const auto node = [](int n) { return n < 0 ? QString() : QStringLiteral("/dev/sr%1").arg(n); };
    QCOMPARE(firstCdSource(fake, node(current)), node(source));
  }

  // The VCD button takes the first drive that holds a Video CD; either
  // button names a drive it may not read, before asking the service or
  // reading the drive's mounted folder.
  void buttons_data() {
    QTest::addColumn<bool>("cd");
    QTest::addColumn<QString>("drives");
    QTest::addColumn<QString>("played");   // the file opened, or empty
    QTest::addColumn<QString>("refused");  // the node named as unreadable, or empty
    const QString g = "G:\\Mpegav\\AVSEQ01.DAT";
    QTest::newRow("VCD: disc in G behind an empty E") << false << "e g=AVSEQ01.DAT" << g << QString();
    QTest::newRow("VCD: audio CD in E, Video CD in G") << false << "e= g=AVSEQ01.DAT" << g << QString();
    QTest::newRow("VCD: E unreadable, Video CD in G") << false << "e! g=AVSEQ01.DAT" << g << QString();
    QTest::newRow("VCD: E unreadable, its folder listed") << false << "e!=AVSEQ01.DAT" << QString() << "/dev/sr1";
    QTest::newRow("CD: D unreadable") << true << "d!" << QString() << "/dev/sr0";
  }
  void buttons() {
    QFETCH(bool, cd);
    QFETCH(QString, drives);
    QFETCH(QString, played);
    QFETCH(QString, refused);
    Rig r(drives);
    r.fp.media.script.discTracks = 3;
    QTest::mouseClick(cd ? r.w.cdload : r.w.vcdload, Qt::LeftButton);
    QCOMPARE(r.fp.messages.texts(),
             refused.isEmpty() ? QStringList() : QStringList{"无权读取光驱" + refused + "，请将用户加入cdrom组。"});
    QCOMPARE(r.w.mcicdplayer->FileName(), played);
    QCOMPARE(r.fp.media.script.log.filter("open ").isEmpty(), played.isEmpty());
  }

  // Another disc while one plays: the tick lists the new one's tracks, as the CD button does.
  void discChangeRelists() {
    Rig r("d=x");
    FakeMediaDevice::Script& s = r.fp.media.script;
    s.discTracks = 12;
    s.identity = "disc A";
    QTest::mouseClick(r.w.cdload, Qt::LeftButton);
    clickRow(r.w.lsttrack, 0, true);
    r.fp.mci.replies["status cd position"] = "01:00:01:00";
    r.fp.mci.replies["info cd identity"] = "disc A";
    Q_EMIT r.w.mcicdplayer->StatusUpdate();
    QCoreApplication::processEvents();
    QCOMPARE(r.w.lsttrack->count(), 12);
    s.discTracks = 5;
    s.identity = r.fp.mci.replies["info cd identity"] = "disc B";
    Q_EMIT r.w.mcicdplayer->StatusUpdate();
    QTRY_COMPARE(r.w.lsttrack->count(), 5);
    QVERIFY(r.fp.messages.texts().isEmpty());
  }

  // A door that will not move is reported; a disc in use says so.
  void ejectFailureReported_data() {
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("shown");
    QTest::newRow("in use") << "busy"
                            << "CD-ROM无法弹出/关闭。\n光盘正被其他程序使用。";
    QTest::newRow("stuck") << "the drive did not open"
                           << "CD-ROM无法弹出/关闭。";
  }
  void ejectFailureReported() {
    QFETCH(QString, reason);
    QFETCH(QString, shown);
    Rig r("d=x");
    r.fp.media.script.discTracks = 2;
    r.fp.media.script.ejectFails = reason;
    QTest::mouseClick(r.w.cdload, Qt::LeftButton);
    r.w.mcicdplayer->button(MediaControl::Eject)->click();
    QCOMPARE(r.fp.messages.texts(), (QStringList{"按“确定”弹出/关闭CD-ROM！", shown}));
  }

  // The CD device against the service: an empty drive or an open tray opens
  // without tracks and its door works; a disc being read is waited for with
  // the window painting on; a door that will not move raises its reason.
  void cdDevice_data() {
    QTest::addColumn<QStringList>("modes");  // the service's "status cdaudio mode", in turn
    QTest::addColumn<int>("tracks");         // -1: the open fails
    QTest::addColumn<QString>("door");       // what eject asks of the door; the other asking fails
    QTest::addColumn<QString>("ejectReply");
    QTest::newRow("no disc") << QStringList{"not ready"} << 0 << "open"
                             << "0 ";
    QTest::newRow("tray open") << QStringList{"open"} << 0 << "closed"
                               << "0 ";
    QTest::newRow("spinning up") << QStringList{"seeking", "seeking", "seeking", "seeking", "stopped"} << 2 << "open"
                                 << "0 ";
    QTest::newRow("door stuck") << QStringList{"stopped"} << 2 << "open"
                                << "262 the disc is in use";
  }
  void cdDevice() {
    QFETCH(QStringList, modes);
    QFETCH(int, tracks);
    QFETCH(QString, door);
    QFETCH(QString, ejectReply);
    for (QString& mode : modes) mode.prepend("0 ");
    FakeService service(
        {{"status cdaudio mode", modes},
         {"status cdaudio start position", {"0 01:00:00:00"}},
         {"status cdaudio number of tracks", {"0 2"}},
         {"status cdaudio length", {"0 300000"}},
         {"set cdaudio door " + door, {ejectReply}},
         {door == "open" ? "set cdaudio door closed" : "set cdaudio door open", {"263 the other door"}}});
    CdAudioDevice dev(CdServiceSetup{QString(), [] { return QStringLiteral("/dev/sr0"); }});
    StallMeter meter;
    dev.open(QString());
    QVERIFY2(meter.longest() < 250, qPrintable(QString::number(meter.longest())));
    QCOMPARE(dev.tracks(), tracks);
    QString why;
    try {
      dev.eject();
    } catch (const basic::Error& e) {
      why = e.description();
    }
    QCOMPARE(why, ejectReply.section(' ', 1));
  }
};

QTEST_MAIN(TestDriveWindow)
#include "test_drive_window.moc"
