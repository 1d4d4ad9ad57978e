// SPDX-License-Identifier: GPL-3.0-or-later
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

bool lampRed(const frmcd& w) { return w.lblindicator->palette().color(QPalette::Window) == QColor(0xFF, 0, 0); }

struct Rig {
  FakePlatform fp;
  Platform p = fp.platform();
  frmcd w{p};
  QStringList& log = fp.media.script.log;

  explicit Rig(std::optional<int> tracks = 12, int first = 1) {
    fp.pictures.add(fp.programFolder + "/bg.bmp");
    fp.media.script.discTracks = tracks;
    fp.media.script.firstTrack = first;
    w.start();
  }
  MediaControl& mc() const { return *w.mcicdplayer; }
  // The CD button, then a double-click on `row`; the drive then answers `position`.
  void play(int row, const QString& position = "01:00:00:00") {
    QTest::mouseClick(w.cdload, Qt::LeftButton);
    clickRow(w.lsttrack, row, true);
    fp.mci.replies[kPosition] = position;
  }
  void tick(int times = 1) {
    for (int i = 0; i < times; ++i) Q_EMIT mc().StatusUpdate();
  }
};
}  // namespace

class TestCdMode : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  // From a playing file: the reload stops and closes it, the drive opens, nothing plays.
  void setUp_data() {
    QTest::addColumn<std::optional<int>>("tracks");  // none: no disc
    QTest::addColumn<bool>("viaMenu");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("first");  // the disc's first track
    QTest::newRow("12 tracks") << std::optional<int>(12) << false << QString() << 1;
    QTest::newRow("from the menu") << std::optional<int>(2) << true << QString() << 1;
    QTest::newRow("tracks 5 and 6") << std::optional<int>(2) << false << QString() << 5;
    QTest::newRow("no disc") << std::optional<int>() << false << "设备未准备好。" << 1;
    QTest::newRow("0 tracks") << std::optional<int>(0) << true << "设备未准备好。" << 1;
  }

  void setUp() {
    QFETCH(std::optional<int>, tracks);
    QFETCH(bool, viaMenu);
    QFETCH(QString, message);
    QFETCH(int, first);
    Rig r(tracks, first);
    r.fp.media.script.lengths["/m/a.mp3"] = 5000;
    r.fp.filePicker.answers.emplace_back("/m/a.mp3");
    r.w.action("menu_vcd")->trigger();
    r.w.cmd_scr->show();
    r.log.clear();
    viaMenu ? r.w.action("menu_cd")->trigger() : QTest::mouseClick(r.w.cdload, Qt::LeftButton);
    QCOMPARE(r.log.mid(0, 3), QStringList({"stop", "close", "open "}));
    QVERIFY(!r.log.contains("play"));
    QCOMPARE(r.fp.messages.texts(), message.isEmpty() ? QStringList() : QStringList(message));
    QVERIFY(r.w.cdload->isEnabled() && r.w.cmd_scr->isHidden() && r.w.HScroll1->isHidden());
    QCOMPARE(r.w.windowTitle(), QStringLiteral("Savrel超级播放器-播放CD"));
    QCOMPARE(r.w.lsttrack->count(), message.isEmpty() ? *tracks : 0);
    if (!message.isEmpty()) return;
    QCOMPARE(r.w.lsttrack->item(*tracks - 1)->text(), QStringLiteral("曲->%1").arg(first + *tracks - 1));
    QCOMPARE(r.w.lsttrack->currentRow(), 0);
    QCOMPARE(r.w.lbltrack->text(), QString::number(first));
    QCOMPARE(r.mc().Track(), first);
    QCOMPARE(r.mc().TimeFormat(), int(MediaControl::Tmsf));
  }

  void doubleClickPlaysTheRow_data() {
    QTest::addColumn<int>("first");  // the disc's first track
    QTest::newRow("tracks from 1") << 1;
    QTest::newRow("tracks from 5") << 5;
  }

  // Row 2 is the disc's third track; the ticks then follow the drive to the fourth.
  void doubleClickPlaysTheRow() {
    QFETCH(int, first);
    Rig r(12, first);
    r.play(2, QStringLiteral("%1:00:00:12").arg(first + 3, 2, 10, QLatin1Char('0')));
    const QString third = QString::number(first + 2);
    QCOMPARE(r.fp.mci.sent, kOpenAlias + QStringList({"stop cd wait", "seek cd to  " + third}));
    QCOMPARE(r.log.last(), QStringLiteral("play"));
    QCOMPARE(r.w.lbltrack->text(), " " + third);
    QVERIFY(r.mc().Track() == first + 2 && r.mc().UpdateInterval() == 1000 && lampRed(r.w));
    r.tick(2);
    QCOMPARE(r.w.lbltrack->text(), QStringLiteral(" %1").arg(first + 3));
    QCOMPARE(r.w.lsttrack->currentRow(), 3);
  }

  // Playing track 3; the drive's position reply and mode, then the ticks.
  void statusTicks_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("track");
    QTest::addColumn<QString>("time");  // empty: the quiet reset
    QTest::newRow("125 ticks show 02:05") << "03:02:04:10" << false << 125 << 3 << "02:05";
    QTest::newRow("the drive reached track 4") << "04:00:00:12" << false << 1 << 4 << "00:01";
    QTest::newRow("one track per tick") << "07:00:00:12" << false << 2 << 5 << "00:01";
    QTest::newRow("never backwards") << "02:01:00:00" << false << 3 << 3 << "00:03";
    QTest::newRow("paused: the time stands") << "03:00:10:00" << true << 3 << 3 << "00:00";
    QTest::newRow("no track number") << "" << false << 1 << 3 << "";
  }

  void statusTicks() {
    QFETCH(QString, reply);
    QFETCH(bool, paused);
    QFETCH(int, ticks);
    QFETCH(int, track);
    QFETCH(QString, time);
    Rig r;
    r.play(2, reply);
    if (paused) r.mc().setCommand("pause");
    r.fp.mci.sent.clear();
    r.tick(ticks);
    QCOMPARE(r.fp.mci.sent.mid(0, 4), kOpenAlias + QStringList(kPosition));
    QVERIFY(r.fp.messages.shown.isEmpty());
    if (time.isEmpty()) {  // closed and emptied, nothing said
      QVERIFY(!r.mc().isOpen() && r.w.lsttrack->count() == 0);
      return;
    }
    QCOMPARE(r.mc().Track(), track);
    QCOMPARE(r.w.lbltime->text(), time);
    QCOMPARE(lampRed(r.w), !paused);
    r.tick();  // the label and selection follow on the next tick
    QCOMPARE(r.w.lbltrack->text(), QStringLiteral(" %1").arg(track));
    QCOMPARE(r.w.lsttrack->currentRow(), track - 1);
  }

  // After two ticks on track 3 the user clicks a row and presses a button.
  void buttons_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("time");
    QTest::addColumn<int>("first");  // the disc's first track
    QTest::newRow("next") << int(MediaControl::Next) << 5 << " 3" << 2 << "00:00" << 1;
    QTest::newRow("next, tracks from 5") << int(MediaControl::Next) << 5 << " 7" << 2 << "00:00" << 5;
    QTest::newRow("prev keeps the higher track") << int(MediaControl::Prev) << 0 << " 3" << 2 << "00:00" << 1;
    QTest::newRow("play: the clicked row, then the track") << int(MediaControl::Play) << 5 << "6" << 2 << "00:02" << 1;
    QTest::newRow("play, tracks from 5") << int(MediaControl::Play) << 5 << "10" << 2 << "00:02" << 5;
    QTest::newRow("eject") << int(MediaControl::Eject) << 5 << " 3" << -1 << "00:02" << 1;
  }

  void buttons() {
    QFETCH(int, button);
    QFETCH(int, clicked);
    QFETCH(QString, label);
    QFETCH(int, row);
    QFETCH(QString, time);
    QFETCH(int, first);
    Rig r(12, first);
    r.play(2, "03:00:02:00");
    r.tick(2);
    r.mc().setCommand("stop");  // the play button wants a drive that is not playing
    r.w.lsttrack->setCurrentRow(clicked);
    r.log.clear();
    r.mc().button(MediaControl::Button(button))->click();
    QCOMPARE(r.w.lbltrack->text(), label);
    QCOMPARE(r.w.lsttrack->currentRow(), row);
    QCOMPARE(r.w.lbltime->text(), time);
    QCOMPARE(r.log.contains("eject"), button == MediaControl::Eject);
    QCOMPARE(r.fp.messages.shown.isEmpty(), button != MediaControl::Eject);
    if (button != MediaControl::Eject) return;
    QVERIFY(r.w.cdload->isEnabled());
    r.mc().button(MediaControl::Play)->click();  // no row left to select
    QCOMPARE(r.fp.messages.texts(), QStringList({"按“确定”弹出/关闭CD-ROM！", "设备未准备好。"}));
  }
};

QTEST_MAIN(TestCdMode)
#include "test_cd_mode.moc"
