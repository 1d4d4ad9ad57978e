// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QtGlobal>
#include <memory>

// One handle on the system mixer, the operations the volume class needs.
// open() comes first and once; it answers 0 or a non-zero error code. The
// other calls answer false when the mixer refuses, including every call
// after a failed open. The handle lives as long as the object.
class Mixer {
 public:
  enum class Line { Speakers, Microphone };
  struct Control {
    quint32 id = 0;  // 0 names no control
    qint32 minimum = 0;
    qint32 maximum = 0;
  };
  virtual ~Mixer() = default;
  virtual int open() = 0;
  // The volume control of the line and its range; false when the line or
  // its volume control is missing.
  virtual bool volumeControl(Line line, Control& out) = 0;
  // The value goes to the mixer unchanged, for all channels of the control;
  // false when the mixer does not take it (no such control, out of range).
  virtual bool setValue(const Control& control, quint32 value) = 0;
};

// Makes one unopened mixer per call.
class MixerFactory {
 public:
  virtual ~MixerFactory() = default;
  virtual std::unique_ptr<Mixer> create() = 0;
};
