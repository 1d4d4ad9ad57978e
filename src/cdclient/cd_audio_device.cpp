// SPDX-License-Identifier: GPL-3.0-or-later
#include "cdclient/cd_audio_device.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QMetaObject>
#include <QThread>
#include <algorithm>

#include "base/aside.h"
#include "base/basic.h"
#include "cdaudio/protocol.h"

namespace {
// The alias this device opens on its own connection.
const QString kName = QStringLiteral("cdaudio");
}  // namespace

// Closing the connection closes its alias; the drive plays on.
CdAudioDevice::~CdAudioDevice() = default;

// Nothing else uses the connection until the open has returned.
void CdAudioDevice::open(const QString&) {
  aside::run([this] { load(); });
}

void CdAudioDevice::load() {
  const auto require = [this](const QString& command) {
    const CdServiceClient::Reply r = client_.send(command);
    if (r.error != 0) throw basic::Error(r.error, QStringLiteral("CD: ") + r.text);
    return r.text;
  };
  require(QStringLiteral("open cdaudio shareable"));
  // The service reads the disc after it has answered the open.
  const QDeadlineTimer ready(kReadyMs);
  QString state = require(QStringLiteral("status cdaudio mode"));
  for (; state == QLatin1String("seeking"); state = require(QStringLiteral("status cdaudio mode"))) {
    if (ready.hasExpired())
      throw basic::Error(cdaudio::kDeviceNotReady, QStringLiteral("CD: the disc does not get ready"));
    QThread::msleep(kPollMs);
  }
  if (state == QLatin1String("not ready") || state == QLatin1String("open")) {
    mode_ = state == QLatin1String("open") ? Ready : NotOpen;
    return;  // no disc to read: no tracks, but a door
  }
  // The disc's own numbers: its audio need not begin with track 1.
  require(QStringLiteral("set cdaudio time format tmsf"));
  bool ok = false;
  first_ = require(QStringLiteral("status cdaudio start position")).section(QLatin1Char(':'), 0, 0).toInt(&ok);
  if (!ok || first_ < 1) throw basic::Error(basic::kTypeMismatch, QStringLiteral("CD: no first track"));
  require(QStringLiteral("set cdaudio time format milliseconds"));
  const int n = require(QStringLiteral("status cdaudio number of tracks")).toInt(&ok);
  if (!ok || n < 0) throw basic::Error(basic::kTypeMismatch, QStringLiteral("CD: no track count"));
  for (int t = first_; t < first_ + n; ++t)
    trackStartsMs_ << require(QStringLiteral("status cdaudio position track %1").arg(t)).toLongLong();
  lengthMs_ = require(QStringLiteral("status cdaudio length")).toLongLong();
  const CdServiceClient::Reply id = client_.send(QStringLiteral("info cdaudio identity"));
  if (id.error == 0) identity_ = id.text;
  mode();
}

QString CdAudioDevice::ask(const QString& what) {
  const CdServiceClient::Reply r = client_.send(QStringLiteral("status cdaudio ") + what);
  if (r.error == 0) return r.text;
  failed(r.text);
  return QString();
}

bool CdAudioDevice::tell(const QString& command) {
  const CdServiceClient::Reply r = client_.send(command + QLatin1Char(' ') + kName);
  if (r.error != 0) failed(r.text);
  return r.error == 0;
}

// Only a lost service is a failure here; a drive that simply cannot do what
// was asked (no disc any more) shows in its mode.
void CdAudioDevice::failed(const QString& why) {
  if (client_.isConnected() || reported_) return;
  reported_ = true;
  mode_ = NotOpen;
  QMetaObject::invokeMethod(
      this, [this, why] { Q_EMIT errorOccurred(why); }, Qt::QueuedConnection);
}

void CdAudioDevice::play() {
  if (tell(QStringLiteral("play"))) settling_ = Playing;
}
void CdAudioDevice::pause() {
  if (tell(QStringLiteral("pause")) && settling_ == Playing) settling_ = Paused;
}
void CdAudioDevice::stop() {
  if (tell(QStringLiteral("stop"))) settling_ = Stopped;
}

// The drive's seek stops it; a playing or paused drive is put back as it was.
// A drive still starting a play ("seeking") counts as what it is becoming:
// Next right after a play would stop it otherwise.
void CdAudioDevice::seek(qint64 ms) {
  const int was = mode() == Seeking ? settling_ : mode_;
  const QString to = QString::number(std::clamp<qint64>(ms, 0, lengthMs_));
  if (was == Playing || was == Paused) {
    if (client_.send(QStringLiteral("play %1 from %2").arg(kName, to)).error != 0) return;
    settling_ = Playing;
    if (was == Paused) pause();
  } else if (client_.send(QStringLiteral("seek %1 to %2").arg(kName, to)).error == 0) {
    settling_ = Stopped;
  }
}

void CdAudioDevice::eject() {
  const CdServiceClient::Reply r = client_.send(
      QStringLiteral("set %1 door %2").arg(kName, mode() == Ready ? QLatin1String("closed") : QLatin1String("open")));
  if (r.error != 0) throw basic::Error(r.error, r.text);
}

qint64 CdAudioDevice::positionMs() {
  bool ok = false;
  const qint64 p = ask(QStringLiteral("position")).toLongLong(&ok);
  if (ok) positionMs_ = std::clamp<qint64>(p, 0, lengthMs_);
  return positionMs_;
}

int CdAudioDevice::mode() {
  static const QHash<QString, int> kModes{{QStringLiteral("not ready"), NotOpen}, {QStringLiteral("open"), Ready},
                                          {QStringLiteral("stopped"), Stopped},   {QStringLiteral("playing"), Playing},
                                          {QStringLiteral("paused"), Paused},     {QStringLiteral("seeking"), Seeking}};
  const int was = mode_;
  mode_ = kModes.value(ask(QStringLiteral("mode")), NotOpen);
  if (mode_ != Seeking) settling_ = mode_;
  // The disc played to its end by itself.
  if (was == Playing && mode_ == Stopped && positionMs() >= lengthMs_)
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT finished(); }, Qt::QueuedConnection);
  return mode_;
}

int CdAudioDevice::currentTrack() {
  bool ok = false;
  const int t = ask(QStringLiteral("current track")).toInt(&ok);
  return ok ? t : first_;
}

qint64 CdAudioDevice::trackStartMs(int track) {
  if (trackStartsMs_.isEmpty()) return 0;
  if (track > lastTrack()) return lengthMs_;
  return trackStartsMs_.at(std::max(track, first_) - first_);
}
