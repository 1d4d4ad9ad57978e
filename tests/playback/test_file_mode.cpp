// Single files and playlists on the main window over a scripted media device (25 frames
// per second: a frame is 40 ms), and the playlist window over a folder of real files.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "app/frmcd.h"
#include "core/range_scrollbar.h"
#include "fakes/fakes.h"
#include "playback/media_control.h"
#include "playback/multi.h"

namespace {
constexpr qint64 kMsPerFrame = 40;
const QString kHeader = QStringLiteral("播放列表:");

QStringList texts(const QListWidget* l) {
  QStringList t;
  for (int i = 0; i < l->count(); ++i) t << l->item(i)->text();
  return t;
}

// A folder of real files as the current folder, the main window on fakes.
struct Rig {
  QTemporaryDir tmp;
  QString dir = QDir(tmp.path()).canonicalPath();
  FakePlatform fp;
  Platform p = fp.platform();
  std::unique_ptr<frmcd> w;
  QStringList& log = fp.media.script.log;

  Rig() {
    QDir(dir).mkdir("sub");
    for (const char* name : {"a.wav", "b.mp3", "C.MP3", "d.mid", "sub/e.wav"}) {
      QFile(at(name)).open(QIODevice::WriteOnly);
      fp.media.script.lengths[at(name)] = 3000;
    }
    QDir::setCurrent(dir);
    fp.pictures.add(fp.programFolder + "/bg.bmp");
    w = std::make_unique<frmcd>(p);
    w->start();
  }
  MediaControl& mc() const { return *w->mcicdplayer; }
  FakeMediaDevice& dev() const { return *fp.media.script.current; }
  void chooseFile(const QString& path, qint64 lengthMs = 60000) {
    fp.media.script.lengths[path] = lengthMs;
    fp.filePicker.answers.emplace_back(path);
    w->action("menu_vcd")->trigger();
  }
  static multi* window() {
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* m = qobject_cast<multi*>(t); m && m->isVisible()) return m;
    return nullptr;
  }
  multi& open() {
    w->action("menu_multi")->trigger();
    if (!window()) qFatal("the playlist window did not open");
    return *window();
  }
  static void click(QListWidget* l, const QString& text, bool twice = false) {
    const QList<QListWidgetItem*> found = l->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    const QPoint at = l->visualItemRect(found.first()).center();
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, at);  // the first click of a pair selects
    if (twice) QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, at);
  }
  static void choose(multi& m, const QStringList& names) {
    for (const QString& n : names) {
      click(m.File1, n);
      QTest::mouseClick(m.cmd_add, Qt::LeftButton);
    }
  }
  void playlist(const QStringList& names) {
    multi& m = open();
    choose(m, names);
    QTest::mouseClick(m.cmd_ok, Qt::LeftButton);
  }
  void tick() { Q_EMIT mc().StatusUpdate(); }
  QStringList opened() const { return log.filter(QRegularExpression("^open ")); }
  QString at(const QString& name) const { return dir + '/' + name; }
};
}  // namespace

