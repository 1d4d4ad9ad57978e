#include "desktop/mpris.h"

#include <unistd.h>
#include <QAbstractEventDispatcher>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QToolButton>
#include <QUrl>

#include "app/frmcd.h"
#include "base/basic.h"
#include "playback/media_control.h"

namespace {

const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

// org.mpris.MediaPlayer2: the application itself.
class RootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ canQuit)
  Q_PROPERTY(bool CanRaise READ canRaise)
  Q_PROPERTY(bool HasTrackList READ hasTrackList)
  Q_PROPERTY(QString Identity READ identity)
  Q_PROPERTY(QString DesktopEntry READ desktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ none)
  Q_PROPERTY(QStringList SupportedMimeTypes READ none)

 public:
  explicit RootAdaptor(Mpris* m) : QDBusAbstractAdaptor(m), m_(m) {}
  bool canQuit() const { return true; }
  bool canRaise() const { return true; }
  bool hasTrackList() const { return false; }
  QString identity() const { return frmcd::kTitle; }
  QString desktopEntry() const { return frmcd::kApp; }
  QStringList none() const { return {}; }  // the player opens nothing it is handed

 public Q_SLOTS:
  void Raise() { m_->raise(); }
  void Quit() { m_->quit(); }

 private:
  Mpris* m_;
};

// org.mpris.MediaPlayer2.Player: the transport.
class PlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
  Q_PROPERTY(double Rate READ rate)
  Q_PROPERTY(double MinimumRate READ rate)
  Q_PROPERTY(double MaximumRate READ rate)
  Q_PROPERTY(QVariantMap Metadata READ metadata)
  Q_PROPERTY(qlonglong Position READ position)
  Q_PROPERTY(bool CanGoNext READ canGoNext)
  Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
  Q_PROPERTY(bool CanPlay READ canPlay)
  Q_PROPERTY(bool CanPause READ canPause)
  Q_PROPERTY(bool CanSeek READ canSeek)
  Q_PROPERTY(bool CanControl READ canControl)

 public:
  explicit PlayerAdaptor(Mpris* m) : QDBusAbstractAdaptor(m), m_(m) {}
  QString playbackStatus() const { return m_->playbackStatus(); }
  double rate() const { return 1.0; }
  QVariantMap metadata() const { return m_->metadata(); }
  qlonglong position() const { return m_->position(); }
  bool canGoNext() const { return m_->ready(); }
  bool canGoPrevious() const { return m_->ready(); }
  bool canPlay() const { return m_->ready(); }
  bool canPause() const { return m_->ready(); }
  // Media keys play and move between entries; seeking stays with the slider.
  bool canSeek() const { return false; }
  // Always true: MPRIS fixes it for the life of the object.
  bool canControl() const { return true; }

 public Q_SLOTS:
  void Play() { m_->play(); }
  void Pause() { m_->pause(); }
  void PlayPause() { m_->playPause(); }
  void Stop() { m_->stop(); }
  void Next() { m_->next(); }
  void Previous() { m_->previous(); }

 private:
  Mpris* m_;
};

// The control's medium, or nullptr.
MediaDevice* device(const frmcd& w) { return w.mcicdplayer ? w.mcicdplayer->device() : nullptr; }

// A name from either kind of path ("/music/a.mp3", "E:\Mpegav\AVSEQ01.DAT").
QString lastPart(const QString& path) {
  const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
  return path.mid(cut + 1);
}

}  // namespace

Mpris::Mpris(frmcd& window, QObject* parent) : QObject(parent), w_(window) {
  new RootAdaptor(this);
  new PlayerAdaptor(this);
  // Every change comes from an event the loop handled: a look each time the
  // loop has handled some, at most every kPollMs, so an idle player is not
  // woken. The timer only wakes the loop for a look that was held back.
  poll_.setSingleShot(true);
  poll_.setTimerType(Qt::PreciseTimer);
  connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this, [this] {
    if (!bus_.isConnected()) return;
    if (sincePoll_.hasExpired(kPollMs - 1))
      poll();
    else if (!poll_.isActive())
      poll_.start(int(kPollMs - sincePoll_.elapsed()));
  });
}

bool Mpris::publish(const QDBusConnection& bus) {
  if (!bus.isConnected()) return false;
  QDBusConnection b = bus;
  if (!b.registerObject(kPath, this, QDBusConnection::ExportAdaptors)) return false;
  // A second copy that got past the instance lock (started with another
  // runtime folder) takes the suffix MPRIS provides for it.
  if (!b.registerService(kService) &&
      !b.registerService(kService + QStringLiteral(".instance") + QString::number(::getpid()))) {
    b.unregisterObject(kPath);
    return false;
  }
  bus_ = b;
  last_ = watched();
  sincePoll_.start();
  return true;
}

