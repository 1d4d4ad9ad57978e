// SPDX-License-Identifier: GPL-3.0-or-later
#include "cdaudio/mci_session.h"

#include "cdaudio/cd_drive.h"
#include "cdaudio/protocol.h"

namespace {

using Reply = MciSession::Reply;
using TimeFormat = MciSession::TimeFormat;

Reply ok(const QString& text = QString()) { return {cdaudio::kOk, text}; }
Reply failure(int error, const QString& text) { return {error, text}; }
Reply notReady() { return failure(cdaudio::kDeviceNotReady, QStringLiteral("device not ready")); }

QString twoDigits(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

// A small whole number: digits only, short enough not to overflow.
bool parseNumber(const QString& text, int* value) {
  if (text.isEmpty() || text.size() > 9) return false;
  for (const QChar c : text)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  *value = text.toInt();
  return true;
}

}  // namespace

Reply MciSession::handle(const QString& line) {
  const QString request = line.trimmed();
  if (request.startsWith(QLatin1String(cdaudio::kDriveRequest))) {
    drive_.setSource(request.mid(qsizetype(qstrlen(cdaudio::kDriveRequest))).trimmed());
    return ok();
  }
  QStringList words = request.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
  // Ours are always synchronous; a callback window does not exist here.
  words.removeAll(QStringLiteral("wait"));
  words.removeAll(QStringLiteral("notify"));
  if (words.isEmpty()) return failure(cdaudio::kUnrecognizedCommand, QStringLiteral("empty command"));
  const QString verb = words.takeFirst();
  if (verb == QLatin1String("open")) return open(words);
  if (verb == QLatin1String("close")) return close(words);
  static const QStringList kVerbs{QStringLiteral("play"),   QStringLiteral("pause"), QStringLiteral("resume"),
                                  QStringLiteral("stop"),   QStringLiteral("seek"),  QStringLiteral("set"),
                                  QStringLiteral("status"), QStringLiteral("info")};
  if (!kVerbs.contains(verb)) return failure(cdaudio::kUnrecognizedCommand, QStringLiteral("unknown command"));
  if (words.isEmpty() || !aliases_.contains(words.first()))
    return failure(cdaudio::kInvalidDeviceName, QStringLiteral("device not open"));
  TimeFormat& format = aliases_[words.takeFirst()];

  if (verb == QLatin1String("set")) return set(format, words);
  if (verb == QLatin1String("status")) return status(format, words);
  if (verb == QLatin1String("info")) {
    if (words != QStringList{QStringLiteral("identity")})
      return failure(cdaudio::kUnrecognizedKeyword, words.join(QLatin1Char(' ')));
    return drive_.hasDisc() ? ok(drive_.identity()) : notReady();
  }
  if (!drive_.hasDisc()) return notReady();
  if (verb == QLatin1String("play")) return play(format, words);
  if (verb == QLatin1String("seek")) return seek(format, words);
  if (!words.isEmpty()) return failure(cdaudio::kUnrecognizedKeyword, words.first());
  if (verb == QLatin1String("pause")) drive_.pause();
  if (verb == QLatin1String("resume")) drive_.resume();
  if (verb == QLatin1String("stop")) drive_.stop();
  return ok();
}

// "open cdaudio [alias a] [shareable]" or "open <element> type cdaudio ...":
// the element is the drive named by "@drive", whatever it says.
Reply MciSession::open(const QStringList& args) {
  if (args.isEmpty()) return failure(cdaudio::kMissingParameter, QStringLiteral("open what"));
  QString name = args.first();
  bool isCd = name == QLatin1String("cdaudio");
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString& w = args[i];
    if (w == QLatin1String("shareable")) continue;
    if ((w == QLatin1String("alias") || w == QLatin1String("type")) && i + 1 < args.size()) {
      if (w == QLatin1String("alias"))
        name = args[++i];
      else
        isCd = args[++i] == QLatin1String("cdaudio");
      continue;
    }
    return failure(cdaudio::kUnrecognizedKeyword, w);
  }
  if (!isCd) return failure(cdaudio::kInvalidDeviceName, QStringLiteral("only cdaudio is served here"));
  if (name == QLatin1String("all") || aliases_.contains(name))
    return failure(cdaudio::kDuplicateAlias, QStringLiteral("alias in use"));
  QString why;
  if (!drive_.open(&why)) return failure(cdaudio::kDeviceNotReady, QStringLiteral("device not ready: ") + why);
  aliases_.insert(name, TimeFormat::Msf);  // the platform's default for CD audio
  return ok();
}

