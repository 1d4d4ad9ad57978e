// SPDX-License-Identifier: GPL-3.0-or-later
// The CD drive service measured through the main window: the time from a
// double-click on a track to its sound at the sink, and the service's CPU
// while it plays, beside gst-play-1.0 playing the same image.
// Usage: cd_bench DISC.cue SERVICE_PROGRAM REPEATS SECONDS
// (under a PulseAudio whose default sink is the null sink "mirova_test")
#include <signal.h>
#include <unistd.h>

#include <QtTest>
#include <QtWidgets>
#include <algorithm>
#include <cstdio>

#include "app/frmcd.h"
#include "cdaudio/protocol.h"
#include "cdclient/cd_service_client.h"
#include "cdclient/mci.h"
#include "fakes/fakes.h"
#include "playback/media_backends.h"
#include "playback/media_control.h"

namespace {

constexpr int kLoud = 2000;
constexpr double kBytesPerSecond = 44100.0 * 4;

double cpuSeconds(qint64 pid) {
  QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QList<QByteArray> fields = f.readAll().split(')').value(1).split(' ');  // after "pid (comm"
  return (fields.value(12).toDouble() + fields.value(13).toDouble()) / double(::sysconf(_SC_CLK_TCK));
}

// Percent of one core that `pid` used over `seconds`.
double cpuPercent(qint64 pid, int seconds) {
  QElapsedTimer t;
  const double before = cpuSeconds(pid);
  t.start();
  QTest::qWait(seconds * 1000);
  return 100.0 * (cpuSeconds(pid) - before) / (t.elapsed() / 1000.0);
}

qint64 servicePid() {
  QFile lock(cdaudio::lockPath());
  return lock.open(QIODevice::ReadOnly) ? lock.readAll().trimmed().toLongLong() : 0;
}

qsizetype firstLoud(const QByteArray& pcm) {
  for (qsizetype i = 0; i + 1 < pcm.size(); i += 2)
    if (std::abs(int(qint16(quint8(pcm[i]) | (quint8(pcm[i + 1]) << 8)))) > kLoud) return i;
  return -1;
}

double median(QList<double> v) {
  std::sort(v.begin(), v.end());
  return v.isEmpty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() != 5) {
    std::fprintf(stderr, "usage: cd_bench DISC.cue SERVICE_PROGRAM REPEATS SECONDS\n");
    return 2;
  }
  const QString disc = args[1];
  const int repeats = args[3].toInt(), seconds = args[4].toInt();

  QProcess parec;
  parec.start("parec",
              {"--device=mirova_test.monitor", "--raw", "--format=s16le", "--channels=2", "--latency-msec=10"});
  if (!parec.waitForStarted(5000) || !parec.waitForReadyRead(5000)) return std::fprintf(stderr, "no parec\n"), 1;

  FakePlatform fp;
  fp.pictures.add(fp.programFolder + "/bg.bmp");
  const CdServiceSetup cd{args[2], [&disc] { return disc; }};
  const auto media = makeSystemMediaDevices(fp.drives, cd);
  ServiceMci mci(cd);
  Platform p = fp.platform(*media, mci);
  frmcd w(p);
  w.start();
  QElapsedTimer setUp;
  setUp.start();
  QTest::mouseClick(w.cdload, Qt::LeftButton);  // starts the service
  std::printf("CD button to the track list, service started on demand: %lld ms\n", setUp.elapsed());
  if (w.lsttrack->count() < 2) return std::fprintf(stderr, "CD set-up failed\n"), 1;

  // Double-click to sound: the monitor runs in real time, so the bytes it
  // delivers after the click until the first loud sample are the delay.
  QList<double> delays, handlers;
  for (int i = 0; i < repeats; ++i) {
    w.mcicdplayer->setCommand(QStringLiteral("stop"));
    QTest::qWait(800);
    const int row = i % w.lsttrack->count();
    const QPoint at = w.lsttrack->visualItemRect(w.lsttrack->item(row)).center();
    QTest::mouseClick(w.lsttrack->viewport(), Qt::LeftButton, {}, at);
    parec.waitForReadyRead(50);
    parec.readAllStandardOutput();
    QElapsedTimer t;
    t.start();
    QTest::mouseDClick(w.lsttrack->viewport(), Qt::LeftButton, {}, at);
    handlers << t.nsecsElapsed() / 1e6;
    QByteArray heard;
    qsizetype loud = -1;
    while (loud < 0 && t.elapsed() < 5000) {
      parec.waitForReadyRead(20);
      heard += parec.readAllStandardOutput();
      loud = firstLoud(heard);
    }
    if (loud < 0) return std::fprintf(stderr, "no sound after the double-click\n"), 1;
    delays << 1000.0 * loud / kBytesPerSecond;
  }
  std::printf("double-click to sound (ms, %d runs): median %.0f, min %.0f, max %.0f; handler median %.1f ms\n", repeats,
              median(delays), *std::min_element(delays.cbegin(), delays.cend()),
              *std::max_element(delays.cbegin(), delays.cend()), median(handlers));

  // CPU while playing: the service, and the player beside it.
  const qint64 service = servicePid();
  QTest::qWait(500);
  QElapsedTimer t;
  const double playerBefore = cpuSeconds(::getpid());
  t.start();
  const double serviceCpu = cpuPercent(service, seconds);
  const double playerCpu = 100.0 * (cpuSeconds(::getpid()) - playerBefore) / (t.elapsed() / 1000.0);
  parec.readAllStandardOutput();
  QTest::qWait(300);
  const bool serviceSounds = firstLoud(parec.readAllStandardOutput()) >= 0;
  w.close();  // stops the disc
  ::kill(pid_t(service), SIGTERM);

  QProcess peer;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("GST_PLUGIN_FEATURE_RANK", "cdparanoiasrc:NONE");  // it cannot read images
  peer.setProcessEnvironment(env);
  peer.start("gst-play-1.0", {"--no-interactive", "-q", "cdda://" + disc + "#1"});
  if (!peer.waitForStarted(5000)) return std::fprintf(stderr, "no gst-play-1.0\n"), 1;
  QTest::qWait(1500);
  const double peerCpu = cpuPercent(peer.processId(), seconds);
  parec.readAllStandardOutput();
  QTest::qWait(300);
  const bool peerSounds = firstLoud(parec.readAllStandardOutput()) >= 0;
  peer.kill();
  peer.waitForFinished();
  parec.kill();
  parec.waitForFinished();

  std::printf("%-28s %8s %8s\n", "while playing, over", "cpu %", "sound");
  std::printf("%-28s %8.2f %8s\n", "mirova-cdaudio", serviceCpu, serviceSounds ? "yes" : "NO");
  std::printf("%-28s %8.2f %8s\n", "mirova (the window, ticking)", playerCpu, "");
  std::printf("%-28s %8.2f %8s\n", "gst-play-1.0", peerCpu, peerSounds ? "yes" : "NO");
  std::printf("ratio service / gst-play-1.0: %.2f  (%d s each)\n", peerCpu > 0 ? serviceCpu / peerCpu : 0, seconds);
  return serviceSounds && peerSounds ? 0 : 1;
}
