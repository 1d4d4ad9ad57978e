// Drive letters read from kernel tables written by the test: mounts with
// escaped names, optical drives in natural order, removable media, labels,
// and the MIROVA_DRIVES mapping.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "core/basic.h"
#include "playback/drives.h"

namespace {
void write(const QString& path, const QByteArray& text) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(text);
}
}  // namespace

class TestPlaylistDrives : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase();
  void letters_data();
  void letters();
  void lookups();

 private:
  QTemporaryDir tmp_;
  LinuxDrives::Sources sources_;
  QString rip_, image_;
};

void TestPlaylistDrives::initTestCase() {
  const QString t = tmp_.path();
  sources_.mounts = t + QStringLiteral("/mounts");
  sources_.sysBlock = t + QStringLiteral("/sys/block");
  sources_.byLabel = t + QStringLiteral("/by-label");
  rip_ = t + QStringLiteral("/rip");
  image_ = t + QStringLiteral("/vcd.cue");
  QDir().mkpath(rip_);
  write(image_, "FILE \"vcd.bin\" BINARY\n");
  write(sources_.mounts,
        "/dev/sda1 / ext4 rw 0 0\n"
        "proc /proc proc rw 0 0\n"
        "/dev/sr0 /media/cd\\040rom iso9660 ro 0 0\n"
        "/dev/sdb1 /media/usb vfat rw 0 0\n"
        "/dev/sdc1 /mnt/fixed ext4 rw 0 0\n"
        "/dev/sr10 /media/ten udf ro 0 0\n");
  const auto block = [this](const char* name, const char* removable, const QStringList& parts = {}) {
    const QString dir = sources_.sysBlock + QLatin1Char('/') + QLatin1String(name);
    write(dir + QStringLiteral("/removable"), QByteArray(removable) + '\n');
    for (const QString& p : parts) QDir().mkpath(dir + QLatin1Char('/') + p);
  };
  block("sda", "0", {"sda1"});
  block("sdb", "1", {"sdb1"});
  block("sdc", "0", {"sdc1"});
  block("loop0", "1");
  block("sr10", "1");
  block("sr0", "1");
  block("sr2", "1");
  QDir().mkpath(sources_.byLabel);
  QVERIFY(QFile::link(QStringLiteral("../../sr0"), sources_.byLabel + QStringLiteral("/MY\\x20DISC")));
  QVERIFY(QFile::link(QStringLiteral("../../sdb1"), sources_.byLabel + QStringLiteral("/STICK")));
}

void TestPlaylistDrives::letters_data() {
  QTest::addColumn<QString>("mapping");
  QTest::addColumn<QStringList>("shown");
  QTest::addColumn<QList<int>>("types");
  QTest::newRow("the machine's own") << QString()
                                     << QStringList{"c: [/]", "d: [MY DISC]", "e:", "f: [/media/ten]", "g: [STICK]"}
                                     << QList<int>{3, 5, 5, 5, 2};
  QTest::newRow("mapped letters win, the rest move up")
      << QStringLiteral("E=%1/rip, f=%1/vcd.cue,c=/etc,zz=/x,G,H=")
      << QStringList{"c: [/]", "d: [MY DISC]", "e: [rip]", "f: [vcd.cue]", "g:", "h: [/media/ten]", "i: [STICK]"}
      << QList<int>{3, 5, 5, 5, 5, 5, 2};
}

void TestPlaylistDrives::letters() {
  QFETCH(QString, mapping);
  QFETCH(QStringList, shown);
  QFETCH(QList<int>, types);
  LinuxDrives::Sources s = sources_;
  s.mapping = mapping.contains(QLatin1Char('%')) ? mapping.arg(tmp_.path()) : mapping;
  LinuxDrives drives(s);
  QStringList texts;
  QList<int> kinds;
  for (const Drives::Drive& d : drives.list()) {
    texts << d.text();
    kinds << d.type;
  }
  QCOMPARE(texts, shown);
  QCOMPARE(kinds, types);
}

void TestPlaylistDrives::lookups() {
  LinuxDrives::Sources s = sources_;
  s.mapping = QStringLiteral("E=%1,F=%2").arg(rip_, image_);
  LinuxDrives drives(s);
  QCOMPARE(drives.folder(QLatin1Char('C')), QStringLiteral("/"));
  QCOMPARE(drives.folder(QLatin1Char('e')), QDir::cleanPath(rip_));
  QCOMPARE(drives.find(QLatin1Char('f'))->source, image_);
  QCOMPARE(drives.find(QLatin1Char('d'))->source, QStringLiteral("/dev/sr0"));
  // No disc, an image where a folder is needed, a mount point that is not
  // there, no such letter: all unavailable.
  for (const char letter : {'g', 'f', 'd', 'y'}) {
    try {
      drives.folder(QLatin1Char(letter));
      QFAIL(qPrintable(QStringLiteral("%1: gave a folder").arg(letter)));
    } catch (const basic::Error& e) {
      QCOMPARE(e.number(), Drives::kDeviceUnavailable);
    }
  }
  QCOMPARE(drives.driveType(QLatin1Char('E')), int(Drives::CdRom));
  QCOMPARE(drives.driveType(QLatin1Char('y')), int(Drives::NoRootDir));
  QCOMPARE(drives.driveOf(rip_ + QStringLiteral("/MPEGAV")), QLatin1Char('e'));
  QCOMPARE(drives.driveOf(rip_ + QStringLiteral("x/a")), QLatin1Char('c'));
  QCOMPARE(drives.driveOf(QStringLiteral("/etc")), QLatin1Char('c'));
}

QTEST_MAIN(TestPlaylistDrives)
#include "test_playlist_drives.moc"
