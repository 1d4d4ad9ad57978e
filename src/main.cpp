#include <QApplication>
#include <QDir>

#include "app/autoplay_registry.h"
#include "app/common_dialog.h"
#include "app/frmcd.h"
#include "app/instance_lock.h"
#include "app/settings_store.h"
#include "core/launcher.h"
#include "core/message_boxes.h"
#include "core/picture_loader.h"
#include "core/program_exit.h"
#include "pictures/qt_screen_grabber.h"
#include "playback/drives.h"
#include "playback/mci.h"
#include "playback/media_backends.h"
#include "playback/mpris.h"
#include "volume/alsa_mixer.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("mirova"));
  // Wayland's app_id and the portals name the desktop entry by this.
  QApplication::setDesktopFileName(QStringLiteral("mirova"));
  QApplication::setApplicationVersion(
      QStringLiteral("%1.%2.%3").arg(MIROVA_VERSION_MAJOR).arg(MIROVA_VERSION_MINOR).arg(MIROVA_VERSION_PATCH));

  const QString configHome = IniSettingsStore::defaultConfigDir();
  IniSettingsStore settings(configHome);
  FileInstanceLock lock(FileInstanceLock::defaultFolders());
  DesktopAutoPlayRegistry autoPlay(DesktopAutoPlayRegistry::defaultDataHome(), configHome,
                                   DesktopAutoPlayRegistry::defaultDataDirs());
  QtMessageBoxes messages;
  ProcessExit programExit;
  FilePictureLoader pictures;
  ProcessLauncher launcher;
  QtFilePicker filePicker;
  // The CD drive service lives beside the player; the media control's CD
  // device and the command strings are both its clients. Its program also
  // probes disc images before the player reads them.
  const QString cdService = QApplication::applicationDirPath() + QStringLiteral("/mirova-cdaudio");
  ImageProbe probe(cdService);
  LinuxDrives drives(LinuxDrives::system(), &probe);
  const CdServiceSetup cd{cdService, [&drives] { return firstCdSource(drives); }};
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
  return QApplication::exec();
}
