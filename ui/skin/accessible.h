// What assistive tools (screen readers) learn about the skinned controls
// that draw themselves: a name, a role and a state for each, as the
// standard controls give them. Interface thread only.
#pragma once

#include <QWidget>

namespace orvane {

// Registers the skin's accessible interfaces with Qt; once per process,
// later calls do nothing. Every skinned window calls it when it is made.
//  - CCheckBox: a check box, named by its accessible name or its text,
//    checked as it is drawn, toggled by its default action;
//  - CXColorStatic: static text named by what it shows;
//  - CPictureBoxEx: a picture (an animation while it plays), named by its
//    accessible name or its tooltip.
// The bitmap buttons are push buttons already (Qt names them by their
// caption or accessible name).
void InstallSkinAccessibility();

// Gives every control of `window` that has neither an accessible name nor a
// text of its own the text of the label a reader sees it by: for a check
// box, the label right of it on its row; for a field, list or picker, the
// label left of it on its row, else the one just above it. A trailing ':'
// is left out. Names set by the window are kept. Called when a skinned
// window shows, so labels set until then count.
void NameControlsByTheirLabels(QWidget& window);

}  // namespace orvane
