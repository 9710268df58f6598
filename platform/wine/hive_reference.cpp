#include "platform/wine/hive_reference.h"

#include <algorithm>
#include <type_traits>

#include "platform/text.h"
#include "platform/wine/hive_data.h"
#include "platform/wine/hive_escape.h"

namespace orvane::wine {
namespace {

constexpr std::string_view kMagic = "WINE REGISTRY Version 2";
constexpr std::string_view kRelativeTo = ";; All keys relative to ";

template <typename T>
auto LowerBoundByName(T& items, std::wstring_view name) {
  return std::lower_bound(items.begin(), items.end(), name, [](const auto& item, std::wstring_view n) {
    if constexpr (std::is_same_v<std::decay_t<decltype(item)>, ReferenceValue>)
      return CompareNoCase(item.name, n) < 0;
    else
      return CompareNoCase(item->name, n) < 0;
  });
}

// Splits the file into lines, joining the backslash continuations of hex
// data. Each logical line keeps the number of its first physical line; a
// line stays valid until the next call.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  bool Next(std::string_view* line, size_t* number) {
    if (pos_ >= text_.size()) return false;
    *number = ++line_;
    std::string_view raw = Physical();
    if (!raw.empty() && raw.back() == '\\' && IsValueLine(raw)) {
      joined_.assign(raw.substr(0, raw.size() - 1));
      while (pos_ < text_.size()) {
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

  std::string_view Physical() {
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    std::string_view l = text_.substr(pos_, end - pos_);
    last_char_ = end < text_.size() ? '\n' : (l.empty() ? last_char_ : l.back());
    pos_ = end + 1;
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    return l;
  }

  std::string_view text_;
  size_t pos_ = 0;
  size_t line_ = 0;
  char last_char_ = 0;
  std::string joined_;
};

void AppendPath(std::string* out, const ReferenceKey& key, const ReferenceKey& base) {
  if (&key == &base) return;
  if (key.parent && key.parent != &base) {
    AppendPath(out, *key.parent, base);
    out->append("\\\\");
  }
  AppendEscaped(out, key.name, "[]");
}

void AppendKey(std::string* out, const ReferenceKey& key, const ReferenceKey& base) {
  // Keys that hold only subkeys are implied by them, as Wine writes it.
  if (!key.values.empty() || key.subkeys.empty() || key.has_class || !key.lines.empty() || key.is_link) {
    out->append("\n[");
    AppendPath(out, key, base);
    out->append("] ");
    uint64_t seconds = key.modified > kTicks1601To1970 ? (key.modified - kTicks1601To1970) / 10000000 : 0;
    out->append(std::to_string(static_cast<uint32_t>(seconds)));
    out->append("\n#time=");
    AppendHexNumber(out, key.modified >> 32, 1);
    AppendHexNumber(out, key.modified & 0xFFFFFFFFu, 8);
    out->push_back('\n');
    if (key.has_class) {
      out->append("#class=\"");
      AppendEscaped(out, key.class_name, "\"\"");
      out->append("\"\n");
    }
    if (key.is_link) out->append("#link\n");
    for (const auto& line : key.lines) {
      out->append(line);
      out->push_back('\n');
    }
    for (const auto& v : key.values) AppendValueLine(out, v.name, v.type, v.data);
  }
  for (const auto& sub : key.subkeys) AppendKey(out, *sub, base);
}

// Splits a decoded key path on backslashes into parts.
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

ReferenceKey::~ReferenceKey() {
  std::vector<std::unique_ptr<ReferenceKey>> pending = std::move(subkeys);
  while (!pending.empty()) {
    std::unique_ptr<ReferenceKey> key = std::move(pending.back());
    pending.pop_back();
    for (auto& child : key->subkeys) pending.push_back(std::move(child));
    key->subkeys.clear();
  }
}

ReferenceKey* ReferenceKey::FindSubkey(std::wstring_view n) const {
  auto& items = const_cast<std::vector<std::unique_ptr<ReferenceKey>>&>(subkeys);
  auto it = LowerBoundByName(items, n);
  if (it != items.end() && CompareNoCase((*it)->name, n) == 0) return it->get();
  return nullptr;
}

ReferenceKey* ReferenceKey::AddSubkey(std::wstring_view n) {
  auto it = LowerBoundByName(subkeys, n);
  if (it != subkeys.end() && CompareNoCase((*it)->name, n) == 0) return it->get();
  auto key = std::make_unique<ReferenceKey>();
  key->name.assign(n.begin(), n.end());
  key->parent = this;
  return subkeys.insert(it, std::move(key))->get();
}

const ReferenceValue* ReferenceKey::FindValue(std::wstring_view n) const {
  auto& items = const_cast<std::vector<ReferenceValue>&>(values);
  auto it = LowerBoundByName(items, n);
  if (it != items.end() && CompareNoCase(it->name, n) == 0) return &*it;
  return nullptr;
}

void ReferenceKey::SetValue(std::wstring_view n, DWORD type, std::string data) {
  auto it = LowerBoundByName(values, n);
  if (it != values.end() && CompareNoCase(it->name, n) == 0) {
    it->type = type;
    it->data = std::move(data);
    return;
  }
  values.insert(it, ReferenceValue{std::wstring(n), type, std::move(data)});
}

ReferenceHive ReferenceHive::Parse(std::string_view text) {
  ReferenceHive h;
  LineReader reader(text);
  std::string_view line;
  size_t number = 0;
  auto problem = [&](std::string what) { h.problems_.push_back({number, std::move(what)}); };

  if (!reader.Next(&line, &number) || line != kMagic) {
    number = 1;
    problem("the first line is not \"WINE REGISTRY Version 2\"");
    h.readable_ = false;
    return h;
  }
  ReferenceKey* current = nullptr;
  bool in_preamble = true;
  std::vector<std::wstring_view> parts;
  std::wstring path;

  while (reader.Next(&line, &number)) {
    if (!line.empty() && line[0] == '[') {
      in_preamble = false;
      size_t pos = 1;
      path.clear();
      current = nullptr;
      if (!ReadEscaped(line, &pos, ']', &path)) {
        problem("key name without its closing bracket");
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
          continue;
        }
      }
      Components(path, &parts);
      if (parts.size() > kMaxKeyDepth) {
        problem("key nested deeper than " + std::to_string(kMaxKeyDepth) + " levels");
        continue;
      }
      ReferenceKey* key = h.root_.get();
      for (std::wstring_view part : parts) key = key->AddSubkey(part);
      key->modified = seconds * 10000000 + kTicks1601To1970;
      current = key;
      continue;
    }
    if (in_preamble) {
      if (line.substr(0, 6) == "#arch=" && line != "#arch=win32" && line != "#arch=win64")
        problem("unknown architecture \"" + std::string(line.substr(6)) + "\"");
      if (line.substr(0, kRelativeTo.size()) == kRelativeTo) {
        std::string tail(line.substr(kRelativeTo.size()));
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
      size_t pos = 1;
      if (line[0] == '"' && !ReadEscaped(line, &pos, '"', &name)) {
        problem("value name without its closing quote");
        continue;
      }
      if (pos >= line.size() || line[pos] != '=') {
        problem("value without \"=\"");
        continue;
      }
      DWORD type;
      std::string data;
      const char* why;
      if (!ParseValueData(line.substr(pos + 1), &type, &data, &why)) {
        problem(why);
        continue;
      }
      current->SetValue(name, type, std::move(data));
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
          current->has_class = true;
          current->class_name = std::move(cls);
        }
      } else if (line == "#link") {
        current->is_link = true;
        if (current->parent) current->parent->has_link_subkeys = true;
      } else {
        current->lines.emplace_back(line);
      }
      continue;
    }
    if (line[0] == ';') {
      if (current) current->lines.emplace_back(line);
      continue;
    }
    problem("unrecognised line");
  }
  if (!reader.ended_with_newline()) {
    number = reader.lines();
    problem("the file ends in the middle of a line (truncated?)");
  }
  return h;
}

std::string ReferenceHive::Serialize() const {
  std::string out;
  out.append(kMagic);
  out.push_back('\n');
  for (const auto& line : preamble_) {
    out.append(line);
    out.push_back('\n');
  }
  while (out.size() >= 2 && out[out.size() - 1] == '\n' && out[out.size() - 2] == '\n') out.pop_back();
  AppendKey(&out, *root_, *root_);
  return out;
}

namespace {

std::string Printable(std::wstring_view units) { return WideToUtf8(units); }

}  // namespace

std::string DifferenceFromReference(const Hive& hive, const ReferenceHive& reference) {
  if (hive.readable() != reference.readable()) return "readable differs";
  if (hive.relative_to() != reference.relative_to()) return "the header's root path differs";
  const auto& problems = hive.problems();
  const auto& expected = reference.problems();
  for (size_t i = 0; i < std::max(problems.size(), expected.size()); ++i) {
    if (i >= problems.size())
      return "problem missing: line " + std::to_string(expected[i].line) + ": " + expected[i].what;
    if (i >= expected.size())
      return "problem too many: line " + std::to_string(problems[i].line) + ": " + problems[i].what;
    if (problems[i].line != expected[i].line || problems[i].what != expected[i].what)
      return "problem " + std::to_string(i) + " is line " + std::to_string(problems[i].line) + ": " + problems[i].what +
             ", expected line " + std::to_string(expected[i].line) + ": " + expected[i].what;
  }
  struct Pair {
    KeyId key;
    const ReferenceKey* ref;
  };
  std::vector<Pair> pending = {{kRootKey, &reference.root()}};
  while (!pending.empty()) {
    auto [key, ref] = pending.back();
    pending.pop_back();
    const std::string where =
        "key \"" + Printable(hive.Name(key).ToWide()) + "\" (expected \"" + Printable(ref->name) + "\")";
    if (!(hive.Name(key) == ref->name)) return where + ": name differs";
    if (hive.Modified(key) != ref->modified) return where + ": time differs";
    if (hive.IsLink(key) != ref->is_link) return where + ": link differs";
    if (hive.HasLinkSubkeys(key) != ref->has_link_subkeys) return where + ": link subkeys differ";
    if (hive.HasClass(key) != ref->has_class || !(hive.ClassName(key) == ref->class_name))
      return where + ": class differs";
    if (hive.LineCount(key) != ref->lines.size()) return where + ": kept lines differ in number";
    for (size_t i = 0; i < ref->lines.size(); ++i)
      if (hive.Line(key, i) != ref->lines[i]) return where + ": kept line " + std::to_string(i) + " differs";
    if (hive.ValueCount(key) != ref->values.size())
      return where + ": " + std::to_string(hive.ValueCount(key)) + " values, expected " +
             std::to_string(ref->values.size());
    for (size_t i = 0; i < ref->values.size(); ++i) {
      const HiveValue v = hive.Value(key, i);
      const ReferenceValue& e = ref->values[i];
      if (!(v.name == e.name)) return where + ": value " + std::to_string(i) + " is named differently";
      if (v.type != e.type) return where + ": value \"" + Printable(e.name) + "\" has another type";
      if (v.data() != e.data) return where + ": value \"" + Printable(e.name) + "\" has other data";
    }
    if (hive.SubkeyCount(key) != ref->subkeys.size())
      return where + ": " + std::to_string(hive.SubkeyCount(key)) + " subkeys, expected " +
             std::to_string(ref->subkeys.size());
    for (size_t i = 0; i < ref->subkeys.size(); ++i) {
      const KeyId sub = hive.Subkey(key, i);
      if (hive.Parent(sub) != key) return where + ": a subkey names another parent";
      pending.push_back({sub, ref->subkeys[i].get()});
    }
  }
  return "";
}

}  // namespace orvane::wine
