// The lists that hold a scan's results and the repaired-items list, the
// per-section counters, and the file form of a list of records.
//
// Folder clean-up. After junk files are deleted, the folders they leave empty
// should go when the results are dropped. Records are plain values, so the
// clean-up belongs to the list: a CErrorListEx built with a Platform* tries,
// for every element it destroys (RemoveAt, RemoveAll, assignment over it, its
// own destruction), to remove the folder holding the record's file (see
// RemoveFolderOfRecord). A list built without a platform, and records made
// outside any list, clean up nothing. Copies of a list share its platform, so
// each copy's elements make their own attempt; the removal only ever succeeds
// for an empty folder, so repeated attempts are harmless.
//
// None of these types locks; one thread at a time may use a list.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/error_record.h"
#include "engine/sections.h"
#include "platform/platform.h"

namespace orvane {

// Tries to remove the folder that holds record.filePath; the result is
// ignored, and only an empty folder can go. Only records of type File take
// part (the other types name registry paths or paths that were never ours to
// remove), and only an absolute folder ("X:\..." or "\\server\...") is tried:
// a relative one would resolve against whatever the current directory is, and
// a bare "X:" names the drive's current directory.
void RemoveFolderOfRecord(Platform& platform, const CError& record);

// The error list: records by value, in insertion order, indexes from 0.
class CErrorListEx {
 public:
  // A list without a platform does no folder clean-up.
  CErrorListEx() = default;
  // platform (may be null) must outlive the list and its copies.
  explicit CErrorListEx(Platform* platform) : platform_(platform) {}
  CErrorListEx(const CErrorListEx& other) = default;
  // The source is left empty, so its elements are cleaned up only once.
  CErrorListEx(CErrorListEx&& other) noexcept;
  // The elements replaced are cleaned up; the platform is taken from other.
  CErrorListEx& operator=(const CErrorListEx& other);
  CErrorListEx& operator=(CErrorListEx&& other) noexcept;
  ~CErrorListEx();

  // Destroys every element (with clean-up) and leaves the list empty.
  void RemoveAll();
  // Destroys one element (with clean-up); index must be in 0..count-1.
  void RemoveAt(int index);
  // Appends a copy of record; returns its index.
  int Add(const CError& record);

  int GetCount() const { return static_cast<int>(records_.size()); }
  bool IsEmpty() const { return records_.empty(); }
  // index must be in 0..count-1 (a fault of the caller otherwise).
  CError& operator[](int index) { return records_[index]; }
  const CError& operator[](int index) const { return records_[index]; }
  const CError& GetAt(int index) const { return records_[index]; }

  auto begin() { return records_.begin(); }
  auto end() { return records_.end(); }
  auto begin() const { return records_.begin(); }
  auto end() const { return records_.end(); }

  Platform* platform() const { return platform_; }

  // A new list (with the source's platform) of copies of the source's records
  // whose section equals section, in source order; empty when there are none.
  static CErrorListEx ErrorsOfSection(const CErrorListEx& source,
                                      int32_t section);

 private:
  void CleanUp(const CError& record) const;

  Platform* platform_ = nullptr;
  std::vector<CError> records_;
};

// Registry items by value, in insertion order: the repaired-items list and
// the startup and uninstall listings. Destroying an item has no effects.
class CRegistryItemListEx {
 public:
  void RemoveAll() { items_.clear(); }
  // index must be in 0..count-1.
  void RemoveAt(int index) { items_.erase(items_.begin() + index); }
  // Appends a copy of item; returns its index.
  int Add(const CRegistryItem& item) {
    items_.push_back(item);
    return static_cast<int>(items_.size()) - 1;
  }
  int GetCount() const { return static_cast<int>(items_.size()); }
  bool IsEmpty() const { return items_.empty(); }
  CRegistryItem& operator[](int index) { return items_[index]; }
  const CRegistryItem& operator[](int index) const { return items_[index]; }
  const CRegistryItem& GetAt(int index) const { return items_[index]; }
  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<CRegistryItem> items_;
};

struct SectionCounter {
  int32_t found = 0;     // errors recorded in the section
  int32_t repaired = 0;  // errors of the section repaired
  int32_t ignored = 0;   // errors of the section set aside as unresolved

  bool operator==(const SectionCounter&) const = default;
};

// One counter per section id. Records read from files may name any section;
// the Add operations and Find skip ids outside 0..21 rather than index out of
// range.
class SectionCounters {
 public:
  void Reset() { entries_.fill(SectionCounter{}); }
  // The section's counter; null for an id outside 0..21.
  SectionCounter* Find(int32_t section) {
    return IsValidSection(section) ? &entries_[section] : nullptr;
  }
  const SectionCounter* Find(int32_t section) const {
    return IsValidSection(section) ? &entries_[section] : nullptr;
  }
  // Each adds one to the section's count; false (nothing counted) for an id
  // outside 0..21.
  bool AddFound(int32_t section);
  bool AddRepaired(int32_t section);
  bool AddIgnored(int32_t section);
  // id must be in 0..21.
  const SectionCounter& operator[](int id) const { return entries_[id]; }
  const std::array<SectionCounter, kSectionCount>& entries() const {
    return entries_;
  }

 private:
  std::array<SectionCounter, kSectionCount> entries_{};
};

// Appends to list every record of a record file's bytes (UTF-16LE, no
// byte-order mark). Text after the last ";;\r\n" is dropped, pieces that are
// not records are skipped, a trailing odd byte is ignored, and a record that
// holds an invalid UTF-16 sequence is dropped on its own: reading resumes at
// the next record. Returns the number of records appended. Never fails.
int AppendErrorRecords(std::string_view bytes, CErrorListEx* list);

// The file form of the list: every record's line, in order, as UTF-16LE.
std::string EncodeErrorRecords(const CErrorListEx& list);

// Reads the record file at path and appends its records to list. Returns
// false (list unchanged) when the file cannot be read.
bool ReadErrorFile(Platform& platform, const std::wstring& path,
                   CErrorListEx* list);

}  // namespace orvane
