// SPDX-License-Identifier: GPL-3.0-or-later
// The file and audio CD modes of the main window over a scripted device and
// a scripted drive; the playlist window over a folder of real files; drive
// letters from kernel tables.
#include <QtTest>
#include <QtWidgets>

#include "disc/drives.h"
#include "fakes/fakes.h"
#include "playback/multi.h"

namespace {
const QString kHeader = QStringLiteral("播放列表:");

// The window over a folder of real (empty) files as the current folder, and a disc of `tracks` from `first`.
struct Rig : TestWindow {
  QTemporaryDir tmp;
  QString dir = QDir(tmp.path()).canonicalPath();
  QStringList& log = fp.media.script.log;

  explicit Rig(std::optional<int> tracks = 12, int first = 1)
      : TestWindow([&](FakePlatform& f) { f.media.script.discTracks = tracks, f.media.script.firstTrack = first; }) {
    QDir(dir).mkdir("sub");
    for (const char* name : {"a.wav", "b.mp3", "C.MP3", "d.mid", "sub/e.wav"}) {
      QFile(at(name)).open(QIODevice::WriteOnly);
      fp.media.script.lengths[at(name)] = 3000;
    }
    QDir::setCurrent(dir);
  }
  // With nothing open (a path the fake refused) a device nobody listens to, so the checks fail rather than crash.
  FakeMediaDevice none{fp.media.script, false};
  FakeMediaDevice& dev() { return fp.media.script.current ? *fp.media.script.current : none; }
  QString at(const QString& name) const { return dir + '/' + name; }
  QStringList opened() const { return log.filter(QRegularExpression("^open ")); }
  QString lastOpened() const { return opened().value(opened().size() - 1); }
  void tick(int times = 1) {
    for (int i = 0; i < times; ++i) Q_EMIT mc().StatusUpdate();
  }
  void chooseFile(const QString& path, qint64 lengthMs) {
    fp.media.script.lengths[path] = lengthMs;
    fp.filePicker.answers.emplace_back(path);
    w.action("menu_vcd")->trigger();
  }
  static multi* window() {
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* m = qobject_cast<multi*>(t); m && m->isVisible()) return m;
    return nullptr;
  }
  multi& open() {
    w.action("menu_multi")->trigger();
    return *window();
  }
  static void click(QListWidget* l, const QString& text, bool twice = false) {
    clickRow(l, l->row(l->findItems(text, Qt::MatchExactly).value(0)), twice);
  }
  static void choose(multi& m, const QStringList& names, bool ok = false) {
    for (const QString& n : names) {
      click(m.File1, n);
      QTest::mouseClick(m.cmd_add, Qt::LeftButton);
    }
    if (ok) QTest::mouseClick(m.cmd_ok, Qt::LeftButton);
  }
  bool lampRed() const { return w.lblindicator->palette().color(QPalette::Window) == QColor(0xFF, 0, 0); }
};
}  // namespace

