// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/mpris.h"

#include <unistd.h>
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "app/frmcd.h"
#include "base/basic.h"
#include "core/range_scrollbar.h"
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
  Q_PROPERTY(QStringList SupportedUriSchemes READ schemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ types)

 public:
  explicit RootAdaptor(Mpris* m) : QDBusAbstractAdaptor(m), m_(m) {}
  bool canQuit() const { return true; }
  bool canRaise() const { return true; }
  bool hasTrackList() const { return false; }
  QString identity() const { return frmcd::kTitle; }
  QString desktopEntry() const { return frmcd::kApp; }
  QStringList schemes() const { return {QStringLiteral("file")}; }
  // As the desktop entry claims them; a Video CD's .dat file is a RIFF container there.
  QStringList types() const {
    return {QStringLiteral("audio/x-wav"), QStringLiteral("audio/mpeg"),      QStringLiteral("audio/midi"),
            QStringLiteral("video/mpeg"),  QStringLiteral("video/x-msvideo"), QStringLiteral("application/x-riff")};
  }

 public Q_SLOTS:
  void Raise() { m_->raise(); }
  void Quit() { m_->quit(); }

 private:
  Mpris* m_;
};

// Opens what a caller hands over, or answers the error that says why not.
void openFor(Mpris& m, const QStringList& paths) {
  const QString busy = m.open(paths);
  if (!busy.isEmpty()) m.sendErrorReply(QDBusError::Failed, busy);
}

// org.mpris.MediaPlayer2.Player: the transport.
class PlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
  Q_PROPERTY(double Rate READ rate)
  Q_PROPERTY(double MinimumRate READ rate)
  Q_PROPERTY(double MaximumRate READ rate)
  Q_PROPERTY(QVariantMap Metadata READ metadata)
  Q_PROPERTY(double Volume READ volume WRITE setVolume)
  Q_PROPERTY(qlonglong Position READ position)
  Q_PROPERTY(bool CanGoNext READ canGoNext)
  Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
  Q_PROPERTY(bool CanPlay READ canPlay)
  Q_PROPERTY(bool CanPause READ canPause)
  Q_PROPERTY(bool CanSeek READ canSeek)
  Q_PROPERTY(bool CanControl READ canControl)

 public:
  explicit PlayerAdaptor(Mpris* m) : QDBusAbstractAdaptor(m), m_(m) { setAutoRelaySignals(true); }
  QString playbackStatus() const { return m_->playbackStatus(); }
  double rate() const { return 1.0; }
  QVariantMap metadata() const { return m_->metadata(); }
  double volume() const { return m_->volume(); }
  void setVolume(double v) { m_->setVolume(v); }
  qlonglong position() const { return m_->position(); }
  bool canGoNext() const { return m_->ready(); }
  bool canGoPrevious() const { return m_->ready(); }
  bool canPlay() const { return m_->ready(); }
  bool canPause() const { return m_->ready(); }
  bool canSeek() const { return m_->canSeek(); }
  // Always true: MPRIS fixes it for the life of the object.
  bool canControl() const { return true; }

 public Q_SLOTS:
  void Play() { m_->play(); }
  void Pause() { m_->pause(); }
  void PlayPause() { m_->playPause(); }
  void Stop() { m_->stop(); }
  void Next() { m_->next(); }
  void Previous() { m_->previous(); }
  void Seek(qlonglong Offset) { m_->seek(Offset); }
  void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) { m_->setPosition(TrackId, Position); }
  void OpenUri(const QString& Uri) {
    const QUrl url(Uri);
    if (!url.isLocalFile() || !QDir::isAbsolutePath(url.toLocalFile())) {
      m_->sendErrorReply(QDBusError::NotSupported,
                         QStringLiteral("Only local files (file:///...) can be opened: ") + Uri);
      return;
    }
    openFor(*m_, {url.toLocalFile()});
  }

 Q_SIGNALS:
  void Seeked(qlonglong Position);

 private:
  Mpris* m_;
};

