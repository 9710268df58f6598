// The lists that hold a scan's results and the repaired-items list, the
// per-section counters, and the file form of a list of records.
//
// Records are plain values and so are the lists: dropping a record or a
// whole list never touches the disk. (Folders left empty by a repair are
// removed by the repair itself, see repair_thread.h.)
//
// None of these types locks; one thread at a time may use a list.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "model/error_record.h"
#include "model/sections.h"
#include "model/text_pool.h"
#include "platform/platform.h"

namespace orvane {

// The error list: records in insertion order, indexes from 0. A scan of a
// big browser history makes hundreds of thousands of records that differ
// only in one text, so the list keeps each distinct text once, in its own
// storage (see text_pool.h), and a reason that quotes the record's file path
// as its section's sentence around that path. Records go in by copy and come
// out by value: element access and iteration build a CError, and changing
// one changes nothing in the list.
class CErrorListEx {
 public:
  void RemoveAll();
  // index must be in 0..count-1. The texts stay in the list's storage until
  // RemoveAll.
  void RemoveAt(int index) { records_.erase(records_.begin() + index); }
  // Appends a copy of record; returns its index.
  int Add(const CError& record);

  int GetCount() const { return static_cast<int>(records_.size()); }
  bool IsEmpty() const { return records_.empty(); }
  // The section of the record at index (0..count-1), without building it.
  int32_t SectionAt(int index) const { return records_[index].section; }
  // Moves the records for which first(number, section) holds (number counts
  // from 1 in list order) before the others, each group keeping its order,
  // and drops those for which keep(section) is false. Returns how many went
  // first. No text is copied: reordering 200,000 history rows costs no more
  // than their count.
  int Partition(const std::function<bool(int number, int32_t section)>& first,
                const std::function<bool(int32_t section)>& keep);
  // The record at index, which must be in 0..count-1 (a fault of the caller
  // otherwise).
  CError operator[](int index) const;
  // The same record written over *record, whose strings keep their storage:
  // a walk over a long list reads each record into one CError.
  void Read(int index, CError* record) const;
  CError GetAt(int index) const { return (*this)[index]; }

  // Visits the records in order, each built as it is reached.
  class const_iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = CError;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = CError;

    const_iterator(const CErrorListEx* list, int index) : list_(list), index_(index) {}
    CError operator*() const { return (*list_)[index_]; }
    const_iterator& operator++() {
      ++index_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator before = *this;
      ++index_;
      return before;
    }
    bool operator==(const const_iterator& other) const { return index_ == other.index_; }

   private:
    const CErrorListEx* list_;
    int index_;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, GetCount()}; }

  // A new list of copies of the source's records whose section equals
  // section, in source order; empty when there are none.
  static CErrorListEx ErrorsOfSection(const CErrorListEx& source,
                                      int32_t section);

 private:
  // A record with its texts named by their ids in texts_.
  struct Stored {
    int32_t error_type;
    int32_t section;
    DWORD value_type;
    int32_t tag;
    HKEY root_key;
    uint64_t size;
    TextPool::Id file_path, reason, reason_tail, type_text, root_name, sub_key, value_name, value_data;
    bool mark_only;
    bool view32;  // item.view is KEY_WOW64_32KEY
    // The reason is reason + file path + reason_tail.
    bool reason_quotes_path;
  };

  TextPool texts_;
  // A deque grows without moving what it holds: a list of a million records
  // never needs twice its size while it grows.
  std::deque<Stored> records_;
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

// True when list (the repaired-items list) holds an item with the same root
// key and exactly (case included) the same subkey and value name.
bool IsRepaired(const CRegistryItemListEx& list, const CRegistryItem& item);

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

// Writes the list's file form to path atomically, a piece at a time, so the
// file of a big scan is never held whole. False (the old file stands) when it
// cannot be written.
bool WriteErrorFile(Files& files, const std::wstring& path, const CErrorListEx& list);

// Reads the record file at path and appends its records to list. Returns
// false (list unchanged) when the file cannot be read.
bool ReadErrorFile(Files& files, const std::wstring& path,
                   CErrorListEx* list);

}  // namespace orvane
