// The playlist window over a folder of real files, handing over to the main
// window on fakes: lists, chosen entries, OK, Cancel, frame close, drives.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/frmcd.h"
#include "fakes/fakes.h"
#include "playback/media_control.h"
#include "playback/multi.h"

namespace {
const QString kHeader = QStringLiteral("播放列表:");
const QString kDriveError = QStringLiteral("驱动器错误！");

QStringList texts(const QListWidget* l) {
  QStringList t;
  for (int i = 0; i < l->count(); ++i) t << l->item(i)->text();
  return t;
}

void touch(const QString& path) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
}

// A folder of real files as the current folder, the main window on fakes.
struct Rig {
  QTemporaryDir tmp;
  QString home = QDir::currentPath();
  QString dir;
  FakePlatform fp;
  Platform p = fp.platform();
  std::unique_ptr<frmcd> w;
  QStringList& log = fp.media.script.log;

  Rig() {
    dir = QDir(tmp.path()).canonicalPath();
    for (const char* name : {"a.wav", "b.mp3", "C.MP3", "d.mid", "noext", ".hidden.mp3", "[1] f.wav"})
      touch(dir + QLatin1Char('/') + QLatin1String(name));
    QDir(dir).mkpath(QStringLiteral("sub/deeper"));
    QDir(dir).mkpath(QStringLiteral(".git"));
    touch(dir + QStringLiteral("/sub/e.wav"));
    for (const char* name : {"a.wav", "b.mp3", "C.MP3", "d.mid", "noext", "sub/e.wav"})
      fp.media.script.lengths[dir + QLatin1Char('/') + QLatin1String(name)] = 3000;
    QDir::setCurrent(dir);
    fp.pictures.add(fp.programFolder + QStringLiteral("/bg.bmp"));
    w = std::make_unique<frmcd>(p);
    w->start();
  }
  ~Rig() {
    if (multi* m = window()) m->close();
    w.reset();
    QDir::setCurrent(home);
  }
  static multi* window() {
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* m = qobject_cast<multi*>(t); m && m->isVisible()) return m;
    return nullptr;
  }
  multi& open() {
    w->action(QStringLiteral("menu_multi"))->trigger();
    multi* m = window();
    if (!m) qFatal("the playlist window did not open");
    return *m;
  }
  // Picks a file the way a user does: a click on its row.
  static void pick(multi& m, const QString& name) {
    const QList<QListWidgetItem*> found = m.File1->findItems(name, Qt::MatchExactly);
    QVERIFY2(found.size() == 1, qPrintable(name));
    QTest::mouseClick(m.File1->viewport(), Qt::LeftButton, {}, m.File1->visualItemRect(found.first()).center());
  }
  static void choose(multi& m, const QStringList& names) {
    for (const QString& n : names) {
      pick(m, n);
      QTest::mouseClick(m.cmd_add, Qt::LeftButton);
    }
  }
  static void doubleClick(QListWidget* l, const QString& text) {
    const QList<QListWidgetItem*> found = l->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    const QPoint at = l->visualItemRect(found.first()).center();
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, at);
  }
  // The playing entry runs to its end and the status tick moves on.
  void endOfEntry() {
    fp.media.script.current->advance(fp.media.script.current->lengthMs());
    Q_EMIT w->mcicdplayer->StatusUpdate();
  }
  QStringList opened() const { return log.filter(QRegularExpression(QStringLiteral("^open "))); }
  QString at(const QString& name) const { return dir + QLatin1Char('/') + name; }
};
}  // namespace

class TestPlaylist : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void layout_data();
  void layout();
  void startsInCurrentFolder();
  void pattern_data();
  void pattern();
  void patternFollowsEachKey();
  void chooseAndRemove();
  void folderChangeEmptiesChosen();
  void unreadableFolderStays();
  void okHandsOverAndPlaysInOrder();
  void okWithEmptyListStaysOpen();
  void unplayableFirstFileIsReported();
  void leavingWithoutOk_data();
  void leavingWithoutOk();
  void drives_data();
  void drives();
  void longestList();
};

