#include "platform/wine/hive_data.h"

#include "platform/wine/hive_escape.h"

namespace orvane::wine {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool OnlyBlanks(std::string_view s) { return s.find_first_not_of(" \t") == std::string_view::npos; }

// Comma-separated bytes of one or two hex digits, blanks allowed around
// them; appended to out unless it is null.
bool ParseHexBytes(std::string_view s, std::string* out) {
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i >= s.size()) break;
    size_t start = i;
    while (i < s.size() && s[i] != ',') ++i;
    std::string_view piece = s.substr(start, i - start);
    while (!piece.empty() && IsBlank(piece.back())) piece.remove_suffix(1);
    uint64_t byte;
    if (!ParseHexNumber(piece, &byte, 2)) return false;
    if (out) out->push_back(static_cast<char>(byte));
    if (i < s.size()) ++i;  // the comma
  }
  return true;
}

// "..." as string data: decoded (UTF-16LE with its terminator) into data,
// or only checked when data is null.
bool ParseQuoted(std::string_view rest, std::string* data, const char** why) {
  if (rest.empty() || rest[0] != '"') {
    *why = "string data without its opening quote";
    return false;
  }
  size_t end;
  if (data) {
    // Reused, since nearly every string is longer than a wstring's own buffer.
    thread_local std::wstring units;
    units.clear();
    end = 1;
    if (!ReadEscaped(rest, &end, '"', &units)) end = std::string_view::npos;
    if (end != std::string_view::npos) {
      data->clear();
      data->reserve(units.size() * 2 + 2);
      for (wchar_t u : units) {
        data->push_back(static_cast<char>(static_cast<uint16_t>(u) & 0xFF));
        data->push_back(static_cast<char>(static_cast<uint16_t>(u) >> 8));
      }
      data->append(2, '\0');
    }
  } else {
    end = SkipEscaped(rest, 1, '"');
  }
  if (end == std::string_view::npos) {
    *why = "string data without its closing quote";
    return false;
  }
  if (!OnlyBlanks(rest.substr(end))) {
    *why = "text after the string data";
    return false;
  }
  return true;
}

void AppendHexByte(std::string* out, unsigned char b) {
  static const char kDigits[] = "0123456789abcdef";
  out->push_back(kDigits[b >> 4]);
  out->push_back(kDigits[b & 0xF]);
}

bool IsTerminatedString(std::string_view data) {
  size_t n = data.size();
  return n >= 2 && n % 2 == 0 && data[n - 1] == '\0' && data[n - 2] == '\0';
}

// The UTF-16 units of data as they are: a string with an unpaired surrogate
// is still written whole (\xd800), never cut where the surrogate stands.
std::wstring UnitsOf(std::string_view data) {
  std::wstring units(data.size() / 2, L'\0');
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<wchar_t>(static_cast<unsigned char>(data[2 * i]) |
                                    (static_cast<unsigned char>(data[2 * i + 1]) << 8));
  return units;
}

}  // namespace

bool ParseHexNumber(std::string_view s, uint64_t* out, size_t max_digits) {
  if (s.empty() || s.size() > max_digits) return false;
  uint64_t v = 0;
  for (char c : s) {
    unsigned d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    v = v * 16 + d;
  }
  *out = v;
  return true;
}

bool ParseValueData(std::string_view s, DWORD* type, std::string* data, const char** why) {
  if (!s.empty() && s[0] == '"') {
    *type = REG_SZ;
    return ParseQuoted(s, data, why);
  }
  if (s.substr(0, 4) == "str:") {
    *type = REG_SZ;
    return ParseQuoted(s.substr(4), data, why);
  }
  if (s.substr(0, 4) == "str(") {
    size_t close = s.find("):");
    uint64_t t;
    if (close == std::string_view::npos || !ParseHexNumber(s.substr(4, close - 4), &t, 8)) {
      *why = "malformed str() type";
      return false;
    }
    *type = static_cast<DWORD>(t);
    return ParseQuoted(s.substr(close + 2), data, why);
  }
  if (s.substr(0, 6) == "dword:") {
    std::string_view digits = s.substr(6);
    while (!digits.empty() && IsBlank(digits.back())) digits.remove_suffix(1);
    uint64_t v;
    if (!ParseHexNumber(digits, &v, 8)) {
      *why = "malformed dword data";
      return false;
    }
    *type = REG_DWORD;
    if (data) {
      data->assign(4, '\0');
      for (int k = 0; k < 4; ++k) (*data)[k] = static_cast<char>((v >> (8 * k)) & 0xFF);
    }
    return true;
  }
  DWORD t = REG_BINARY;
  std::string_view bytes;
  if (s.substr(0, 4) == "hex:") {
    bytes = s.substr(4);
  } else if (s.substr(0, 4) == "hex(") {
    size_t close = s.find("):");
    uint64_t n;
    if (close == std::string_view::npos || !ParseHexNumber(s.substr(4, close - 4), &n, 8)) {
      *why = "malformed hex() type";
      return false;
    }
    t = static_cast<DWORD>(n);
    bytes = s.substr(close + 2);
  } else {
    *why = "unknown data format";
    return false;
  }
  if (data) data->clear();
  if (!ParseHexBytes(bytes, data)) {
    *why = "malformed hex data";
    return false;
  }
  *type = t;
  return true;
}

void AppendValueLine(std::string* out, std::wstring_view name, DWORD type, std::string_view data) {
  size_t count;
  if (!name.empty()) {
    out->push_back('"');
    count = 1 + AppendEscaped(out, name, "\"\"");
    out->append("\"=");
    count += 2;
  } else {
    out->append("@=");
    count = 2;
  }
  if ((type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) && IsTerminatedString(data)) {
    if (type != REG_SZ) {
      out->append("str(");
      AppendHexNumber(out, type, 1);
      out->append("):");
    }
    out->push_back('"');
    AppendEscaped(out, UnitsOf(data), "\"\"", true);
    out->append("\"\n");
    return;
  }
  if (type == REG_DWORD && data.size() == 4) {
    uint32_t d = 0;
    for (int k = 3; k >= 0; --k) d = (d << 8) | static_cast<unsigned char>(data[k]);
    out->append("dword:");
    AppendHexNumber(out, d, 8);
    out->push_back('\n');
    return;
  }
  if (type == REG_BINARY) {
    out->append("hex:");
    count += 4;
  } else {
    size_t before = out->size();
    out->append("hex(");
    AppendHexNumber(out, type, 1);
    out->append("):");
    count += out->size() - before;
  }
  for (size_t i = 0; i < data.size(); ++i) {
    AppendHexByte(out, static_cast<unsigned char>(data[i]));
    count += 2;
    if (i + 1 < data.size()) {
      out->push_back(',');
      if (++count > 76) {
        out->append("\\\n  ");
        count = 2;
      }
    }
  }
  out->push_back('\n');
}

}  // namespace orvane::wine
