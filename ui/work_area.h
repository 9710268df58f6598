// Where the skinned windows open.
#pragma once

#include <QWidget>

namespace orvane::ui {

// Puts window's top-left corner at ((W - width) / 2, (H - height) / 2 + dy)
// of the screen area left free by the taskbar (the screen window is on, or
// the primary one), then moves it back inside that area: a window that fits
// lies wholly inside it, one that does not keeps its top-left corner (title
// and close button first) at the area's. width and height are the sizes the
// window's position is reckoned from (its picture's, or its outer size), in
// the screen's logical pixels at any scale.
void CentreOnWorkArea(QWidget* window, int width, int height, int dy = 0);
// The top-left corner CentreOnWorkArea gives a window of that size in area.
QPoint CentredInside(const QRect& area, int width, int height, int dy = 0);
// Gives window that fixed client size, then centres it as above.
void PlaceOnWorkArea(QWidget* window, int width, int height);

}  // namespace orvane::ui
