// SPDX-License-Identifier: GPL-3.0-or-later
// The file, audio CD and VCD modes of the main window over a scripted device
// and scripted drives; the playlist window over a folder of real files;
// drive letters from kernel tables.
#include <QtTest>
#include <QtWidgets>

#include "core/range_scrollbar.h"
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
  // A capture leaves its title and cancel switch on the shared dialog: a cancel must still end quietly.
  void cancelAfterCapture() {
    Rig r;
    r.w.vcddialog->setDialogTitle("存储文件");
    r.w.vcddialog->setCancelError(true);
    r.w.action("menu_vcd")->trigger();  // no answer queued: cancel
    QVERIFY(r.fp.messages.shown.isEmpty() && r.w.isEnabled() && r.opened().isEmpty());
  }

  // The length text; Back, Step and the slider set From (frames of 40 ms) and seek there; the tick sets the slider (%).
  void positions_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("length");  // ms
    QTest::addColumn<QString>("time");
    QTest::addColumn<int>("at");  // frame the device stands at, or the slider value
    QTest::addColumn<int>("expected");
    QTest::newRow("back before the start, 185.5 s") << "back" << 185500 << "03:06" << 400 << 1;
    QTest::newRow("back, three-digit minutes") << "back" << 6000000 << "100:00" << 5000 << 4000;
    QTest::newRow("step past the end") << "step" << 400000 << "06:40" << 9500 << 10000;
    QTest::newRow("slider, 2.5 rounds to even") << "slider" << 10000 << "00:10" << 1 << 2;
    QTest::newRow("tick, 60.5 s rounds to even") << "tick" << 60500 << "01:00" << 333 << 22;
  }

  void positions() {
    QFETCH(QString, action);
    QFETCH(int, length);
    QFETCH(QString, time);
    QFETCH(int, at);
    QFETCH(int, expected);
    Rig r;
    r.chooseFile("/m/a.mpg", length);
    QCOMPARE(r.w.lbltime->text(), time);
    r.log.clear();
    r.dev().setPosition(action == "slider" ? 0 : at * 40);
    r.w.HScroll1->setSliderDown(action == "slider");
    if (action == "slider") r.w.HScroll1->setSliderPosition(at);
    if (action == "tick") r.tick();
    if (action == "back" || action == "step")
      r.mc().button(action == "back" ? MediaControl::Back : MediaControl::Step)->click();
    QCOMPARE(action == "tick" ? r.w.HScroll1->Value() : r.mc().From(), expected);
    // Only the handler's stop, seek and play reach the device: a button's own frame step is not applied on top.
    if (action != "tick")
      QCOMPARE(r.log, QStringList({"stop", QString("seek %1").arg(expected * 40), "play"}).mid(action != "slider"));
  }

  // Position reaches Length only at the end, in every time format: a list
  // must not move on while the last fraction of a unit still plays.
  void endOnlyAtTheEnd_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("length");  // ms
    QTest::newRow("milliseconds") << int(MediaControl::Milliseconds) << 3000;
    QTest::newRow("frames of 40 ms") << int(MediaControl::Frames) << 3010;
    QTest::newRow("minutes, seconds, CD frames") << int(MediaControl::Msf) << 3000;
    QTest::newRow("hours, minutes, seconds") << int(MediaControl::Hms) << 3999;
  }

  void endOnlyAtTheEnd() {
    QFETCH(int, format);
    QFETCH(int, length);
    Rig r;
    r.chooseFile("/m/a.mp3", length);
    r.mc().setTimeFormat(format);
    r.dev().setPosition(length - 1);
    QVERIFY(r.mc().Position() != r.mc().Length());
    r.dev().advance(1);
    QCOMPARE(r.mc().Position(), r.mc().Length());
    r.tick();  // which sets From to the start: Play after the end plays the file again
    r.mc().button(MediaControl::Play)->click();
    QCOMPARE(r.mc().Mode(), int(MediaDevice::Playing));
  }

  // A length the device is still measuring reads 0: no end and no
  // division by it; the time label shows the length once it is known.
  void lengthKnownLater() {
    Rig r;
    r.fp.media.script.lengths[r.at("a.wav")] = 0;
    Rig::choose(r.open(), {"a.wav", "b.mp3"}, true);
    QCOMPARE(r.w.lbltime->text(), QStringLiteral("00:00"));
    for (int tick = 0; tick < 2; ++tick) r.tick(), r.dev().advance(1000);
    QCOMPARE(r.opened(), QStringList{"open " + r.at("a.wav")});
    QCOMPARE(r.mc().Mode(), int(MediaDevice::Playing));
    r.dev().learnLength(186000);
    QCOMPARE(r.w.lbltime->text(), QStringLiteral("03:06"));
    r.tick();
    QCOMPARE(r.w.HScroll1->Value(), 1);  // 2 s of 186
  }

  // An error while playing is said once; the window stays usable, and a
  // list goes on with its next entry.
  void playbackErrorShownOnce_data() {
    QTest::addColumn<bool>("list");
    QTest::newRow("single file") << false;
    QTest::newRow("playlist") << true;
  }

  void playbackErrorShownOnce() {
    QFETCH(bool, list);
    Rig r;
    if (list)
      Rig::choose(r.open(), {"a.wav", "b.mp3"}, true);
    else
      r.chooseFile(r.at("a.wav"), 3000);
    r.dev().advance(1000);
    r.dev().fail("Cannot play \"" + r.at("a.wav") + "\": the decoder gave up");
    QVERIFY(!r.lampRed());
    r.tick();
    QCOMPARE(r.lastOpened(), "open " + r.at(list ? "b.mp3" : "a.wav"));  // a list plays its next entry
    QVERIFY(r.w.isEnabled());
    QCOMPARE(r.mc().button(MediaControl::Play)->isEnabled(), !list);
    QCOMPARE(r.fp.messages.shown.size(), 1);
    QVERIFY(r.fp.messages.shown[0].endsWith("the decoder gave up"));
  }

  // One file twice in a list: each entry plays in turn and the list wraps; the window left without OK changes nothing.
  void playlistGoesOn() {
    Rig r;
    Rig::choose(r.open(), {"a.wav", "b.mp3", "a.wav"}, true);
    const QStringList rows = r.rows();
    multi& m = r.open();  // files chosen in another folder must never start
    Rig::click(m.Dir1, "sub", true);
    Rig::choose(m, {"e.wav"});
    m.close();
    QVERIFY(!Rig::window() && r.w.isEnabled() && r.mc().Mode() == MediaDevice::Playing);
    QCOMPARE(r.rows(), rows);
    Rig::click(r.w.lsttrack, kHeader, true);  // the header row plays nothing
    r.dev().advance(1000);
    r.tick();
    QCOMPARE(r.log.filter(QRegularExpression("^(open|stop|close)")), QStringList{"open " + r.at("a.wav")});
    for (const int entry : {2, 3, 1}) {
      r.dev().advance(5000);
      r.tick();
      QCOMPARE(r.w.lsttrack->currentRow(), entry);
      QCOMPARE(r.lastOpened(), "open " + r.at(entry == 2 ? "b.mp3" : "a.wav"));
    }
  }

  void choosingInTheWindow() {
    Rig r;
    r.fp.drives.add('f', "/nonexistent/mirova", Drives::CdRom, "GONE");
    multi& m = r.open();
    m.filetype->lineEdit()->clear();
    const QList<QPair<char, QStringList>> steps{
        {'*', {"a.wav", "b.mp3", "C.MP3", "d.mid"}}, {'.', {}}, {'m', {}}, {'p', {}}, {'3', {"b.mp3", "C.MP3"}}};
    for (const auto& [key, shown] : steps) {  // the pattern filters on each key
      QTest::keyClick(m.filetype->lineEdit(), key);
      QCOMPARE(r.rows(m.File1), shown);
    }
    QTest::mouseClick(m.cmd_ok, Qt::LeftButton);  // with an empty list OK leaves the window open
    QVERIFY(Rig::window() == &m && !r.w.isEnabled());
    QTest::mouseClick(m.cmd_add, Qt::LeftButton);  // nothing selected: nothing added
    QCOMPARE(m.List1->count(), 0);
    Rig::choose(m, {"b.mp3", "C.MP3"});
    QTest::mouseClick(m.cmd_red, Qt::LeftButton);  // nothing selected: nothing removed
    QCOMPARE(r.rows(m.List1), (QStringList{"b.mp3", "C.MP3"}));
    Rig::click(m.Dir1, "sub", true);
    QCOMPARE(m.List1->count(), 0);                  // a folder change empties the chosen list
    const int i = m.Drive1->findText("f: [GONE]");  // an unreadable drive falls back to the root
    m.Drive1->setCurrentIndex(i);
    Q_EMIT m.Drive1->activated(i);
    QCOMPARE(m.Dir1->path(), QStringLiteral("/"));
    QCOMPARE(r.fp.messages.boxes, QStringList{"Savrel超级播放器: 驱动器错误！"});
  }

  // Paths from the command line or a later copy play as the same choice in
  // the window would: one name in the single-file dialog, more in the
  // playlist window. A disc's mount point is the desktop's AutoPlay: nothing.
  void openPaths_data() {
    QTest::addColumn<QStringList>("paths");   // in the folder of files
    QTest::addColumn<QStringList>("chosen");  // the same choice made in a window, if there is one
    QTest::addColumn<QStringList>("rows");    // else the list that plays, and the message (%1: the folder)
    QTest::addColumn<QString>("message");
    const QStringList none;
    QTest::newRow("a file") << QStringList{"b.mp3"} << QStringList{"b.mp3"} << none << QString();
    QTest::newRow("a missing file") << QStringList{"gone.mp3"} << QStringList{"gone.mp3"} << none << QString();
    QTest::newRow("a folder: its media files")
        << QStringList{"."} << QStringList{"a.wav", "b.mp3", "C.MP3", "d.mid"} << none << QString();
    QTest::newRow("files in the order given")
        << QStringList{"d.mid", "a.wav", "d.mid"} << QStringList{"d.mid", "a.wav", "d.mid"} << none << QString();
    QTest::newRow("files of two folders")
        << QStringList{"sub/e.wav", "a.wav"} << none << QStringList{kHeader, "sub/e.wav", "a.wav"} << QString();
    QTest::newRow("a missing file among others")
        << QStringList{"a.wav", "gone.mp3", "b.mp3"} << none << QStringList{kHeader, "a.wav", "b.mp3"}
        << "无法打开文件：%1/gone.mp3";
    QTest::newRow("a disc's mount point, the desktop's view of a CD")
        << QStringList{"disc", "cdda:host=sr0"} << none << QStringList{kHeader} << QString();
  }

  void openPaths() {
    QFETCH(QStringList, paths);
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, rows);
    QFETCH(QString, message);
    auto seen = [](Rig& r) {  // the rig's own folder as "%1"
      return QStringList{r.rows().join('|'), r.w.windowTitle(), r.w.lbltrack->text(), r.opened().join('|'),
                         r.fp.messages.boxes.join('|')}
          .replaceInStrings(r.dir, "%1");
    };
    Rig r;
    QFile(r.at("notes.txt")).open(QIODevice::WriteOnly);
    for (const char* d : {"disc", "cdda:host=sr0"}) QDir(r.dir).mkdir(d);
    r.fp.drives.add('d', r.at("disc"));
    for (QString& p : paths) p = r.at(p);
    r.w.openPaths(paths);
    QVERIFY(r.w.isEnabled());
    if (chosen.isEmpty()) {
      QCOMPARE(r.rows(), rows);
      QCOMPARE(r.opened(), rows.size() > 1 ? QStringList{"open " + r.at(rows[1])} : QStringList());
      QCOMPARE(r.fp.messages.shown.join('|'), message.isEmpty() ? message : message.arg(r.dir));
      return;
    }
    Rig byHand;
    if (chosen.size() == 1) {
      byHand.fp.filePicker.answers.emplace_back(byHand.at(chosen[0]));
      byHand.w.action("menu_vcd")->trigger();
    } else {
      Rig::choose(byHand.open(), chosen, true);
    }
    QCOMPARE(seen(r), seen(byHand));
  }

  // Root, optical drives, then removable media.
  void driveLetters() {
    QTemporaryDir tmp;
    const QString t = tmp.path();
    auto write = [&t](const QString& path, const QByteArray& text) {
      QDir(t).mkpath(QFileInfo(t + path).path());
      QFile f(t + path);
      QVERIFY(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
    };
    write("/mounts",
          "/dev/sda1 / ext4 rw 0 0\nproc /proc proc rw 0 0\n/dev/sr0 /media/cd iso9660 ro 0 0\n"
          "/dev/sdb1 /usb vfat rw 0 0\n/dev/sdc1 /mnt ext4 rw 0 0\n/dev/sr10 /media/ten udf ro 0 0\n");
    // disk:removable:partition. Loop devices and fixed disks are no drives; sr2 holds no disc.
    for (const QString& d :
         QStringLiteral("sda:0:sda1 sdb:1:sdb1 sdc:0:sdc1 loop0:1: sr10:1: sr0:1: sr2:1:").split(' ')) {
      write("/sys/" + d.section(':', 0, 0) + "/removable", d.section(':', 1, 1).toLatin1() + '\n');
      QDir(t).mkpath("sys/" + d.section(':', 0, 0) + '/' + d.section(':', 2));
    }
    QVERIFY(QDir(t).mkdir("by-label") && QFile::link("../../sr0", t + "/by-label/MY\\x20DISC") &&
            QFile::link("../../sdb1", t + "/by-label/STICK"));
    LinuxDrives drives({t + "/mounts", t + "/sys", t + "/by-label", QString()});
    QStringList shown;  // text and type: 2 removable, 3 fixed, 5 optical
    for (const Drives::Drive& d : drives.list()) shown << d.text() + ' ' + QString::number(d.type);
    QCOMPARE(shown.join(", "), "c: [/] 3, d: [MY DISC] 5, e: 5, f: [/media/ten] 5, g: [STICK] 2");
  }

  // The CD button or menu item, from a playing file: the reload stops and
  // closes it, the drive opens, its tracks are listed and nothing plays.
  void cdSetUp_data() {
    QTest::addColumn<std::optional<int>>("tracks");  // none: no disc
    QTest::addColumn<bool>("viaMenu");
    QTest::addColumn<int>("first");  // the disc's first track
    QTest::newRow("12 tracks") << std::optional<int>(12) << false << 1;
    QTest::newRow("tracks 5 and 6, from the menu") << std::optional<int>(2) << true << 5;
    QTest::newRow("no disc") << std::optional<int>() << false << 1;
    QTest::newRow("0 tracks") << std::optional<int>(0) << true << 1;
  }

  void cdSetUp() {
    QFETCH(std::optional<int>, tracks);
    QFETCH(bool, viaMenu);
    QFETCH(int, first);
    Rig r(tracks, first);
    r.chooseFile("/m/a.mp3", 5000);
    r.log.clear();
    viaMenu ? r.w.action("menu_cd")->trigger() : QTest::mouseClick(r.w.cdload, Qt::LeftButton);
    QCOMPARE(r.log.mid(0, 3), QStringList({"stop", "close", "open "}));
    QVERIFY(!r.log.contains("play"));
    const int n = tracks.value_or(0);
    QCOMPARE(r.fp.messages.texts(), n ? QStringList() : QStringList("设备未准备好。"));
    QCOMPARE(r.w.lsttrack->count(), n);
    if (n) QCOMPARE(r.rows().last() + '|' + r.w.lbltrack->text(), QString("曲->%1|%2").arg(first + n - 1).arg(first));
  }

  // Track 3 played by a double-click on row 2, the drive answering `reply`; then ticks, or after two ticks a
  // click on a row and a button. An empty time: the quiet reset.
  void cd_data() {
    QTest::addColumn<int>("first");  // the disc's first track
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("button");  // -1: none, the label following on one more tick
    QTest::addColumn<int>("clicked");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("time");
    QTest::newRow("125 ticks show 02:05") << 1 << "03:02:04:10" << false << 125 << -1 << 0 << " 3" << 2 << "02:05";
    QTest::newRow("the drive reached track 4") << 1 << "04:00:00:12" << false << 1 << -1 << 0 << " 4" << 3 << "00:01";
    QTest::newRow("one track per tick") << 1 << "07:00:00:12" << false << 2 << -1 << 0 << " 5" << 4 << "00:01";
    QTest::newRow("never backwards") << 1 << "02:01:00:00" << false << 3 << -1 << 0 << " 3" << 2 << "00:03";
    QTest::newRow("paused: the time stands") << 1 << "03:00:10:00" << true << 3 << -1 << 0 << " 3" << 2 << "00:00";
    QTest::newRow("no track number") << 1 << "" << false << 1 << -1 << 0 << "" << -1 << "";
    const QString at = "03:00:02:00";
    const int next = MediaControl::Next, prev = MediaControl::Prev, play = MediaControl::Play;
    QTest::newRow("next") << 1 << at << false << 2 << next << 5 << " 3" << 2 << "00:00";
    QTest::newRow("prev keeps the higher track") << 1 << at << false << 2 << prev << 0 << " 3" << 2 << "00:00";
    QTest::newRow("play: the clicked row, then the track") << 1 << at << false << 2 << play << 5 << "6" << 2 << "00:02";
    QTest::newRow("play, tracks from 5") << 5 << at << false << 2 << play << 5 << "10" << 2 << "00:02";
    QTest::newRow("eject") << 1 << at << false << 2 << int(MediaControl::Eject) << 5 << " 3" << -1 << "00:02";
  }

  void cd() {
    QFETCH(int, first);
    QFETCH(QString, reply);
    QFETCH(bool, paused);
    QFETCH(int, ticks);
    QFETCH(int, button);
    QFETCH(int, clicked);
    QFETCH(QString, label);
    QFETCH(int, row);
    QFETCH(QString, time);
    Rig r(12, first);
    QTest::mouseClick(r.w.cdload, Qt::LeftButton);
    clickRow(r.w.lsttrack, 2, true);
    r.fp.mci.replies["status cd position"] = reply;
    QVERIFY(r.log.last() == "play" && r.mc().Track() == first + 2 && r.lampRed());
    if (paused) r.mc().setCommand("pause");
    r.tick(ticks);
    if (button >= 0) {
      r.mc().setCommand("stop");  // the play button wants a drive that is not playing
      r.w.lsttrack->setCurrentRow(clicked);
      r.log.clear();
      r.mc().button(MediaControl::Button(button))->click();
    }
    QCOMPARE(r.fp.messages.shown.isEmpty(), button != MediaControl::Eject);
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
    QCOMPARE(r.log.contains("eject"), button == MediaControl::Eject);
    if (button != MediaControl::Eject) return;
    QVERIFY(r.w.cdload->isEnabled());
    r.mc().button(MediaControl::Play)->click();  // no row left to select
    QCOMPARE(r.fp.messages.texts(), QStringList({"按“确定”弹出/关闭CD-ROM！", "设备未准备好。"}));
  }

  // The VCD button over scripted drives: "e=A.DAT,B.DAT" an optical drive e
  // finding those, "e=" one finding nothing, "e" one without a disc, "f:2=" a removable drive.
  void vcd_data() {
    QTest::addColumn<QString>("drives");
    QTest::addColumn<bool>("opens");          // the device can open what the drives hold
    QTest::addColumn<QString>("searched");    // the drive searched
    QTest::addColumn<QStringList>("listed");  // rows after the header; empty for the message and the reload
    QTest::newRow("two entries on E, the disc's order")
        << "e=AVSEQ02.DAT,AVSEQ01.DAT" << true << "E" << QStringList{"AVSEQ02.DAT", "AVSEQ01.DAT"};
    QTest::newRow("removable D passed over") << "d:2=x.dat h=AVSEQ01.DAT" << true << "H" << QStringList{"AVSEQ01.DAT"};
    QTest::newRow("E empty: the disc in G") << "e g=AVSEQ01.DAT" << true << "G" << QStringList{"AVSEQ01.DAT"};
    QTest::newRow("only J: I is searched") << "j=AVSEQ01.DAT" << true << "I" << QStringList();
    QTest::newRow("audio CD: nothing found") << "e=" << true << "E" << QStringList();
    QTest::newRow("entry that will not open") << "f=AVSEQ01.DAT" << false << "F" << QStringList();
  }

  void vcd() {
    QFETCH(QString, drives);
    QFETCH(bool, opens);
    QFETCH(QString, searched);
    QFETCH(QStringList, listed);
    Rig r;
    for (const QString& d : drives.split(' ', Qt::SkipEmptyParts)) {
      const QStringList files = d.section('=', 1).split(',', Qt::SkipEmptyParts);
      if (d.contains('=')) r.fp.drives.files[d.at(0)] = files;
      r.fp.drives.add(d.at(0), QString(), d.mid(1, 2) == ":2" ? Drives::Removable : Drives::CdRom);
      for (const QString& f : files)
        if (opens) r.fp.media.script.lengths[d.at(0).toUpper() + QString(":\\Mpegav\\") + f] = 4000;
    }
    searched += ":\\Mpegav\\";
    r.w.filelist = QStringList{"", "old1", "old2", "old3", "old4", "old5"};  // a longer list from before
    QTest::mouseClick(r.w.vcdload, Qt::LeftButton);
    QCOMPARE(r.fp.drives.searches, QStringList{searched + "*.dat"});
    if (listed.isEmpty()) {  // said, and the window as at start-up, no device open
      QCOMPARE(r.fp.messages.texts(), QStringList{"VCD影片未准备好，或者VCD格式不标准。"});
      QCOMPARE(r.rows(), QStringList{kHeader});
      QVERIFY(!r.mc().isOpen() && !r.w.HScroll1->isEnabled());
      return;
    }
    QVERIFY2(r.fp.messages.shown.isEmpty(), qPrintable(r.fp.messages.texts().join('\n')));
    QCOMPARE(r.rows(), QStringList{kHeader} + listed);
    QCOMPARE(r.w.lsttrack->currentRow(), 1);
    QCOMPARE(r.log.filter(QRegularExpression("^(open|play)")), (QStringList{"open " + searched + listed[0], "play"}));
    r.dev().advance(4000);  // entry 1 ends: the list goes on, never to an entry of the list before
    r.tick();
    QCOMPARE(r.lastOpened(), "open " + searched + listed.value(1, listed[0]));
  }
};

QTEST_MAIN(TestModes)
#include "test_modes.moc"
