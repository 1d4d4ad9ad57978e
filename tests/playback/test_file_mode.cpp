// Single files and file lists on the main window, driven through the real
// controls over a scripted media device (25 frames per second: a frame is 40 ms).
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QToolButton>

#include "app/frmcd.h"
#include "core/range_scrollbar.h"
#include "fakes/fakes.h"
#include "playback/media_control.h"

namespace {
constexpr qint64 kMsPerFrame = 40;
const QString kHeader = QStringLiteral("播放列表:");
const QColor kRed(0xFF, 0x00, 0x00), kGrey(0x40, 0x40, 0x40);

struct Rig {
  FakePlatform fp;
  Platform p = fp.platform();
  std::unique_ptr<frmcd> w;
  QStringList& log = fp.media.script.log;

  Rig() {
    fp.pictures.add(fp.programFolder + QStringLiteral("/bg.bmp"));
    w = std::make_unique<frmcd>(p);
    w->start();
  }
  MediaControl& mc() const { return *w->mcicdplayer; }
  FakeMediaDevice& dev() const { return *fp.media.script.current; }
  void choose(const QString& path, qint64 lengthMs = 60000) {
    fp.media.script.lengths[path] = lengthMs;
    fp.filePicker.answers.emplace_back(path);
    w->action(QStringLiteral("menu_vcd"))->trigger();
  }
  // What the playlist window's hand-over leaves behind, then the first entry.
  void playlist(const QString& dir, const QStringList& names) {
    w->lsttrack->clear();
    w->lsttrack->addItem(kHeader);
    w->lsttrack->addItems(names);
    w->filelist = QStringList{QString()} + names;
    w->listcount = qint16(names.size() + 1);
    w->listmode = basic::kTrue;
    w->multimode = basic::kTrue;
    w->multidir = dir;
    w->curfile = 1;
    w->lsttrack->setCurrentRow(1);
    w->playfile();
  }
  void press(MediaControl::Button b) {
    QToolButton* button = mc().button(b);
    QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
    button->click();
  }
  void tick() { Q_EMIT mc().StatusUpdate(); }
  void doubleClick(int row) {
    QListWidget* l = w->lsttrack;
    const QPoint at = l->visualItemRect(l->item(row)).center();
    // The first click of the pair selects; the second is the double-click.
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, at);
  }
  QColor lamp() const { return w->lblindicator->palette().color(QPalette::Window); }
  QStringList rows() const {
    QStringList r;
    for (int i = 0; i < w->lsttrack->count(); ++i) r << w->lsttrack->item(i)->text();
    return r;
  }
  QStringList opened() const { return log.filter(QRegularExpression(QStringLiteral("^open "))); }
};
}  // namespace