// The player's own: paths from a copy started later.
class OpenAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mirova.Player")

 public:
  explicit OpenAdaptor(Mpris* m) : QDBusAbstractAdaptor(m), m_(m) {}

 public Q_SLOTS:
  // Absolute paths, opened as the command line opens them; the window comes forward.
  void Open(const QStringList& paths) {
    openFor(*m_, paths);
    m_->raise();
  }

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
  new OpenAdaptor(this);
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
    lengthMs = (track < d->lastTrack() ? d->trackStartMs(track + 1) : d->lengthMs()) - start;
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

// Usable as the user finds it: enabled (so is the window) and not switched off.
bool Mpris::canSeek() const {
  return device(w_) && w_.HScroll1 && w_.HScroll1->isEnabled() && !w_.HScroll1->isHidden();
}

// The thumb's place between the slider's bottom (Max) and top (Min) ends.
double Mpris::volume() const {
  const RangeScrollBar* s = w_.vsVolume;
  if (!s || s->Min() == s->Max()) return 0.0;
  return double(s->Value() - s->Max()) / double(s->Min() - s->Max());
}

void Mpris::setVolume(double volume) {
  RangeScrollBar* s = w_.vsVolume;
  if (!s || !s->isEnabled() || std::isnan(volume)) return;
  // The slider's own Change handler writes the mixer, as after a click.
  s->setValue(int(std::lround(s->Max() + std::clamp(volume, 0.0, 1.0) * (s->Min() - s->Max()))));
  poll();
}

void Mpris::seek(qlonglong offsetUs) {
  MediaDevice* d = device(w_);
  if (!canSeek() || d->lengthMs() <= 0) return;
  const double target = double(d->positionMs()) + double(offsetUs) / 1000.0;
  // Past the end MPRIS asks for the next entry.
  if (target > double(d->lengthMs())) return next();
  slideTo(basic::toInt16(std::max(0.0, target) / double(d->lengthMs()) * 100));
}

void Mpris::setPosition(const QDBusObjectPath& track, qlonglong positionUs) {
  MediaDevice* d = device(w_);
  if (!canSeek() || d->lengthMs() <= 0 || positionUs < 0 || positionUs / 1000 > d->lengthMs()) return;
  // A call meant for an entry that has gone meanwhile is stale.
  if (track.path() != metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path()) return;
  slideTo(basic::toInt16(double(positionUs) / 1000.0 / double(d->lengthMs()) * 100));
}

QString Mpris::open(const QStringList& paths) {
  // As the window's menus, which cannot be reached then either.
  if (!w_.isEnabled() || QApplication::activeModalWidget())
    return QStringLiteral("The player is busy with a window of its own; close it and try again.");
  QTimer::singleShot(0, &w_, [this, paths] {
    if (w_.isEnabled() && !QApplication::activeModalWidget()) w_.openPaths(paths);
    poll();
  });
  return QString();
}

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
    w_.setWindowState(w_.windowState() & ~Qt::WindowMinimized);
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

void Mpris::slideTo(int percent) {
  QTimer::singleShot(0, this, [this, percent] {
    RangeScrollBar* s = w_.HScroll1;  // the slider of now
    if (!canSeek()) return;
    {
      const QSignalBlocker quiet(s);
      s->setValue(percent);
    }
    // What the thumb raises while it is dragged: the window's handler seeks.
    Q_EMIT s->Scroll();
    if (MediaDevice* d = device(w_)) Q_EMIT Seeked(qlonglong(s->Value()) * d->lengthMs() * 10);
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
          {QStringLiteral("CanPause"), r},
          {QStringLiteral("CanSeek"), canSeek()},
          {QStringLiteral("Volume"), volume()}};
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

QString Mpris::handOver(const QDBusConnection& bus, const QStringList& paths) {
  if (!bus.isConnected()) {
    const QString why = bus.lastError().message();
    return QStringLiteral("there is no session bus") + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + ')');
  }
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kOpenInterface, QStringLiteral("Open"));
  call << paths;
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    const QDBusMessage reply = bus.call(call, QDBus::Block);
    if (reply.type() == QDBusMessage::ReplyMessage) return QString();
    // The running copy takes its name on the bus just after its lock.
    const bool starting = reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown");
    if (!starting || waited.elapsed() >= kHandOverWaitMs) return reply.errorMessage();
    QThread::msleep(100);
  }
}

#include "mpris.moc"
