#include "model/text_pool.h"

#include <cstring>
#include <limits>

namespace orvane {
namespace {

// Big enough that a list of a million records needs a few hundred blocks;
// small enough that the last, partly filled one costs little.
constexpr size_t kBlockBytes = size_t{256} << 10;

uint32_t Hash(std::wstring_view text) {
  uint32_t hash = 2166136261u;  // FNV-1a over the units
  for (wchar_t unit : text) {
    hash ^= static_cast<uint32_t>(unit);
    hash *= 16777619u;
  }
  return hash;
}

uint8_t WidthOf(std::wstring_view text) {
  uint32_t widest = 0;
  for (wchar_t unit : text) widest |= static_cast<uint32_t>(unit);
  return widest < 0x100 ? 1 : widest < 0x10000 ? 2 : 4;
}

template <typename Unit>
void Store(std::wstring_view text, char* out) {
  for (wchar_t unit : text) {
    Unit narrow = static_cast<Unit>(unit);
    std::memcpy(out, &narrow, sizeof narrow);
    out += sizeof narrow;
  }
}

template <typename Unit>
void Load(const char* in, uint32_t units, std::wstring* out) {
  const size_t at = out->size();
  out->resize(at + units);
  wchar_t* to = out->data() + at;
  for (uint32_t i = 0; i < units; ++i, in += sizeof(Unit)) {
    Unit narrow;
    std::memcpy(&narrow, in, sizeof narrow);
    to[i] = static_cast<wchar_t>(narrow);
  }
}

}  // namespace

bool TextPool::Equals(const Entry& entry, std::wstring_view text) const {
  if (entry.units != text.size()) return false;
  const char* in = blocks_[entry.block].data() + entry.offset;
  if (entry.width == 1) {
    for (size_t i = 0; i < text.size(); ++i)
      if (static_cast<unsigned char>(in[i]) != static_cast<uint32_t>(text[i])) return false;
    return true;
  }
  return Get(static_cast<Id>(&entry - entries_.data()) + 1) == text;
}

TextPool::Id TextPool::Intern(std::wstring_view text) {
  if (text.empty()) return kEmpty;
  if (slots_.size() < 2 * (entries_.size() + 1)) Grow();
  const uint32_t hash = Hash(text);
  const size_t mask = slots_.size() - 1;
  size_t slot = hash & mask;
  for (; slots_[slot] != kEmpty; slot = (slot + 1) & mask) {
    const Entry& entry = entries_[slots_[slot] - 1];
    if (entry.hash == hash && Equals(entry, text)) return slots_[slot];
  }
  const uint8_t width = WidthOf(text);
  Entry entry = Place(text.size() * width);
  entry.units = static_cast<uint32_t>(text.size());
  entry.hash = hash;
  entry.width = width;
  char* out = blocks_[entry.block].data() + entry.offset;
  if (width == 1) {
    Store<uint8_t>(text, out);
  } else if (width == 2) {
    Store<uint16_t>(text, out);
  } else {
    Store<uint32_t>(text, out);
  }
  entries_.push_back(entry);
  slots_[slot] = static_cast<Id>(entries_.size());
  return slots_[slot];
}

std::wstring TextPool::Get(Id id) const {
  std::wstring text;
  AppendTo(id, &text);
  return text;
}

void TextPool::AppendTo(Id id, std::wstring* out) const {
  if (id == kEmpty) return;
  const Entry& entry = entries_[id - 1];
  const char* in = blocks_[entry.block].data() + entry.offset;
  if (entry.width == 1) {
    Load<uint8_t>(in, entry.units, out);
  } else if (entry.width == 2) {
    Load<uint16_t>(in, entry.units, out);
  } else {
    Load<uint32_t>(in, entry.units, out);
  }
}

void TextPool::Clear() {
  blocks_.clear();
  entries_.clear();
  slots_.clear();
}

void TextPool::Grow() {
  std::vector<Id> slots(slots_.empty() ? 64 : slots_.size() * 2, kEmpty);
  const size_t mask = slots.size() - 1;
  for (Id id = 1; id <= entries_.size(); ++id) {
    size_t slot = entries_[id - 1].hash & mask;
    while (slots[slot] != kEmpty) slot = (slot + 1) & mask;
    slots[slot] = id;
  }
  slots_ = std::move(slots);
}

TextPool::Entry TextPool::Place(size_t bytes) {
  // A text longer than a block gets a block of its own; texts never span
  // two blocks, so every one is read from one place.
  if (blocks_.empty() || blocks_.back().size() + bytes > kBlockBytes) {
    blocks_.emplace_back();
    blocks_.back().reserve(bytes > kBlockBytes ? bytes : kBlockBytes);
  }
  std::vector<char>& block = blocks_.back();
  Entry entry{};
  entry.block = static_cast<uint32_t>(blocks_.size() - 1);
  entry.offset = static_cast<uint32_t>(block.size());
  block.resize(block.size() + bytes);
  return entry;
}

}  // namespace orvane
