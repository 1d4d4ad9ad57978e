// SPDX-License-Identifier: GPL-3.0-or-later
// A playlist of short files of every kind the player plays, going round on
// the real devices for $MIROVA_SOAK_MINUTES minutes (5 by default; a round
// takes about 20 s, and the memory comparison wants 12 or more): the list
// keeps moving and the process's memory stays flat. The figures are
// printed, and written to $MIROVA_SOAK_REPORT when set.
#include <malloc.h>

#include <QtTest>
#include <algorithm>

#include "playback/media_control.h"
#include "real_media.h"

namespace {

// What the program holds from malloc, in every arena and mapped block: not
// the resident size, which also counts what the allocator keeps of freed
// memory and jumps by megabytes. A leak shows here as steady growth.
qint64 heapInUseKb() {
  const struct mallinfo2 m = mallinfo2();
  return qint64((m.uordblks + m.hblkhd) / 1024);
}

// The middle of five samples from `from`: each sample moves with what the
// last entry left behind.
qint64 middleOfFive(const QList<qint64>& samples, qsizetype from) {
  QList<qint64> five = samples.mid(from, 5);
  std::sort(five.begin(), five.end());
  return five.value(five.size() / 2, -1);
}

}  // namespace

class TestListSoak : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

  QString path(const QString& name) const { return dir_.filePath(name); }

 private Q_SLOTS:
  void listGoesRoundWithFlatMemory() {
    const QString tone = "sine=frequency=440:duration=1", bars = "testsrc=size=320x240:rate=25:duration=1";
    QVERIFY(realmedia::ffmpeg({tone}, {"-ac", "2"}, path("a.wav")));
    QVERIFY(realmedia::ffmpeg({tone}, {"-ac", "2", "-b:a", "128k"}, path("b.mp3")));
    QVERIFY(writeFile(path("c.mid"), realmedia::midi()));
    QVERIFY(realmedia::ffmpeg({bars, tone}, {"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "mpeg"}, path("d.mpg")));
    QVERIFY(realmedia::ffmpeg({bars, tone}, {"-c:v", "mjpeg", "-c:a", "pcm_s16le"}, path("e.avi")));
    QVERIFY(realmedia::ffmpeg({"testsrc=size=352x288:rate=25:duration=1", tone}, {"-target", "pal-vcd", "-f", "vcd"},
                              path("vcd.mpg")));
    QVERIFY(writeFile(path("f.dat"), fixtures::wrapCdxa(readFile(path("vcd.mpg")))));
    const QStringList names{"a.wav", "b.mp3", "c.mid", "d.mpg", "e.avi", "f.dat"};
    const int minutes =
        qEnvironmentVariableIsSet("MIROVA_SOAK_MINUTES") ? qEnvironmentVariableIntValue("MIROVA_SOAK_MINUTES") : 5;

    QVERIFY2(minutes >= 1, "MIROVA_SOAK_MINUTES: a whole number of minutes");
    realmedia::Window window;
    MediaControl* mc = window.w.mcicdplayer;
    int entries = 0;
    qint64 lastMove = 0, longestStill = 0;
    // As each round starts (the last entry's device has just been closed).
    QList<qint64> heapKb;
    QElapsedTimer clock;
    clock.start();
    qint16 shown = 0;
    connect(mc, &MediaControl::StatusUpdate, this, [&] {
      if (window.w.curfile == shown) return;
      ++entries;
      if (window.w.curfile == 1) heapKb << heapInUseKb();
      shown = window.w.curfile;
      longestStill = std::max(longestStill, clock.elapsed() - lastMove);
      lastMove = clock.elapsed();
    });
    window.playList(dir_.path(), names);
    shown = window.w.curfile;
    while (clock.elapsed() < minutes * 60000LL && clock.elapsed() - lastMove < 60000) QTest::qWait(1000);
    const int rounds = heapKb.size();
    // The rounds before the last ten (the first third of a shorter run) let
    // caches fill; a leak goes on growing from the five after them to the
    // last five (30 kB an entry fails a 20-minute run, 130 kB a 5-minute one).
    const int warm = std::max(rounds - 10, rounds / 3);
    const qint64 warmHeap = middleOfFive(heapKb, warm), lastHeap = middleOfFive(heapKb, std::max(rounds - 5, warm));

    QStringList each;
    for (const qint64 kb : heapKb) each << QString::number(kb);
    const QStringList report =
        QStringList{
            QString::asprintf("list soak: %d min, %d rounds of %d files, %d entries, longest on one entry %.1f s",
                              minutes, rounds, int(names.size()), entries, longestStill / 1000.0),
            QString::asprintf("heap in use, middle of five rounds: from round %d %lld kB; of the last five "
                              "%lld kB (%+lld kB)",
                              warm + 1, warmHeap, lastHeap, lastHeap - warmHeap),
            "heap in use after each round (kB): " + each.join(' ')} +
        window.fp.messages.boxes;
    qInfo().noquote() << report.join('\n');
    if (qEnvironmentVariableIsSet("MIROVA_SOAK_REPORT"))
      writeFile(qEnvironmentVariable("MIROVA_SOAK_REPORT"), report.join('\n').toUtf8() + '\n');

    QVERIFY2(clock.elapsed() - lastMove < 60000, "the list stopped moving");
    QVERIFY2(rounds >= minutes, qPrintable(QString::number(rounds)));  // a round takes about 20 s
    // A file that will not play is said and skipped; on a loaded machine the
    // sound server's clock may stall now and then, but not for most entries.
    QVERIFY2(window.fp.messages.shown.size() <= entries / 20, "many entries failed");
    QVERIFY2(lastHeap - warmHeap < 4 * 1024, "the heap in use grew");
  }
};

QTEST_MAIN(TestListSoak)
#include "test_list_soak.moc"
