// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The 16-bit flags and number conversions the player's logic is written in.
// Kept in one place so every handler rounds and overflows the same way.

#include <QString>
#include <cstdint>
#include <stdexcept>

namespace basic {

// Runtime error with a numeric code, raised by platform objects (dialog
// cancel 32755, device not ready, ...) and caught by the handlers that
// expect that failure and carry on from it.
class Error : public std::runtime_error {
 public:
  Error(int number, const QString& description);
  int number() const { return number_; }
  QString description() const { return QString::fromStdString(what()); }

 private:
  int number_;
};

inline constexpr int kOverflow = 6;
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kFileNotFound = 53;
inline constexpr int kInvalidPropertyValue = 380;
inline constexpr int kInvalidPicture = 481;
inline constexpr int kCancel = 32755;

using Flag = std::int16_t;  // -1 true, 0 false
inline constexpr Flag kTrue = -1;
inline constexpr Flag kFalse = 0;
inline Flag flag(bool b) { return b ? kTrue : kFalse; }

// Nearest integer, halves to even (banker's rounding).
double roundHalfEven(double v);

// Conversions that raise kOverflow when the rounded value does not fit.
std::int16_t toInt16(double v);
std::int32_t toInt32(double v);

// Text to number as the settings readers need it: empty or non-numeric text
// raises kTypeMismatch, out of range raises kOverflow.
std::int16_t textToInt16(const QString& text);
double textToDouble(const QString& text);

// Number to text: plain ("12") and with the sign position ("" + " 12").
QString plain(qint64 v);
QString signedText(qint64 v);
// Single-precision value as text, as the geometry is stored ("2685", "2685.5").
QString singleText(double v);

// mm:ss with at least two digits of minutes.
QString minutesSeconds(qint64 wholeSeconds);

}  // namespace basic
