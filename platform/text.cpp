#include "platform/text.h"

#include <locale.h>
#include <wctype.h>

namespace orvane {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool IsHigh(unsigned u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(unsigned u) { return u >= 0xDC00 && u <= 0xDFFF; }

void AppendCodePoint(std::wstring* out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out->push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
    out->push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out->push_back(static_cast<wchar_t>(cp));
  }
}

// A locale with full Unicode case tables, independent of the process locale.
locale_t UnicodeLocale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (!l) l = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    return l;
  }();
  return loc;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view s) {
  std::wstring out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    }
    int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > s.size()) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    char32_t cp = c & (0x7F >> len);
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (cc & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    AppendCodePoint(&out, cp);
    i += len;
  }
  return out;
}

std::string WideToUtf8(std::wstring_view w) {
  std::string out;
  out.reserve(w.size());
  for (size_t i = 0; i < w.size(); ++i) {
    char32_t cp = static_cast<uint16_t>(w[i]);
    if (IsHigh(cp) && i + 1 < w.size() && IsLow(static_cast<uint16_t>(w[i + 1]))) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<uint16_t>(w[i + 1]) - 0xDC00);
      ++i;
    } else if (IsHigh(cp) || IsLow(cp)) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string WideToUtf16le(std::wstring_view w) {
  std::string out;
  AppendUtf16le(w, &out);
  return out;
}

void AppendUtf16le(std::wstring_view w, std::string* out) {
  const size_t at = out->size();
  out->resize(at + w.size() * 2);
  char* to = out->data() + at;
  for (size_t i = 0; i < w.size(); ++i) {
    uint16_t u = static_cast<uint16_t>(w[i]);
    to[2 * i] = static_cast<char>(u & 0xFF);
    to[2 * i + 1] = static_cast<char>(u >> 8);
  }
}

std::wstring Utf16leToWide(std::string_view b, bool* complete) {
  // Written in place rather than pushed a unit at a time: the file of a big
  // scan is tens of megabytes of these.
  const size_t units = b.size() / 2;
  std::wstring out(units, L'\0');
  wchar_t* to = out.data();
  size_t made = 0;
  bool whole = (b.size() % 2) == 0;
  for (size_t i = 0; i < units; ++i) {
    unsigned u = static_cast<unsigned char>(b[2 * i]) | (static_cast<unsigned char>(b[2 * i + 1]) << 8);
    if (u < 0xD800 || u > 0xDFFF) {
      to[made++] = static_cast<wchar_t>(u);
      continue;
    }
    if (IsLow(u) || i + 1 >= units) {
      whole = false;
      break;
    }
    unsigned next = static_cast<unsigned char>(b[2 * i + 2]) | (static_cast<unsigned char>(b[2 * i + 3]) << 8);
    if (!IsLow(next)) {
      whole = false;
      break;
    }
    to[made++] = static_cast<wchar_t>(u);
    to[made++] = static_cast<wchar_t>(next);
    ++i;
  }
  out.resize(made);
  if (complete) *complete = whole;
  return out;
}

wchar_t FoldCaseSlow(wchar_t u) {
  if (IsHigh(u) || IsLow(u) || u > 0xFFFF) return u;
  wint_t lower = towlower_l(static_cast<wint_t>(u), UnicodeLocale());
  return lower <= 0xFFFF ? static_cast<wchar_t>(lower) : u;
}

wchar_t UpperCase(wchar_t u) {
  if (u < 0x80) return (u >= L'a' && u <= L'z') ? u - 32 : u;
  if (IsHigh(u) || IsLow(u) || u > 0xFFFF) return u;
  wint_t upper = towupper_l(static_cast<wint_t>(u), UnicodeLocale());
  return upper <= 0xFFFF ? static_cast<wchar_t>(upper) : u;
}

std::wstring ToLower(std::wstring_view t) {
  std::wstring out(t);
  for (auto& c : out) c = FoldCase(c);
  return out;
}

std::wstring ToUpper(std::wstring_view t) {
  std::wstring out(t);
  for (auto& c : out) c = UpperCase(c);
  return out;
}

int CompareNoCase(std::wstring_view a, std::wstring_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    wchar_t x = FoldCase(a[i]), y = FoldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int CompareNoCase(std::u16string_view a, std::wstring_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    wchar_t x = FoldCase(static_cast<wchar_t>(a[i])), y = FoldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool EqualsNoCase(std::u16string_view a, std::wstring_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

}  // namespace orvane
