// Reading a file: one pass over its lines that checks every one of them,
// finds the keys' header lines and builds the tree of keys, without parsing
// any key's values.
#include <algorithm>
#include <unordered_map>

#include "platform/wine/hive_data.h"
#include "platform/wine/hive_escape.h"
#include "platform/wine/hive_lines.h"
#include "platform/wine/hive_state.h"

namespace orvane::wine {
namespace {

// A component of a header's path: its units, and where they stand in the
// text when they are the file's own bytes (kNoSection otherwise).
struct Part {
  HiveText units;
  uint32_t offset;
};

class Indexer {
 public:
  explicit Indexer(Hive::State& s) : s_(s), text_(s.text) {}

  void Run() {
    HiveLines lines(text_);
    std::string_view line;
    if (!lines.Next(&line) || line != kHiveMagic) {
      Problem(1, "the first line is not \"WINE REGISTRY Version 2\"");
      s_.readable = false;
      return;
    }
    s_.preamble_begin = lines.end();
    s_.preamble_end = text_.size();
    bool in_preamble = true;
    KeyId current = kNoKey;
    while (lines.Next(&line)) {
      if (line.empty()) continue;
      const char c = line[0];
      if (c == '[') {
        if (in_preamble) s_.preamble_end = lines.start();
        in_preamble = false;
        current = Header(line, lines.start(), lines.number());
        continue;
      }
      if (in_preamble) {
        Preamble(line, lines.number());
        continue;
      }
      if (c == '"' || c == '@') {
        if (current != kNoKey) CheckValue(line, lines.number());
      } else if (c == '#') {
        if (current != kNoKey) Option(line, current, lines.number());
      } else if (c != ';') {
        Problem(lines.number(), "unrecognised line");
      }
    }
    if (!lines.ended_with_newline()) {
      // Wine always ends its files with a newline: a missing one means the
      // file was cut off, even when the last line happens to parse.
      Problem(lines.lines(), "the file ends in the middle of a line (truncated?)");
    }
    BuildSubkeyLists();
  }

 private:
  void Problem(size_t line, std::string what) { s_.problems.push_back({line, std::move(what)}); }

  void Preamble(std::string_view line, size_t number) {
    if (line.substr(0, 6) == "#arch=" && line != "#arch=win32" && line != "#arch=win64")
      Problem(number, "unknown architecture \"" + std::string(line.substr(6)) + "\"");
    if (line.substr(0, kRelativeTo.size()) == kRelativeTo) {
      std::string tail(line.substr(kRelativeTo.size()));
      tail.push_back('\n');
      size_t p = 0;
      s_.relative_to.clear();
      ReadEscaped(tail, &p, '\n', &s_.relative_to);
    }
  }

  void CheckValue(std::string_view line, size_t number) {
    size_t pos = 1;
    if (line[0] == '"') {
      pos = SkipEscaped(line, 1, '"');
      if (pos == std::string_view::npos) return Problem(number, "value name without its closing quote");
    }
    if (pos >= line.size() || line[pos] != '=') return Problem(number, "value without \"=\"");
    DWORD type;
    const char* why;
    if (!ParseValueData(line.substr(pos + 1), &type, nullptr, &why)) Problem(number, why);
  }

  void Option(std::string_view line, KeyId current, size_t number) {
    if (line.substr(0, 6) == "#time=") {
      uint64_t t;
      if (!ParseHexNumber(line.substr(6), &t, 16)) Problem(number, "malformed #time");
    } else if (line.substr(0, 7) == "#class=") {
      if (line.size() < 8 || line[7] != '"' || SkipEscaped(line, 8, '"') == std::string_view::npos)
        Problem(number, "malformed #class");
    } else if (line == "#link") {
      KeyRecord& key = s_.keys[current];
      key.flags |= kLink;
      if (key.parent != kNoKey) s_.keys[key.parent].flags |= kHasLinkSubkeys;
    }
  }

  // Reads a header line "[path] seconds" into the key it names, making the
  // keys on its path; kNoKey (the lines that follow belong to nothing) when
  // it is malformed.
  KeyId Header(std::string_view line, size_t start, size_t number) {
    // Most paths are plain ASCII whose only escapes are the separators: their
    // names are the file's own bytes. Anything else is decoded.
    size_t close = std::string_view::npos;
    bool plain = true;
    for (size_t i = 1; i < line.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(line[i]);
      if (c == ']') {
        close = i;
        break;
      }
      if (c >= 0x80 || (c == '\\' && (i + 1 >= line.size() || line[++i] != '\\'))) {
        plain = false;
        break;
      }
    }
    size_t pos;
    if (plain) {
      if (close == std::string_view::npos) {
        Problem(number, "key name without its closing bracket");
        return kNoKey;
      }
      pos = close + 1;
    } else {
      wide_path_.clear();
      pos = 1;
      if (!ReadEscaped(line, &pos, ']', &wide_path_)) {
        Problem(number, "key name without its closing bracket");
        return kNoKey;
      }
    }
    std::string_view rest = line.substr(pos);
    size_t digits = rest.find_first_not_of(" \t");
    if (digits != std::string_view::npos) {
      uint64_t seconds = 0;
      for (char c : rest.substr(digits)) {
        if (c < '0' || c > '9' || (seconds = seconds * 10 + static_cast<uint64_t>(c - '0')) > 0xFFFFFFFFull) {
          Problem(number, "malformed time after the key name");
          return kNoKey;
        }
      }
    }
    parts_.clear();
    if (plain) {
      size_t begin = 1;
      for (size_t i = 1; i <= close; ++i) {
        if (i < close && line[i] != '\\') continue;
        if (i > begin)
          parts_.push_back({HiveText(line.data() + begin, i - begin), static_cast<uint32_t>(start + begin)});
        begin = i + 2;
        ++i;
      }
    } else {
      decoded_.assign(wide_path_.begin(), wide_path_.end());
      size_t begin = 0;
      for (size_t i = 0; i <= decoded_.size(); ++i) {
        if (i < decoded_.size() && decoded_[i] != u'\\') continue;
        if (i > begin) parts_.push_back({HiveText(decoded_.data() + begin, i - begin), kNoSection});
        begin = i + 1;
      }
    }
    if (parts_.size() > kMaxKeyDepth) {
      Problem(number, "key nested deeper than " + std::to_string(kMaxKeyDepth) + " levels");
      return kNoKey;
    }
    // Sorted files name the previous key's path again: no lookups for it.
    KeyId key = kRootKey;
    size_t depth = 0;
    while (depth < parts_.size() && depth < last_path_.size() &&
           SameFolded(s_.NameOf(last_path_[depth]), parts_[depth].units)) {
      key = last_path_[depth];
      ++depth;
    }
    last_path_.resize(depth);
    for (; depth < parts_.size(); ++depth) {
      key = Child(key, parts_[depth]);
      last_path_.push_back(key);
    }
    KeyRecord& r = s_.keys[key];
    if (r.section == kNoSection) {
      r.section = static_cast<uint32_t>(start);
    } else {
      r.flags |= kMoreSections;
      s_.more_sections[key].push_back(static_cast<uint32_t>(start));
    }
    return key;
  }

