// One registry file in Wine's "WINE REGISTRY Version 2" format, held in
// memory: a tree of keys with their values, parsed and written back so that
// Wine reads the result unchanged. What we do not interpret (comment lines,
// unknown options, the header comments) is kept and written back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32_types.h"

namespace orvane::wine {

// Names are kept as UTF-16 rather than wchar_t: a large hive holds millions
// of them, and most fit the string's inline buffer this way.
using HiveName = std::u16string;
inline std::wstring WideName(const HiveName& name) { return std::wstring(name.begin(), name.end()); }

struct HiveValue {
  HiveName name;  // "" is the default value
  DWORD type = 0;
  std::string data;  // raw bytes, as RegQueryValueEx gives them
};

// Windows allows keys 512 levels deep. Deeper keys are refused when read
// and when created, so nothing that walks a tree can be driven arbitrarily
// deep by a file.
inline constexpr size_t kMaxKeyDepth = 512;

struct HiveKey {
  HiveKey() = default;
  // Frees the subtree without recursion.
  ~HiveKey();
  HiveKey(const HiveKey&) = delete;
  HiveKey& operator=(const HiveKey&) = delete;

  HiveName name;
  HiveKey* parent = nullptr;
  // Both kept sorted by case-folded name, which is also Wine's order.
  std::vector<std::unique_ptr<HiveKey>> subkeys;
  std::vector<HiveValue> values;
  uint64_t modified = 0;  // FILETIME
  bool is_link = false;
  bool has_link_subkeys = false;
  // What few keys carry, kept out of line: a million keys each paying for
  // an empty class and line list would cost a tenth of a large hive's memory.
  struct Extras {
    bool has_class = false;
    std::wstring class_name;
    // Comment and unknown option lines found in this key's section, verbatim.
    std::vector<std::string> lines;
  };
  std::unique_ptr<Extras> extras;
  Extras& MutableExtras() {
    if (!extras) extras = std::make_unique<Extras>();
    return *extras;
  }

  // Null when absent. Names compare case-insensitively.
  HiveKey* FindSubkey(std::wstring_view name) const;
  // Finds or creates; *created tells which.
  HiveKey* AddSubkey(std::wstring_view name, bool* created = nullptr);
  // Detaches and returns the subkey, null when absent.
  std::unique_ptr<HiveKey> RemoveSubkey(std::wstring_view name);
  const HiveValue* FindValue(std::wstring_view name) const;
  void SetValue(std::wstring_view name, DWORD type, std::string data);
  bool DeleteValue(std::wstring_view name);
};

// The number of keys from the root down to key (the root is 0).
size_t KeyDepth(const HiveKey& key);

struct HiveProblem {
  size_t line = 0;  // 1-based
  std::string what;
};

class LineReader;

class Hive {
 public:
  Hive();

  // Parses a whole file. Never fails: what cannot be read is listed in
  // problems() and skipped; a bad first line leaves the hive empty.
  static Hive Parse(std::string_view text);
  // The same over a file read in chunks: source fills up to n bytes at buf
  // and returns how many it gave, 0 at the end.
  using Source = std::function<size_t(char* buf, size_t n)>;
  static Hive Parse(const Source& source);
  // A new, empty file whose header names root_path (e.g.
  // "REGISTRY\\User\\.Default") and arch ("win64").
  static Hive Empty(const std::string& root_path, const std::string& arch);

  // The file as Wine would write it.
  std::string Serialize() const;

  HiveKey& root() { return *root_; }
  const HiveKey& root() const { return *root_; }
  const std::vector<HiveProblem>& problems() const { return problems_; }
  bool complete() const { return problems_.empty(); }
  // False when the file was not a registry file at all (wrong first line).
  bool readable() const { return readable_; }
  // The "All keys relative to" path of the header, unescaped, e.g.
  // "REGISTRY\User\S-1-5-21-0-0-0-1000"; "" when absent.
  const std::wstring& relative_to() const { return relative_to_; }

 private:
  static Hive ParseLines(LineReader& reader);

  std::unique_ptr<HiveKey> root_;
  std::vector<std::string> preamble_;  // lines between the first and the first key
  std::vector<HiveProblem> problems_;
  std::wstring relative_to_;
  bool readable_ = true;
};

// FILETIME now, and the conversion Wine uses for the bracket seconds.
uint64_t FileTimeNow();
inline constexpr uint64_t kTicks1601To1970 = 116444736000000000ull;

}  // namespace orvane::wine
