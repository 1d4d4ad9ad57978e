// A playlist chosen in the playlist window plays on the real GStreamer
// device into a private sound server (run under with_pulse.sh), moving on
// by the status tick alone.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/frmcd.h"
#include "fakes/fakes.h"
#include "playback/media_backends.h"
#include "playback/media_control.h"
#include "playback/multi.h"

class TestPlaylistGst : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void playsInOrderAndRepeats();
};

void TestPlaylistGst::playsInOrderAndRepeats() {
  QTemporaryDir tmp;
  const QString dir = QDir(tmp.path()).canonicalPath();
  // Three short tones, told apart by their names only.
  const QStringList names{"1.wav", "2.wav", "3.wav"};
  for (int i = 0; i < names.size(); ++i) {
    const int rc = QProcess::execute(QStringLiteral("sox"), {"-n", "-r", "44100", "-c", "2", dir + '/' + names[i],
                                                             "synth", "0.6", "sine", QString::number(440 * (i + 1))});
    QCOMPARE(rc, 0);
  }
  const QString home = QDir::currentPath();
  QDir::setCurrent(dir);

  FakePlatform fp;
  fp.pictures.add(fp.programFolder + QStringLiteral("/bg.bmp"));
  const auto media = makeSystemMediaDevices();
  Platform p{fp.settings,   fp.lock, fp.autoPlay, fp.messages, fp.exit,          fp.pictures, fp.launcher,
             fp.filePicker, *media,  fp.mixers,   fp.screen,   fp.programFolder, fp.drives};
  auto w = std::make_unique<frmcd>(p);
  w->start();

  w->action(QStringLiteral("menu_multi"))->trigger();
  multi* m = nullptr;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* found = qobject_cast<multi*>(t)) m = found;
  QVERIFY(m);
  for (const QString& name : names) {
    const QList<QListWidgetItem*> item = m->File1->findItems(name, Qt::MatchExactly);
    QCOMPARE(item.size(), 1);
    QTest::mouseClick(m->File1->viewport(), Qt::LeftButton, {}, m->File1->visualItemRect(item.first()).center());
    QTest::mouseClick(m->cmd_add, Qt::LeftButton);
  }

  // Which file the device holds and whether it was heard playing, sampled at
  // every status tick after the main window has handled it.
  QStringList played;
  QList<bool> sawPlaying;
  MediaControl* mc = w->mcicdplayer;
  auto note = [&] {
    const QString file = mc->FileName();
    if (played.isEmpty() || played.last() != file) {
      played << file;
      sawPlaying << false;
    }
    if (mc->Mode() == MediaDevice::Playing) sawPlaying.last() = true;
  };
  QTest::mouseClick(m->cmd_ok, Qt::LeftButton);
  QVERIFY(fp.messages.shown.isEmpty());
  note();
  connect(mc, &MediaControl::StatusUpdate, this, note);

  // While the list plays the sound server has a stream from us.
  QTRY_VERIFY_WITH_TIMEOUT(played.size() >= 2, 15000);
  QProcess pactl;
  pactl.start(QStringLiteral("pactl"), {"list", "short", "sink-inputs"});
  QVERIFY(pactl.waitForFinished(10000));
  QVERIFY2(!pactl.readAllStandardOutput().trimmed().isEmpty(), "no stream reached the sound server");

  // 1, 2, 3, then 1 again: the file name changes at each change of entry.
  QTRY_VERIFY_WITH_TIMEOUT(played.size() >= 4, 30000);
  QCOMPARE(played.mid(0, 4), (QStringList{dir + "/1.wav", dir + "/2.wav", dir + "/3.wav", dir + "/1.wav"}));
  QCOMPARE(sawPlaying.mid(0, 3), (QList<bool>{true, true, true}));
  QVERIFY2(fp.messages.shown.isEmpty(), qPrintable(fp.messages.texts().join('\n')));
  QCOMPARE(w->lsttrack->currentRow(), w->curfile);

  w->exit_Click();
  w.reset();
  QDir::setCurrent(home);
}

QTEST_MAIN(TestPlaylistGst)
#include "test_playlist_gst.moc"
