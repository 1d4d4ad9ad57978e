#pragma once
#include <QDBusConnection>
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
// wants it.
class Mpris : public QObject {
  Q_OBJECT
 public:
  static inline const QString kService = QStringLiteral("org.mpris.MediaPlayer2.mirova");
  static inline const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
  static constexpr int kPollMs = 500;

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

  void play();
  void pause();
  void playPause();
  void stop();
  void next();
  void previous();
  void raise();
  void quit();

 private:
  // Presses a MediaControl::Button from the event loop.
  void later(int button);
  bool isCd() const;
  void poll();
  QVariantMap watched() const;

  frmcd& w_;
  QDBusConnection bus_{QString()};
  QTimer poll_;
  QElapsedTimer sincePoll_;
  QVariantMap last_;
};
