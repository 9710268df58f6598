// Any bytes as a GIF: the block walk never reads outside the data, never
// hangs, and every image it finds cuts into a stand-alone GIF that walks
// again to that same single image.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ui/skin/gif_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::optional<orvane::GifLayout> layout = orvane::WalkGif(bytes);
  if (!layout) return 0;
  if (layout->header_size > size) __builtin_trap();
  for (const orvane::GifImage& image : layout->images) {
    if (image.begin > image.descriptor || image.descriptor >= image.end || image.end > size) {
      __builtin_trap();
    }
    for (bool placed : {false, true}) {
      std::string cut = orvane::CutGifImage(bytes, *layout, image, placed);
      std::optional<orvane::GifLayout> again = orvane::WalkGif(cut);
      if (!again || again->images.size() != 1 || again->cut_short) __builtin_trap();
      const orvane::GifImage& one = again->images[0];
      if (one.width != image.width || one.height != image.height || one.delay != image.delay ||
          one.disposal != image.disposal) {
        __builtin_trap();
      }
      if (placed && (one.left != 0 || one.top != 0 || again->screen_width != image.width)) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
