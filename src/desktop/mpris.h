// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

class frmcd;

// The player on the session bus as org.mpris.MediaPlayer2.mirova (MPRIS 2),
// so that the keyboard's media keys and the desktop's media controls reach it.
// Play, Pause, PlayPause, Stop, Next and Previous press the matching button of
// the window's current `mcicdplayer` (the control is rebuilt at every reload):
// the window's handler runs first, then the control's own command, exactly as
// under a click, and a button that is disabled, or a window that is (the
// playlist window is open), does nothing. The press comes from the event loop
// after the call has been answered, so a message box it raises never keeps a
// caller waiting. The properties are read from the control's device when
// asked; PropertiesChanged follows PlaybackStatus, Metadata and the Can*
// properties within kPollMs. Position changes without a signal, as MPRIS
// wants it; a seek of ours sends Seeked.
//
// Seek and SetPosition put the position slider `HScroll1` where the position
// asked for falls (a whole percent of the file) and raise its Scroll event,
// so the window's own handler seeks, as under a drag of the thumb. Volume is
// where the volume slider's thumb stands, 0 at the bottom and 1 at the top;
// setting it moves the thumb, and the slider's Change handler writes the
// mixer. OpenUri opens a local file as `mirova FILE` does.
//
// The same object also answers copies of the player started later (the
// command line, the desktop's "Open With"): they hand their paths to Open()
// of kOpenInterface and end.
// The calls of the adaptors run in this object's context: an adaptor
// answers with an error through it.
class Mpris : public QObject, public QDBusContext {
  Q_OBJECT
 public:
  static inline const QString kService = QStringLiteral("org.mpris.MediaPlayer2.mirova");
  static inline const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
  static inline const QString kOpenInterface = QStringLiteral("org.mirova.Player");
  static constexpr int kPollMs = 500;
  // How long a later copy waits for a first copy that is still starting.
  static constexpr int kHandOverWaitMs = 5000;

  explicit Mpris(frmcd& window, QObject* parent = nullptr);
  // Takes the name on `bus`; with no bus, or the name held elsewhere even
  // with an instance suffix, returns false and the player goes on without.
  bool publish(const QDBusConnection& bus);

  // org.mpris.MediaPlayer2.Player, as the bus sees it.
  QString playbackStatus() const;
  // mpris:trackid, xesam:title (the file's name, "曲->n" for an audio CD
  // track), mpris:length in microseconds, xesam:url for a local file.
  QVariantMap metadata() const;
  qlonglong position() const;  // microseconds into the file or CD track
  // CanPlay, CanPause, CanGoNext, CanGoPrevious: a medium is open and the
  // window takes clicks.
  bool ready() const;
  // CanSeek: a medium is open and the position slider can be used.
  bool canSeek() const;
  double volume() const;
  void setVolume(double volume);

  void play();
  void pause();
  void playPause();
  void stop();
  void next();
  void previous();
  void seek(qlonglong offsetUs);
  void setPosition(const QDBusObjectPath& track, qlonglong positionUs);
  // Opens `paths` as the command line does, from the event loop; the text
  // of why not when the window takes nothing now (a dialog of its own is
  // open), else empty.
  QString open(const QStringList& paths);
  void raise();
  void quit();

  // A later copy's side: hands `paths` to the copy on `bus`, waiting up to
  // kHandOverWaitMs for one that is still starting. Empty when it took
  // them, else why not.
  static QString handOver(const QDBusConnection& bus, const QStringList& paths);

 Q_SIGNALS:
  // Relayed by the player interface as MPRIS's Seeked.
  void Seeked(qlonglong Position);

 private:
  // Presses a MediaControl::Button from the event loop.
  void later(int button);
  // Seeks from the event loop as a drag of the slider to `percent` does.
  void slideTo(int percent);
  bool isCd() const;
  void poll();
  QVariantMap watched() const;

  frmcd& w_;
  QDBusConnection bus_{QString()};
  QTimer poll_;
  QElapsedTimer sincePoll_;
  QVariantMap last_;
};