class TestFileMode : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void singleFile_data() {
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("185.5 s rounds up") << qint64(185500) << "03:06";
    QTest::newRow("59.5 s rounds to even 60") << qint64(59500) << "01:00";
    QTest::newRow("60.5 s rounds to even 60") << qint64(60500) << "01:00";
    QTest::newRow("three-digit minutes") << qint64(6000000) << "100:00";
  }

  void singleFile() {
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    Rig r;
    r.fp.settings.set("kj", "hsb", "0");  // the slider switched off: a file shows it all the same
    r.w->reload();
    QVERIFY(r.w->HScroll1->isHidden());
    r.chooseFile("/m/clip.avi", ms);
    QCOMPARE(r.w->lbltime->text(), text);
    QCOMPARE(texts(r.w->lsttrack), (QStringList{kHeader, "/m/clip.avi"}));
    QCOMPARE(r.w->lbltrack->text(), QStringLiteral("1"));
    QCOMPARE(r.w->windowTitle(), QStringLiteral("Savrel超级播放器-播放多媒体文件"));
    QVERIFY(r.w->HScroll1->isVisible());
    Rig::click(r.w->lsttrack, "/m/clip.avi", true);  // a file chosen alone is no list: nothing restarts
    QCOMPARE(r.opened(), QStringList{"open /m/clip.avi"});
  }

  // A cancelled dialog ends quietly, a failed open with a message; either way the window goes on working.
  void dialogOutcome_data() {
    QTest::addColumn<QString>("broken");  // empty: the dialog is cancelled
    QTest::newRow("cancel after a capture") << QString();
    QTest::newRow("single file fails") << "/m/broken.avi";
    QTest::newRow("playlist entry fails") << "C.MP3";
  }

  void dialogOutcome() {
    QFETCH(QString, broken);
    Rig r;
    r.chooseFile("/m/a.mp3");
    r.w->vcddialog->setDialogTitle("存储文件");  // what a capture leaves on the shared dialog
    r.w->vcddialog->setCancelError(true);
    const qsizetype opens = r.opened().size();
    if (broken.endsWith(".MP3")) {
      r.fp.media.script.lengths.remove(r.at(broken));
      r.playlist({broken, "a.wav"});
    } else {
      if (!broken.isEmpty()) r.fp.filePicker.answers.emplace_back(broken);
      r.w->action("menu_vcd")->trigger();  // with no answer queued: cancel
    }
    QCOMPARE(r.fp.messages.shown.size(), broken.isEmpty() ? 0 : 1);
    QVERIFY(broken.isEmpty() ? r.opened().size() == opens : r.fp.messages.texts()[0].contains(broken));
    QVERIFY(r.w->isVisible() && r.w->isEnabled() && !r.mc().isOpen());
    r.chooseFile("/m/ok.mp3");
    QCOMPARE(r.opened().last(), QStringLiteral("open /m/ok.mp3"));
    QVERIFY(r.mc().Mode() == MediaDevice::Playing);
  }

  // Back, Step and the slider set From (frames) and seek there; the status tick sets the slider (percent).
  void positions_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("length");  // frames
    QTest::addColumn<int>("at");      // frame the device stands at, or the slider value
    QTest::addColumn<int>("expected");
    QTest::newRow("back before the start") << "back" << 10000 << 400 << 1;
    QTest::newRow("back") << "back" << 10000 << 5000 << 4000;
    QTest::newRow("step past the end") << "step" << 10000 << 9500 << 10000;
    QTest::newRow("slider half") << "slider" << 200000 << 50 << 100000;
    QTest::newRow("slider, 2.5 rounds to even") << "slider" << 250 << 1 << 2;
    QTest::newRow("tick, 33.3 percent") << "tick" << 1000 << 333 << 33;
    QTest::newRow("tick, 2.5 percent rounds to even") << "tick" << 1000 << 25 << 2;
  }

  void positions() {
    QFETCH(QString, action);
    QFETCH(int, length);
    QFETCH(int, at);
    QFETCH(int, expected);
    Rig r;
    r.chooseFile("/m/a.mpg", length * kMsPerFrame);
    r.log.clear();
    RangeScrollBar* s = r.w->HScroll1;
    if (action == "tick") {
      r.dev().setPosition(at * kMsPerFrame);
      r.tick();
      QCOMPARE(s->Value(), expected);
      return;
    }
    if (action == "slider") {
      s->setSliderDown(true);
      s->setSliderPosition(at);
    } else {
      r.dev().setPosition(at * kMsPerFrame);
      r.mc().button(action == "back" ? MediaControl::Back : MediaControl::Step)->click();
    }
    QCOMPARE(r.mc().From(), expected);
    // Only the handler's stop, seek and play reach the device: a button's own frame step is not applied on top.
    const QStringList sent{"stop", QStringLiteral("seek %1").arg(expected * kMsPerFrame), "play"};
    QCOMPARE(r.log, sent.mid(action == "slider" ? 0 : 1));
    if (action == "slider") {  // the next tick leaves the slider where the hand put it
      r.dev().setPosition(0);
      r.tick();
      QCOMPARE(s->Value(), at);
    }
  }

  // Entries 1, 2, 3 (the first file again), then back to 1 at the end, by the status tick alone.
  void playlistRunsAndWraps() {
    Rig r;
    r.playlist({"a.wav", "b.mp3", "a.wav"});
    auto at = [&r](int entry) {
      QCOMPARE(r.w->curfile, entry);
      QCOMPARE(r.w->lsttrack->currentRow(), entry);
      QCOMPARE(r.w->lbltrack->text(), QString::number(entry));
      QCOMPARE(r.opened().last(), "open " + r.at(entry == 2 ? "b.mp3" : "a.wav"));
    };
    at(1);
    Rig::click(r.w->lsttrack, kHeader, true);  // the header row plays nothing
    r.dev().advance(1000);
    r.tick();  // still playing: nothing changes
    QCOMPARE(r.opened().size(), 1);
    for (const int entry : {2, 3, 1}) {
      r.dev().advance(5000);
      r.tick();
      at(entry);
    }
    QCOMPARE(r.opened().size(), 4);
    r.mc().button(MediaControl::Prev)->click();  // no wrap backwards
    at(1);
    r.mc().button(MediaControl::Next)->click();  // one entry on: the control's own "next" does not skip another
    at(2);
    QCOMPARE(r.dev().positionMs(), 0);
    QVERIFY(r.mc().Mode() == MediaDevice::Playing);
  }

  void choosingInTheWindow() {
    Rig r;
    r.fp.drives.add('e', QString(), Drives::CdRom, "VCD");  // no disc
    r.fp.drives.add('f', "/nonexistent/mirova", Drives::CdRom, "GONE");
    multi& m = r.open();
    QTest::mouseClick(m.cmd_ok, Qt::LeftButton);  // with an empty list OK leaves the window open
    QVERIFY(Rig::window() == &m && !r.w->isEnabled());
    QTest::mouseClick(m.cmd_add, Qt::LeftButton);  // nothing selected: nothing added
    QCOMPARE(m.List1->count(), 0);
    Rig::choose(m, {"b.mp3", "a.wav", "d.mid"});
    QTest::mouseClick(m.cmd_red, Qt::LeftButton);  // nothing selected: nothing removed
    QCOMPARE(texts(m.List1), (QStringList{"b.mp3", "a.wav", "d.mid"}));
    Rig::click(m.List1, "a.wav");
    QTest::mouseClick(m.cmd_red, Qt::LeftButton);
    QCOMPARE(texts(m.List1), (QStringList{"b.mp3", "d.mid"}));
    Rig::click(m.Dir1, "sub", true);
    QCOMPARE(texts(m.File1), QStringList{"e.wav"});
    QCOMPARE(m.List1->count(), 0);                         // a folder change empties the chosen list
    for (const char* drive : {"e: [VCD]", "f: [GONE]"}) {  // an unreadable drive falls back to the root
      const int i = m.Drive1->findText(drive);
      m.Drive1->setCurrentIndex(i);
      Q_EMIT m.Drive1->activated(i);
      QCOMPARE(m.Drive1->drive(), QStringLiteral("c:"));
      QCOMPARE(m.Dir1->path(), QStringLiteral("/"));
    }
    QCOMPARE(r.fp.messages.texts(), (QStringList{"驱动器错误！", "驱动器错误！"}));
    QVERIFY(r.log.isEmpty());
  }

  void patternFiltersOnEachKey() {
    Rig r;
    QLineEdit* edit = r.open().filetype->lineEdit();
    edit->clear();
    const QList<QPair<char, QStringList>> steps{
        {'*', {"a.wav", "b.mp3", "C.MP3", "d.mid"}}, {'.', {}}, {'m', {}}, {'p', {}}, {'3', {"b.mp3", "C.MP3"}}};
    for (const auto& [key, shown] : steps) {
      QTest::keyClick(edit, key);
      QCOMPARE(texts(Rig::window()->File1), shown);
    }
  }

  void leavingWithoutOk_data() {
    QTest::addColumn<bool>("frameClose");
    QTest::addColumn<bool>("listPlaying");
    QTest::newRow("Cancel, nothing playing") << false << false;
    QTest::newRow("Cancel while a list plays") << false << true;
    QTest::newRow("frame close, nothing playing") << true << false;
    QTest::newRow("frame close while a list plays") << true << true;
  }

  void leavingWithoutOk() {
    QFETCH(bool, frameClose);
    QFETCH(bool, listPlaying);
    Rig r;
    if (listPlaying) r.playlist({"a.wav", "b.mp3"});
    const QStringList rows = texts(r.w->lsttrack);
    const auto listmode = r.w->listmode;
    const qsizetype logged = r.log.size();
    multi& m = r.open();  // files chosen in another folder, then away without OK
    Rig::click(m.Dir1, "sub", true);
    Rig::choose(m, {"e.wav"});
    frameClose ? void(m.close()) : QTest::mouseClick(m.cmd_cancel, Qt::LeftButton);
    QVERIFY(!Rig::window() && r.w->isEnabled());
    QCOMPARE(texts(r.w->lsttrack), rows);
    QCOMPARE(r.w->listmode, listmode);
    QCOMPARE(r.log.size(), logged);  // nothing stopped, closed or opened
    QCOMPARE(r.mc().isOpen(), listPlaying);
    if (listPlaying) {  // the list goes on in its own folder
      QVERIFY(r.mc().Mode() == MediaDevice::Playing);
      r.dev().advance(5000);
      r.tick();
      QCOMPARE(r.opened().last(), "open " + r.at("b.mp3"));
    }
  }
};

QTEST_MAIN(TestFileMode)
#include "test_file_mode.moc"
