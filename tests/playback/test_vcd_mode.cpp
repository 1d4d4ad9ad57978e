// SPDX-License-Identifier: GPL-3.0-or-later
// The VCD button over scripted drives and a scripted device.
#include <QtTest>
#include <QtWidgets>

#include "app/frmcd.h"
#include "core/range_scrollbar.h"
#include "fakes/fakes.h"
#include "playback/media_control.h"

namespace {
const QString kHeader = QStringLiteral("播放列表:");
const QString kNotReady = QStringLiteral("VCD影片未准备好，或者VCD格式不标准。");

QStringList rows(const QListWidget* l) {
  QStringList t;
  for (int i = 0; i < l->count(); ++i) t << l->item(i)->text();
  return t;
}

struct Rig {
  FakePlatform fp;
  Platform p = fp.platform();
  frmcd w{p};
  Rig() {
    fp.pictures.add(fp.programFolder + "/bg.bmp");
    w.start();
  }
  // "e=AVSEQ01.DAT AVSEQ02.DAT" gives an optical drive e finding those two;
  // "e=" one finding nothing; "e" one without a disc; "f:2" a removable drive.
  void drives(const QString& script) {
    for (const QString& d : script.split(' ', Qt::SkipEmptyParts)) {
      if (d.contains('=')) {
        fp.drives.files[d.at(0)] = d.section('=', 1).split(',', Qt::SkipEmptyParts);
      }
      const auto type = d.mid(1, 2) == ":2" ? Drives::Removable : Drives::CdRom;
      fp.drives.add(d.at(0), QString(), type);
    }
  }
  void click() { QTest::mouseClick(w.vcdload, Qt::LeftButton); }
};
}  // namespace

class TestVcdMode : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void load_data() {
    QTest::addColumn<QString>("drives");
    QTest::addColumn<QString>("playable");  // the drive path the device can open, "" for none
    QTest::addColumn<QString>("searched");
    QTest::addColumn<QStringList>("listed");  // rows after the header; empty for the message and the reload
    QTest::newRow("two entries on E") << "e=AVSEQ01.DAT,AVSEQ02.DAT"
                                      << "E:\\Mpegav\\AVSEQ01.DAT"
                                      << "E:\\Mpegav\\*.dat" << QStringList{"AVSEQ01.DAT", "AVSEQ02.DAT"};
    QTest::newRow("the disc's order, not sorted") << "d=b.dat,A.DAT"
                                                  << "D:\\Mpegav\\b.dat"
                                                  << "D:\\Mpegav\\*.dat" << QStringList{"b.dat", "A.DAT"};
    QTest::newRow("removable D passed over") << "d:2=x.dat h=AVSEQ01.DAT"
                                             << "H:\\Mpegav\\AVSEQ01.DAT"
                                             << "H:\\Mpegav\\*.dat" << QStringList{"AVSEQ01.DAT"};
    QTest::newRow("E empty, the disc in G never looked at") << "e g=AVSEQ01.DAT"
                                                            << "G:\\Mpegav\\AVSEQ01.DAT"
                                                            << "E:\\Mpegav\\*.dat" << QStringList();
    QTest::newRow("only J: I is searched") << "j=AVSEQ01.DAT"
                                           << "J:\\Mpegav\\AVSEQ01.DAT"
                                           << "I:\\Mpegav\\*.dat" << QStringList();
    QTest::newRow("audio CD: nothing found") << "e="
                                             << ""
                                             << "E:\\Mpegav\\*.dat" << QStringList();
    QTest::newRow("entry that will not open, after the caption changed") << "f=AVSEQ01.DAT"
                                                                         << ""
                                                                         << "F:\\Mpegav\\*.dat" << QStringList();
  }

  void load() {
    QFETCH(QString, drives);
    QFETCH(QString, playable);
    QFETCH(QString, searched);
    QFETCH(QStringList, listed);
    Rig r;
    r.drives(drives);
    r.fp.media.script.lengths[playable] = 4000;
    r.w.filelist = QStringList{"", "old1", "old2", "old3", "old4", "old5"};  // a longer list from before
    r.click();
    QCOMPARE(r.fp.drives.searches, QStringList{searched});
    QCOMPARE(r.w.listmode, basic::kTrue);
    QCOMPARE(r.w.multimode, basic::kFalse);
    QCOMPARE(r.w.vcddrive, searched.left(1));
    QCOMPARE(r.w.mcicdplayer->DeviceType(), "mpegvideo");
    if (listed.isEmpty()) {
      QCOMPARE(r.fp.messages.texts(), QStringList{kNotReady});
      // Reloaded: the window as at start-up, no device open.
      QCOMPARE(rows(r.w.lsttrack), QStringList{kHeader});
      QVERIFY(!r.w.mcicdplayer->isOpen() && !r.w.HScroll1->isEnabled());
      QCOMPARE(r.w.lbltrack->text(), "0");
      QCOMPARE(r.w.windowTitle(), frmcd::kTitle);
      return;
    }
    QVERIFY2(r.fp.messages.shown.isEmpty(), qPrintable(r.fp.messages.texts().join('\n')));
    QCOMPARE(rows(r.w.lsttrack), QStringList{kHeader} + listed);
    QCOMPARE(r.w.lsttrack->currentRow(), 1);
    QCOMPARE(int(r.w.listcount), int(listed.size()) + 1);
    QCOMPARE(r.w.filelist, QStringList{""} + listed);
    QCOMPARE(int(r.w.curfile), 1);
    QCOMPARE(r.fp.media.script.log.filter(QRegularExpression("^(open|play)")),
             (QStringList{"open " + playable, "play"}));
    QCOMPARE(r.w.windowTitle(), "Savrel超级播放器-播放VCD");
  }
};

QTEST_MAIN(TestVcdMode)
#include "test_vcd_mode.moc"
