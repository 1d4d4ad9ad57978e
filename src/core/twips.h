#pragma once
#include <QRect>

// Layouts are given in twips; the player keeps 15 twips to the pixel.
namespace twips {
inline constexpr int kPerPixel = 15;
inline int toPx(double tw) { return static_cast<int>(tw / kPerPixel + (tw >= 0 ? 0.5 : -0.5)); }
inline double fromPx(int px) { return double(px) * kPerPixel; }
inline QRect rect(int left, int top, int width, int height) {
  return {toPx(left), toPx(top), toPx(width), toPx(height)};
}
}  // namespace twips
