// The player on a machine without any sound server or card: ALSA's
// "default" leads nowhere. Each case runs in a child process with its own
// HOME and runtime folder, so its ALSA configuration and its stderr are the
// test's alone.
#include <alsa/asoundlib.h>

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "app/frmcd.h"
#include "core/range_scrollbar.h"
#include "fakes/fakes.h"
#include "slider_mouse.h"
#include "volume/alsa_mixer.h"
#include "volume/cls_volume.h"

namespace {
const char* const kChild = "MIROVA_VOLUME_CHILD";

QTextStream& out() {
  static QTextStream s(stdout);
  return s;
}

// Qt's own warnings go to stdout, so stderr shows only what ALSA prints.
void toStdout(QtMsgType, const QMessageLogContext&, const QString& text) { out() << "qt " << text << Qt::endl; }

// Start-up, two reloads, then the slider moved by the user.
int childWindow(int argc, char** argv) {
  qInstallMessageHandler(toStdout);
  QApplication app(argc, argv);
  FakePlatform fp;
  fp.pictures.add(fp.programFolder + QStringLiteral("/bg.bmp"));
  AlsaMixerFactory alsa;
  fp.mixers.real = &alsa;
  Platform p = fp.platform();
  frmcd w(p);
  w.start();
  out() << "err " << w.volume->prMixerErr() << Qt::endl;
  w.reload();
  w.reload();
  slider_mouse::clickArrow(w.vsVolume, false);
  out() << "step " << w.vsVolume->Value() << ' ' << w.volume->prSpeakerVolume() << Qt::endl;
  slider_mouse::dragToEnd(w.vsVolume, false);
  out() << "slider " << w.vsVolume->Min() << ' ' << w.vsVolume->Max() << ' ' << w.vsVolume->Value() << ' '
        << w.volume->prSpeakerVolume() << Qt::endl;
  for (const FakeMessages::Shown& m : fp.messages.shown)
    out() << "message " << m.text << '|' << m.title << '|' << (m.icon == MessageBoxes::Icon::Stop) << Qt::endl;
  w.close();
  return 0;
}

// ALSA left to its own devices, to show that this configuration makes it talk.
int childRaw() {
  snd_mixer_t* h = nullptr;
  if (snd_mixer_open(&h, 0) < 0) return 1;
  out() << "attach " << snd_mixer_attach(h, "default") << Qt::endl;
  snd_mixer_close(h);
  return 0;
}

struct Run {
  QStringList lines;
  QByteArray err;
  int exitCode = -1;
};
}  // namespace

class TestAlsaNoSound : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void unreachableDefault_data();
  void unreachableDefault();

 private:
  Run runChild(const QByteArray& mode, const QByteArray& asoundrc);
};

Run TestAlsaNoSound::runChild(const QByteArray& mode, const QByteArray& asoundrc) {
  Run r;
  QTemporaryDir home;
  if (!home.isValid()) return r;
  QDir(home.path()).mkdir(QStringLiteral("run"));
  QFile::setPermissions(home.filePath(QStringLiteral("run")),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  QFile rc(home.filePath(QStringLiteral(".asoundrc")));
  QFile client(home.filePath(QStringLiteral("client.conf")));
  if (!rc.open(QIODevice::WriteOnly) || !client.open(QIODevice::WriteOnly)) return r;
  rc.write(asoundrc);
  rc.close();
  client.write("autospawn = no\n");  // a pulse client must not start a server of its own
  client.close();

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* v : {"PULSE_SERVER", "PULSE_RUNTIME_PATH", "PULSE_COOKIE", "ALSA_CONFIG_PATH", "ALSA_CARD",
                        "ALSA_CTL_CARD", "DISPLAY", "WAYLAND_DISPLAY"})
    env.remove(QLatin1String(v));
  env.insert(QStringLiteral("HOME"), home.path());
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("run")));
  env.insert(QStringLiteral("PULSE_CLIENTCONFIG"), client.fileName());
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QLatin1String(kChild), QString::fromLatin1(mode));
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(QCoreApplication::applicationFilePath(), {});
  if (!p.waitForFinished(60000)) return r;
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  r.err = p.readAllStandardError();
  return r;
}

void TestAlsaNoSound::unreachableDefault_data() {
  QTest::addColumn<QByteArray>("asoundrc");
  QTest::newRow("sound server not running") << QByteArray("pcm.!default { type pulse }\nctl.!default { type pulse }\n");
  QTest::newRow("no such card") << QByteArray(
      "pcm.!default { type hw card mirova_none }\nctl.!default { type hw card mirova_none }\n");
}

void TestAlsaNoSound::unreachableDefault() {
  QFETCH(QByteArray, asoundrc);
  // Without a quiet handler ALSA complains on stderr in this setting ...
  const Run raw = runChild("raw", asoundrc);
  QCOMPARE(raw.exitCode, 0);
  QCOMPARE(raw.lines.size(), 1);
  QVERIFY2(raw.lines[0] != QLatin1String("attach 0"), qPrintable(raw.lines[0]));
  QVERIFY2(raw.err.contains("ALSA lib"), raw.err.constData());

  // ... while the player says it once per load of the window, in its own box.
  const Run run = runChild("window", asoundrc);
  QCOMPARE(run.exitCode, 0);
  QVERIFY2(run.err.isEmpty(), run.err.constData());
  QStringList messages, rest;
  for (const QString& l : run.lines) {
    if (l.startsWith(QLatin1String("message ")))
      messages << l.mid(8);
    else if (!l.startsWith(QLatin1String("qt ")))
      rest << l;
  }
  QCOMPARE(messages, QStringList(3, QStringLiteral("Could not open the mixer.|Volume Control|1")));
  QCOMPARE(rest.size(), 3);
  QVERIFY2(rest[0].startsWith(QLatin1String("err -")), qPrintable(rest[0]));
  // The slider keeps its layout range, moves, and its values go nowhere.
  QCOMPARE(rest[1], QStringLiteral("step 1 2"));
  QCOMPARE(rest[2], QStringLiteral("slider 0 32767 32767 65534"));
}

int main(int argc, char** argv) {
  const QByteArray mode = qgetenv(kChild);
  if (mode == "window") return childWindow(argc, argv);
  if (mode == "raw") return childRaw();
  QCoreApplication app(argc, argv);
  TestAlsaNoSound t;
  return QTest::qExec(&t, argc, argv);
}

#include "test_alsa_nosound.moc"
