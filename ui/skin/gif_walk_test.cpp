#include "ui/skin/gif_walk.h"

#include <gtest/gtest.h>

#include <string>

namespace orvane {
namespace {

using namespace std::string_literals;

std::string Word(int value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

// Header with a 2-entry global colour table (6 bytes): 19 bytes in all.
std::string Header(std::string version = "89a", int width = 20, int height = 10) {
  std::string out = "GIF" + version + Word(width) + Word(height);
  out += '\x80';  // global table of 2 entries
  out += '\0';
  out += '\0';
  out += std::string(6, '\x7F');
  return out;
}

std::string Control(int delay, int disposal) {
  std::string out = "\x21\xF9\x04";
  out += static_cast<char>(disposal << 2);
  out += Word(delay);
  out += '\0';
  out += '\0';
  return out;
}

std::string Image(int left, int top, int width, int height, bool local_table = false) {
  std::string out = "\x2C" + Word(left) + Word(top) + Word(width) + Word(height);
  out += local_table ? '\x81' : '\0';
  if (local_table) out += std::string(12, '\x10');
  out += '\x02';                              // LZW minimum code size
  out += std::string("\x03\x01\x02\x03", 4);  // one sub-block of 3 bytes
  out += '\0';
  return out;
}

TEST(GifWalkTest, AcceptsAnyVersionLettersAfterGif) {
  for (std::string version : {"89a", "87a", "99z", "\x01\x02\x03"}) {
    std::string data = Header(version) + Image(0, 0, 20, 10) + "\x3B";
    auto layout = WalkGif(data);
    ASSERT_TRUE(layout.has_value()) << version;
    EXPECT_EQ(layout->images.size(), 1u);
  }
  EXPECT_FALSE(WalkGif("PNG89a" + Header().substr(6)).has_value());
  EXPECT_FALSE(LooksLikeGif("GI"));
}

TEST(GifWalkTest, ReadsScreenFramesDelaysAndDisposal) {
  std::string data = Header("89a", 300, 200);
  data +=
      "\x21\xFF\x0B"
      "NETSCAPE2.0"
      "\x03\x01\x00\x00\x00"s;  // application block
  data += Control(12, 2) + Image(1, 2, 3, 4);
  data += "\x21\xFE\x02hi\x00"s;  // comment block between images
  data += Control(0, 3) + Image(5, 6, 7, 8, /*local_table=*/true);
  data += Image(0, 0, 9, 9);  // no control block
  data += "\x3B";
  auto layout = WalkGif(data);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->screen_width, 300);
  EXPECT_EQ(layout->screen_height, 200);
  EXPECT_EQ(layout->header_size, 19u);
  EXPECT_FALSE(layout->cut_short);
  ASSERT_EQ(layout->images.size(), 3u);
  const GifImage& first = layout->images[0];
  EXPECT_EQ(first.delay, 12);
  EXPECT_EQ(first.disposal, 2);
  EXPECT_EQ(first.left, 1);
  EXPECT_EQ(first.top, 2);
  EXPECT_EQ(first.width, 3);
  EXPECT_EQ(first.height, 4);
  EXPECT_EQ(data[first.begin], '\x21');  // starts at its control block
  EXPECT_EQ(data[first.descriptor], '\x2C');
  EXPECT_EQ(layout->images[1].delay, 0);
  EXPECT_EQ(layout->images[1].disposal, 3);
  EXPECT_EQ(layout->images[1].width, 7);
  EXPECT_EQ(layout->images[2].delay, -1);
  EXPECT_EQ(layout->images[2].begin, layout->images[2].descriptor);
  EXPECT_EQ(layout->images[2].end, data.size() - 1);
}

TEST(GifWalkTest, DamagedDataEndsTheWalkKeepingWhatCameBefore) {
  std::string good = Header() + Control(5, 1) + Image(0, 0, 20, 10);
  struct Case {
    const char* name;
    std::string tail;
  };
  const Case cases[] = {
      {"unknown block kind", "\x99" + Image(0, 0, 1, 1)},
      {"truncated descriptor", "\x2C\x00\x00"s},
      {"truncated sub-block", std::string("\x2C", 1) + std::string(9, '\0') + "\x02\x40\x01"},
      {"absurd local table", std::string("\x2C", 1) + std::string(8, '\0') + "\x87"},
      {"extension without label", "\x21"},
      {"extension running past the end", "\x21\xFE\xFFshort"},
  };
  for (const Case& c : cases) {
    auto layout = WalkGif(good + c.tail);
    ASSERT_TRUE(layout) << c.name;
    EXPECT_TRUE(layout->cut_short) << c.name;
    EXPECT_EQ(layout->images.size(), 1u) << c.name;
  }
  // A missing trailer is not damage: the data simply ends after an image.
  auto layout = WalkGif(good);
  ASSERT_TRUE(layout);
  EXPECT_FALSE(layout->cut_short);
  EXPECT_EQ(layout->images.size(), 1u);
}

TEST(GifWalkTest, HeaderTooShortForItsColourTableIsNotAGif) {
  EXPECT_FALSE(WalkGif("GIF89a\x01\x00\x01\x00"s).has_value());
  std::string big_table = "GIF89a" + Word(1) + Word(1) + "\x87\x00\x00"s;  // 768-byte table
  EXPECT_FALSE(WalkGif(big_table + std::string(100, '\0')).has_value());
  auto layout = WalkGif(big_table + std::string(768, '\0'));
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->header_size, 13u + 768u);
  EXPECT_TRUE(layout->images.empty());
}

TEST(GifWalkTest, ControlBlockTooShortForADelayIsIgnored) {
  std::string data = Header() + "\x21\xF9\x02\x08\x05\x00"s + Image(0, 0, 2, 2) + "\x3B";
  auto layout = WalkGif(data);
  ASSERT_TRUE(layout);
  ASSERT_EQ(layout->images.size(), 1u);
  EXPECT_EQ(layout->images[0].delay, -1);
}

TEST(GifWalkTest, CutImageIsAStandAloneGif) {
  std::string data = Header("89a", 40, 30) + Control(7, 2) + Image(1, 2, 3, 4) + Control(9, 0) +
                     Image(10, 11, 12, 13) + "\x3B";
  auto layout = WalkGif(data);
  ASSERT_TRUE(layout);
  ASSERT_EQ(layout->images.size(), 2u);

  std::string second = CutGifImage(data, *layout, layout->images[1]);
  EXPECT_EQ(second.substr(0, 19), data.substr(0, 19));
  EXPECT_EQ(second.back(), '\x3B');
  auto again = WalkGif(second);
  ASSERT_TRUE(again);
  ASSERT_EQ(again->images.size(), 1u);
  EXPECT_EQ(again->images[0].delay, 9);
  EXPECT_EQ(again->images[0].left, 10);
  EXPECT_EQ(again->screen_width, 40);

  std::string placed = CutGifImage(data, *layout, layout->images[1], /*screen_is_image=*/true);
  auto moved = WalkGif(placed);
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->screen_width, 12);
  EXPECT_EQ(moved->screen_height, 13);
  EXPECT_EQ(moved->images[0].left, 0);
  EXPECT_EQ(moved->images[0].top, 0);
  EXPECT_EQ(moved->images[0].width, 12);

  GifImage bogus = layout->images[0];
  bogus.end = data.size() + 5;
  EXPECT_TRUE(CutGifImage(data, *layout, bogus).empty());
}

}  // namespace
}  // namespace orvane