void TestPlaylist::layout_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("twipRect");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("tip");
  const auto row = [](const char* n, QRect r, const char* cap, const char* tip) {
    QTest::newRow(n) << QString::fromLatin1(n) << r << QString::fromUtf8(cap) << QString::fromUtf8(tip);
  };
  row("Drive1", {120, 120, 1695, 300}, "", "");
  row("Dir1", {120, 480, 1695, 2400}, "", "");
  row("File1", {1920, 480, 1695, 2430}, "", "可供选择的文件");
  row("cmd_add", {3720, 480, 615, 375}, ">", "选择");
  row("cmd_red", {3720, 1200, 615, 375}, "<", "清除");
  row("red_all", {3720, 1920, 615, 375}, "<<", "全部清除");
  row("List1", {4440, 480, 1575, 2400}, "", "已选择的文件");
  row("cmd_ok", {6120, 720, 975, 375}, "确定", "");
  row("cmd_cancel", {6120, 1680, 975, 375}, "取消", "");
  row("filetype", {1920, 120, 1695, 300}, "*.*", "文件类型");
  row("Label1", {4440, 240, 1335, 255}, "已选文件：", "");
}

void TestPlaylist::layout() {
  QFETCH(QString, name);
  QFETCH(QRect, twipRect);
  QFETCH(QString, caption);
  QFETCH(QString, tip);
  Rig r;
  QVERIFY(r.w->isEnabled());
  multi& m = r.open();
  QCOMPARE(m.windowTitle(), QStringLiteral("选择多个文件"));
  QCOMPARE(m.size(), QSize(479, 200));
  QVERIFY(!r.w->isEnabled());
  QWidget* c = m.findChild<QWidget*>(name);
  QVERIFY(c);
  QCOMPARE(c->geometry(), QRect(twipRect.x() / 15, twipRect.y() / 15, twipRect.width() / 15, twipRect.height() / 15));
  QCOMPARE(c->toolTip(), tip);
  if (auto* b = qobject_cast<QPushButton*>(c)) QCOMPARE(b->text(), caption);
  if (auto* l = qobject_cast<QLabel*>(c)) QCOMPARE(l->text(), caption);
  if (auto* t = qobject_cast<QComboBox*>(c); t && t->isEditable()) {
    QCOMPARE(t->currentText(), caption);
    QStringList items;
    for (int i = 0; i < t->count(); ++i) items << t->itemText(i);
    QCOMPARE(items, (QStringList{"*.*", "*.wav", "*.mid", "*.avi", "*.mp3", "*.mpg", "*.dat"}));
  }
  // Tab order 0 to 9; the label takes no focus.
  QStringList order;
  for (QWidget* f = m.Drive1; order.size() < 10; f = f->nextInFocusChain())
    if (f->parentWidget() == &m && (f->focusPolicy() & Qt::TabFocus)) order << f->objectName();
  QCOMPARE(order, (QStringList{"Drive1", "Dir1", "File1", "cmd_add", "cmd_red", "red_all", "List1", "cmd_ok",
                               "cmd_cancel", "filetype"}));
  QTest::mouseClick(m.cmd_cancel, Qt::LeftButton);
  QVERIFY(!Rig::window());
  QVERIFY(r.w->isEnabled());
}

void TestPlaylist::startsInCurrentFolder() {
  Rig r;
  multi& m = r.open();
  QCOMPARE(m.Drive1->drive(), QStringLiteral("c:"));
  QCOMPARE(m.Drive1->currentText(), QStringLiteral("c: [/]"));
  QCOMPARE(m.Dir1->path(), r.dir);
  // Hidden files and folders stay out; names sort without regard to case.
  QCOMPARE(texts(m.File1), (QStringList{"[1] f.wav", "a.wav", "b.mp3", "C.MP3", "d.mid", "noext"}));
  const QStringList dirRows = texts(m.Dir1);
  QCOMPARE(dirRows.first(), QStringLiteral("/"));
  QCOMPARE(dirRows.mid(dirRows.size() - 2), (QStringList{QDir(r.dir).dirName(), "sub"}));
  QCOMPARE(m.Dir1->currentItem()->text(), QDir(r.dir).dirName());
  QVERIFY(m.List1->count() == 0);
  QVERIFY(m.File1->fileName().isEmpty());
  m.close();

  // A current folder on another drive starts there, below that drive's root.
  const QString parent = QFileInfo(r.dir).path();
  r.fp.drives.add(QLatin1Char('e'), parent, Drives::Removable, QStringLiteral("STICK"));
  multi& again = r.open();
  QCOMPARE(again.Drive1->currentText(), QStringLiteral("e: [STICK]"));
  QCOMPARE(again.Dir1->path(), r.dir);
  QCOMPARE(texts(again.Dir1).first(), parent);
  QCOMPARE(again.File1->count(), 6);
}