class TestModes : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  // The length text; Back and Step set From (frames of 40 ms) within the file and seek there.
  void backAndStep_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("length");  // ms
    QTest::addColumn<QString>("time");
    QTest::addColumn<int>("at");  // frame the device stands at
    QTest::addColumn<int>("expected");
    const int back = MediaControl::Back, step = MediaControl::Step;
    QTest::newRow("back before the start, 185.5 s") << back << 185500 << "03:06" << 400 << 1;
    QTest::newRow("back, three-digit minutes") << back << 6000000 << "100:00" << 5000 << 4000;
    QTest::newRow("step past the end") << step << 400000 << "06:40" << 9500 << 10000;
  }

  void backAndStep() {
    QFETCH(int, button);
    QFETCH(int, length);
    QFETCH(QString, time);
    QFETCH(int, at);
    QFETCH(int, expected);
    Rig r;
    r.chooseFile("/m/a.mpg", length);
    QCOMPARE(r.w.lbltime->text(), time);
    r.log.clear();
    r.dev().setPosition(at * 40);
    r.mc().button(MediaControl::Button(button))->click();
    QCOMPARE(r.mc().From(), expected);
    // Only the handler's seek and play reach the device: the button's own frame step is not applied on top.
    QCOMPARE(r.log, QStringList({QString("seek %1").arg(expected * 40), "play"}));
  }

  // Position reaches Length only at the end: a list must not move on while the last 40 ms frame still plays. After
  // the end Play plays the file again.
  void endOnlyAtTheEnd() {
    Rig r;
    r.chooseFile("/m/a.mp3", 3010);
    r.dev().setPosition(3009);
    QVERIFY(r.mc().Position() != r.mc().Length());
    r.dev().advance(1);
    QCOMPARE(r.mc().Position(), r.mc().Length());
    r.tick();  // which sets From to the start
    r.mc().button(MediaControl::Play)->click();
    QCOMPARE(r.mc().Mode(), int(MediaDevice::Playing));
  }

  // One file twice in a list: each entry plays in turn and the list wraps, the first while its length is still
  // being measured (it reads 0: no end and no division by it; the time label shows it once known); an error while
  // playing is said once and the list goes on.
  void playlistGoesOn() {
    Rig r;
    r.fp.media.script.lengths[r.at("a.wav")] = 0;
    r.playList(r.dir, {"a.wav", "b.mp3", "a.wav"});
    r.fp.media.script.lengths[r.at("a.wav")] = 3000;
    clickRow(r.w.lsttrack, 0, true);  // the header row plays nothing
    for (int tick = 0; tick < 2; ++tick) r.tick(), r.dev().advance(1000);
    QCOMPARE(r.log.filter(QRegularExpression("^(open|stop|close)")), QStringList{"open " + r.at("a.wav")});
    QCOMPARE(r.w.lbltime->text(), QStringLiteral("00:00"));
    r.dev().learnLength(186000);
    QCOMPARE(r.w.lbltime->text(), QStringLiteral("03:06"));
    for (const int entry : {2, 3, 1}) {
      r.dev().advance(186000);
      r.tick();
      QCOMPARE(r.w.lsttrack->currentRow(), entry);
      QCOMPARE(r.lastOpened(), "open " + r.at(entry == 2 ? "b.mp3" : "a.wav"));
    }
    r.dev().fail("Cannot play: the decoder gave up");  // the lamp goes out
    QVERIFY(!r.lampRed());
    r.tick();
    QCOMPARE(r.lastOpened(), "open " + r.at("b.mp3"));
    QCOMPARE(r.fp.messages.shown.size(), 1);
    QVERIFY(r.fp.messages.shown[0].endsWith("the decoder gave up"));
  }

  // The playlist window: a folder change empties the chosen list; files chosen and left without OK never start; the
  // pattern filters as it is typed; OK plays the list.
  void choosingInTheWindow() {
    Rig r;
    multi& m = r.open();
    Rig::choose(m, {"a.wav"});
    Rig::click(m.Dir1, "sub", true);
    QCOMPARE(m.List1->count(), 0);
    Rig::choose(m, {"e.wav"});
    m.close();
    QVERIFY(!Rig::window() && r.w.isEnabled() && r.opened().isEmpty());
    multi& again = r.open();
    again.filetype->lineEdit()->clear();
    QTest::keyClicks(again.filetype->lineEdit(), "*.mp");
    QCOMPARE(r.rows(again.File1), QStringList());
    QTest::keyClick(again.filetype->lineEdit(), '3');
    QCOMPARE(r.rows(again.File1), (QStringList{"b.mp3", "C.MP3"}));
    Rig::choose(again, {"b.mp3", "C.MP3"}, true);
    QCOMPARE(r.rows(), (QStringList{kHeader, "b.mp3", "C.MP3"}));
    QCOMPARE(r.opened(), QStringList{"open " + r.at("b.mp3")});
  }

  // Paths from the command line or a later copy: a list of those that open (the others said), a folder giving its
  // media files. A disc's mount point is the desktop's AutoPlay: nothing.
  void openPaths_data() {
    QTest::addColumn<QStringList>("paths");  // in the folder of files
    QTest::addColumn<QStringList>("rows");   // the list after its header
    QTest::addColumn<QString>("message");    // %1: the folder
    QTest::newRow("a folder: its media files")
        << QStringList{"."} << QStringList{"a.wav", "b.mp3", "C.MP3", "d.mid"} << QString();
    QTest::newRow("files of two folders")
        << QStringList{"sub/e.wav", "a.wav"} << QStringList{"sub/e.wav", "a.wav"} << QString();
    QTest::newRow("a missing file among others")
        << QStringList{"a.wav", "gone.mp3", "b.mp3"} << QStringList{"a.wav", "b.mp3"} << "无法打开文件：%1/gone.mp3";
    QTest::newRow("a disc's mount point, the desktop's view of a CD")
        << QStringList{"disc", "cdda:host=sr0"} << QStringList() << QString();
  }

  void openPaths() {
    QFETCH(QStringList, paths);
    QFETCH(QStringList, rows);
    QFETCH(QString, message);
    Rig r;
    QFile(r.at("notes.txt")).open(QIODevice::WriteOnly);
    for (const char* d : {"disc", "cdda:host=sr0"}) QDir(r.dir).mkdir(d);
    r.fp.drives.add('d', r.at("disc"));
    for (QString& p : paths) p = r.at(p);
    r.w.openPaths(paths);
    QVERIFY(r.w.isEnabled());
    QCOMPARE(r.rows(), QStringList{kHeader} + rows);
    QCOMPARE(r.opened(), rows.isEmpty() ? QStringList() : QStringList{"open " + r.at(rows[0])});
    QCOMPARE(r.fp.messages.shown.join('|').replace(r.dir, "%1"), message);
  }

  // Root, optical drives, then removable media.
  void driveLetters() {
    QTemporaryDir tmp;
    const QString t = tmp.path();
    QVERIFY(writeFile(t + "/mounts",
                      "/dev/sda1 / ext4 rw 0 0\nproc /proc proc rw 0 0\n/dev/sr0 /media/cd iso9660 ro 0 0\n"
                      "/dev/sdb1 /usb vfat rw 0 0\n/dev/sdc1 /mnt ext4 rw 0 0\n/dev/sr10 /media/ten udf ro 0 0\n"));
    // disk:removable:partition. Loop devices and fixed disks are no drives; sr2 holds no disc.
    for (const QString& d :
         QStringLiteral("sda:0:sda1 sdb:1:sdb1 sdc:0:sdc1 loop0:1: sr10:1: sr0:1: sr2:1:").split(' ')) {
      QVERIFY(writeFile(t + "/sys/" + d.section(':', 0, 0) + "/removable", d.section(':', 1, 1).toLatin1() + '\n'));
      QDir(t).mkpath("sys/" + d.section(':', 0, 0) + '/' + d.section(':', 2));
    }
    QVERIFY(QDir(t).mkdir("by-label") && QFile::link("../../sr0", t + "/by-label/MY\\x20DISC") &&
            QFile::link("../../sdb1", t + "/by-label/STICK"));
    LinuxDrives drives({t + "/mounts", t + "/sys", t + "/by-label", QString()});
    QStringList shown;  // text and type: 2 removable, 3 fixed, 5 optical
    for (const Drives::Drive& d : drives.list()) shown << d.text() + ' ' + QString::number(d.type);
    QCOMPARE(shown.join(", "), "c: [/] 3, d: [MY DISC] 5, e: 5, f: [/media/ten] 5, g: [STICK] 2");
  }

  // From a playing file the CD button (or menu item) stops and closes it and opens the drive, listing its 12 tracks
  // (labels from the disc's first) and playing nothing. Track 3 played by a double-click on row 2, the drive answering
  // `reply`; then ticks, or after two ticks a click on row 5 and a button. An empty time: the quiet reset.
  void cd_data() {
    QTest::addColumn<int>("first");  // the disc's first track
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("button");  // -1: none, the label following on one more tick
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("time");
    QTest::newRow("125 ticks show 02:05") << 1 << "03:02:04:10" << false << 125 << -1 << " 3" << 2 << "02:05";
    QTest::newRow("the drive reached track 4") << 1 << "04:00:00:12" << false << 1 << -1 << " 4" << 3 << "00:01";
    QTest::newRow("one track per tick") << 1 << "07:00:00:12" << false << 2 << -1 << " 5" << 4 << "00:01";
    QTest::newRow("never backwards") << 1 << "02:01:00:00" << false << 3 << -1 << " 3" << 2 << "00:03";
    QTest::newRow("paused: the time stands") << 1 << "03:00:10:00" << true << 3 << -1 << " 3" << 2 << "00:00";
    QTest::newRow("no track number") << 1 << "" << false << 1 << -1 << "" << -1 << "";
    const QString at = "03:00:02:00";
    const int prev = MediaControl::Prev, play = MediaControl::Play;
    QTest::newRow("prev: the track the drive plays") << 1 << at << false << 2 << prev << " 3" << 2 << "00:00";
    QTest::newRow("play: the clicked row, then the track") << 1 << at << false << 2 << play << "6" << 2 << "00:02";
    QTest::newRow("play, tracks from 5, the menu") << 5 << at << false << 2 << play << "10" << 2 << "00:02";
  }

  void cd() {
    QFETCH(int, first);
    QFETCH(QString, reply);
    QFETCH(bool, paused);
    QFETCH(int, ticks);
    QFETCH(int, button);
    QFETCH(QString, label);
    QFETCH(int, row);
    QFETCH(QString, time);
    Rig r(12, first);
    r.chooseFile("/m/a.mp3", 5000);
    r.log.clear();
    first == 5 ? r.w.action("menu_cd")->trigger() : QTest::mouseClick(r.w.cdload, Qt::LeftButton);
    QCOMPARE(r.log, QStringList({"stop", "close", "open "}));
    QCOMPARE(r.rows().last() + '|' + r.w.lbltrack->text(), QString("曲->%1|%2").arg(first + 11).arg(first));
    clickRow(r.w.lsttrack, 2, true);
    r.fp.mci.replies["status cd position"] = reply;
    QVERIFY(r.log.last() == "play" && r.mc().Track() == first + 2 && r.lampRed());
    if (paused) r.mc().setCommand("pause");
    r.tick(ticks);
    if (button >= 0) {
      r.mc().setCommand("stop");  // the play button wants a drive that is not playing
      r.w.lsttrack->setCurrentRow(5);
      r.mc().button(MediaControl::Button(button))->click();
    }
    QVERIFY(r.fp.messages.shown.isEmpty());
    if (time.isEmpty()) {  // closed and emptied, nothing said
      QVERIFY(!r.mc().isOpen() && r.w.lsttrack->count() == 0);
      return;
    }
    QCOMPARE(r.w.lbltime->text(), time);
    if (button < 0) {
      QCOMPARE(r.mc().Track(), label.toInt());
      QCOMPARE(r.lampRed(), !paused);
      r.tick();
    }
    QCOMPARE(r.w.lbltrack->text(), label);
    QCOMPARE(r.w.lsttrack->currentRow(), row);
  }
};

QTEST_MAIN(TestModes)
#include "test_modes.moc"
