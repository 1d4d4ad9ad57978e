// SPDX-License-Identifier: GPL-3.0-or-later
// Files and playlists over a scripted device, the playlist window over real files, drive letters.
#include <QtTest>
#include <QtWidgets>

#include "app/frmcd.h"
#include "core/range_scrollbar.h"
#include "disc/drives.h"
#include "fakes/fakes.h"
#include "playback/media_control.h"
#include "playback/multi.h"

namespace {
QStringList texts(const QListWidget* l) {
  QStringList t;
  for (int i = 0; i < l->count(); ++i) t << l->item(i)->text();
  return t;
}

struct Rig {  // a folder of real files as the current folder, the main window on fakes
  QTemporaryDir tmp;
  QString dir = QDir(tmp.path()).canonicalPath();
  FakePlatform fp;
  Platform p = fp.platform();
  frmcd w{p};
  QStringList& log = fp.media.script.log;

  Rig() {
    QDir(dir).mkdir("sub");
    for (const char* name : {"a.wav", "b.mp3", "C.MP3", "d.mid", "sub/e.wav"}) {
      QFile(at(name)).open(QIODevice::WriteOnly);
      fp.media.script.lengths[at(name)] = 3000;
    }
    QDir::setCurrent(dir);
    fp.pictures.add(fp.programFolder + "/bg.bmp");
    w.start();
  }
  MediaControl& mc() const { return *w.mcicdplayer; }
  FakeMediaDevice& dev() const { return *fp.media.script.current; }
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
    const QPoint at = l->visualItemRect(l->findItems(text, Qt::MatchExactly).value(0)).center();
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, at);  // the first click of a pair selects
    if (twice) QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, at);
  }
  static void choose(multi& m, const QStringList& names, bool ok = false) {
    for (const QString& n : names) {
      click(m.File1, n);
      QTest::mouseClick(m.cmd_add, Qt::LeftButton);
    }
    if (ok) QTest::mouseClick(m.cmd_ok, Qt::LeftButton);
  }
  QStringList opened() const { return log.filter(QRegularExpression("^open ")); }
  QString at(const QString& name) const { return dir + '/' + name; }
};
}  // namespace

