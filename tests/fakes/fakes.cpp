// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/fakes.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include "base/basic.h"
#include "playback/media_backends.h"

QString FakeSettings::read(const QString&, const QString& section, const QString& key, const QString& fallback) const {
  const auto it = values.constFind(id(section, key));
  return it == values.cend() ? fallback : *it;
}

void FakeSettings::write(const QString&, const QString& section, const QString& key, const QString& value) {
  values[id(section, key)] = value;
  writes << section + QLatin1Char('/') + key + QLatin1Char('=') + value;
}

QString FakeSettings::value(const QString& section, const QString& key) const { return values.value(id(section, key)); }

void FakeMessages::show(const QString& text, const QString& title, Icon icon) {
  shown << text;
  boxes << (icon == Icon::Stop ? QStringLiteral("[stop] ") : QString()) + title + QStringLiteral(": ") + text;
}

QPixmap FakePictures::add(const QString& path, const QSize& size, const QColor& colour) {
  QPixmap p(size);
  p.fill(colour);
  files.insert(path, p);
  return p;
}

QPixmap FakePictures::load(const QString& path) {
  if (notPictures.contains(path)) throw basic::Error(basic::kInvalidPicture, QStringLiteral("Invalid picture"));
  const auto it = files.constFind(path);
  if (it == files.cend()) throw basic::Error(basic::kFileNotFound, QStringLiteral("File not found"));
  return *it;
}

bool FakeLauncher::start(const QString& program, const QStringList& arguments) {
  if (startFails) return false;
  started << Command{program, arguments};
  return true;
}

std::optional<QString> FakeFilePicker::pick(const Request& request) {
  requests << request;
  if (answers.empty()) return std::nullopt;
  const std::optional<QString> a = answers.front();
  answers.pop_front();
  return a;
}

QImage FakeScreen::grabScreen() {
  if (onGrab) onGrab();
  return image;
}

int FakeMixer::open() {
  ++s_.opens;
  return 0;
}

bool FakeMixer::volumeControl(Line line, Control& out) {
  out = line == Line::Speakers ? s_.speakers : s_.mic;
  return true;
}

bool FakeMixer::setValue(const Control& control, quint32 value) {
  if (control.id == 0) return false;
  s_.writes << qMakePair(control.id, value);
  return true;
}

FakeMediaDevice::~FakeMediaDevice() {
  if (s_.current == this) s_.current = nullptr;
  s_.log << QStringLiteral("close");
}

void FakeMediaDevice::open(const QString& fileName) {
  s_.log << QStringLiteral("open ") + fileName;
  if (cd_) {
    if (!s_.discTracks) throw basic::Error(68, QStringLiteral("No disc"));
    identity_ = s_.identity;
    len_ = s_.discMs;
    mode_ = Stopped;
    s_.current = this;
    return;
  }
  const auto it = s_.lengths.constFind(fileName);
  if (it == s_.lengths.cend()) throw basic::Error(basic::kFileNotFound, QStringLiteral("Cannot open ") + fileName);
  len_ = *it;
  pos_ = 0;
  mode_ = Stopped;
  s_.current = this;
}

void FakeMediaDevice::eject() {
  s_.log << QStringLiteral("eject");
  if (!s_.ejectFails.isEmpty()) throw basic::Error(262, s_.ejectFails);
}

int FakeMediaDevice::currentTrack() {
  int track = 1;
  for (qsizetype i = 1; i < s_.trackStartsMs.size(); ++i)
    if (pos_ >= s_.trackStartsMs[i]) track = int(i) + 1;
  return track;
}

void FakeMediaDevice::play() {
  s_.log << QStringLiteral("play");
  mode_ = len_ > 0 && pos_ >= len_ ? Stopped : Playing;  // a length of 0: not known yet
}

void FakeMediaDevice::pause() {
  s_.log << QStringLiteral("pause");
  if (mode_ == Playing) mode_ = Paused;
}

void FakeMediaDevice::stop() {
  s_.log << QStringLiteral("stop");
  mode_ = Stopped;
}

void FakeMediaDevice::seek(qint64 ms) {
  s_.log << QStringLiteral("seek %1").arg(ms);
  pos_ = std::clamp<qint64>(ms, 0, len_);
}

void FakeMediaDevice::advance(qint64 ms) {
  if (mode_ != Playing) return;
  pos_ += ms;
  if (len_ > 0 && pos_ >= len_) {
    pos_ = len_;
    mode_ = Stopped;
    Q_EMIT finished();
  }
}

void FakeMediaDevice::fail(const QString& message) {
  mode_ = Stopped;
  Q_EMIT errorOccurred(message);
  Q_EMIT finished();
}

void FakeMediaDevice::learnLength(qint64 ms) {
  len_ = ms;
  Q_EMIT lengthChanged();
}

std::unique_ptr<MediaDevice> FakeMedia::create(const QString& deviceType) {
  return std::make_unique<FakeMediaDevice>(script, deviceType == QLatin1String("cdaudio"));
}

int FakeMci::sendString(const QString& command, QString* reply, int replyLength) {
  if (reply && replyLength > 0) *reply = replies.value(command).left(replyLength - 1);
  return 0;
}

FakeDrives::FakeDrives() { add(QLatin1Char('c'), QStringLiteral("/"), Fixed); }

void FakeDrives::add(QChar letter, const QString& folder, Type type, const QString& label) {
  Drive d;
  d.letter = letter.toLower();
  d.type = type;
  d.folder = folder;
  d.label = label;
  drives.append(d);
}

QStringList FakeDrives::findFiles(const QString& pattern) {
  const QChar letter = pattern.at(0).toLower();
  if (!find(letter) || !files.contains(letter))
    throw basic::Error(kDeviceUnavailable, QStringLiteral("Device unavailable: %1:").arg(letter));
  return files.value(letter);
}

disc::DriveState FakeDrives::state(const Drive& d) {
  return states.value(d.letter, files.contains(d.letter) ? disc::DriveState::Ready : disc::DriveState::NoDisc);
}

StallMeter::StallMeter() {
  tick.setTimerType(Qt::PreciseTimer);
  QObject::connect(&tick, &QTimer::timeout, [this] {
    const qint64 now = clock.elapsed();
    widest = std::max(widest, now - last);
    last = now;
  });
  clock.start();
  tick.start(2);
}

void clickRow(QListWidget* list, int row, bool twice) {
  const QPoint at = list->visualItemRect(list->item(row)).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

TestWindow::TestWindow(const std::function<void(FakePlatform&)>& setUp, Media media, bool start)
    : real(media == Real ? makeSystemMediaDevices(fp.drives) : nullptr),
      p(real ? fp.platform(*real) : fp.platform()),
      w(p) {
  fp.pictures.add(fp.programFolder + QStringLiteral("/bg.bmp"));
  if (setUp) setUp(fp);
  if (start) w.start();
}

QStringList TestWindow::rows(const QListWidget* list) const {
  if (!list) list = w.lsttrack;
  QStringList t;
  for (int i = 0; i < list->count(); ++i) t << list->item(i)->text();
  return t;
}

void TestWindow::playList(const QString& folder, const QStringList& names) {
  w.lsttrack->addItems(names);
  w.multidir = folder;
  w.readmulti();
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