bool Mpris::isCd() const { return w_.mcicdplayer && w_.mcicdplayer->DeviceType() == QLatin1String("cdaudio"); }

QString Mpris::playbackStatus() const {
  MediaDevice* d = device(w_);
  const int mode = d ? d->mode() : MediaDevice::NotOpen;
  if (mode == MediaDevice::Playing) return QStringLiteral("Playing");
  if (mode == MediaDevice::Paused) return QStringLiteral("Paused");
  return QStringLiteral("Stopped");
}

QVariantMap Mpris::metadata() const {
  MediaDevice* d = device(w_);
  if (!d) return {{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(kNoTrack))}};
  QVariantMap md;
  qint64 lengthMs = 0;
  QString id;
  if (isCd()) {
    const int track = d->currentTrack();
    const qint64 start = d->trackStartMs(track);
    lengthMs = (track < d->tracks() ? d->trackStartMs(track + 1) : d->lengthMs()) - start;
    md.insert(QStringLiteral("xesam:title"), QStringLiteral("曲->") + basic::plain(track));
    id = QStringLiteral("/org/mirova/cd/") + QString::number(track);
  } else {
    const QString file = w_.mcicdplayer->FileName();
    lengthMs = d->lengthMs();
    md.insert(QStringLiteral("xesam:title"), lastPart(file));
    if (QFileInfo(file).isAbsolute()) md.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(file).toString());
    // One id per file: a path element may hold only letters, digits and '_'.
    id = QStringLiteral("/org/mirova/file/") + QString::number(qHash(file, 0), 16);
  }
  md.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(id)));
  md.insert(QStringLiteral("mpris:length"), qlonglong(std::max<qint64>(0, lengthMs)) * 1000);
  return md;
}

qlonglong Mpris::position() const {
  MediaDevice* d = device(w_);
  if (!d) return 0;
  const qint64 start = isCd() ? d->trackStartMs(d->currentTrack()) : 0;
  return qlonglong(std::max<qint64>(0, d->positionMs() - start)) * 1000;
}

bool Mpris::ready() const { return device(w_) && w_.mcicdplayer->isEnabled(); }

void Mpris::play() { later(MediaControl::Play); }
void Mpris::pause() {
  // The control's Pause button also resumes; this call only ever pauses.
  if (playbackStatus() == QLatin1String("Playing")) later(MediaControl::Pause);
}
void Mpris::playPause() {
  later(playbackStatus() == QLatin1String("Stopped") ? MediaControl::Play : MediaControl::Pause);
}
void Mpris::stop() { later(MediaControl::Stop); }
void Mpris::next() { later(MediaControl::Next); }
void Mpris::previous() { later(MediaControl::Prev); }

void Mpris::raise() {
  QTimer::singleShot(0, &w_, [this] {
    w_.show();
    w_.raise();
    w_.activateWindow();
  });
}

// As the menu's "退出(&X)", which cannot be reached while the window is disabled.
void Mpris::quit() {
  QTimer::singleShot(0, &w_, [this] {
    if (w_.isEnabled()) w_.exit_Click();
  });
}

void Mpris::later(int button) {
  QTimer::singleShot(0, this, [this, button] {
    // The control of now: a reload may have come in between. Its button does
    // nothing when it, or the window, is disabled.
    if (MediaControl* m = w_.mcicdplayer) m->button(MediaControl::Button(button))->click();
    poll();
  });
}

QVariantMap Mpris::watched() const {
  const bool r = ready();
  return {{QStringLiteral("PlaybackStatus"), playbackStatus()},
          {QStringLiteral("Metadata"), metadata()},
          {QStringLiteral("CanGoNext"), r},
          {QStringLiteral("CanGoPrevious"), r},
          {QStringLiteral("CanPlay"), r},
          {QStringLiteral("CanPause"), r}};
}

void Mpris::poll() {
  sincePoll_.start();
  if (!bus_.isConnected()) return;
  const QVariantMap now = watched();
  QVariantMap changed;
  for (auto it = now.cbegin(); it != now.cend(); ++it)
    if (last_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
  last_ = now;
  if (changed.isEmpty()) return;
  QDBusMessage signal = QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                   QStringLiteral("PropertiesChanged"));
  signal << kPlayerInterface << changed << QStringList();
  bus_.send(signal);
}

#include "mpris.moc"
