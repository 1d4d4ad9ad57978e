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
#include "playback/media_backends.h"
#include "volume/alsa_mixer.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("mirova"));
  QApplication::setApplicationVersion(
      QStringLiteral("%1.%2.%3").arg(MIROVA_VERSION_MAJOR).arg(MIROVA_VERSION_MINOR).arg(MIROVA_VERSION_PATCH));

  const QString configHome = IniSettingsStore::defaultConfigDir();
  IniSettingsStore settings(configHome);
  FileInstanceLock lock(FileInstanceLock::defaultFolders());
  DesktopAutoPlayRegistry autoPlay(DesktopAutoPlayRegistry::defaultDataHome(), configHome);
  QtMessageBoxes messages;
  ProcessExit programExit;
  FilePictureLoader pictures;
  ProcessLauncher launcher;
  QtFilePicker filePicker;
  const auto media = makeSystemMediaDevices();
  AlsaMixerFactory mixers;
  QtScreenGrabber screen;
  LinuxDrives drives;

  Platform platform{settings, lock,       autoPlay, messages, programExit, pictures,
                    launcher, filePicker, *media,   mixers,   screen,      QApplication::applicationDirPath(),
                    drives};
  frmcd window(platform);
  window.start();
  return QApplication::exec();
}
