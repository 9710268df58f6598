#include "platform/wine/hive_escape.h"

namespace orvane::wine {
namespace {

bool IsHexDigit(unsigned c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
unsigned HexValue(unsigned c) {
  return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

void AppendOctal(std::string* out, unsigned v, int min_digits) {
  char buf[8];
  int n = 0;
  do {
    buf[n++] = static_cast<char>('0' + (v & 7));
    v >>= 3;
  } while (v);
  while (n < min_digits) buf[n++] = '0';
  while (n) out->push_back(buf[--n]);
}

// Decodes one UTF-8 sequence starting at text[*pos]; invalid bytes read as
// themselves (Latin-1), which is what a reader can still make of them.
void ReadUtf8(std::string_view text, size_t* pos, std::wstring* out) {
  unsigned char c = static_cast<unsigned char>(text[*pos]);
  int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
  if (len && *pos + len <= text.size()) {
    char32_t cp = c & (0x7F >> len);
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(text[*pos + k]);
      if ((cc & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (ok && cp >= 0x80 && cp <= 0x10FFFF) {
      if (cp >= 0x10000) {
        cp -= 0x10000;
        out->push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out->push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
      } else {
        out->push_back(static_cast<wchar_t>(cp));
      }
      *pos += len;
      return;
    }
  }
  out->push_back(c);
  ++*pos;
}

}  // namespace

void AppendHexNumber(std::string* out, uint64_t v, int min_digits) {
  static const char kDigits[] = "0123456789abcdef";
  char buf[20];
  int n = 0;
  do {
    buf[n++] = kDigits[v & 0xF];
    v >>= 4;
  } while (v);
  while (n < min_digits) buf[n++] = '0';
  while (n) out->push_back(buf[--n]);
}

size_t AppendEscaped(std::string* out, std::wstring_view s, const char delimiters[2],
                     bool skip_final_nul) {
  static const char kEscapes[33] = ".......abtnvfr.............e....";
  size_t start = out->size();
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned c = static_cast<uint16_t>(s[i]);
    bool has_next = i + 1 < s.size();
    unsigned next = has_next ? static_cast<uint16_t>(s[i + 1]) : 0;
    if (c > 127) {
      out->append("\\x");
      AppendHexNumber(out, c, has_next && next < 128 && IsHexDigit(next) ? 4 : 1);
      continue;
    }
    if (c < 32) {
      if (c == 0 && !has_next && skip_final_nul) continue;
      out->push_back('\\');
      if (kEscapes[c] != '.')
        out->push_back(kEscapes[c]);
      else
        AppendOctal(out, c, has_next && next >= '0' && next <= '7' ? 3 : 1);
      continue;
    }
    if (c == '\\' || c == static_cast<unsigned char>(delimiters[0]) ||
        c == static_cast<unsigned char>(delimiters[1]))
      out->push_back('\\');
    out->push_back(static_cast<char>(c));
  }
  return out->size() - start;
}

size_t AppendEscaped(std::string* out, std::u16string_view units, const char delimiters[2]) {
  return AppendEscaped(out, std::wstring(units.begin(), units.end()), delimiters, false);
}

bool ReadEscaped(std::string_view text, size_t* pos, char terminator, std::wstring* out) {
  size_t i = *pos;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == static_cast<unsigned char>(terminator)) {
      *pos = i + 1;
      return true;
    }
    if (c >= 0x80) {
      ReadUtf8(text, &i, out);
      continue;
    }
    if (c != '\\') {
      out->push_back(c);
      ++i;
      continue;
    }
    if (++i >= text.size()) return false;
    unsigned char e = static_cast<unsigned char>(text[i]);
    switch (e) {
      case 'a': out->push_back(L'\a'); ++i; break;
      case 'b': out->push_back(L'\b'); ++i; break;
      case 'e': out->push_back(0x1B); ++i; break;
      case 'f': out->push_back(L'\f'); ++i; break;
      case 'n': out->push_back(L'\n'); ++i; break;
      case 'r': out->push_back(L'\r'); ++i; break;
      case 't': out->push_back(L'\t'); ++i; break;
      case 'v': out->push_back(L'\v'); ++i; break;
      case 'x': {
        ++i;
        unsigned v = 0;
        int n = 0;
        while (n < 4 && i < text.size() && IsHexDigit(static_cast<unsigned char>(text[i]))) {
          v = v * 16 + HexValue(static_cast<unsigned char>(text[i]));
          ++i;
          ++n;
        }
        out->push_back(n ? static_cast<wchar_t>(v) : L'x');
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          unsigned v = 0;
          int n = 0;
          while (n < 3 && i < text.size() && text[i] >= '0' && text[i] <= '7') {
            v = v * 8 + (text[i] - '0');
            ++i;
            ++n;
          }
          out->push_back(static_cast<wchar_t>(v & 0xFFFF));
        } else if (e >= 0x80) {
          ReadUtf8(text, &i, out);
        } else {
          out->push_back(e);
          ++i;
        }
    }
  }
  return false;
}

size_t SkipEscaped(std::string_view text, size_t pos, char terminator) {
  // An escape never reads a quote or a bracket as one of its digits or
  // UTF-8 continuation bytes, so skipping the byte after each backslash
  // finds the same terminator as decoding does.
  for (size_t i = pos; i < text.size(); ++i) {
    char c = text[i];
    if (c == terminator) return i + 1;
    if (c == '\\' && ++i >= text.size()) return std::string_view::npos;
  }
  return std::string_view::npos;
}

}  // namespace orvane::wine
