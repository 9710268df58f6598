#include "ui/skin/gif_walk.h"

namespace orvane {
namespace {

constexpr unsigned char kExtension = 0x21;
constexpr unsigned char kImage = 0x2C;
constexpr unsigned char kTrailer = 0x3B;
constexpr unsigned char kGraphicControl = 0xF9;
constexpr size_t kHeaderBytes = 13;

unsigned Byte(std::string_view data, size_t at) { return static_cast<unsigned char>(data[at]); }

int Word(std::string_view data, size_t at) {
  return static_cast<int>(Byte(data, at) | (Byte(data, at + 1) << 8));
}

void PutWord(std::string& out, size_t at, int value) {
  out[at] = static_cast<char>(value & 0xFF);
  out[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

// Size of a colour table announced by a packed byte (bit 7 set, low three
// bits n): 3 * 2^(n+1) bytes.
size_t ColourTableSize(unsigned packed) {
  return (packed & 0x80) ? 3u * (2u << (packed & 0x07)) : 0;
}

// Skips a chain of data sub-blocks starting at `at` (a size byte, that many
// bytes, ... a zero byte). Returns the offset just past the terminator, or
// nothing when the chain runs past the end.
std::optional<size_t> SkipSubBlocks(std::string_view data, size_t at) {
  while (at < data.size()) {
    size_t length = Byte(data, at);
    if (length == 0) return at + 1;
    if (data.size() - at - 1 < length) return std::nullopt;
    at += 1 + length;
  }
  return std::nullopt;
}

}  // namespace

bool LooksLikeGif(std::string_view data) { return data.substr(0, 3) == "GIF"; }

std::optional<GifLayout> WalkGif(std::string_view data) {
  if (!LooksLikeGif(data) || data.size() < kHeaderBytes) return std::nullopt;
  GifLayout layout;
  layout.screen_width = Word(data, 6);
  layout.screen_height = Word(data, 8);
  layout.header_size = kHeaderBytes + ColourTableSize(Byte(data, 10));
  if (layout.header_size > data.size()) return std::nullopt;

  // The graphic control block seen since the last image, if any.
  bool has_control = false;
  size_t control_at = 0;
  int delay = -1;
  int disposal = 0;

  size_t at = layout.header_size;
  while (at < data.size()) {
    unsigned kind = Byte(data, at);
    if (kind == kTrailer) break;
    if (kind == kExtension) {
      if (data.size() - at < 2) {
        layout.cut_short = true;
        break;
      }
      std::optional<size_t> next = SkipSubBlocks(data, at + 2);
      if (!next) {
        layout.cut_short = true;
        break;
      }
      // A control block whose first sub-block is too short to hold a delay
      // carries no usable timing; the image after it is treated as having none.
      if (Byte(data, at + 1) == kGraphicControl && Byte(data, at + 2) >= 4) {
        has_control = true;
        control_at = at;
        disposal = static_cast<int>((Byte(data, at + 3) >> 2) & 0x07);
        delay = Word(data, at + 4);
      }
      at = *next;
      continue;
    }
    if (kind == kImage) {
      // Descriptor (10 bytes), local colour table, LZW code size, sub-blocks.
      if (data.size() - at < 10) {
        layout.cut_short = true;
        break;
      }
      GifImage image;
      image.descriptor = at;
      image.left = Word(data, at + 1);
      image.top = Word(data, at + 3);
      image.width = Word(data, at + 5);
      image.height = Word(data, at + 7);
      size_t table = ColourTableSize(Byte(data, at + 9));
      if (data.size() - at - 10 < table + 1) {
        layout.cut_short = true;
        break;
      }
      std::optional<size_t> next = SkipSubBlocks(data, at + 10 + table + 1);
      if (!next) {
        layout.cut_short = true;
        break;
      }
      image.begin = has_control ? control_at : at;
      image.end = *next;
      image.delay = has_control ? delay : -1;
      image.disposal = has_control ? disposal : 0;
      layout.images.push_back(image);
      has_control = false;
      delay = -1;
      disposal = 0;
      at = *next;
      continue;
    }
    layout.cut_short = true;
    break;
  }
  return layout;
}

std::string CutGifImage(std::string_view data, const GifLayout& layout, const GifImage& image,
                        bool screen_is_image) {
  if (layout.header_size > data.size() || image.begin > image.end || image.end > data.size() ||
      image.descriptor < image.begin || image.end - image.descriptor < 10) {
    return {};
  }
  std::string out;
  out.reserve(layout.header_size + (image.end - image.begin) + 1);
  out.append(data.substr(0, layout.header_size));
  out.append(data.substr(image.begin, image.end - image.begin));
  out.push_back(static_cast<char>(kTrailer));
  if (screen_is_image) {
    PutWord(out, 6, image.width);
    PutWord(out, 8, image.height);
    size_t descriptor = layout.header_size + (image.descriptor - image.begin);
    PutWord(out, descriptor + 1, 0);
    PutWord(out, descriptor + 3, 0);
  }
  return out;
}

}  // namespace orvane
