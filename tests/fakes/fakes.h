// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fakes of the platform layer for widget tests: they record what the
// windows ask of the machine and answer as the test scripts them.
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QListWidget>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "app/common_dialog.h"
#include "app/frmcd.h"
#include "app/instance_lock.h"
#include "app/platform.h"
#include "app/settings_store.h"
#include "cdclient/mci.h"
#include "core/launcher.h"
#include "core/message_boxes.h"
#include "core/picture_loader.h"
#include "core/program_exit.h"
#include "desktop/autoplay_registry.h"
#include "disc/drives.h"
#include "pictures/screen_grabber.h"
#include "playback/media_control.h"
#include "playback/media_device.h"
#include "volume/mixer.h"

// Keys folded to lower case, as the real store matches them. Every write is
// also logged in order.
class FakeSettings : public SettingsStore {
 public:
  QString read(const QString& app, const QString& section, const QString& key,
               const QString& fallback = QString()) const override;
  void write(const QString& app, const QString& section, const QString& key, const QString& value) override;
  QString value(const QString& section, const QString& key) const;  // null when absent
  void set(const QString& section, const QString& key, const QString& v) { values[id(section, key)] = v; }
  QStringList writes;  // "section/key=value"

 private:
  static QString id(const QString& section, const QString& key) { return (section + QLatin1Char('/') + key).toLower(); }
  QHash<QString, QString> values;
};

class FakeInstanceLock : public InstanceLock {
 public:
  bool acquire() override { return true; }
};

class FakeAutoPlay : public AutoPlayRegistry {
 public:
  void registerAudioCdCommand(const QString&) override {}
};

class FakeMessages : public MessageBoxes {
 public:
  QStringList shown;  // the texts, in order
  QStringList boxes;  // the same as "title: text", "[stop] " before it for the stop icon
  void show(const QString& text, const QString& title, Icon icon) override;
  QStringList texts() const { return shown; }
};

// Thrown in place of the process ending, so a test sees where it would end.
struct ProgramEnded {};

class FakeExit : public ProgramExit {
 public:
  [[noreturn]] void endNow() override { throw ProgramEnded{}; }
};

// Pictures from memory: a path loads when it was added, else raises 53.
class FakePictures : public PictureLoader {
 public:
  QHash<QString, QPixmap> files;
  QStringList notPictures;  // present but unreadable: raises 481
  QPixmap add(const QString& path, const QSize& size = {20, 10}, const QColor& colour = Qt::blue);
  QPixmap load(const QString& path) override;
};

class FakeLauncher : public Launcher {
 public:
  QStringList installed;  // programs find() knows
  bool startFails = false;
  QList<Command> started;
  QString find(const QString& program) const override { return installed.contains(program) ? program : QString(); }
  bool start(const QString& program, const QStringList& arguments) override;
};

// Answers the file chooser from a queue: a path, or nullopt for cancel.
class FakeFilePicker : public FilePicker {
 public:
  std::deque<std::optional<QString>> answers;
  QList<Request> requests;
  std::optional<QString> pick(const Request& request) override;
};

class FakeScreen : public ScreenGrabber {
 public:
  QImage image;
  std::function<void()> onGrab;
  QImage grabScreen() override;
};

class FakeMixer : public Mixer {
 public:
  struct State {
    Control speakers{1, 0, 65535}, mic{2, 0, 65535};
    QList<QPair<quint32, quint32>> writes;  // control id, value
    int opens = 0;
  };
  explicit FakeMixer(State& s) : s_(s) {}
  int open() override;
  bool volumeControl(Line line, Control& out) override;
  bool setValue(const Control& control, quint32 value) override;

 private:
  State& s_;
};

class FakeMixers : public MixerFactory {
 public:
  FakeMixer::State state;
  MixerFactory* real = nullptr;  // when set, the window gets real mixers from it
  std::unique_ptr<Mixer> create() override { return real ? real->create() : std::make_unique<FakeMixer>(state); }
};

// A scripted medium: time runs only when the test advances it.
class FakeMediaDevice : public MediaDevice {
 public:
  struct Script {
    QHash<QString, qint64> lengths;  // file name -> length ms; others fail to open
    std::optional<int> discTracks;   // the "cdaudio" device: tracks on the disc; none: no disc
    int firstTrack = 1;              // and the number of its first
    QString identity;                // what tells the disc from another
    QString ejectFails;              // the drive's reason when its door will not move
    qint64 discMs = 3600000;         // its length
    QList<qint64> trackStartsMs;     // where its tracks start, when the test says
    QStringList log;                 // "open X", "play", "seek N", ...
    FakeMediaDevice* current = nullptr;
  };
  FakeMediaDevice(Script& s, bool cd) : s_(s), cd_(cd) {}
  ~FakeMediaDevice() override;
  void open(const QString& fileName) override;
  void play() override;
  void pause() override;
  void stop() override;
  void seek(qint64 ms) override;
  qint64 positionMs() override { return pos_; }
  qint64 lengthMs() override { return len_; }
  int mode() override { return mode_; }
  double framesPerSecond() override { return 25.0; }
  int tracks() override { return cd_ ? s_.discTracks.value_or(0) : 1; }
  int firstTrack() override { return cd_ ? s_.firstTrack : 1; }
  void eject() override;
  QString discIdentity() override { return identity_; }
  int currentTrack() override;
  qint64 trackStartMs(int track) override { return s_.trackStartsMs.value(track - 1); }

