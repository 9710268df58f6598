// The block structure of a GIF file, walked without decoding any pixels. The
// animated picture uses it to cut an animation into stand-alone one-image GIFs
// that the image reader decodes one by one. Qt-free so that it can be fuzzed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// One image of the file, as byte offsets into the data that was walked.
struct GifImage {
  // From the image's graphic control block when it has one, else from its
  // image descriptor, through the end of its image data (block terminator
  // included).
  size_t begin = 0;
  size_t end = 0;
  size_t descriptor = 0;  // offset of the image descriptor (0x2C)
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int delay = -1;    // hundredths of a second; -1 without a graphic control block
  int disposal = 0;  // 0-7; 0 without a graphic control block
};

struct GifLayout {
  int screen_width = 0;   // logical screen, bytes 6-7 little-endian
  int screen_height = 0;  // bytes 8-9
  // The 13 header bytes plus the global colour table: what every one-image
  // GIF cut from this file starts with.
  size_t header_size = 0;
  std::vector<GifImage> images;
  // The walk stopped early: an unknown block kind, or a block that would run
  // past the end of the data. The images before that point are kept.
  bool cut_short = false;
};

// True when the data begins with the three letters "GIF", whatever follows.
bool LooksLikeGif(std::string_view data);

// Walks the blocks after the header and the global colour table. Returns
// nothing when the data is not a GIF or is too short for its own header and
// global colour table; otherwise the layout with every complete image found
// before the walk ended. Never reads outside `data`.
std::optional<GifLayout> WalkGif(std::string_view data);

// A stand-alone GIF holding one image of `layout` (which must come from
// WalkGif over the same `data`): header and global colour table, the image's
// blocks, then the trailer 0x3B. With `screen_is_image` the logical screen of
// the copy is the image's own size and the image sits at (0, 0), so that a
// decoder that paints the image onto the whole screen yields exactly the
// image. Empty when the offsets do not fit `data`.
std::string CutGifImage(std::string_view data, const GifLayout& layout, const GifImage& image,
                        bool screen_is_image = false);

}  // namespace orvane