class TestFileMode : public QObject {
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
    QTest::newRow("slider half") << "slider" << 8000000 << "133:20" << 50 << 100000;
    QTest::newRow("slider, 2.5 rounds to even") << "slider" << 10000 << "00:10" << 1 << 2;
    QTest::newRow("tick, 33.3 percent") << "tick" << 40000 << "00:40" << 333 << 33;
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
    const auto button = action == "back" ? MediaControl::Back : MediaControl::Step;
    if (action == "slider") r.w.HScroll1->setSliderPosition(at);
    if (action == "tick") Q_EMIT r.mc().StatusUpdate();
    if (action == "back" || action == "step") r.mc().button(button)->click();
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
  }

  // A length the device is still measuring reads 0: no end and no
  // division by it; the time label shows the length once it is known.
  void lengthKnownLater() {
    Rig r;
    r.fp.media.script.lengths[r.at("a.wav")] = 0;
    Rig::choose(r.open(), {"a.wav", "b.mp3"}, true);
    QCOMPARE(r.w.lbltime->text(), QStringLiteral("00:00"));
    for (int tick = 0; tick < 2; ++tick) {
      Q_EMIT r.mc().StatusUpdate();
      r.dev().advance(1000);
    }
    QCOMPARE(r.opened(), QStringList{"open " + r.at("a.wav")});
    QCOMPARE(r.mc().Mode(), int(MediaDevice::Playing));
    QCOMPARE(r.w.lsttrack->count(), 3);
    r.dev().learnLength(186000);
    QCOMPARE(r.w.lbltime->text(), QStringLiteral("03:06"));
    QCOMPARE(r.mc().TimeFormat(), int(MediaControl::Frames));
    Q_EMIT r.mc().StatusUpdate();
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
    QCOMPARE(r.fp.messages.boxes, QStringList{"Savrel超级播放器: 播放出错，已停止。\nCannot play \"" + r.at("a.wav") +
                                              "\": the decoder gave up"});
    QCOMPARE(r.w.lblindicator->palette().color(QPalette::Window), QColor(0x40, 0x40, 0x40));
    QCOMPARE(r.mc().UpdateInterval(), list ? 1000 : 0);
    Q_EMIT r.mc().StatusUpdate();
    QCOMPARE(r.opened().last(), "open " + r.at(list ? "b.mp3" : "a.wav"));
    QVERIFY(r.w.isEnabled());
    QCOMPARE(r.mc().button(MediaControl::Play)->isEnabled(), !list);  // a list plays its next entry
    QCOMPARE(r.fp.messages.boxes.size(), 1);
  }

  // One file twice in a list goes on through the window left without OK, and wraps at the end.
  void playlistGoesOnAndWraps() {
    for (const bool frameClose : {false, true}) {
      Rig r;
      Rig::choose(r.open(), {"a.wav", "b.mp3", "a.wav"}, true);
      const QStringList rows = texts(r.w.lsttrack);
      multi& m = r.open();  // files chosen in another folder must never start
      Rig::click(m.Dir1, "sub", true);
      Rig::choose(m, {"e.wav"});
      frameClose ? void(m.close()) : QTest::mouseClick(m.cmd_cancel, Qt::LeftButton);
      QVERIFY(!Rig::window() && r.w.isEnabled() && r.mc().Mode() == MediaDevice::Playing);
      QCOMPARE(texts(r.w.lsttrack), rows);
      Rig::click(r.w.lsttrack, QStringLiteral("播放列表:"), true);  // the header row plays nothing
      r.dev().advance(1000);
      Q_EMIT r.mc().StatusUpdate();
      QCOMPARE(r.log.filter(QRegularExpression("^(open|stop|close)")), QStringList{"open " + r.at("a.wav")});
      for (const int entry : {2, 3, 1}) {
        r.dev().advance(5000);
        Q_EMIT r.mc().StatusUpdate();
        QCOMPARE(r.w.lsttrack->currentRow(), entry);
        QCOMPARE(r.opened().last(), "open " + r.at(entry == 2 ? "b.mp3" : "a.wav"));
      }
      QCOMPARE(r.opened().size(), 4);
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
      QCOMPARE(texts(m.File1), shown);
    }
    QTest::mouseClick(m.cmd_ok, Qt::LeftButton);  // with an empty list OK leaves the window open
    QVERIFY(Rig::window() == &m && !r.w.isEnabled());
    QTest::mouseClick(m.cmd_add, Qt::LeftButton);  // nothing selected: nothing added
    QCOMPARE(m.List1->count(), 0);
    Rig::choose(m, {"b.mp3", "C.MP3"});
    QTest::mouseClick(m.cmd_red, Qt::LeftButton);  // nothing selected: nothing removed
    QCOMPARE(texts(m.List1), (QStringList{"b.mp3", "C.MP3"}));
    Rig::click(m.Dir1, "sub", true);
    QCOMPARE(m.List1->count(), 0);                  // a folder change empties the chosen list
    const int i = m.Drive1->findText("f: [GONE]");  // an unreadable drive falls back to the root
    m.Drive1->setCurrentIndex(i);
    Q_EMIT m.Drive1->activated(i);
    QCOMPARE(m.Drive1->drive(), QStringLiteral("c:"));
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
    const QString h = QStringLiteral("播放列表:");
    QTest::newRow("a file") << QStringList{"b.mp3"} << QStringList{"b.mp3"} << QStringList() << QString();
    QTest::newRow("a missing file") << QStringList{"gone.mp3"} << QStringList{"gone.mp3"} << QStringList() << QString();
    QTest::newRow("a folder: its media files")
        << QStringList{"."} << QStringList{"a.wav", "b.mp3", "C.MP3", "d.mid"} << QStringList() << QString();
    QTest::newRow("files in the order given") << QStringList{"d.mid", "a.wav", "d.mid"}
                                              << QStringList{"d.mid", "a.wav", "d.mid"} << QStringList() << QString();
    QTest::newRow("files of two folders")
        << QStringList{"sub/e.wav", "a.wav"} << QStringList() << QStringList{h, "sub/e.wav", "a.wav"} << QString();
    QTest::newRow("a missing file among others") << QStringList{"a.wav", "gone.mp3", "b.mp3"} << QStringList()
                                                 << QStringList{h, "a.wav", "b.mp3"} << "无法打开文件：%1/gone.mp3";
    QTest::newRow("a disc's mount point, the desktop's view of a CD")
        << QStringList{"disc", "cdda:host=sr0"} << QStringList() << QStringList{h} << QString();
  }

  void openPaths() {
    QFETCH(QStringList, paths);
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, rows);
    QFETCH(QString, message);
    auto seen = [](Rig& r) {  // the rig's own folder as "%1"
      return QStringList{texts(r.w.lsttrack).join('|'), r.w.windowTitle(),
                         r.w.lbltrack->text(),          r.w.multidir,
                         r.opened().join('|'),          r.fp.messages.boxes.join('|')}
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
      QCOMPARE(texts(r.w.lsttrack), rows);
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
};

QTEST_MAIN(TestFileMode)
#include "test_file_mode.moc"
