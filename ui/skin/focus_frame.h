// The keyboard focus as the skin draws it: a two-colour ring (a light ring
// outside a dark one) that shows on the dark slate panels and on the white
// ones alike. Every skinned control that can take the focus paints it over
// its own face. Interface thread only.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>

namespace orvane {

inline constexpr QRgb kFocusOuterColor = 0xFFFFD84A;  // the skin's highlight yellow
inline constexpr QRgb kFocusInnerColor = 0xFF14202C;  // the slate of the window borders
inline constexpr int kFocusFrameWidth = 2;

// Paints the ring inside `rect` (its outermost pixels), leaving the painter
// as it was.
void PaintFocusFrame(QPainter &painter, const QRect &rect);

}  // namespace orvane
