// A plain reader of Wine's registry files, kept to check the hive's indexed
// reader against: it reads every line in order into a tree of keys, one
// object per key and value, the simplest way the format can be read. Tests
// and fuzzing only; the program reads through hive.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32_types.h"
#include "platform/wine/hive.h"

namespace orvane::wine {

struct ReferenceValue {
  std::wstring name;  // "" is the default value
  DWORD type = 0;
  std::string data;
};

struct ReferenceKey {
  ReferenceKey() = default;
  // Frees the subtree without recursion.
  ~ReferenceKey();
  ReferenceKey(const ReferenceKey&) = delete;
  ReferenceKey& operator=(const ReferenceKey&) = delete;

  std::wstring name;
  ReferenceKey* parent = nullptr;
  // Both kept sorted by case-folded name, which is also Wine's order.
  std::vector<std::unique_ptr<ReferenceKey>> subkeys;
  std::vector<ReferenceValue> values;
  uint64_t modified = 0;  // FILETIME
  bool is_link = false;
  bool has_link_subkeys = false;
  bool has_class = false;
  std::wstring class_name;
  // Comment and unknown option lines of the key's sections, verbatim.
  std::vector<std::string> lines;

  ReferenceKey* FindSubkey(std::wstring_view name) const;
  ReferenceKey* AddSubkey(std::wstring_view name);
  const ReferenceValue* FindValue(std::wstring_view name) const;
  void SetValue(std::wstring_view name, DWORD type, std::string data);
};

class ReferenceHive {
 public:
  // Never fails: what cannot be read is listed in problems() and skipped; a
  // bad first line leaves the hive empty.
  static ReferenceHive Parse(std::string_view text);
  // The file as Wine would write it.
  std::string Serialize() const;

  const ReferenceKey& root() const { return *root_; }
  ReferenceKey& root() { return *root_; }
  const std::vector<HiveProblem>& problems() const { return problems_; }
  bool readable() const { return readable_; }
  const std::wstring& relative_to() const { return relative_to_; }

 private:
  std::unique_ptr<ReferenceKey> root_ = std::make_unique<ReferenceKey>();
  std::vector<std::string> preamble_;  // lines between the first and the first key
  std::vector<HiveProblem> problems_;
  std::wstring relative_to_;
  bool readable_ = true;
};

// "" when hive holds the same tree as reference (names, values with their
// types and data, times, classes, links, kept lines, problems); otherwise
// the first difference, in words.
std::string DifferenceFromReference(const Hive& hive, const ReferenceHive& reference);

}  // namespace orvane::wine
