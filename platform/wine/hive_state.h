// How a hive is held in memory; shared by the hive's own files only
// (hive.cpp, hive_index.cpp, hive_body.cpp, hive_save.cpp).
#pragma once

#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "platform/wine/hive.h"
#include "platform/wine/hive_bytes.h"

namespace orvane::wine {

inline constexpr std::string_view kHiveMagic = "WINE REGISTRY Version 2";
inline constexpr std::string_view kRelativeTo = ";; All keys relative to ";

// Elements that never move once added, in segments of doubling size: a
// reader on another thread may use an element while one is appended, and a
// million of them cost a few dozen allocations. Memory past the last element
// is reserved but never touched, so it costs address space only.
template <typename T>
class Segments {
  static_assert(std::is_trivially_destructible_v<T>);

 public:
  Segments() = default;
  ~Segments() {
    for (unsigned k = 0; k < segments_.size(); ++k) FreeBlock(segments_[k], Bytes(k));
  }
  Segments(const Segments&) = delete;
  Segments& operator=(const Segments&) = delete;

  size_t size() const { return size_; }
  T& operator[](size_t i) {
    auto [segment, offset] = Locate(i);
    return segments_[segment][offset];
  }
  const T& operator[](size_t i) const {
    auto [segment, offset] = Locate(i);
    return segments_[segment][offset];
  }
  // Appends a value-initialised element and returns its index.
  size_t Add() {
    auto [segment, offset] = Locate(size_);
    if (!segments_[segment]) {
      segments_[segment] = static_cast<T*>(AllocateBlock(Bytes(segment)));
      if (!segments_[segment]) throw std::bad_alloc();
    }
    new (&segments_[segment][offset]) T();
    return size_++;
  }

 private:
  static constexpr unsigned kFirstBits = 6;
  static size_t Bytes(unsigned segment) { return sizeof(T) << (segment + kFirstBits); }
  // Segment k holds 2^(k + kFirstBits) elements.
  static std::pair<unsigned, size_t> Locate(size_t i) {
    const size_t p = i + (size_t{1} << kFirstBits);
    const unsigned top = static_cast<unsigned>(std::bit_width(p)) - 1;
    return {top - kFirstBits, p - (size_t{1} << top)};
  }

  std::array<T*, 40> segments_{};
  size_t size_ = 0;
};

// Bump allocation in blocks owned by the hive; nothing is freed before the
// hive goes.
class Arena {
 public:
  void* Allocate(size_t bytes, size_t align = alignof(std::max_align_t)) {
    size_t skip = (align - reinterpret_cast<uintptr_t>(next_) % align) % align;
    if (bytes + skip > left_) {
      if (bytes > kBlock / 4) return blocks_.emplace_back(new char[bytes]).get();
      blocks_.emplace_back(new char[kBlock]);
      next_ = blocks_.back().get();
      left_ = kBlock;
      skip = 0;
    }
    char* at = next_ + skip;
    next_ = at + bytes;
    left_ -= bytes + skip;
    return at;
  }
  template <typename T>
  T* Array(size_t n) {
    static_assert(std::is_trivially_destructible_v<T>);
    T* at = static_cast<T*>(Allocate(sizeof(T) * (n ? n : 1), alignof(T)));
    for (size_t i = 0; i < n; ++i) new (&at[i]) T();
    return at;
  }
  const char* Copy(std::string_view bytes) {
    char* at = static_cast<char*>(Allocate(bytes.size() ? bytes.size() : 1, 1));
    std::memcpy(at, bytes.data(), bytes.size());
    return at;
  }

