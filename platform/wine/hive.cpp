#include "platform/wine/hive.h"

#include <algorithm>
#include <chrono>

#include "platform/text.h"
#include "platform/wine/hive_escape.h"

namespace orvane::wine {
namespace {

constexpr std::string_view kMagic = "WINE REGISTRY Version 2";
constexpr std::string_view kRelativeTo = ";; All keys relative to ";

template <typename T>
auto LowerBoundByName(T& items, std::wstring_view name) {
  return std::lower_bound(items.begin(), items.end(), name, [](const auto& item, std::wstring_view n) {
    if constexpr (std::is_same_v<std::decay_t<decltype(item)>, HiveValue>)
      return CompareNoCase(item.name, n) < 0;
    else
      return CompareNoCase(item->name, n) < 0;
  });
}

}  // namespace

// Splits the file into lines, joining the backslash continuations of hex
// data. Each logical line keeps the number of its first physical line. Reads
// either a whole text or, to keep large hives out of memory, chunks from a
// source; a line stays valid until the next call.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text), eof_(true) {}
  explicit LineReader(const Hive::Source& source) : source_(&source) {}

  bool Next(std::string_view* line, size_t* number) {
    if (!Fill()) return false;
    *number = ++line_;
    std::string_view raw = Physical();
    if (!raw.empty() && raw.back() == '\\' && IsValueLine(raw)) {
      joined_.assign(raw.substr(0, raw.size() - 1));
      while (Fill()) {
        ++line_;
        std::string_view more = Physical();
        size_t skip = more.find_first_not_of(" \t");
        more = skip == std::string_view::npos ? std::string_view() : more.substr(skip);
        if (!more.empty() && more.back() == '\\') {
          joined_.append(more.substr(0, more.size() - 1));
        } else {
          joined_.append(more);
          break;
        }
      }
      *line = joined_;
      return true;
    }
    *line = raw;
    return true;
  }

  size_t lines() const { return line_; }
  bool ended_with_newline() const { return last_char_ == '\n' || last_char_ == 0; }

 private:
  static bool IsValueLine(std::string_view l) { return !l.empty() && (l[0] == '"' || l[0] == '@'); }

  // True when something is left; in chunk mode makes sure a whole line is.
  bool Fill() {
    while (!eof_ && text_.find('\n', pos_) == std::string_view::npos) {
      buffer_.erase(0, pos_);
      pos_ = 0;
      size_t used = buffer_.size();
      buffer_.resize(used + kChunk);
      size_t n = (*source_)(buffer_.data() + used, kChunk);
      buffer_.resize(used + n);
      if (n == 0) eof_ = true;
      text_ = buffer_;
    }
    return pos_ < text_.size();
  }

  std::string_view Physical() {
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    std::string_view l = text_.substr(pos_, end - pos_);
    last_char_ = end < text_.size() ? '\n' : (l.empty() ? last_char_ : l.back());
    pos_ = end + 1;
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    return l;
  }

  static constexpr size_t kChunk = 1 << 20;
  const Hive::Source* source_ = nullptr;
  std::string buffer_;
  std::string_view text_;
  bool eof_ = false;
  size_t pos_ = 0;
  size_t line_ = 0;
  char last_char_ = 0;
  std::string joined_;
};

namespace {

bool ParseHexNumber(std::string_view s, uint64_t* out, size_t max_digits) {
  if (s.empty() || s.size() > max_digits) return false;
  uint64_t v = 0;
  for (char c : s) {
    unsigned d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * 16 + d;
  }
  *out = v;
  return true;
}

bool ParseHexBytes(std::string_view s, std::string* out) {
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i >= s.size()) break;
    size_t start = i;
    while (i < s.size() && s[i] != ',') ++i;
    std::string_view piece = s.substr(start, i - start);
    while (!piece.empty() && (piece.back() == ' ' || piece.back() == '\t')) piece.remove_suffix(1);
    uint64_t byte;
    if (!ParseHexNumber(piece, &byte, 2)) return false;
    out->push_back(static_cast<char>(byte));
    if (i < s.size()) ++i;  // the comma
  }
  return true;
}

