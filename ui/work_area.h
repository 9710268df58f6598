// Where the skinned windows open.
#pragma once

#include <QWidget>

namespace orvane::ui {

// Gives window a fixed client size and puts its top-left corner at
// ((W - width) / 2, (H - height) / 2) of the screen area left free by the
// taskbar (the screen window is on, or the primary one).
void PlaceOnWorkArea(QWidget* window, int width, int height);

}  // namespace orvane::ui