 private:
  static constexpr size_t kBlock = 256 * 1024;
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* next_ = nullptr;
  size_t left_ = 0;
};

inline constexpr uint32_t kNoSection = 0xFFFFFFFFu;
// KeyRecord::name_ref: set, an index into State::owned_names; clear, an
// offset into the text. KeyRecord::name_size: set, UTF-16 units.
inline constexpr uint32_t kOwnedName = 0x80000000u;
inline constexpr uint32_t kWideName = 0x80000000u;

enum KeyFlag : uint32_t {
  kLink = 1,
  kHasLinkSubkeys = 2,
  kTouched = 4,  // written anew, not copied from the file
  kRemoved = 8,
  kMoreSections = 16,  // its lines are in several sections (State::more_sections)
  kUnsorted = 32,      // while indexing: subkeys met out of order
  kOwnList = 64,       // its subkey list has a capacity (in the slot before it)
};

// One key: 32 bytes, whatever it holds, until its lines are parsed.
struct KeyRecord {
  uint32_t name_ref = 0;
  uint32_t name_size = 0;
  KeyId parent = kNoKey;
  uint32_t section = kNoSection;  // offset of its first header line in the text
  // Index of its first subkey in State::children. While indexing: the
  // subkey made last.
  uint32_t children = 0;
  uint32_t child_count = 0;
  // 1 + the index of its parsed lines in State::bodies; 0 until parsed.
  mutable std::atomic<uint32_t> body{0};
  uint32_t flags = 0;
};
static_assert(sizeof(KeyRecord) == 32);

// A key's own lines, parsed.
struct KeyBody {
  uint64_t modified = 0;
  HiveValue* values = nullptr;
  uint32_t value_count = 0;
  uint32_t value_capacity = 0;
  bool has_class = false;
  HiveText class_name;
  const std::string_view* lines = nullptr;
  uint32_t line_count = 0;
};

// <0, 0, >0 comparing case-folded units, as registry names compare.
template <typename A, typename B>
int CompareFolded(const A& a, const B& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const wchar_t x = FoldCase(a[i]), y = FoldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
// The same for two names of the hive; most are 8-bit and mostly equal
// unit for unit, which needs no folding.
inline int CompareFolded(const HiveText& a, const HiveText& b) {
  if (a.wide() || b.wide()) return CompareFolded<HiveText, HiveText>(a, b);
  const auto* x = static_cast<const unsigned char*>(a.data());
  const auto* y = static_cast<const unsigned char*>(b.data());
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    if (x[i] == y[i]) continue;
    const wchar_t fx = FoldCase(x[i]), fy = FoldCase(y[i]);
    if (fx != fy) return fx < fy ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
// And for a name of the hive against one asked for, as every lookup by path
// compares them.
inline int CompareFolded(const HiveText& a, std::wstring_view b) {
  if (a.wide()) return CompareFolded<HiveText, std::wstring_view>(a, b);
  const auto* x = static_cast<const unsigned char*>(a.data());
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    if (static_cast<wchar_t>(x[i]) == b[i]) continue;
    const wchar_t fx = FoldCase(x[i]), fy = FoldCase(b[i]);
    if (fx != fy) return fx < fy ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
template <typename A, typename B>
bool SameFolded(const A& a, const B& b) {
  return a.size() == b.size() && CompareFolded(a, b) == 0;
}

struct Hive::State {
  State();

  HiveText NameOf(KeyId id) const {
    const KeyRecord& r = keys[id];
    const size_t size = r.name_size & ~kWideName;
    const void* at = (r.name_ref & kOwnedName) ? owned_names[r.name_ref & ~kOwnedName] : text.data() + r.name_ref;
    return (r.name_size & kWideName) ? HiveText(static_cast<const char16_t*>(at), size)
                                     : HiveText(static_cast<const char*>(at), size);
  }
  // Copies units into the arena, as 8-bit units when they all fit, and
  // points the key's name at them.
  void SetOwnedName(KeyRecord& r, const HiveText& units);
  // Copies units into the arena the same way.
  HiveText Keep(const HiveText& units) const;
  HiveText Keep(std::wstring_view units) const;

  const KeyId* ChildList(const KeyRecord& r) const { return children.data() + r.children; }
  KeyId* ChildList(KeyRecord& r) { return children.data() + r.children; }
  // The position of name among key's subkeys; *found tells whether it is
  // there.
  size_t LowerBound(const KeyRecord& r, std::wstring_view name, bool* found) const;
  void InsertChild(KeyRecord& r, size_t at, KeyId child);

  // The key's parsed lines, parsing them on first use (thread-safe).
  const KeyBody& Body(KeyId id) const {
    uint32_t b = keys[id].body.load(std::memory_order_acquire);
    if (b == 0) b = ParseBodyLocked(id);
    return bodies[b - 1];
  }
  KeyBody& MutableBody(KeyId id) {
    Body(id);
    return bodies[keys[id].body.load(std::memory_order_relaxed) - 1];
  }
  uint32_t ParseBodyLocked(KeyId id) const;
  // hive_body.cpp: parses every section of the key into a new body and
  // returns 1 + its index. Called under mutex.
  uint32_t ParseBody(KeyId id) const;

  // The file's bytes, which names and lines point into, and a view of them;
  // "" for a hive made in memory.
  HiveBytes bytes;
  std::string_view text;
  bool from_text = false;
  bool changed = false;  // since it was read
  // The lines between the first line and the first key: a range of the
  // text, or for a hive made in memory the text itself.
  size_t preamble_begin = 0, preamble_end = 0;
  std::string own_preamble;
  std::vector<HiveProblem> problems;
  std::wstring relative_to;
  bool readable = true;

  Segments<KeyRecord> keys;
  // Every key's subkey ids, each key's in one run (KeyRecord::children).
  std::vector<KeyId> children;
  std::vector<const void*> owned_names;
  // The later sections of keys whose lines the file gives more than once.
  std::unordered_map<KeyId, std::vector<uint32_t>> more_sections;

  // The subkey each of a few keys was last asked for, by position: a scan
  // lists a key's subkeys and then opens each by path, so the name asked for
  // next is most often at that position or the one after it, and a binary
  // search over a large list (a cache miss or two a step) is not needed.
  // Entry: key << 32 | position; slot key % size. A hint only: checked by
  // name before use, so a stale or torn entry costs a search, nothing more.
  mutable std::array<std::atomic<uint64_t>, 64> recent{};
  void NoteRecent(KeyId key, size_t position) const {
    recent[key % recent.size()].store(uint64_t{key} << 32 | position, std::memory_order_relaxed);
  }

  // Guards what a parse on first use changes: bodies and the arena.
  mutable std::mutex mutex;
  mutable Segments<KeyBody> bodies;
  mutable Arena arena;
  mutable std::vector<HiveValue> scratch_values;
  mutable std::vector<std::string_view> scratch_lines;
  mutable std::string scratch_data;
  mutable std::wstring scratch_units;
};

// The bracket seconds of a header line already checked by the index.
uint64_t HeaderSeconds(std::string_view header);

}  // namespace orvane::wine