Reply MciSession::close(const QStringList& args) {
  if (args.size() != 1) return failure(cdaudio::kMissingParameter, QStringLiteral("close what"));
  if (args.first() == QLatin1String("all")) {
    aliases_.clear();
    return ok();
  }
  if (aliases_.remove(args.first()) == 0) return failure(cdaudio::kInvalidDeviceName, QStringLiteral("not open"));
  return ok();
}

Reply MciSession::play(TimeFormat format, const QStringList& args) {
  int from = -1, to = -1;
  for (qsizetype i = 0; i < args.size(); i += 2) {
    if (args[i] != QLatin1String("from") && args[i] != QLatin1String("to"))
      return failure(cdaudio::kUnrecognizedKeyword, args[i]);
    if (i + 1 >= args.size()) return failure(cdaudio::kMissingParameter, args[i]);
    Reply error;
    if (!parsePosition(format, args[i + 1], args[i] == QLatin1String("from") ? &from : &to, &error)) return error;
  }
  if (from < 0 && to < 0) {
    const CdDrive::State s = drive_.state();
    if (s == CdDrive::State::Paused) drive_.resume();
    if (s == CdDrive::State::Paused || s == CdDrive::State::Playing) return ok();
  }
  QString why;
  if (!drive_.play(from < 0 ? drive_.position() : from, to, &why))
    return failure(cdaudio::kDeviceNotReady, QStringLiteral("device not ready: ") + why);
  return ok();
}

Reply MciSession::seek(TimeFormat format, const QStringList& args) {
  if (args.size() != 2 || args[0] != QLatin1String("to"))
    return failure(cdaudio::kMissingParameter, QStringLiteral("seek to where"));
  int sector = 0;
  if (args[1] == QLatin1String("start")) {
    sector = drive_.firstSector();
  } else if (args[1] == QLatin1String("end")) {
    sector = drive_.endSector();
  } else {
    Reply error;
    if (!parsePosition(format, args[1], &sector, &error)) return error;
  }
  drive_.seek(sector);
  return ok();
}

Reply MciSession::set(TimeFormat& format, const QStringList& args) {
  const QString what = args.join(QLatin1Char(' '));
  static const QMap<QString, TimeFormat> kFormats{
      {QStringLiteral("time format milliseconds"), TimeFormat::Milliseconds},
      {QStringLiteral("time format ms"), TimeFormat::Milliseconds},
      {QStringLiteral("time format msf"), TimeFormat::Msf},
      {QStringLiteral("time format tmsf"), TimeFormat::Tmsf}};
  if (kFormats.contains(what)) {
    format = kFormats.value(what);
    return ok();
  }
  if (what.startsWith(QLatin1String("time format")))
    return failure(cdaudio::kBadTimeFormat, QStringLiteral("unknown time format"));
  QString why;
  if (what == QLatin1String("door open")) return drive_.openDoor(&why) ? ok() : failure(cdaudio::kHardware, why);
  if (what == QLatin1String("door closed")) return drive_.closeDoor(&why) ? ok() : failure(cdaudio::kHardware, why);
  return failure(args.isEmpty() ? cdaudio::kMissingParameter : cdaudio::kUnrecognizedKeyword, what);
}

