// Drive letters from kernel tables written by the test, with and without the
// MIROVA_DRIVES mapping: root first, then optical drives, then removable media.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "playback/drives.h"

class TestPlaylistDrives : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void letters_data() {
    QTest::addColumn<QString>("mapping");
    QTest::addColumn<QString>("shown");  // text and type: 2 removable, 3 fixed, 5 optical
    QTest::newRow("the machine's own") << QString()
                                       << "c: [/] 3, d: [MY DISC] 5, e: 5, f: [/media/ten] 5, g: [STICK] 2";
    QTest::newRow("mapped letters win, the rest move up")
        << "E=%1/rip, f=%1/vcd.cue,c=/etc,zz=/x,G,H="
        << "c: [/] 3, d: [MY DISC] 5, e: [rip] 5, f: [vcd.cue] 5, g: 5, h: [/media/ten] 5, i: [STICK] 2";
  }

  void letters() {
    QFETCH(QString, mapping);
    QFETCH(QString, shown);
    QTemporaryDir tmp;
    const QString t = tmp.path();
    auto write = [](const QString& path, const QByteArray& text) {
      QDir().mkpath(QFileInfo(path).path());
      QFile f(path);
      QVERIFY(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
    };
    QDir().mkpath(t + "/rip");
    write(t + "/vcd.cue", "FILE \"vcd.bin\" BINARY\n");
    write(t + "/mounts",
          "/dev/sda1 / ext4 rw 0 0\nproc /proc proc rw 0 0\n/dev/sr0 /media/cd\\040rom iso9660 ro 0 0\n"
          "/dev/sdb1 /media/usb vfat rw 0 0\n/dev/sdc1 /mnt/fixed ext4 rw 0 0\n/dev/sr10 /media/ten udf ro 0 0\n");
    // disk:removable:partition. Loop devices and fixed disks are no drives; sr2 holds no disc.
    for (const QString& d :
         QStringLiteral("sda:0:sda1 sdb:1:sdb1 sdc:0:sdc1 loop0:1: sr10:1: sr0:1: sr2:1:").split(' ')) {
      write(t + "/sys/" + d.section(':', 0, 0) + "/removable", d.section(':', 1, 1).toLatin1() + '\n');
      QDir().mkpath(t + "/sys/" + d.section(':', 0, 0) + '/' + d.section(':', 2));
    }
    QDir().mkpath(t + "/by-label");
    QVERIFY(QFile::link("../../sr0", t + "/by-label/MY\\x20DISC") && QFile::link("../../sdb1", t + "/by-label/STICK"));
    LinuxDrives drives({t + "/mounts", t + "/sys", t + "/by-label", mapping.contains('%') ? mapping.arg(t) : mapping});
    QStringList texts;
    for (const Drives::Drive& d : drives.list()) texts << d.text() + ' ' + QString::number(d.type);
    QCOMPARE(texts.join(", "), shown);
  }
};

QTEST_MAIN(TestPlaylistDrives)
#include "test_playlist_drives.moc"
