// No sound server at all: ALSA's "default" leads to the pulse plugin with
// nothing behind it. HOME is the test's own before ALSA first reads it.
#include <alsa/asoundlib.h>
#include <unistd.h>

#include <QTemporaryFile>
#include <QTest>

#include "volume/alsa_mixer.h"
#include "volume/cls_volume.h"
#include "volume_test.h"

class TestAlsaNoSound : public QObject {
  Q_OBJECT
  QTemporaryDir home_;
 private Q_SLOTS:
  void noServer() {
    QVERIFY(alsaToPulse(home_));
    for (const char* v : {"HOME", "XDG_RUNTIME_DIR"}) qputenv(v, home_.path().toUtf8());
    // A server named where none listens: a pulse client must not start one of its own.
    qputenv("PULSE_SERVER", "unix:" + home_.filePath(QStringLiteral("native")).toUtf8());
    QTemporaryFile err;
    QVERIFY(err.open());
    // stderr to the file, without Qt's own warnings: it shows what ALSA prints.
    const QtMessageHandler qt = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    const int saved = dup(2);
    dup2(err.handle(), 2);
    // ALSA left to itself first, to show that this configuration makes it talk.
    snd_mixer_t* h = nullptr;
    const bool attached = snd_mixer_open(&h, 0) == 0 && snd_mixer_attach(h, "default") == 0;
    snd_mixer_close(h);
    const qint64 raw = err.size();
    AlsaMixerFactory alsa;
    Window f(&alsa);
    frmcd& w = f.w;
    w.reload();
    clickArrow(w.vsVolume, false);
    QList<int> seen{w.vsVolume->Value(), w.volume->prSpeakerVolume()};
    dragToEnd(w.vsVolume, false);
    seen << w.vsVolume->Value() << w.volume->prSpeakerVolume();
    dup2(saved, 2);
    close(saved);
    qInstallMessageHandler(qt);
    QVERIFY(!attached && err.seek(0));
    const QByteArray text = err.readAll();
    QVERIFY2(text.left(raw).contains("ALSA lib"), text.constData());
    QCOMPARE(text.mid(raw), QByteArray());  // the player itself stays quiet ...
    // ... says it once per load of the window, and its slider
    // keeps the layout range 0..32767 and moves, its values going nowhere.
    QCOMPARE(f.fp.messages.texts(), QStringList(2, QStringLiteral("Could not open the mixer.")));
    QCOMPARE(seen, (QList{1, 2, 32767, 65534}));
  }
};

QTEST_MAIN(TestAlsaNoSound)
#include "test_alsa_nosound.moc"