Reply MciSession::status(TimeFormat format, const QStringList& args) {
  if (args.isEmpty()) return failure(cdaudio::kMissingParameter, QStringLiteral("status of what"));
  const QString item = args.join(QLatin1Char(' '));
  const CdDrive::State state = drive_.state();
  const bool present = state >= CdDrive::State::Stopped;
  if (item == QLatin1String("mode")) {
    static const char* const kModes[] = {"not ready", "open", "stopped", "playing", "paused"};
    return ok(QLatin1String(drive_.busy() ? "seeking" : kModes[int(state)]));
  }
  if (item == QLatin1String("media present") || item == QLatin1String("ready"))
    return ok(present ? QStringLiteral("true") : QStringLiteral("false"));
  if (item == QLatin1String("time format")) {
    static const char* const kNames[] = {"milliseconds", "msf", "tmsf"};
    return ok(QLatin1String(kNames[int(format)]));
  }
  if (!present) return notReady();
  // Lengths have no track to count from: tmsf gives them as msf.
  const TimeFormat lengthFormat = format == TimeFormat::Tmsf ? TimeFormat::Msf : format;
  if (item == QLatin1String("number of tracks"))
    return ok(QString::number(drive_.trackAt(drive_.endSector() - 1) - drive_.trackAt(drive_.firstSector()) + 1));
  if (item == QLatin1String("current track")) return ok(QString::number(drive_.trackAt(drive_.position())));
  if (item == QLatin1String("position")) return ok(formatPosition(format, drive_.position(), true));
  if (item == QLatin1String("start position")) return ok(formatPosition(format, drive_.firstSector(), true));
  if (item == QLatin1String("length")) return ok(formatPosition(lengthFormat, drive_.endSector(), false));
  if (args.size() == 3 && args[1] == QLatin1String("track")) {
    int number = 0;
    if (!parseNumber(args[2], &number)) return failure(cdaudio::kBadInteger, args[2]);
    const disc::Track* t = drive_.track(number);
    if (!t || t->start >= drive_.endSector()) return failure(cdaudio::kOutOfRange, QStringLiteral("no such track"));
    if (args[0] == QLatin1String("position")) return ok(formatPosition(format, t->start, true));
    if (args[0] == QLatin1String("length")) return ok(formatPosition(lengthFormat, t->sectors, false));
    if (args[0] == QLatin1String("type")) return ok(t->audio ? QStringLiteral("audio") : QStringLiteral("other"));
  }
  return failure(cdaudio::kUnrecognizedKeyword, item);
}

bool MciSession::parsePosition(TimeFormat format, const QString& text, int* sector, Reply* error) {
  const QStringList fields = text.split(QLatin1Char(':'));
  const qsizetype most = format == TimeFormat::Milliseconds ? 1 : format == TimeFormat::Msf ? 3 : 4;
  int v[4] = {0, 0, 0, 0};
  for (qsizetype i = 0; i < fields.size(); ++i) {
    if (i >= most || !parseNumber(fields[i], &v[i])) {
      *error = failure(cdaudio::kBadInteger, text);
      return false;
    }
  }
  qint64 at = 0;
  bool inRange = true;
  switch (format) {
    case TimeFormat::Milliseconds:
      at = (qint64(v[0]) * 75 + 500) / 1000;
      break;
    case TimeFormat::Msf:
      inRange = v[1] < 60 && v[2] < 75;
      at = (qint64(v[0]) * 60 + v[1]) * 75 + v[2];
      break;
    case TimeFormat::Tmsf: {
      const disc::Track* t = drive_.track(v[0]);
      inRange = t && t->audio && v[2] < 60 && v[3] < 75;
      at = (t ? t->start : 0) + (qint64(v[1]) * 60 + v[2]) * 75 + v[3];
      break;
    }
  }
  if (!inRange || at > drive_.endSector()) {
    *error = failure(cdaudio::kOutOfRange, text);
    return false;
  }
  *sector = int(at);
  return true;
}

QString MciSession::formatPosition(TimeFormat format, int sector, bool trackRelative) {
  if (format == TimeFormat::Milliseconds) return QString::number(qint64(sector) * 1000 / 75);
  QString prefix;
  if (format == TimeFormat::Tmsf && trackRelative) {
    const int number = drive_.trackAt(sector);
    if (const disc::Track* t = drive_.track(number)) sector = std::max(0, sector - t->start);
    prefix = twoDigits(number) + QLatin1Char(':');
  }
  return prefix + twoDigits(sector / 4500) + QLatin1Char(':') + twoDigits(sector / 75 % 60) + QLatin1Char(':') +
         twoDigits(sector % 75);
}