void TestPlaylist::pattern_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QStringList>("shown");
  const QStringList all{"[1] f.wav", "a.wav", "b.mp3", "C.MP3", "d.mid", "noext"};
  QTest::newRow("every file, with or without extension") << "*.*" << all;
  QTest::newRow("extension in any case") << "*.mp3" << QStringList{"b.mp3", "C.MP3"};
  QTest::newRow("upper-case pattern") << "*.WAV" << QStringList{"[1] f.wav", "a.wav"};
  QTest::newRow("several patterns") << "*.wav; *.mid" << QStringList{"[1] f.wav", "a.wav", "d.mid"};
  QTest::newRow("name with any extension or none") << "noext.*" << QStringList{"noext"};
  QTest::newRow("single-character wildcard") << "?.mp3" << QStringList{"b.mp3", "C.MP3"};
  QTest::newRow("nothing matches") << "*.avi" << QStringList{};
  QTest::newRow("cleared text shows all") << "" << all;
  QTest::newRow("brackets are part of the name") << "[1]*" << QStringList{"[1] f.wav"};
}

void TestPlaylist::pattern() {
  QFETCH(QString, typed);
  QFETCH(QStringList, shown);
  Rig r;
  multi& m = r.open();
  QLineEdit* edit = m.filetype->lineEdit();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, typed);
  QCOMPARE(m.filetype->currentText(), typed);
  QCOMPARE(texts(m.File1), shown);
}

void TestPlaylist::patternFollowsEachKey() {
  Rig r;
  multi& m = r.open();
  QLineEdit* edit = m.filetype->lineEdit();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  const QList<QPair<char, QStringList>> steps{{'*', {"[1] f.wav", "a.wav", "b.mp3", "C.MP3", "d.mid", "noext"}},
                                              {'.', {}},
                                              {'m', {}},
                                              {'p', {}},
                                              {'3', {"b.mp3", "C.MP3"}}};
  for (const auto& [key, shown] : steps) {
    QTest::keyClick(edit, key);
    QCOMPARE(texts(m.File1), shown);
  }
  // Picking from the list applies the picked pattern.
  const int mid = m.filetype->findText(QStringLiteral("*.mid"));
  m.filetype->setCurrentIndex(mid);
  Q_EMIT m.filetype->activated(mid);
  QCOMPARE(texts(m.File1), QStringList{"d.mid"});
}

void TestPlaylist::chooseAndRemove() {
  Rig r;
  multi& m = r.open();
  // Nothing selected: ">" adds nothing.
  QTest::mouseClick(m.cmd_add, Qt::LeftButton);
  QCOMPARE(m.List1->count(), 0);
  Rig::choose(m, {"b.mp3", "a.wav", "b.mp3"});
  Rig::doubleClick(m.File1, "d.mid");
  QCOMPARE(texts(m.List1), (QStringList{"b.mp3", "a.wav", "b.mp3", "d.mid"}));
  // Nothing selected in the chosen list: "<" removes nothing.
  QTest::mouseClick(m.cmd_red, Qt::LeftButton);
  QCOMPARE(m.List1->count(), 4);
  QTest::mouseClick(m.List1->viewport(), Qt::LeftButton, {}, m.List1->visualItemRect(m.List1->item(2)).center());
  QTest::mouseClick(m.cmd_red, Qt::LeftButton);
  QCOMPARE(texts(m.List1), (QStringList{"b.mp3", "a.wav", "d.mid"}));
  // The removed entry's neighbour is not taken by a second press.
  QTest::mouseClick(m.cmd_red, Qt::LeftButton);
  QCOMPARE(m.List1->count(), 3);
  Rig::doubleClick(m.List1, "a.wav");
  QCOMPARE(texts(m.List1), (QStringList{"b.mp3", "d.mid"}));
  QTest::mouseClick(m.red_all, Qt::LeftButton);
  QCOMPARE(m.List1->count(), 0);
}

