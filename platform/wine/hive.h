// One registry file in Wine's "WINE REGISTRY Version 2" format, held in
// memory so that a file of a hundred megabytes opens about as fast as it can
// be read. Reading a file indexes it: one pass finds every key's header line
// and keeps, per key, where its lines start, its parent and its name (most
// names stay where they are in the file's bytes, which the hive keeps). A
// key's own lines (values, time, class, comments) are parsed the first time
// they are asked for; looking a key up by path touches only the keys on the
// path. Everything the hive makes lives in a few large blocks it owns.
//
// Writing the file back copies every key that was not changed from its
// original lines, and writes changed keys as Wine writes them (sorted, the
// default value first): a hive saved without changes is the file it was
// read from, byte for byte. What we do not interpret (comment lines, unknown
// options, the header comments) is kept.
//
// Keys are named by ids that stay valid for the hive's life; a removed key
// keeps its id, marked removed. Reads may run on several threads at once
// (the parse on first use is locked inside); a change needs the caller's
// exclusive hold on the hive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32_types.h"
#include "platform/wine/hive_bytes.h"

namespace orvane::wine {

// Windows allows keys 512 levels deep. Deeper keys are refused when read
// and when created, so nothing that walks a tree can be driven arbitrarily
// deep by a file.
inline constexpr size_t kMaxKeyDepth = 512;
// The largest hive Windows itself allows; a larger file is refused unread
// rather than held in memory.
inline constexpr size_t kMaxHiveBytes = (size_t{1} << 31) - 1;

using KeyId = uint32_t;
inline constexpr KeyId kRootKey = 0;
inline constexpr KeyId kNoKey = 0xFFFFFFFFu;

// A name or text held by the hive, viewed without a copy: 8-bit units (most
// names, read straight from the file's ASCII) or UTF-16 units. Valid while
// the hive holds it.
class HiveText {
 public:
  HiveText() = default;
  HiveText(const char* units, size_t size) : data_(units), size_(static_cast<uint32_t>(size)), wide_(false) {}
  HiveText(const char16_t* units, size_t size) : data_(units), size_(static_cast<uint32_t>(size)), wide_(true) {}

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  bool wide() const { return wide_; }
  const void* data() const { return data_; }
  wchar_t operator[](size_t i) const {
    return wide_ ? static_cast<wchar_t>(static_cast<const char16_t*>(data_)[i])
                 : static_cast<wchar_t>(static_cast<const unsigned char*>(data_)[i]);
  }
  std::wstring ToWide() const;
  // Exactly the same units (case counts).
  bool operator==(std::wstring_view units) const;

 private:
  const void* data_ = nullptr;
  uint32_t size_ = 0;
  bool wide_ = false;
};

struct HiveValue {
  HiveText name;  // "" is the default value
  DWORD type = 0;
  uint32_t size = 0;
  const char* bytes = nullptr;
  // Raw bytes, as RegQueryValueEx gives them.
  std::string_view data() const { return {bytes, size}; }
};

struct HiveProblem {
  size_t line = 0;  // 1-based
  std::string what;
};

class Hive {
 public:
  // An empty hive without header lines.
  Hive();
  ~Hive();
  Hive(Hive&&) noexcept;
  Hive& operator=(Hive&&) noexcept;

  // Reads a whole file, keeping its bytes. Never fails: every line is
  // checked here, what cannot be read is listed in problems() (with its
  // line) and skipped; a bad first line (or a file over kMaxHiveBytes)
  // leaves the hive empty.
  static Hive Parse(HiveBytes bytes);
  static Hive Parse(std::string text) { return Parse(HiveBytes(std::move(text))); }
  // A new, empty file whose header names root_path (e.g.
  // "REGISTRY\\User\\.Default") and arch ("win64").
  static Hive Empty(const std::string& root_path, const std::string& arch);

  // The file as it is now: the bytes read when nothing changed, otherwise
  // untouched keys copied from them and changed keys as Wine writes them.
  std::string Serialize() const;

  const std::vector<HiveProblem>& problems() const;
  bool complete() const { return problems().empty(); }
  // False when the file was not a registry file at all (wrong first line).
  bool readable() const;
  // The "All keys relative to" path of the header, unescaped, e.g.
  // "REGISTRY\User\S-1-5-21-0-0-0-1000"; "" when absent.
  const std::wstring& relative_to() const;

  // ---- The tree. Subkeys are kept sorted by case-folded name (Wine's
  // order); names compare case-insensitively.
  // kNoKey when key has no such subkey.
  KeyId FindSubkey(KeyId key, std::wstring_view name) const;
  // Finds or creates; a new key is stamped with the time now. *created
  // tells which.
  KeyId AddSubkey(KeyId key, std::wstring_view name, bool* created = nullptr);
  // Removes the subkey when it has no subkeys of its own; false otherwise
  // or when it is absent.
  bool RemoveSubkey(KeyId key, std::wstring_view name);
  size_t SubkeyCount(KeyId key) const;
  // The index-th subkey in order (index < SubkeyCount).
  KeyId Subkey(KeyId key, size_t index) const;
  // kNoKey for the root.
  KeyId Parent(KeyId key) const;
  HiveText Name(KeyId key) const;
  // The number of keys from the root down to key (the root is 0).
  size_t Depth(KeyId key) const;
  // A symbolic-link key (#link); its parent HasLinkSubkeys.
  bool IsLink(KeyId key) const;
  bool HasLinkSubkeys(KeyId key) const;
  bool Removed(KeyId key) const;

  // ---- A key's own lines, parsed the first time any of them is asked for.
  // Values are sorted by case-folded name; a name given twice keeps the
  // later data. Views stay valid until the key's values change.
  size_t ValueCount(KeyId key) const;
  HiveValue Value(KeyId key, size_t index) const;
  // Null when absent.
  const HiveValue* FindValue(KeyId key, std::wstring_view name) const;
  uint64_t Modified(KeyId key) const;  // FILETIME
  bool HasClass(KeyId key) const;
  HiveText ClassName(KeyId key) const;
  // Comment and unknown option lines of the key's sections, verbatim.
  size_t LineCount(KeyId key) const;
  std::string_view Line(KeyId key, size_t index) const;

  // Changes; each marks the key to be written anew.
  void SetValue(KeyId key, std::wstring_view name, DWORD type, std::string_view data);
  bool DeleteValue(KeyId key, std::wstring_view name);
  void SetModified(KeyId key, uint64_t filetime);

  struct State;

 private:
  std::unique_ptr<State> s_;
};

// FILETIME now, and the conversion Wine uses for the bracket seconds.
uint64_t FileTimeNow();
inline constexpr uint64_t kTicks1601To1970 = 116444736000000000ull;

}  // namespace orvane::wine