bool OnlyBlanks(std::string_view s) { return s.find_first_not_of(" \t") == std::string_view::npos; }

std::string Utf16Bytes(const std::wstring& units, bool terminate) {
  std::string bytes = WideToUtf16le(units);
  if (terminate) bytes.append(2, '\0');
  return bytes;
}

// Reads the data part of a value line ("..." / str(N):"..." / dword: / hex).
bool ParseData(std::string_view s, DWORD* type, std::string* data, std::string* why) {
  auto quoted = [&](std::string_view rest, DWORD t) {
    if (rest.empty() || rest[0] != '"') {
      *why = "string data without its opening quote";
      return false;
    }
    size_t pos = 1;
    std::wstring units;
    if (!ReadEscaped(rest, &pos, '"', &units)) {
      *why = "string data without its closing quote";
      return false;
    }
    if (!OnlyBlanks(rest.substr(pos))) {
      *why = "text after the string data";
      return false;
    }
    *type = t;
    *data = Utf16Bytes(units, true);
    return true;
  };
  if (!s.empty() && s[0] == '"') return quoted(s, REG_SZ);
  if (s.substr(0, 4) == "str:") return quoted(s.substr(4), REG_SZ);
  if (s.substr(0, 4) == "str(") {
    size_t close = s.find("):");
    uint64_t t;
    if (close == std::string_view::npos || !ParseHexNumber(s.substr(4, close - 4), &t, 8)) {
      *why = "malformed str() type";
      return false;
    }
    return quoted(s.substr(close + 2), static_cast<DWORD>(t));
  }
  if (s.substr(0, 6) == "dword:") {
    std::string_view digits = s.substr(6);
    while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\t')) digits.remove_suffix(1);
    uint64_t v;
    if (!ParseHexNumber(digits, &v, 8)) {
      *why = "malformed dword data";
      return false;
    }
    *type = REG_DWORD;
    data->assign(4, '\0');
    for (int k = 0; k < 4; ++k) (*data)[k] = static_cast<char>((v >> (8 * k)) & 0xFF);
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
  std::string out;
  if (!ParseHexBytes(bytes, &out)) {
    *why = "malformed hex data";
    return false;
  }
  *type = t;
  *data = std::move(out);
  return true;
}

void AppendHexByte(std::string* out, unsigned char b) {
  static const char kDigits[] = "0123456789abcdef";
  out->push_back(kDigits[b >> 4]);
  out->push_back(kDigits[b & 0xF]);
}

bool IsTerminatedString(const HiveValue& v) {
  size_t n = v.data.size();
  return n >= 2 && n % 2 == 0 && v.data[n - 1] == '\0' && v.data[n - 2] == '\0';
}

void AppendValue(std::string* out, const HiveValue& v) {
  size_t count;
  if (!v.name.empty()) {
    out->push_back('"');
    count = 1 + AppendEscaped(out, v.name, "\"\"");
    out->append("\"=");
    count += 2;
  } else {
    out->append("@=");
    count = 2;
  }
  if ((v.type == REG_SZ || v.type == REG_EXPAND_SZ || v.type == REG_MULTI_SZ) && IsTerminatedString(v)) {
    if (v.type != REG_SZ) {
      out->append("str(");
      AppendHexNumber(out, v.type, 1);
      out->append("):");
    }
    out->push_back('"');
    AppendEscaped(out, Utf16leToWide(v.data), "\"\"", true);
    out->append("\"\n");
    return;
  }
  if (v.type == REG_DWORD && v.data.size() == 4) {
    uint32_t d = 0;
    for (int k = 3; k >= 0; --k) d = (d << 8) | static_cast<unsigned char>(v.data[k]);
    out->append("dword:");
    AppendHexNumber(out, d, 8);
    out->push_back('\n');
    return;
  }
  if (v.type == REG_BINARY) {
    out->append("hex:");
    count += 4;
  } else {
    size_t before = out->size();
    out->append("hex(");
    AppendHexNumber(out, v.type, 1);
    out->append("):");
    count += out->size() - before;
  }
  for (size_t i = 0; i < v.data.size(); ++i) {
    AppendHexByte(out, static_cast<unsigned char>(v.data[i]));
    count += 2;
    if (i + 1 < v.data.size()) {
      out->push_back(',');
      if (++count > 76) {
        out->append("\\\n  ");
        count = 2;
      }
    }
  }
  out->push_back('\n');
}

void AppendPath(std::string* out, const HiveKey& key, const HiveKey& base) {
  if (&key == &base) return;
  if (key.parent && key.parent != &base) {
    AppendPath(out, *key.parent, base);
    out->append("\\\\");
  }
  AppendEscaped(out, key.name, "[]");
}

void AppendKey(std::string* out, const HiveKey& key, const HiveKey& base) {
  // Keys that hold only subkeys are implied by them, as Wine writes it.
  if (!key.values.empty() || key.subkeys.empty() || key.extras || key.is_link) {
    out->append("\n[");
    AppendPath(out, key, base);
    out->append("] ");
    uint64_t seconds = key.modified > kTicks1601To1970 ? (key.modified - kTicks1601To1970) / 10000000 : 0;
    out->append(std::to_string(static_cast<uint32_t>(seconds)));
    out->append("\n#time=");
    AppendHexNumber(out, key.modified >> 32, 1);
    AppendHexNumber(out, key.modified & 0xFFFFFFFFu, 8);
    out->push_back('\n');
    if (key.extras && key.extras->has_class) {
      out->append("#class=\"");
      AppendEscaped(out, key.extras->class_name, "\"\"");
      out->append("\"\n");
    }
    if (key.is_link) out->append("#link\n");
    for (const auto& line : key.extras ? key.extras->lines : std::vector<std::string>()) {
      out->append(line);
      out->push_back('\n');
    }
    for (const auto& v : key.values) AppendValue(out, v);
  }
  for (const auto& sub : key.subkeys) AppendKey(out, *sub, base);
}

// Splits a decoded key path on backslashes into parts (reused storage).
void Components(std::wstring_view path, std::vector<std::wstring_view>* parts) {
  parts->clear();
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring_view::npos) end = path.size();
    if (end > start) parts->push_back(path.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace

uint64_t FileTimeNow() {
  auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count() / 100;
  return kTicks1601To1970 + static_cast<uint64_t>(ticks);
}

HiveKey::~HiveKey() {
  // Children are detached onto a list of our own and freed there, each
  // handing its own children on before it goes: the stack never grows with
  // the tree's depth.
  std::vector<std::unique_ptr<HiveKey>> pending = std::move(subkeys);
  while (!pending.empty()) {
    std::unique_ptr<HiveKey> key = std::move(pending.back());
    pending.pop_back();
    for (auto& child : key->subkeys) pending.push_back(std::move(child));
    key->subkeys.clear();
  }
}

size_t KeyDepth(const HiveKey& key) {
  size_t depth = 0;
  for (const HiveKey* k = key.parent; k; k = k->parent) ++depth;
  return depth;
}

HiveKey* HiveKey::FindSubkey(std::wstring_view n) const {
  auto& items = const_cast<std::vector<std::unique_ptr<HiveKey>>&>(subkeys);
  auto it = LowerBoundByName(items, n);
  if (it != items.end() && CompareNoCase((*it)->name, n) == 0) return it->get();
  return nullptr;
}

HiveKey* HiveKey::AddSubkey(std::wstring_view n, bool* created) {
  if (created) *created = false;
  // Files are mostly sorted: the new key usually goes last.
  if (!subkeys.empty()) {
    int c = CompareNoCase(subkeys.back()->name, n);
    if (c == 0) return subkeys.back().get();
    if (c > 0) {
      auto it = LowerBoundByName(subkeys, n);
      if (CompareNoCase((*it)->name, n) == 0) return it->get();
      auto key = std::make_unique<HiveKey>();
      key->name.assign(n.begin(), n.end());
      key->parent = this;
      if (created) *created = true;
      return subkeys.insert(it, std::move(key))->get();
    }
  }
  auto key = std::make_unique<HiveKey>();
  key->name.assign(n.begin(), n.end());
  key->parent = this;
  if (created) *created = true;
  subkeys.push_back(std::move(key));
  return subkeys.back().get();
}

std::unique_ptr<HiveKey> HiveKey::RemoveSubkey(std::wstring_view n) {
  auto it = LowerBoundByName(subkeys, n);
  if (it == subkeys.end() || CompareNoCase((*it)->name, n) != 0) return nullptr;
  std::unique_ptr<HiveKey> key = std::move(*it);
  subkeys.erase(it);
  key->parent = nullptr;
  return key;
}

const HiveValue* HiveKey::FindValue(std::wstring_view n) const {
  auto& items = const_cast<std::vector<HiveValue>&>(values);
  auto it = LowerBoundByName(items, n);
  if (it != items.end() && CompareNoCase(it->name, n) == 0) return &*it;
  return nullptr;
}

void HiveKey::SetValue(std::wstring_view n, DWORD type, std::string data) {
  if (values.empty() || CompareNoCase(values.back().name, n) < 0) {
    values.push_back(HiveValue{HiveName(n.begin(), n.end()), type, std::move(data)});
    return;
  }
  auto it = LowerBoundByName(values, n);
  if (it != values.end() && CompareNoCase(it->name, n) == 0) {
    it->type = type;
    it->data = std::move(data);
    return;
  }
  values.insert(it, HiveValue{HiveName(n.begin(), n.end()), type, std::move(data)});
}

bool HiveKey::DeleteValue(std::wstring_view n) {
  auto it = LowerBoundByName(values, n);
  if (it == values.end() || CompareNoCase(it->name, n) != 0) return false;
  values.erase(it);
  return true;
}

Hive::Hive() : root_(std::make_unique<HiveKey>()) {}

Hive Hive::Empty(const std::string& root_path, const std::string& arch) {
  Hive h;
  h.preamble_.push_back(std::string(kRelativeTo) + root_path);
  h.preamble_.push_back("");
  h.preamble_.push_back("#arch=" + arch);
  size_t pos = 0;
  ReadEscaped(root_path + '\n', &pos, '\n', &h.relative_to_);
  return h;
}

Hive Hive::Parse(std::string_view text) {
  LineReader reader(text);
  return ParseLines(reader);
}

Hive Hive::Parse(const Source& source) {
  LineReader reader(source);
  return ParseLines(reader);
}

Hive Hive::ParseLines(LineReader& reader) {
  Hive h;
  std::string_view line;
  size_t number = 0;
  auto problem = [&](std::string what) { h.problems_.push_back({number, std::move(what)}); };

  if (!reader.Next(&line, &number) || line != kMagic) {
    number = 1;
    problem("the first line is not \"WINE REGISTRY Version 2\"");
    h.readable_ = false;
    return h;
  }
  HiveKey* current = nullptr;
  bool in_preamble = true;
  // The path of the previous key, to skip lookups for sorted input.
  std::vector<HiveKey*> last_path;
  std::vector<std::wstring_view> parts;
  std::wstring path;

  while (reader.Next(&line, &number)) {
    if (!line.empty() && line[0] == '[') {
      in_preamble = false;
      size_t pos = 1;
      path.clear();
      if (!ReadEscaped(line, &pos, ']', &path)) {
        problem("key name without its closing bracket");
        current = nullptr;
        continue;
      }
      std::string_view rest = line.substr(pos);
      size_t digits = rest.find_first_not_of(" \t");
      uint64_t seconds = 0;
      if (digits != std::string_view::npos) {
        rest = rest.substr(digits);
        for (char c : rest) {
          if (c < '0' || c > '9') {
            seconds = UINT64_MAX;
            break;
          }
          seconds = seconds * 10 + (c - '0');
          if (seconds > 0xFFFFFFFFull) {
            seconds = UINT64_MAX;
            break;
          }
        }
        if (seconds == UINT64_MAX) {
          problem("malformed time after the key name");
          current = nullptr;
          continue;
        }
      }
      Components(path, &parts);
      if (parts.size() > kMaxKeyDepth) {
        problem("key nested deeper than " + std::to_string(kMaxKeyDepth) + " levels");
        current = nullptr;
        continue;
      }
      HiveKey* key = h.root_.get();
      size_t depth = 0;
      while (depth < parts.size() && depth < last_path.size() &&
             EqualsNoCase(last_path[depth]->name, parts[depth])) {
        key = last_path[depth];
        ++depth;
      }
      last_path.resize(depth);
      for (; depth < parts.size(); ++depth) {
        key = key->AddSubkey(parts[depth]);
        last_path.push_back(key);
      }
      key->modified = seconds * 10000000 + kTicks1601To1970;
      current = key;
      continue;
    }
    if (in_preamble) {
      if (line.substr(0, 6) == "#arch=" && line != "#arch=win32" && line != "#arch=win64")
        problem("unknown architecture \"" + std::string(line.substr(6)) + "\"");
      if (line.substr(0, kRelativeTo.size()) == kRelativeTo) {
        size_t pos = kRelativeTo.size();
        std::string tail(line.substr(pos));
        tail.push_back('\n');
        size_t p = 0;
        h.relative_to_.clear();
        ReadEscaped(tail, &p, '\n', &h.relative_to_);
      }
      h.preamble_.emplace_back(line);
      continue;
    }
    if (line.empty()) continue;
    if (line[0] == '"' || line[0] == '@') {
      if (!current) continue;  // belongs to a key we could not read
      std::wstring name;
      size_t pos;
      if (line[0] == '@') {
        pos = 1;
      } else {
        pos = 1;
        if (!ReadEscaped(line, &pos, '"', &name)) {
          problem("value name without its closing quote");
          continue;
        }
      }
      if (pos >= line.size() || line[pos] != '=') {
        problem("value without \"=\"");
        continue;
      }
      DWORD type;
      std::string data, why;
      if (!ParseData(line.substr(pos + 1), &type, &data, &why)) {
        problem(why);
        continue;
      }
      current->SetValue(std::wstring_view(name), type, std::move(data));
      continue;
    }
    if (line[0] == '#') {
      if (!current) continue;
      if (line.substr(0, 6) == "#time=") {
        uint64_t t;
        if (ParseHexNumber(line.substr(6), &t, 16))
          current->modified = t;
        else
          problem("malformed #time");
      } else if (line.substr(0, 7) == "#class=") {
        size_t pos = 8;
        std::wstring cls;
        if (line.size() < 8 || line[7] != '"' || !ReadEscaped(line, &pos, '"', &cls)) {
          problem("malformed #class");
        } else {
          current->MutableExtras().has_class = true;
          current->MutableExtras().class_name = std::move(cls);
        }
      } else if (line == "#link") {
        current->is_link = true;
        if (current->parent) current->parent->has_link_subkeys = true;
      } else {
        current->MutableExtras().lines.emplace_back(line);
      }
      continue;
    }
    if (line[0] == ';') {
      if (current) current->MutableExtras().lines.emplace_back(line);
      continue;
    }
    problem("unrecognised line");
  }
  if (!reader.ended_with_newline()) {
    // Wine always ends its files with a newline: a missing one means the
    // file was cut off, even when the last line happens to parse.
    number = reader.lines();
    problem("the file ends in the middle of a line (truncated?)");
  }
  return h;
}

std::string Hive::Serialize() const {
  std::string out;
  out.reserve(1 << 16);
  out.append(kMagic);
  out.push_back('\n');
  for (const auto& line : preamble_) {
    out.append(line);
    out.push_back('\n');
  }
  // Wine leaves the blank line after the preamble to the first key's "\n[".
  while (out.size() >= 2 && out[out.size() - 1] == '\n' && out[out.size() - 2] == '\n') out.pop_back();
  AppendKey(&out, *root_, *root_);
  return out;
}

}  // namespace orvane::wine
