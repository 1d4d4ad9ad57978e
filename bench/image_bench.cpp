// SPDX-License-Identifier: GPL-3.0-or-later
// The cost of keeping disc images away from the processes that read them:
// the time from a press of the VCD button (a Video CD image as drive D) and
// of the CD button (an audio CD image) to the filled list, with the image's
// probe still to run (cold) and its verdict known (warm). Builds against a
// tree without the probe too, for the figures before it.
// Usage: image_bench VCD_IMAGE AUDIO_IMAGE SERVICE_PROGRAM ROUNDS
#include <signal.h>
#include <utime.h>

#include <QtTest>
#include <QtWidgets>
#include <algorithm>
#include <cstdio>
#include <optional>

#include "app/frmcd.h"
#include "cdaudio/protocol.h"
#include "cdclient/mci.h"
#include "disc/drives.h"
#include "fakes/fakes.h"
#include "playback/media_backends.h"
#if __has_include("disc/image_probe.h")
#define PROBED 1
#endif

namespace {

// The CD drive service's device; files are opened by a fake, as the list is
// filled before the first file plays.
struct Devices : MediaDeviceFactory {
  std::unique_ptr<MediaDeviceFactory> system;
  FakeMedia files;
  std::unique_ptr<MediaDevice> create(const QString& type) override {
    return type == QLatin1String("cdaudio") ? system->create(type) : files.create(type);
  }
};

// Milliseconds the click on `button` took; the list must have `rows` rows after it.
double press(frmcd& w, QPushButton* button, int rows) {
  QElapsedTimer t;
  t.start();
  QTest::mouseClick(button, Qt::LeftButton);
  const double ms = t.nsecsElapsed() / 1e6;
  if (w.lsttrack->count() != rows) {
    std::fprintf(stderr, "%d rows, not %d\n", w.lsttrack->count(), rows);
    std::exit(1);
  }
  return ms;
}

void endService() {
  QFile lock(cdaudio::lockPath());
  const pid_t pid = lock.open(QIODevice::ReadOnly) ? pid_t(lock.readAll().trimmed().toLongLong()) : 0;
  if (pid <= 0 || ::kill(pid, SIGKILL) != 0) return;
  for (int i = 0; i < 200 && ::kill(pid, 0) == 0; ++i) QThread::msleep(10);
}

// A new modification time: another image to a probe.
void touch(const QString& file) { ::utime(QFile::encodeName(file).constData(), nullptr); }

void report(const char* what, QList<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-48s median %7.1f ms  min %7.1f  max %7.1f  (%lld runs)\n", what, ms[ms.size() / 2], ms.first(),
              ms.last(), ms.size());
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() != 5) {
    std::fprintf(stderr, "usage: image_bench VCD_IMAGE AUDIO_IMAGE SERVICE_PROGRAM ROUNDS\n");
    return 2;
  }
  const QString vcd = args[1], audio = args[2], program = args[3];
  const int rounds = args[4].toInt();
  QList<double> vcdCold, vcdWarm, cdStart, cdCold, cdWarm;
  for (int round = 0; round < rounds; ++round) {
    FakePlatform fp;
    fp.pictures.add(fp.programFolder + "/bg.bmp");
    const LinuxDrives::Sources sources{"/nonexistent/mounts", "/nonexistent/sys", "/nonexistent/by-label",
                                       "D=" + vcd + ",E=" + audio};
#ifdef PROBED
    ImageProbe probe(program);  // a new one knows no image yet
    LinuxDrives drives(sources, &probe);
#else
    LinuxDrives drives(sources);
#endif
    const CdServiceSetup cd{program, [&audio] { return audio; }};
    Devices devices;
    devices.system = makeSystemMediaDevices(drives, cd);
    devices.files.script.lengths["D:\\Mpegav\\AVSEQ01.DAT"] = 1000;
    ServiceMci mci(cd);
    Platform p{fp.settings,   fp.lock, fp.autoPlay, fp.messages, fp.exit,          fp.pictures, fp.launcher,
               fp.filePicker, devices, fp.mixers,   fp.screen,   fp.programFolder, drives,      mci};
    frmcd w(p);
    w.start();
    vcdCold << press(w, w.vcdload, 2);
    vcdWarm << press(w, w.vcdload, 2);
    endService();
    touch(audio);
    cdStart << press(w, w.cdload, 3);
    cdWarm << press(w, w.cdload, 3);
    touch(audio);
    cdCold << press(w, w.cdload, 3);
    if (!fp.messages.shown.isEmpty()) return std::fprintf(stderr, "%s\n", qPrintable(fp.messages.shown.first())), 1;
  }
  endService();
#ifdef PROBED
  std::printf("with the probe (ImageProbe::kTimeoutMs %d)\n", ImageProbe::kTimeoutMs);
#else
  std::printf("without the probe\n");
#endif
  report("VCD button, image not yet probed", vcdCold);
  report("VCD button, image probed before", vcdWarm);
  report("CD button, service started, image not yet probed", cdStart);
  report("CD button, service running, image not yet probed", cdCold);
  report("CD button, service running, image probed before", cdWarm);
  return 0;
}
