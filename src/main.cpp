// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>

#include "app/common_dialog.h"
#include "app/frmcd.h"
#include "app/instance_lock.h"
#include "app/settings_store.h"
#include "cdclient/mci.h"
#include "core/launcher.h"
#include "core/message_boxes.h"
#include "core/picture_loader.h"
#include "core/program_exit.h"
#include "desktop/autoplay_registry.h"
#include "desktop/command_line.h"
#include "desktop/mpris.h"
#include "disc/drives.h"
#include "pictures/qt_screen_grabber.h"
#include "playback/media_backends.h"
#include "playback/open_paths.h"
#include "volume/alsa_mixer.h"

int main(int argc, char** argv) {
  if (const std::optional<int> status = command_line::answer(argc, argv)) return *status;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("mirova"));
  // Wayland's app_id and the portals name the desktop entry by this.
  QApplication::setDesktopFileName(QStringLiteral("mirova"));
  QApplication::setApplicationVersion(
      QStringLiteral("%1.%2.%3").arg(MIROVA_VERSION_MAJOR).arg(MIROVA_VERSION_MINOR).arg(MIROVA_VERSION_PATCH));

  QString unknown;
  const QStringList given = command_line::paths(QApplication::arguments(), unknown);
  if (!unknown.isEmpty()) {
    std::fprintf(stderr, "mirova: unknown option %s\nTry 'mirova --help'.\n", qPrintable(unknown));
    return 2;
  }
  // The CD drive service lives beside the player; the media control's CD
  // device and the command strings are both its clients. Its program also
  // probes disc images before the player reads them.
  const QString cdService = QApplication::applicationDirPath() + QStringLiteral("/mirova-cdaudio");
  ImageProbe probe(cdService);
  LinuxDrives drives(LinuxDrives::system(), &probe);
  const QStringList paths = open_paths::withoutDiscs(drives, given);

  // A later copy with something to open hands it to the copy that runs and
  // ends; without paths it ends at the window's load, as it always has.
  FileInstanceLock lock(FileInstanceLock::defaultFolders());
  if (!paths.isEmpty() && !lock.acquire()) {
    const QString why = Mpris::handOver(QDBusConnection::sessionBus(), paths);
    if (why.isEmpty()) return 0;
    std::fprintf(stderr, "mirova: the player runs already and could not be handed %s: %s\n",
                 qPrintable(paths.join(QStringLiteral(", "))), qPrintable(why));
    return 1;
  }

  const QString configHome = IniSettingsStore::defaultConfigDir();
  IniSettingsStore settings(configHome);
  DesktopAutoPlayRegistry autoPlay(DesktopAutoPlayRegistry::defaultDataHome(), configHome,
                                   DesktopAutoPlayRegistry::defaultDataDirs());
  QtMessageBoxes messages;
  ProcessExit programExit;
  FilePictureLoader pictures;
  ProcessLauncher launcher;
  QtFilePicker filePicker;
  // The drive chosen stays chosen while it holds a disc: a disc put into
  // another drive meanwhile does not take the player over.
  const auto cdDrive = std::make_shared<QString>();
  const CdServiceSetup cd{cdService, [&drives, cdDrive] { return *cdDrive = firstCdSource(drives, *cdDrive); }};
  const auto media = makeSystemMediaDevices(drives, cd);
  ServiceMci mci(cd);
  AlsaMixerFactory mixers;
  QtScreenGrabber screen;

  Platform platform{settings, lock,       autoPlay, messages, programExit, pictures,
                    launcher, filePicker, *media,   mixers,   screen,      QApplication::applicationDirPath(),
                    drives,   mci};
  frmcd window(platform);
  window.start();
  // Media keys; without a session bus the player simply goes without them.
  Mpris mpris(window);
  mpris.publish(QDBusConnection::sessionBus());
  // Once the window is up, as if the user had chosen them there.
  QTimer::singleShot(0, &window, [&window, &paths] { window.openPaths(paths); });
  return QApplication::exec();
}
