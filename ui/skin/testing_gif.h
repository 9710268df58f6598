// Builds small, valid GIF files for tests: 4-colour global table (black,
// red, green, blue), each image one solid colour index, uncompressed LZW
// (a clear code every two pixels keeps the codes 3 bits wide).
#pragma once

#include <QByteArray>
#include <vector>

namespace orvane::testing {

struct TestFrame {
  int left = 0;
  int top = 0;
  int width = 1;
  int height = 1;
  int colour = 1;  // index into the table: 0 black, 1 red, 2 green, 3 blue
  int delay = 10;  // hundredths; -1 writes no graphic control block
  int disposal = 0;
};

inline void PutWord(QByteArray& out, int value) {
  out.append(static_cast<char>(value & 0xFF));
  out.append(static_cast<char>((value >> 8) & 0xFF));
}

inline QByteArray MakeGif(int screen_width, int screen_height,
                          const std::vector<TestFrame>& frames,
                          const QByteArray& version = "89a") {
  QByteArray out = "GIF" + version;
  PutWord(out, screen_width);
  PutWord(out, screen_height);
  out.append('\x81');  // global table, 4 entries
  out.append('\0');
  out.append('\0');
  out.append(QByteArray::fromHex("000000FF000000FF000000FF"));
  for (const TestFrame& f : frames) {
    if (f.delay >= 0) {
      out.append("\x21\xF9\x04", 3);
      out.append(static_cast<char>((f.disposal & 7) << 2));
      PutWord(out, f.delay);
      out.append('\0');
      out.append('\0');
    }
    out.append('\x2C');
    PutWord(out, f.left);
    PutWord(out, f.top);
    PutWord(out, f.width);
    PutWord(out, f.height);
    out.append('\0');
    out.append('\x02');  // LZW minimum code size
    std::vector<int> codes = {4};
    int since_clear = 0;
    for (int i = 0; i < f.width * f.height; ++i) {
      codes.push_back(f.colour);
      if (++since_clear == 2) {
        codes.push_back(4);
        since_clear = 0;
      }
    }
    codes.push_back(5);
    QByteArray packed;
    unsigned bits = 0;
    int count = 0;
    for (int code : codes) {
      bits |= static_cast<unsigned>(code) << count;
      count += 3;
      while (count >= 8) {
        packed.append(static_cast<char>(bits & 0xFF));
        bits >>= 8;
        count -= 8;
      }
    }
    if (count > 0) packed.append(static_cast<char>(bits & 0xFF));
    for (qsizetype at = 0; at < packed.size(); at += 255) {
      QByteArray chunk = packed.mid(at, 255);
      out.append(static_cast<char>(chunk.size()));
      out.append(chunk);
    }
    out.append('\0');
  }
  out.append('\x3B');
  return out;
}

}  // namespace orvane::testing
