// Audio CD mode over a scripted drive and recorded command strings.
#include <QtTest>
#include <QtWidgets>

#include "app/frmcd.h"
#include "core/range_scrollbar.h"
#include "fakes/fakes.h"
#include "playback/media_control.h"

namespace {
const QString kPosition = QStringLiteral("status cd position");
const QStringList kOpenAlias{"close all", "open cdaudio alias cd wait shareable", "set cd time format tmsf wait"};

QStringList texts(const QListWidget* l) {
  QStringList t;
  for (int i = 0; i < l->count(); ++i) t << l->item(i)->text();
  return t;
}

bool lampRed(const frmcd& w) { return w.lblindicator->palette().color(QPalette::Window) == QColor(0xFF, 0, 0); }

struct Rig {
  FakePlatform fp;
  Platform p = fp.platform();
  frmcd w{p};
  QStringList& log = fp.media.script.log;

  explicit Rig(std::optional<int> tracks = 12) {
    fp.pictures.add(fp.programFolder + "/bg.bmp");
    fp.media.script.discTracks = tracks;
    w.start();
  }
  MediaControl& mc() const { return *w.mcicdplayer; }
  FakeMediaDevice& dev() const { return *fp.media.script.current; }
  void setUp() { QTest::mouseClick(w.cdload, Qt::LeftButton); }
  // The CD button, then a double-click on `row`.
  void play(int row) {
    setUp();
    const QPoint at = w.lsttrack->visualItemRect(w.lsttrack->item(row)).center();
    QTest::mouseClick(w.lsttrack->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w.lsttrack->viewport(), Qt::LeftButton, {}, at);
  }
  void tick(int times = 1) {
    for (int i = 0; i < times; ++i) Q_EMIT mc().StatusUpdate();
  }
};
}  // namespace

