// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/basic.h"

#include <cmath>
#include <limits>

namespace basic {

Error::Error(int number, const QString& description) : std::runtime_error(description.toStdString()), number_(number) {}

double roundHalfEven(double v) { return std::nearbyint(v); }  // default FE_TONEAREST

namespace {
template <typename T>
T convert(double v) {
  if (!std::isfinite(v)) throw Error(kOverflow, QStringLiteral("Overflow"));
  const double r = roundHalfEven(v);
  if (r < double(std::numeric_limits<T>::min()) || r > double(std::numeric_limits<T>::max()))
    throw Error(kOverflow, QStringLiteral("Overflow"));
  return static_cast<T>(r);
}
}  // namespace

std::int16_t toInt16(double v) { return convert<std::int16_t>(v); }
std::int32_t toInt32(double v) { return convert<std::int32_t>(v); }

double textToDouble(const QString& text) {
  bool ok = false;
  const double v = text.trimmed().toDouble(&ok);
  if (!ok) throw Error(kTypeMismatch, QStringLiteral("Type mismatch"));
  return v;
}

std::int16_t textToInt16(const QString& text) { return toInt16(textToDouble(text)); }

QString plain(qint64 v) { return QString::number(v); }

QString signedText(qint64 v) { return v < 0 ? QString::number(v) : QStringLiteral(" ") + QString::number(v); }

QString singleText(double v) {
  // Single precision holds about seven significant digits.
  return QString::number(static_cast<float>(v), 'g', 7);
}

QString minutesSeconds(qint64 wholeSeconds) {
  const qint64 sec = wholeSeconds % 60;
  const qint64 min = wholeSeconds / 60;
  return QStringLiteral("%1:%2").arg(min, 2, 10, QLatin1Char('0')).arg(sec, 2, 10, QLatin1Char('0'));
}

}  // namespace basic