class TestFileMode : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void lengthText_data() {
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("185.5 s rounds up") << qint64(185500) << "03:06";
    QTest::newRow("59.5 s rounds to even 60") << qint64(59500) << "01:00";
    QTest::newRow("60.5 s rounds to even 60") << qint64(60500) << "01:00";
    QTest::newRow("empty") << qint64(0) << "00:00";
    QTest::newRow("three-digit minutes") << qint64(6000000) << "100:00";
  }

  void lengthText() {
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    Rig r;
    r.choose(QStringLiteral("/m/a.mp3"), ms);
    QCOMPARE(r.w->lbltime->text(), text);
    QCOMPARE(r.w->timemin * 60 + r.w->timesec, text.section(':', 0, 0).toInt() * 60 + text.section(':', 1).toInt());
  }

  void singleFile() {
    Rig r;
    r.choose(QStringLiteral("/m/clip.avi"));
    QCOMPARE(r.rows(), QStringList({kHeader, QStringLiteral("/m/clip.avi")}));
    QCOMPARE(r.w->lbltrack->text(), QStringLiteral("1"));
    QCOMPARE(r.w->windowTitle(), QStringLiteral("Savrel超级播放器-播放多媒体文件"));
    QCOMPARE(r.w->lbltime->toolTip(), QStringLiteral("文件播放时长"));
    QCOMPARE(r.w->listmode, basic::kFalse);
    QCOMPARE(r.fp.media.createdTypes, QStringList{QString()});
    QCOMPARE(r.log, QStringList({"open /m/clip.avi", "play"}));
    QCOMPARE(r.mc().TimeFormat(), int(MediaControl::Frames));
    QCOMPARE(r.mc().UpdateInterval(), 1000);
    const FilePicker::Request& asked = r.fp.filePicker.requests.last();
    QCOMPARE(asked.title, QStringLiteral("请选择多媒体文件"));
    QCOMPARE(asked.nameFilters.size(), 7);
    QCOMPARE(asked.nameFilters.at(asked.selectedFilter), QStringLiteral("VCD文件(*.dat) (*.dat)"));
    RangeScrollBar* s = r.w->HScroll1;
    QVERIFY(s->isEnabled() && s->isVisible());
    QCOMPARE(QList<int>({s->Min(), s->Max(), s->SmallChange(), s->LargeChange()}), QList<int>({0, 100, 1, 1}));
    // A file chosen alone is no list: double-clicking its row restarts nothing.
    r.doubleClick(1);
    QCOMPARE(r.opened().size(), 1);
  }

  void sliderShownWhenSwitchedOff() {
    Rig r;
    // Switched off in the store; the reload applies it.
    r.fp.settings.set(QStringLiteral("kj"), QStringLiteral("hsb"), QStringLiteral("0"));
    r.w->reload();
    QVERIFY(r.w->HScroll1->isHidden());
    r.choose(QStringLiteral("/m/a.wav"));
    QVERIFY(r.w->HScroll1->isVisible());
    QCOMPARE(r.fp.settings.value(QStringLiteral("kj"), QStringLiteral("hsb")), QStringLiteral("0"));
  }

  void cancelledDialog_data() {
    QTest::addColumn<bool>("cancelError");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("before");  // played before the cancel, if any
    QTest::newRow("nothing chosen yet") << false << "请选择多媒体文件" << QString();
    QTest::newRow("after a file") << false << "请选择多媒体文件"
                                  << "/m/a.mp3";
    QTest::newRow("after a capture") << true << "存储文件"
                                     << "/m/a.mp3";
  }

  void cancelledDialog() {
    QFETCH(bool, cancelError);
    QFETCH(QString, title);
    QFETCH(QString, before);
    Rig r;
    if (!before.isEmpty()) r.choose(before);
    CommonDialog& d = *r.w->vcddialog;
    if (cancelError) {  // what a capture leaves on the shared dialog
      d.setDialogTitle(title);
      d.setFileName(QStringLiteral("mirova.bmp"));
      d.setCancelError(true);
    }
    const QString nameBefore = d.FileName();
    const int opensBefore = r.opened().size();
    r.w->action(QStringLiteral("menu_vcd"))->trigger();  // no answer queued: cancel

    QCOMPARE(r.fp.filePicker.requests.last().title, title);
    QCOMPARE(r.opened().size(), opensBefore);
    QVERIFY(!r.mc().isOpen());
    QCOMPARE(r.rows(), QStringList{kHeader});
    QVERIFY(r.fp.messages.shown.isEmpty());
    QCOMPARE(r.lamp(), kGrey);
    QCOMPARE(d.CancelError(), cancelError);
    QCOMPARE(d.FileName(), nameBefore);
    // The window goes on working.
    r.choose(QStringLiteral("/m/b.mp3"));
    QCOMPARE(r.opened().last(), QStringLiteral("open /m/b.mp3"));
    QCOMPARE(r.rows().size(), 2);
  }

  void failedOpen_data() {
    QTest::addColumn<bool>("fromList");
    QTest::newRow("single file") << false;
    QTest::newRow("playlist entry") << true;
  }

  void failedOpen() {
    QFETCH(bool, fromList);
    Rig r;
    QString broken;
    if (fromList) {
      r.fp.media.script.lengths[QStringLiteral("/music/a.mp3")] = 5000;
      r.playlist(QStringLiteral("/music"), {QStringLiteral("a.mp3"), QStringLiteral("gone.mp3")});
      broken = QStringLiteral("/music/gone.mp3");
      r.doubleClick(2);
    } else {
      broken = QStringLiteral("/m/broken.avi");
      r.fp.filePicker.answers.emplace_back(broken);
      r.w->action(QStringLiteral("menu_vcd"))->trigger();
    }
    QCOMPARE(r.fp.messages.shown.size(), 1);
    QCOMPARE(r.fp.messages.shown[0].title, frmcd::kTitle);
    QVERIFY2(r.fp.messages.shown[0].text.contains(broken), qPrintable(r.fp.messages.shown[0].text));
    QVERIFY(r.w->isVisible());
    QVERIFY(!r.mc().isOpen());
    r.choose(QStringLiteral("/m/ok.mp3"));
    QCOMPARE(r.opened().last(), QStringLiteral("open /m/ok.mp3"));
    QVERIFY(r.mc().Mode() == MediaDevice::Playing);
  }

  void backAndStep_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("position");  // frames
    QTest::addColumn<int>("from");
    QTest::newRow("back before the start") << int(MediaControl::Back) << 400 << 1;
    QTest::newRow("back") << int(MediaControl::Back) << 5000 << 4000;
    QTest::newRow("step past the end") << int(MediaControl::Step) << 9500 << 10000;
    QTest::newRow("step") << int(MediaControl::Step) << 3000 << 4000;
  }

  void backAndStep() {
    QFETCH(int, button);
    QFETCH(int, position);
    QFETCH(int, from);
    Rig r;
    r.choose(QStringLiteral("/m/a.mpg"), 10000 * kMsPerFrame);
    r.dev().setPosition(position * kMsPerFrame);
    r.log.clear();
    r.press(MediaControl::Button(button));
    QCOMPARE(r.mc().From(), from);
    // Only the handler's seek and play reach the device: the button's own
    // frame step is not applied on top.
    QCOMPARE(r.log, QStringList({QStringLiteral("seek %1").arg(from * kMsPerFrame), "play"}));
    QCOMPARE(r.mc().UpdateInterval(), 0);
    QCOMPARE(r.lamp(), kGrey);
  }

  void sliderSeeks_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("length");  // frames
    QTest::addColumn<int>("from");
    QTest::newRow("half") << 50 << 200000 << 100000;
    QTest::newRow("2.5 rounds to even") << 1 << 250 << 2;
  }

  void sliderSeeks() {
    QFETCH(int, value);
    QFETCH(int, length);
    QFETCH(int, from);
    Rig r;
    r.choose(QStringLiteral("/m/a.mpg"), length * kMsPerFrame);
    r.log.clear();
    RangeScrollBar* s = r.w->HScroll1;
    s->setSliderDown(true);
    s->setSliderPosition(value);
    QCOMPARE(r.mc().From(), from);
    QCOMPARE(r.log, QStringList({"stop", QStringLiteral("seek %1").arg(from * kMsPerFrame), "play"}));
    QCOMPARE(r.lamp(), kRed);
    QCOMPARE(r.w->seekskip, basic::kTrue);
    // The next tick leaves the slider where the hand put it.
    r.dev().setPosition(0);
    r.tick();
    QCOMPARE(r.w->seekskip, basic::kFalse);
    QCOMPARE(s->Value(), value);
    s->setSliderDown(false);
  }

  void statusMovesSlider_data() {
    QTest::addColumn<int>("position");  // of 1000 frames
    QTest::addColumn<bool>("playing");
    QTest::addColumn<int>("value");
    QTest::newRow("33.3 percent") << 333 << true << 33;
    QTest::newRow("2.5 percent rounds to even") << 25 << true << 2;
    QTest::newRow("paused") << 600 << false << 60;
  }

  void statusMovesSlider() {
    QFETCH(int, position);
    QFETCH(bool, playing);
    QFETCH(int, value);
    Rig r;
    r.choose(QStringLiteral("/m/a.mpg"), 1000 * kMsPerFrame);
    r.dev().setPosition(position * kMsPerFrame);
    if (!playing) r.press(MediaControl::Pause);
    r.tick();
    QCOMPARE(r.w->HScroll1->Value(), value);
    QCOMPARE(r.w->lbltime->text(), QStringLiteral("00:40"));  // the length stays
    QCOMPARE(r.lamp(), playing ? kRed : kGrey);
    if (!playing) {  // the next play starts from the beginning
      r.log.clear();
      r.press(MediaControl::Play);
      QCOMPARE(r.log, QStringList({"seek 0", "play"}));
    }
  }

  void statusWithoutLengthResets() {
    Rig r;
    r.choose(QStringLiteral("/m/empty.wav"), 0);
    r.tick();
    QVERIFY(!r.mc().isOpen());
    QCOMPARE(r.w->lsttrack->count(), 0);
    QVERIFY(r.fp.messages.shown.isEmpty());
  }

  void playlistRunsAndWraps() {
    Rig r;
    for (const char* f : {"/music/a.mp3", "/music/b.mp3", "/music/c.mp3"})
      r.fp.media.script.lengths[QLatin1String(f)] = 3000;
    r.playlist(QStringLiteral("/music"), {QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c.mp3")});
    auto at = [&r](int entry, const char* file) {
      QCOMPARE(r.w->curfile, entry);
      QCOMPARE(r.w->lsttrack->currentRow(), entry);
      QCOMPARE(r.w->lbltrack->text(), QString::number(entry));
      QCOMPARE(r.opened().last(), QStringLiteral("open /music/") + QLatin1String(file));
    };
    at(1, "a.mp3");
    QCOMPARE(r.w->windowTitle(), QStringLiteral("Savrel超级播放器-播放多媒体文件"));
    const int opens = r.opened().size();
    r.dev().advance(1000);
    r.tick();  // still playing: nothing changes
    QCOMPARE(r.opened().size(), opens);
    for (const auto& [entry, file] : {std::pair{2, "b.mp3"}, {3, "c.mp3"}, {1, "a.mp3"}}) {
      r.dev().advance(5000);
      r.tick();
      at(entry, file);
    }
    r.press(MediaControl::Prev);  // no wrap backwards
    at(1, "a.mp3");
    r.press(MediaControl::Prev);
    at(1, "a.mp3");
    r.press(MediaControl::Next);
    at(2, "b.mp3");
    r.press(MediaControl::Next);
    r.press(MediaControl::Next);
    at(1, "a.mp3");
    // The new entry plays from its start: the button's own "next" does not
    // follow it onto the fresh file.
    QCOMPARE(r.dev().positionMs(), 0);
    QVERIFY(r.mc().Mode() == MediaDevice::Playing);
  }

  void doubleClickPlaysEntries() {
    Rig r;
    r.fp.media.script.lengths[QStringLiteral("/music/a.mp3")] = 3000;
    r.fp.media.script.lengths[QStringLiteral("/music/b.mp3")] = 3000;
    r.playlist(QStringLiteral("/music"), {QStringLiteral("a.mp3"), QStringLiteral("b.mp3")});
    r.doubleClick(0);  // the header
    QCOMPARE(r.opened(), QStringList{"open /music/a.mp3"});
    r.doubleClick(2);
    QCOMPARE(r.opened().last(), QStringLiteral("open /music/b.mp3"));
    QCOMPARE(r.w->curfile, 2);
  }

  void fileNames_data() {
    QTest::addColumn<bool>("multimode");
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("caption");
    const QString files = QStringLiteral("Savrel超级播放器-播放多媒体文件");
    QTest::newRow("folder") << true << "/home/u/music"
                            << "a.mp3"
                            << "/home/u/music/a.mp3" << files;
    QTest::newRow("root folder") << true << "/"
                                 << "a.mp3"
                                 << "/a.mp3" << files;
    QTest::newRow("drive folder") << true << "D:\\MUSIC"
                                  << "a.mp3"
                                  << "D:\\MUSIC\\a.mp3" << files;
    QTest::newRow("drive root") << true << "C:\\"
                                << "a.mp3"
                                << "C:\\a.mp3" << files;
    QTest::newRow("video cd") << false << "E"
                              << "AVSEQ01.DAT"
                              << "E:\\Mpegav\\AVSEQ01.DAT" << QStringLiteral("Savrel超级播放器-播放VCD");
  }

  void fileNames() {
    QFETCH(bool, multimode);
    QFETCH(QString, dir);
    QFETCH(QString, entry);
    QFETCH(QString, opened);
    QFETCH(QString, caption);
    Rig r;
    r.fp.media.script.lengths[opened] = 1000;
    r.w->listmode = basic::kTrue;
    r.w->multimode = basic::flag(multimode);
    (multimode ? r.w->multidir : r.w->vcddrive) = dir;
    r.w->filelist = QStringList{QString(), entry};
    r.w->listcount = 2;
    r.w->curfile = 1;
    r.w->playfile();
    QCOMPARE(r.opened(), QStringList{QStringLiteral("open ") + opened});
    QCOMPARE(r.w->windowTitle(), caption);
  }

  void controlButtons() {
    Rig r;
    auto enabled = [&r] {
      QString s;
      for (int b = 0; b < MediaControl::ButtonCount; ++b)
        s += r.mc().button(MediaControl::Button(b))->isEnabled() ? '1' : '0';
      return s;  // prev next play pause back step stop eject
    };
    QCOMPARE(enabled(), QStringLiteral("00000000"));
    r.choose(QStringLiteral("/m/a.mp3"), 10000);
    QCOMPARE(enabled(), QStringLiteral("11011110"));
    // The event comes before the control's own pause: the handler still sees
    // the device playing.
    int modeAtEvent = 0;
    connect(&r.mc(), &MediaControl::PauseClick, &r.mc(), [&] { modeAtEvent = r.mc().Mode(); });
    r.press(MediaControl::Pause);
    QCOMPARE(modeAtEvent, int(MediaDevice::Playing));
    QVERIFY(r.mc().Mode() == MediaDevice::Paused);
    QCOMPARE(r.mc().UpdateInterval(), 0);
    QCOMPARE(r.lamp(), kGrey);
    QCOMPARE(enabled(), QStringLiteral("11111110"));
    r.press(MediaControl::Pause);
    QVERIFY(r.mc().Mode() == MediaDevice::Playing);
    QCOMPARE(r.mc().UpdateInterval(), 1000);
    QCOMPARE(r.lamp(), kRed);
    r.dev().advance(4000);
    r.press(MediaControl::Stop);  // stops and rewinds
    QCOMPARE(r.dev().positionMs(), 0);
    QCOMPARE(r.mc().UpdateInterval(), 0);
    QCOMPARE(enabled(), QStringLiteral("11101100"));
    r.press(MediaControl::Next);  // a single file: the device alone moves to its end
    QCOMPARE(r.mc().Position(), r.mc().Length());
    QCOMPARE(r.opened().size(), 1);
  }

  void endReadsAsLength_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<qint64>("reported");  // the device's position after the end, of 10000 ms
    for (const int f : {int(MediaControl::Milliseconds), int(MediaControl::Frames)}) {
      const char* unit = f == MediaControl::Frames ? "frames" : "ms";
      QTest::addRow("%s, exact", unit) << f << qint64(10000);
      QTest::addRow("%s, short of the end", unit) << f << qint64(9970);
      QTest::addRow("%s, past the end", unit) << f << qint64(10500);
    }
  }

  void endReadsAsLength() {
    QFETCH(int, format);
    QFETCH(qint64, reported);
    Rig r;
    r.choose(QStringLiteral("/m/a.mpg"), 10000);
    r.dev().advance(10000);
    r.dev().setPosition(reported);
    r.mc().setTimeFormat(format);
    QCOMPARE(r.mc().Position(), r.mc().Length());
  }
};

QTEST_MAIN(TestFileMode)
#include "test_file_mode.moc"
