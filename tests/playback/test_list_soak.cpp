// SPDX-License-Identifier: GPL-3.0-or-later
// A playlist of short files of every kind the player plays, going round on
// the real devices for $MIROVA_SOAK_MINUTES minutes (5 by default; a round
// takes about 20 s, and the memory comparison wants 12 or more): the list
// keeps moving and the heap in use stays flat. The figures are printed, and
// written to $MIROVA_SOAK_REPORT when set.
#include <malloc.h>

#include <QtTest>
#include <algorithm>

#include "playback/media_control.h"
#include "real_media.h"

class TestListSoak : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private Q_SLOTS:
  void listGoesRoundWithFlatMemory() {
    const QString tone = "sine=frequency=440:duration=1", bars = "testsrc=size=320x240:rate=25:duration=1";
    const QStringList names{"a.wav", "b.mp3", "c.mid", "d.mpg", "e.avi", "f.dat"};
    QVERIFY(realmedia::ffmpeg({tone}, {"-ac", "2"}, dir_.filePath("a.wav")));
    QVERIFY(realmedia::ffmpeg({tone}, {"-ac", "2", "-b:a", "128k"}, dir_.filePath("b.mp3")));
    QVERIFY(writeFile(dir_.filePath("c.mid"), realmedia::midi()));
    QVERIFY(
        realmedia::ffmpeg({bars, tone}, {"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "mpeg"}, dir_.filePath("d.mpg")));
    QVERIFY(realmedia::ffmpeg({bars, tone}, {"-c:v", "mjpeg", "-c:a", "pcm_s16le"}, dir_.filePath("e.avi")));
    QVERIFY(realmedia::ffmpeg({"testsrc=size=352x288:rate=25:duration=1", tone}, {"-target", "pal-vcd", "-f", "vcd"},
                              dir_.filePath("vcd.mpg")));
    QVERIFY(writeFile(dir_.filePath("f.dat"), fixtures::wrapCdxa(readFile(dir_.filePath("vcd.mpg")))));
    const int minutes =
        qEnvironmentVariableIsSet("MIROVA_SOAK_MINUTES") ? qEnvironmentVariableIntValue("MIROVA_SOAK_MINUTES") : 5;
    QVERIFY2(minutes >= 1, "MIROVA_SOAK_MINUTES: a whole number of minutes");

    TestWindow window({}, TestWindow::Real);
    // As each round starts (the last entry's device has just been closed),
    // what the program holds from malloc: not the resident size, which also
    // counts what the allocator keeps of freed memory and jumps by megabytes.
    QList<qint64> heapKb;
    int entries = 0;
    qint16 shown = 0;
    QElapsedTimer clock, still;
    connect(&window.mc(), &MediaControl::StatusUpdate, this, [&] {
      if (window.w.curfile == shown) return;
      shown = window.w.curfile;
      ++entries;
      still.start();
      const struct mallinfo2 m = mallinfo2();
      if (shown == 1) heapKb << qint64((m.uordblks + m.hblkhd) / 1024);
    });
    clock.start();
    still.start();
    window.playList(dir_.path(), names);
    shown = window.w.curfile;
    while (clock.elapsed() < minutes * 60000LL && still.elapsed() < 60000) QTest::qWait(1000);

    // The rounds before the last ten (the first third of a shorter run) let
    // caches fill; a leak goes on growing from the five after them to the
    // last five (30 kB an entry fails a 20-minute run, 130 kB a 5-minute
    // one). Each of five: the middle one, as each moves with what the last
    // entry left behind.
    const qsizetype rounds = heapKb.size(), warm = std::max(rounds - 10, rounds / 3);
    const auto middleOfFive = [&heapKb](qsizetype from) {
      QList<qint64> five = heapKb.mid(from, 5);
      std::sort(five.begin(), five.end());
      return five.value(five.size() / 2, -1);
    };
    const qint64 grew = middleOfFive(std::max(rounds - 5, warm)) - middleOfFive(warm);
    QStringList report{
        QString::asprintf("list soak: %d min, %d entries, the heap in use grew by %lld kB over the "
                          "last rounds; in kB after each round:",
                          minutes, entries, grew)};
    for (const qint64 kb : heapKb) report << QString::number(kb);
    const QString text = report.join(' ') + '\n' + window.fp.messages.boxes.join('\n');
    qInfo().noquote() << text;
    if (qEnvironmentVariableIsSet("MIROVA_SOAK_REPORT"))
      writeFile(qEnvironmentVariable("MIROVA_SOAK_REPORT"), text.toUtf8());

    QVERIFY2(still.elapsed() < 60000, "the list stopped moving");
    QVERIFY2(rounds >= minutes, qPrintable(QString::number(rounds)));  // a round takes about 20 s
    // A file that will not play is said and skipped; on a loaded machine the
    // sound server's clock may stall now and then, but not for most entries.
    QVERIFY2(window.fp.messages.shown.size() <= entries / 20, "many entries failed");
    QVERIFY2(grew < 4 * 1024, "the heap in use grew");
  }
};

QTEST_MAIN(TestListSoak)
#include "test_list_soak.moc"