  void advance(qint64 ms);  // plays on; at the end, position = length and mode stopped
  void setPosition(qint64 ms) { pos_ = ms; }
  void fail(const QString& message);  // stops on an error while playing, as a backend does
  void learnLength(qint64 ms);        // a length measured after the open

 private:
  Script& s_;
  bool cd_;
  qint64 pos_ = 0, len_ = 0;
  int mode_ = NotOpen;
  QString identity_;
};

class FakeMedia : public MediaDeviceFactory {
 public:
  FakeMediaDevice::Script script;
  std::unique_ptr<MediaDevice> create(const QString& deviceType) override;
};

// Replies come from the table (else empty).
class FakeMci : public Mci {
 public:
  QHash<QString, QString> replies;
  int sendString(const QString& command, QString* reply, int replyLength) override;
};

// Drives from a list the test writes; by default only "c:", the root.
class FakeDrives : public Drives {
 public:
  FakeDrives();
  QList<Drive> drives;
  QList<Drive> list() override { return drives; }
  void add(QChar letter, const QString& folder, Type type = CdRom, const QString& label = QString());

  // The directory search, scripted: what any search on a drive finds, by
  // its letter (lower case). A drive in the list without an entry here has
  // no disc: its searches raise, as does a letter with no drive.
  QHash<QChar, QStringList> files;
  QStringList findFiles(const QString& pattern) override;
  // What a drive says of itself: by default Ready when it has files
  // scripted (a disc), else NoDisc.
  QHash<QChar, disc::DriveState> states;
  disc::DriveState state(const Drive& d) override;
};

// All fakes, and a Platform over them.
struct FakePlatform {
  FakeSettings settings;
  FakeInstanceLock lock;
  FakeAutoPlay autoPlay;
  FakeMessages messages;
  FakeExit exit;
  FakePictures pictures;
  FakeLauncher launcher;
  FakeFilePicker filePicker;
  FakeMedia media;
  FakeMixers mixers;
  FakeScreen screen;
  QString programFolder = QStringLiteral("/opt/mirova");
  FakeDrives drives;
  FakeMci mci;
  Platform platform() { return platform(media); }
  // The same with other media devices (the real ones, or a fake of the
  // test's own) and, where given, real command strings.
  Platform platform(MediaDeviceFactory& devices) { return platform(devices, mci); }
  Platform platform(MediaDeviceFactory& devices, Mci& strings) {
    return Platform{settings,   lock,    autoPlay, messages, exit,          pictures, launcher,
                    filePicker, devices, mixers,   screen,   programFolder, drives,   strings};
  }
};

// The widest gap between ticks of the GUI thread's timer since the last
// reset: how long the window went without painting.
struct StallMeter {
  QTimer tick;
  QElapsedTimer clock;
  qint64 last = 0, widest = 0;
  StallMeter();
  // The widest gap, the one still open counted.
  qint64 longest() const { return std::max(widest, clock.elapsed() - last); }
  void reset() {
    last = clock.elapsed();
    widest = 0;
  }
};

// The main window over the fakes, or over the machine's real media devices,
// with the default background; `setUp` scripts the fakes before it starts.
struct TestWindow {
  enum Media { Fakes, Real };
  explicit TestWindow(const std::function<void(FakePlatform&)>& setUp = {}, Media media = Fakes, bool start = true);
  FakePlatform fp;
  std::unique_ptr<MediaDeviceFactory> real;
  Platform p;
  frmcd w;
  MediaControl& mc() const { return *w.mcicdplayer; }
  QStringList rows(const QListWidget* list = nullptr) const;  // the texts of a list, by default the main one
  // Takes these files of one folder over as the playlist and plays entry 1.
  void playList(const QString& folder, const QStringList& names);
};

// A file's bytes, empty when it cannot be read; a file written whole, its folder made first.
QByteArray readFile(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes);

// A click on a row of the list and, with `twice`, the double-click after it,
// as the user makes them.
void clickRow(QListWidget* list, int row, bool twice = false);