class TestCdMode : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void setUp_data() {
    QTest::addColumn<std::optional<int>>("tracks");  // none: no disc
    QTest::addColumn<bool>("viaMenu");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("messages");
    QStringList twelve;
    for (int i = 1; i <= 12; ++i) twelve << QStringLiteral("曲->%1").arg(i);
    QTest::newRow("12 tracks") << std::optional<int>(12) << false << twelve << QStringList();
    QTest::newRow("from the menu") << std::optional<int>(2) << true << QStringList{"曲->1", "曲->2"} << QStringList();
    QTest::newRow("no disc") << std::optional<int>() << false << QStringList() << QStringList{"设备未准备好。"};
    QTest::newRow("0 tracks") << std::optional<int>(0) << true << QStringList() << QStringList{"设备未准备好。"};
  }

  // From a playing file: the reload stops it and closes it, the drive opens, nothing plays.
  void setUp() {
    QFETCH(std::optional<int>, tracks);
    QFETCH(bool, viaMenu);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, messages);
    Rig r(tracks);
    r.fp.media.script.lengths["/m/a.mp3"] = 5000;
    r.fp.filePicker.answers.emplace_back("/m/a.mp3");
    r.w.action("menu_vcd")->trigger();
    r.w.cmd_scr->show();
    r.log.clear();
    viaMenu ? r.w.action("menu_cd")->trigger() : r.setUp();
    QCOMPARE(r.log.mid(0, 3), (QStringList{"stop", "close", "open "}));
    QVERIFY(!r.log.contains("play"));
    QCOMPARE(texts(r.w.lsttrack), rows);
    QCOMPARE(r.fp.messages.texts(), messages);
    QVERIFY(r.w.cdload->isEnabled() && r.w.cmd_scr->isHidden() && r.w.HScroll1->isHidden());
    QCOMPARE(r.w.windowTitle(), QStringLiteral("Savrel超级播放器-播放CD"));
    if (messages.isEmpty()) {
      QCOMPARE(r.w.lsttrack->currentRow(), 0);
      QCOMPARE(r.w.lbltrack->text(), QStringLiteral("1"));
      QCOMPARE(r.mc().TimeFormat(), int(MediaControl::Tmsf));
    }
  }

  void doubleClickPlaysTheRow() {
    Rig r;
    r.play(2);
    QCOMPARE(r.fp.mci.sent, kOpenAlias + QStringList({"stop cd wait", "seek cd to  3"}));
    QCOMPARE(r.log.last(), QStringLiteral("play"));
    QCOMPARE(r.w.lbltrack->text(), QStringLiteral(" 3"));
    QCOMPARE(r.mc().Track(), 3);
    QCOMPARE(r.mc().UpdateInterval(), 1000);
    QVERIFY(lampRed(r.w));
  }

  // Playing track 3; the drive's position reply and mode, then the ticks.
  void statusTicks_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("track");
    QTest::addColumn<QString>("time");
    QTest::addColumn<bool>("red");
    QTest::newRow("125 ticks show 02:05") << "03:02:04:10" << false << 125 << 3 << "02:05" << true;
    QTest::newRow("the drive reached track 4") << "04:00:00:12" << false << 1 << 4 << "00:01" << true;
    QTest::newRow("one track per tick") << "07:00:00:12" << false << 2 << 5 << "00:01" << true;
    QTest::newRow("never backwards") << "02:01:00:00" << false << 3 << 3 << "00:03" << true;
    QTest::newRow("paused: the time stands") << "03:00:10:00" << true << 3 << 3 << "00:00" << false;
  }

  void statusTicks() {
    QFETCH(QString, reply);
    QFETCH(bool, paused);
    QFETCH(int, ticks);
    QFETCH(int, track);
    QFETCH(QString, time);
    QFETCH(bool, red);
    Rig r;
    r.play(2);
    r.fp.mci.replies[kPosition] = reply;
    if (paused) r.dev().pause();
    r.fp.mci.sent.clear();
    r.tick(ticks);
    QCOMPARE(r.fp.mci.sent.mid(0, 4), kOpenAlias + QStringList(kPosition));
    QCOMPARE(r.mc().Track(), track);
    QCOMPARE(r.w.lbltime->text(), time);
    QCOMPARE(lampRed(r.w), red);
    // The label and selection follow the track on the next tick.
    r.tick();
    QCOMPARE(r.w.lbltrack->text(), QStringLiteral(" %1").arg(track));
    QCOMPARE(r.w.lsttrack->currentRow(), track - 1);
    QVERIFY(r.fp.messages.shown.isEmpty());
  }

  // A reply without a track number: closed, list emptied, nothing said.
  void failedTickIsQuiet() {
    Rig r;
    r.play(0);
    r.fp.mci.replies[kPosition] = QString();
    r.tick();
    QCOMPARE(r.w.lsttrack->count(), 0);
    QVERIFY(!r.mc().isOpen() && r.fp.messages.shown.isEmpty());
  }

  void buttons_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("selected");  // the row the user clicked after the double-click on row 2
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("next") << int(MediaControl::Next) << 2 << " 3" << 2 << "00:00" << QStringList();
    QTest::newRow("prev keeps the higher track")
        << int(MediaControl::Prev) << 2 << " 3" << 2 << "00:00" << QStringList();
    QTest::newRow("play shows the clicked row, selects the track")
        << int(MediaControl::Play) << 5 << "6" << 2 << "00:02" << QStringList();
    QTest::newRow("eject") << int(MediaControl::Eject) << 2 << " 3" << -1 << "00:02"
                           << QStringList{"按“确定”弹出/关闭CD-ROM！"};
  }

  void buttons() {
    QFETCH(int, button);
    QFETCH(int, selected);
    QFETCH(QString, label);
    QFETCH(int, row);
    QFETCH(QString, time);
    QFETCH(QStringList, messages);
    Rig r;
    r.play(2);
    r.fp.mci.replies[kPosition] = "03:00:02:00";
    r.tick(2);
    r.mc().setCommand("stop");  // the play button needs a drive that is not playing
    r.w.lsttrack->setCurrentRow(selected);
    r.log.clear();
    r.mc().button(MediaControl::Button(button))->click();
    QCOMPARE(r.w.lbltrack->text(), label);
    QCOMPARE(r.w.lsttrack->currentRow(), row);
    QCOMPARE(r.w.lbltime->text(), time);
    QCOMPARE(r.fp.messages.texts(), messages);
    if (button == MediaControl::Eject) {
      QVERIFY(r.w.cdload->isEnabled() && r.w.lsttrack->count() == 0);
      QCOMPARE(r.log, QStringList{"eject"});
      r.mc().button(MediaControl::Play)->click();  // nothing left to select
      QCOMPARE(r.fp.messages.texts().last(), QStringLiteral("设备未准备好。"));
    }
  }

  // "退出，但不停止CD音乐" leaves the drive alone and saves nothing; "退出" stops it.
  void exits() {
    for (const bool keepPlaying : {true, false}) {
      Rig r;
      r.play(2);
      r.log.clear();
      r.fp.settings.writes.clear();
      if (keepPlaying) {
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, r.w.exitbutcd_Click());
        QVERIFY(r.log.isEmpty() && r.fp.settings.writes.isEmpty());
      } else {
        r.w.action("exit")->trigger();
        QCOMPARE(r.log.first(), QStringLiteral("stop"));
        QCOMPARE(r.fp.settings.writes.size(), 4);
      }
    }
  }
};

QTEST_MAIN(TestCdMode)
#include "test_cd_mode.moc"
