// The gallery: every numbered picture and sample windows showing each
// control in each of its states, written as PNG files so anyone can look at
// the artwork and the controls without running the program's windows.
#pragma once

#include <QString>
#include <QStringList>

namespace orvane {

// Writes "picture-<id>.png" for every numbered picture and "sample-*.png"
// for the sample windows into `dir` (created when missing). Needs a
// QApplication. Returns false, with a reason in *error, when a file cannot be
// written; *written lists the files written, in order.
bool WriteGallery(const QString& dir, QStringList* written, QString* error);

}  // namespace orvane
