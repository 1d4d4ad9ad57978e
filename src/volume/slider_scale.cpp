// SPDX-License-Identifier: GPL-3.0-or-later
#include "volume/slider_scale.h"

#include <cmath>
#include <limits>

namespace {
constexpr qint32 kTop = std::numeric_limits<qint16>::max();

bool fits16(qint64 v) { return v >= std::numeric_limits<qint16>::min() && v <= std::numeric_limits<qint16>::max(); }
}  // namespace

bool SliderScale::scaled() const { return !fits16(maximum / 2) || !fits16(minimum); }

qint16 SliderScale::top() const { return scaled() ? qint16(kTop) : qint16(maximum / 2); }

qint16 SliderScale::bottom() const { return scaled() ? qint16(0) : qint16(minimum); }

qint32 SliderScale::volumeAt(int position) const {
  if (!scaled()) return qint32(position) * 2;
  // 64-bit span: maximum - minimum can exceed 32 bits' signed range.
  const double span = double(qint64(maximum) - qint64(minimum));
  return qint32(qint64(minimum) + std::llround(span * position / kTop));
}