void TestPlaylist::folderChangeEmptiesChosen() {
  Rig r;
  multi& m = r.open();
  Rig::choose(m, {"a.wav", "b.mp3"});
  Rig::doubleClick(m.Dir1, "sub");
  QCOMPARE(m.Dir1->path(), r.at("sub"));
  QCOMPARE(m.List1->count(), 0);
  QCOMPARE(texts(m.File1), QStringList{"e.wav"});
  QCOMPARE(texts(m.Dir1).mid(texts(m.Dir1).size() - 2), (QStringList{"sub", "deeper"}));
  // Up again through the parent's row.
  Rig::choose(m, {"e.wav"});
  Rig::doubleClick(m.Dir1, QDir(r.dir).dirName());
  QCOMPARE(m.Dir1->path(), r.dir);
  QCOMPARE(m.List1->count(), 0);
  QCOMPARE(m.File1->count(), 6);
  // Enter works as a double-click.
  m.Dir1->setCurrentItem(m.Dir1->findItems(QStringLiteral("sub"), Qt::MatchExactly).first());
  QTest::keyClick(m.Dir1, Qt::Key_Return);
  QCOMPARE(m.Dir1->path(), r.at("sub"));
}

void TestPlaylist::unreadableFolderStays() {
  Rig r;
  QDir(r.dir).mkdir(QStringLiteral("gone"));
  multi& m = r.open();
  Rig::choose(m, {"a.wav"});
  QVERIFY(QDir(r.dir).rmdir(QStringLiteral("gone")));
  Rig::doubleClick(m.Dir1, "gone");
  QCOMPARE(r.fp.messages.texts(), QStringList{"无法打开该文件夹。"});
  QCOMPARE(m.Dir1->path(), r.dir);
  QCOMPARE(m.List1->count(), 1);
}

void TestPlaylist::okHandsOverAndPlaysInOrder() {
  Rig r;
  multi& m = r.open();
  Rig::choose(m, {"a.wav", "b.mp3", "a.wav"});
  QTest::mouseClick(m.cmd_ok, Qt::LeftButton);
  QVERIFY(!Rig::window());
  QVERIFY(r.w->isEnabled());
  QCOMPARE(texts(r.w->lsttrack), (QStringList{kHeader, "a.wav", "b.mp3", "a.wav"}));
  QCOMPARE(r.w->lsttrack->currentRow(), 1);
  QCOMPARE(r.w->multidir, r.dir);
  QCOMPARE(r.w->listmode, basic::kTrue);
  QCOMPARE(r.w->multimode, basic::kTrue);
  QCOMPARE(r.w->mcicdplayer->DeviceType(), QString());
  QCOMPARE(r.w->filelist, (QStringList{"", "a.wav", "b.mp3", "a.wav"}));
  QCOMPARE(r.w->listcount, qint16(4));
  QCOMPARE(r.w->curfile, qint16(1));
  QCOMPARE(r.w->windowTitle(), QStringLiteral("Savrel超级播放器-播放多媒体文件"));
  QCOMPARE(r.fp.media.script.current->mode(), int(MediaDevice::Playing));
  // On its own: 1, 2, 3 (the same file again), then 1 once more.
  for (int i = 0; i < 3; ++i) r.endOfEntry();
  QCOMPARE(r.opened(), (QStringList{"open " + r.at("a.wav"), "open " + r.at("b.mp3"), "open " + r.at("a.wav"),
                                    "open " + r.at("a.wav")}));
  QCOMPARE(r.w->curfile, qint16(1));
  QVERIFY(r.fp.messages.shown.isEmpty());
}

