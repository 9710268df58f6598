#include "ui/result_entry.h"

#include "ui/skin/skin_images.h"

namespace orvane::ui {
namespace {

constexpr QRgb kMagenta = 0x00FF00FF;

}  // namespace

QImage CheckBoxCell(bool checked) {
  QImage strip = SkinImage(197);
  if (strip.isNull()) return {};
  QImage cell = strip.copy(checked ? 0 : 13, 0, 13, 13).convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < cell.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(cell.scanLine(y));
    for (int x = 0; x < cell.width(); ++x)
      if (qAlpha(line[x]) == 255 && (line[x] & 0x00FFFFFF) == kMagenta) line[x] = 0;
  }
  return cell;
}

}  // namespace orvane::ui
