// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

class SettingsStore;
class InstanceLock;
class AutoPlayRegistry;
class MessageBoxes;
class ProgramExit;
class PictureLoader;
class Launcher;
class FilePicker;
class MediaDeviceFactory;
class MixerFactory;
class ScreenGrabber;
class Drives;
class Mci;

// Everything the windows need from the machine, made once by main() (or by
// a test, from fakes) and handed to the main window.
struct Platform {
  SettingsStore& settings;
  InstanceLock& instanceLock;
  AutoPlayRegistry& autoPlay;
  MessageBoxes& messages;
  ProgramExit& programExit;
  PictureLoader& pictures;
  Launcher& launcher;
  FilePicker& filePicker;
  MediaDeviceFactory& media;
  MixerFactory& mixers;
  ScreenGrabber& screen;
  QString programFolder;  // ends in '/' only when it is the root
  Drives& drives;
  Mci& mci;  // command strings to the CD drive
};