void TestPlaylist::okWithEmptyListStaysOpen() {
  Rig r;
  multi& m = r.open();
  QTest::mouseClick(m.cmd_ok, Qt::LeftButton);
  QCOMPARE(Rig::window(), &m);
  QVERIFY(!r.w->isEnabled());
  QCOMPARE(texts(r.w->lsttrack), QStringList{kHeader});
  QVERIFY(r.log.isEmpty());
  QCOMPARE(r.w->listmode, basic::kFalse);
}

void TestPlaylist::unplayableFirstFileIsReported() {
  Rig r;
  r.fp.media.script.lengths.remove(r.at("noext"));
  multi& m = r.open();
  Rig::choose(m, {"noext", "a.wav"});
  QTest::mouseClick(m.cmd_ok, Qt::LeftButton);
  QVERIFY(!Rig::window());
  QVERIFY(r.w->isEnabled());
  QCOMPARE(r.fp.messages.shown.size(), 1);
  QVERIFY2(r.fp.messages.texts().first().contains(r.at("noext")), qPrintable(r.fp.messages.texts().first()));
  QCOMPARE(texts(r.w->lsttrack), (QStringList{kHeader, "noext", "a.wav"}));
  QCOMPARE(r.w->listcount, qint16(3));
  // The list is taken over all the same: Next gets to the playable entry.
  r.w->mcicdplayer_NextClick();
  QCOMPARE(r.opened().last(), "open " + r.at("a.wav"));
}

void TestPlaylist::leavingWithoutOk_data() {
  QTest::addColumn<QString>("how");
  QTest::addColumn<bool>("listPlaying");
  QTest::newRow("Cancel, nothing playing") << "cancel" << false;
  QTest::newRow("Cancel while a list plays") << "cancel" << true;
  QTest::newRow("frame close, nothing playing") << "frame" << false;
  QTest::newRow("frame close while a list plays") << "frame" << true;
  QTest::newRow("main window closed meanwhile") << "main" << false;
}

void TestPlaylist::leavingWithoutOk() {
  QFETCH(QString, how);
  QFETCH(bool, listPlaying);
  Rig r;
  if (listPlaying) {
    multi& first = r.open();
    Rig::choose(first, {"a.wav", "b.mp3"});
    QTest::mouseClick(first.cmd_ok, Qt::LeftButton);
  }
  const QStringList rows = texts(r.w->lsttrack);
  const QStringList files = r.w->filelist;
  const QString dir = r.w->multidir;
  const auto listmode = r.w->listmode;
  const auto count = r.w->listcount;
  const qsizetype logged = r.log.size();

  // Another folder, files chosen there, then away without OK.
  multi& m = r.open();
  Rig::doubleClick(m.Dir1, "sub");
  Rig::choose(m, {"e.wav"});
  if (how == QLatin1String("frame"))
    m.close();
  else if (how == QLatin1String("main"))
    r.w->close();
  else
    QTest::mouseClick(m.cmd_cancel, Qt::LeftButton);
  QVERIFY(!Rig::window());
  QVERIFY(r.w->isEnabled());
  if (how == QLatin1String("main")) {
    QVERIFY(r.opened().isEmpty());
    return;
  }
  QCOMPARE(texts(r.w->lsttrack), rows);
  QCOMPARE(r.w->filelist, files);
  QCOMPARE(r.w->multidir, dir);
  QCOMPARE(r.w->listmode, listmode);
  QCOMPARE(r.w->listcount, count);
  QCOMPARE(r.log.size(), logged);  // nothing stopped, closed or opened
  if (listPlaying) {
    QCOMPARE(r.fp.media.script.current->mode(), int(MediaDevice::Playing));
    // The list goes on in its own folder.
    r.endOfEntry();
    QCOMPARE(r.opened().last(), "open " + r.at("b.mp3"));
  } else {
    QVERIFY(!r.w->mcicdplayer->isOpen());
  }
}

