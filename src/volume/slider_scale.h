// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QtGlobal>

// How the volume slider's positions map onto the speaker control's range.
//
// The slider holds signed 16-bit positions. Its top end (Min) is half the
// speaker maximum and its bottom end (Max) the speaker minimum, and a
// position P writes 2 * P: with the classic 0..65535 range that is Min 32767,
// Max 0, one arrow step of 1000 writes 2000 and the top writes 65534.
//
// A range whose halved maximum or whose minimum does not fit 16 bits cannot
// be laid out that way; the common case is the 0..65536 "Master" of a
// PulseAudio or PipeWire desktop, whose half, 32768, is one past the largest
// position. Clamping the top alone would leave the loudest value (100 %)
// out of reach, or make the last step jump; instead such a range gets a
// slider of 0 (bottom) to 32767 (top) mapped linearly onto minimum..maximum
// and rounded to the nearest value. For 0..65536 that still writes 2000 for
// the first step, and the top writes exactly 65536 (100 %), the bottom 0.
struct SliderScale {
  qint32 minimum = 0;  // the speaker control's range
  qint32 maximum = 0;

  // True when the range needs the linear mapping above.
  bool scaled() const;
  // The slider's Min (top) and Max (bottom) for this range.
  qint16 top() const;
  qint16 bottom() const;
  // The speaker volume for a slider position.
  qint32 volumeAt(int position) const;
};
