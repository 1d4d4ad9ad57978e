// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QRect>
#include <QString>
#include <QWidget>

// Layouts are given in twips; the player keeps 15 twips to the pixel.
namespace twips {
inline constexpr int kPerPixel = 15;
inline int toPx(double tw) { return static_cast<int>(tw / kPerPixel + (tw >= 0 ? 0.5 : -0.5)); }
inline double fromPx(int px) { return double(px) * kPerPixel; }
inline QRect rect(int left, int top, int width, int height) {
  return {toPx(left), toPx(top), toPx(width), toPx(height)};
}
// Names a control, gives it its tooltip (none when null) and its layout place.
inline void place(QWidget* w, const char* name, const char* tip, int left, int top, int width, int height) {
  w->setObjectName(QLatin1String(name));
  if (tip) w->setToolTip(QString::fromUtf8(tip));
  w->setGeometry(rect(left, top, width, height));
}
}  // namespace twips
