// Distinct texts kept once, in a few large blocks, for the lists that hold
// hundreds of thousands of records made of a handful of shared texts (the
// section's reason and type) and one text of their own (a URL, a path).
//
// A text is stored with the narrowest unit that holds all of it: one byte
// when every unit is below 0x100 (URLs and paths nearly always are), else
// two or four bytes. A std::wstring element is a UTF-16 unit, so a text of
// any content comes back exactly as it went in.
//
// Not locked; one thread at a time. Copies are independent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

class TextPool {
 public:
  // Names a text of the pool. 0 is always the empty text.
  using Id = uint32_t;
  static constexpr Id kEmpty = 0;

  // The id of text, adding it when it is new. Equal texts get equal ids.
  Id Intern(std::wstring_view text);
  // The text of an id this pool handed out (any other id is a fault of the
  // caller).
  std::wstring Get(Id id) const;
  // Appends that text to *out (which keeps its storage, so a loop that
  // reads many texts into one string allocates nothing once it has grown).
  void AppendTo(Id id, std::wstring* out) const;
  // Units of the text (as Get(id).size()), without building it.
  size_t Length(Id id) const { return id == kEmpty ? 0 : entries_[id - 1].units; }

  // Forgets every text; ids handed out before mean nothing afterwards.
  void Clear();
  // Distinct non-empty texts held.
  size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    uint32_t block;
    uint32_t offset;  // bytes into the block
    uint32_t units;
    uint32_t hash;
    uint8_t width;  // bytes per unit: 1, 2 or 4
  };

  bool Equals(const Entry& entry, std::wstring_view text) const;
  void Grow();
  // Where a text of bytes bytes goes: a place at the end of the last block,
  // or a new block.
  Entry Place(size_t bytes);

  std::vector<std::vector<char>> blocks_;
  std::vector<Entry> entries_;
  // Open addressing over entries_: 0 is free, else an id. Its size is a
  // power of two at least twice the number of texts.
  std::vector<Id> slots_;
};

}  // namespace orvane