  // The subkey of parent named by part, made when absent. In a sorted file
  // a new subkey always comes after the last one made: only that one is
  // compared. The first subkey out of order switches to a map of every key,
  // so that an unsorted file still finds each key once.
  KeyId Child(KeyId parent, const Part& part) {
    const KeyId last = s_.keys[parent].children;
    int order = last == kNoKey ? 1 : CompareFolded(part.units, s_.NameOf(last));
    if (order == 0) return last;
    if (order < 0) {
      if (!mapped_) MapEveryKey();
      if (KeyId found = Lookup(parent, part.units); found != kNoKey) return found;
      s_.keys[parent].flags |= kUnsorted;
    }
    const KeyId id = static_cast<KeyId>(s_.keys.Add());
    KeyRecord& r = s_.keys[id];
    r.parent = parent;
    r.children = kNoKey;
    if (part.offset != kNoSection) {
      r.name_ref = part.offset;
      r.name_size = static_cast<uint32_t>(part.units.size());
    } else {
      s_.SetOwnedName(r, part.units);
    }
    KeyRecord& p = s_.keys[parent];
    ++p.child_count;
    if (order > 0) p.children = id;
    if (mapped_) map_.emplace(Hash(parent, part.units), id);
    return id;
  }

  static uint64_t Hash(KeyId parent, const HiveText& name) {
    uint64_t h = 1469598103934665603ull ^ parent;
    for (size_t i = 0; i < name.size(); ++i) h = (h ^ static_cast<uint64_t>(FoldCase(name[i]))) * 1099511628211ull;
    return h;
  }

  void MapEveryKey() {
    mapped_ = true;
    map_.reserve(s_.keys.size() * 2);
    for (KeyId id = 1; id < s_.keys.size(); ++id) map_.emplace(Hash(s_.keys[id].parent, s_.NameOf(id)), id);
  }

  KeyId Lookup(KeyId parent, const HiveText& name) const {
    auto [begin, end] = map_.equal_range(Hash(parent, name));
    for (auto it = begin; it != end; ++it)
      if (s_.keys[it->second].parent == parent && SameFolded(s_.NameOf(it->second), name)) return it->second;
    return kNoKey;
  }

  // Lays every key's subkeys out in one table, each key's in a run, in the
  // order they were made (sorted for a sorted file); sorts the runs of keys
  // whose subkeys came out of order.
  void BuildSubkeyLists() {
    const size_t n = s_.keys.size();
    uint32_t next = 0;
    for (KeyId id = 0; id < n; ++id) {
      KeyRecord& r = s_.keys[id];
      r.children = next;
      next += r.child_count;
      r.child_count = 0;
    }
    s_.children.resize(next);
    for (KeyId id = 1; id < n; ++id) {
      KeyRecord& p = s_.keys[s_.keys[id].parent];
      s_.children[p.children + p.child_count++] = id;
    }
    for (KeyId id = 0; id < n; ++id) {
      KeyRecord& r = s_.keys[id];
      if (!(r.flags & kUnsorted)) continue;
      r.flags &= ~kUnsorted;
      KeyId* list = s_.ChildList(r);
      std::sort(list, list + r.child_count,
                [&](KeyId a, KeyId b) { return CompareFolded(s_.NameOf(a), s_.NameOf(b)) < 0; });
    }
  }

  Hive::State& s_;
  std::string_view text_;
  std::vector<KeyId> last_path_;
  std::vector<Part> parts_;
  std::wstring wide_path_;
  std::u16string decoded_;
  bool mapped_ = false;
  std::unordered_multimap<uint64_t, KeyId> map_;
};

}  // namespace

Hive Hive::Parse(HiveBytes bytes) {
  Hive h;
  State& s = *h.s_;
  s.from_text = true;
  if (bytes.size() > kMaxHiveBytes) {
    s.problems.push_back({1, "the file is larger than a hive may be (2 GiB)"});
    s.readable = false;
    return h;
  }
  s.bytes = std::move(bytes);
  s.text = s.bytes.view();
  Indexer(s).Run();
  return h;
}

}  // namespace orvane::wine
