// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QScrollBar>

// A scroll bar with the classic Min/Max/Value contract: Min is always at the
// top (or left) end and Max at the other, whichever is larger, so a range
// such as Min 32767, Max 0 puts the larger values at the top. Values are
// signed 16-bit. Change is raised for every change of Value except while the
// thumb is dragged, and once at the end of a drag; Scroll for every position
// reported while dragging.
class RangeScrollBar : public QScrollBar {
  Q_OBJECT
 public:
  explicit RangeScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

  int Min() const { return min_; }
  int Max() const { return max_; }
  int Value() const;
  void setMin(int v);
  void setMax(int v);
  void setValue(int v);  // clamped into the range, as the classic control does
  int SmallChange() const { return singleStep(); }
  int LargeChange() const { return pageStep(); }
  void setSmallChange(int v) { setSingleStep(v); }
  void setLargeChange(int v) { setPageStep(v); }

 Q_SIGNALS:
  void Change();
  void Scroll();

 private:
  void applyRange(int keep);
  int fromQt(int q) const { return min_ <= max_ ? min_ + q : min_ - q; }
  int toQt(int v) const { return min_ <= max_ ? v - min_ : min_ - v; }

  int min_ = 0;
  int max_ = 32767;
  bool dragChanged_ = false;
};