void TestPlaylist::drives_data() {
  QTest::addColumn<QString>("folder");  // "" no disc; "missing" a folder that is not there; "tmp" the test folder
  QTest::addColumn<bool>("readable");
  QTest::newRow("mapped folder") << "tmp" << true;
  QTest::newRow("drive without a disc") << "" << false;
  QTest::newRow("folder gone") << "missing" << false;
}

void TestPlaylist::drives() {
  QFETCH(QString, folder);
  QFETCH(bool, readable);
  Rig r;
  QTemporaryDir disc;
  touch(disc.path() + QStringLiteral("/AVSEQ01.DAT"));
  const QString discFolder = QDir(disc.path()).canonicalPath();
  const QString where = folder == QLatin1String("tmp")       ? discFolder
                        : folder == QLatin1String("missing") ? discFolder + QStringLiteral("/none")
                                                             : QString();
  r.fp.drives.add(QLatin1Char('e'), where, Drives::CdRom, QStringLiteral("VCD"));
  multi& m = r.open();
  Rig::choose(m, {"a.wav"});
  const int e = m.Drive1->findText(QStringLiteral("e: [VCD]"));
  QVERIFY(e > 0);
  m.Drive1->setCurrentIndex(e);
  Q_EMIT m.Drive1->activated(e);
  QCOMPARE(m.List1->count(), 0);
  if (readable) {
    QVERIFY(r.fp.messages.shown.isEmpty());
    QCOMPARE(m.Drive1->drive(), QStringLiteral("e:"));
    QCOMPARE(m.Dir1->path(), discFolder);
    QCOMPARE(texts(m.File1), QStringList{"AVSEQ01.DAT"});
    QCOMPARE(texts(m.Dir1), QStringList{discFolder});  // nothing above the drive's root
    Rig::choose(m, {"AVSEQ01.DAT"});
    r.fp.media.script.lengths[discFolder + QStringLiteral("/AVSEQ01.DAT")] = 1000;
    QTest::mouseClick(m.cmd_ok, Qt::LeftButton);
    QCOMPARE(r.w->multidir, discFolder);
    QCOMPARE(r.opened(), QStringList{"open " + discFolder + "/AVSEQ01.DAT"});
  } else {
    QCOMPARE(r.fp.messages.texts(), QStringList{kDriveError});
    QCOMPARE(r.fp.messages.shown.first().title, QStringLiteral("Savrel超级播放器"));
    QCOMPARE(m.Drive1->drive(), QStringLiteral("c:"));
    QCOMPARE(m.Dir1->path(), QStringLiteral("/"));
    QCOMPARE(m.File1->path(), QStringLiteral("/"));
  }
}

void TestPlaylist::longestList() {
  Rig r;
  multi& m = r.open();
  QStringList many;
  for (int i = 0; i < multi::kMaxEntries; ++i) many << (i % 2 ? QStringLiteral("b.mp3") : QStringLiteral("a.wav"));
  m.List1->addItems(many);
  // Full: one more is refused with a message.
  Rig::choose(m, {"d.mid"});
  QCOMPARE(m.List1->count(), multi::kMaxEntries);
  QCOMPARE(r.fp.messages.texts(), QStringList{multi::kTooMany});
  QTest::mouseClick(m.cmd_ok, Qt::LeftButton);
  QCOMPARE(r.w->listcount, qint16(32767));
  QCOMPARE(r.w->filelist.size(), 32767);
  QCOMPARE(r.w->lsttrack->count(), 32767);
  // Rows handed over past the 16-bit count are cut, not wrapped.
  r.fp.messages.shown.clear();
  r.w->lsttrack->addItems({QStringLiteral("d.mid"), QStringLiteral("d.mid")});
  r.w->readmulti();
  QCOMPARE(r.w->listcount, qint16(32767));
  QCOMPARE(r.w->filelist.size(), 32767);
  QCOMPARE(r.w->lsttrack->count(), 32767);
  QCOMPARE(r.fp.messages.texts(), QStringList{multi::kTooMany});
  QCOMPARE(r.w->curfile, qint16(1));
}

QTEST_MAIN(TestPlaylist)
#include "test_playlist.moc"
