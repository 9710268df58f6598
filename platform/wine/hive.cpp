#include "platform/wine/hive.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/wine/hive_escape.h"
#include "platform/wine/hive_state.h"

namespace orvane::wine {

std::wstring HiveText::ToWide() const {
  std::wstring out(size_, L'\0');
  for (size_t i = 0; i < size_; ++i) out[i] = (*this)[i];
  return out;
}

bool HiveText::operator==(std::wstring_view units) const {
  if (units.size() != size_) return false;
  for (size_t i = 0; i < size_; ++i)
    if ((*this)[i] != units[i]) return false;
  return true;
}

uint64_t FileTimeNow() {
  auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count() / 100;
  return kTicks1601To1970 + static_cast<uint64_t>(ticks);
}

Hive::State::State() {
  keys.Add();  // the root, nameless
  keys[kRootKey].children = kNoKey;
}

HiveText Hive::State::Keep(const HiveText& units) const {
  bool narrow = true;
  for (size_t i = 0; i < units.size() && narrow; ++i) narrow = units[i] < 0x100;
  if (narrow) {
    char* at = static_cast<char*>(arena.Allocate(units.size() ? units.size() : 1, 1));
    for (size_t i = 0; i < units.size(); ++i) at[i] = static_cast<char>(units[i]);
    return HiveText(at, units.size());
  }
  char16_t* at = static_cast<char16_t*>(arena.Allocate(units.size() * 2, alignof(char16_t)));
  for (size_t i = 0; i < units.size(); ++i) at[i] = static_cast<char16_t>(units[i]);
  return HiveText(at, units.size());
}

HiveText Hive::State::Keep(std::wstring_view units) const {
  std::u16string wide(units.begin(), units.end());
  return Keep(HiveText(wide.data(), wide.size()));
}

void Hive::State::SetOwnedName(KeyRecord& r, const HiveText& units) {
  HiveText kept = Keep(units);
  r.name_ref = kOwnedName | static_cast<uint32_t>(owned_names.size());
  r.name_size = static_cast<uint32_t>(kept.size()) | (kept.wide() ? kWideName : 0);
  owned_names.push_back(kept.data());
}

size_t Hive::State::LowerBound(const KeyRecord& r, std::wstring_view name, bool* found) const {
  const KeyId* list = ChildList(r);
  size_t low = 0, high = r.child_count;
  while (low < high) {
    size_t mid = (low + high) / 2;
    if (CompareFolded(NameOf(list[mid]), name) < 0)
      low = mid + 1;
    else
      high = mid;
  }
  *found = low < r.child_count && SameFolded(NameOf(list[low]), name);
  return low;
}

void Hive::State::InsertChild(KeyRecord& r, size_t at, KeyId child) {
  // A list read from the file is packed between its neighbours: the first
  // insertion moves it to the end of the table with room to grow, so that
  // many insertions cost a few moves, not one each.
  const bool own = r.flags & kOwnList;
  const uint32_t capacity = own ? children[r.children - 1] : r.child_count;
  if (r.child_count == capacity) {
    const uint32_t grown = capacity < 4 ? 4 : capacity * 2;
    const size_t base = children.size();
    children.resize(base + 1 + grown, kNoKey);
    children[base] = grown;
    std::memcpy(children.data() + base + 1, children.data() + r.children, r.child_count * sizeof(KeyId));
    r.children = static_cast<uint32_t>(base + 1);
    r.flags |= kOwnList;
  }
  KeyId* list = ChildList(r);
  std::memmove(list + at + 1, list + at, (r.child_count - at) * sizeof(KeyId));
  list[at] = child;
  ++r.child_count;
}

uint32_t Hive::State::ParseBodyLocked(KeyId id) const {
  std::lock_guard lock(mutex);
  uint32_t b = keys[id].body.load(std::memory_order_relaxed);
  if (b == 0) {
    b = ParseBody(id);
    keys[id].body.store(b, std::memory_order_release);
  }
  return b;
}

Hive::Hive() : s_(std::make_unique<State>()) {}
Hive::~Hive() = default;
Hive::Hive(Hive&&) noexcept = default;
Hive& Hive::operator=(Hive&&) noexcept = default;

Hive Hive::Empty(const std::string& root_path, const std::string& arch) {
  Hive h;
  h.s_->own_preamble = std::string(kRelativeTo) + root_path + "\n\n#arch=" + arch + "\n";
  size_t pos = 0;
  ReadEscaped(root_path + '\n', &pos, '\n', &h.s_->relative_to);
  return h;
}

const std::vector<HiveProblem>& Hive::problems() const { return s_->problems; }
bool Hive::readable() const { return s_->readable; }
const std::wstring& Hive::relative_to() const { return s_->relative_to; }

KeyId Hive::FindSubkey(KeyId key, std::wstring_view name) const {
  const KeyRecord& r = s_->keys[key];
  const KeyId* list = s_->ChildList(r);
  const uint64_t hint = s_->recent[key % s_->recent.size()].load(std::memory_order_relaxed);
  if (hint >> 32 == key) {
    for (size_t at = hint & 0xFFFFFFFFu, i = 0; i < 2 && at < r.child_count; ++i, ++at) {
      if (SameFolded(s_->NameOf(list[at]), name)) {
        s_->NoteRecent(key, at);
        return list[at];
      }
    }
  }
  bool found;
  size_t at = s_->LowerBound(r, name, &found);
  if (!found) return kNoKey;
  s_->NoteRecent(key, at);
  return list[at];
}

KeyId Hive::AddSubkey(KeyId key, std::wstring_view name, bool* created) {
  if (created) *created = false;
  bool found;
  size_t at = s_->LowerBound(s_->keys[key], name, &found);
  if (found) return s_->ChildList(s_->keys[key])[at];
  const KeyId id = static_cast<KeyId>(s_->keys.Add());
  KeyRecord& r = s_->keys[id];
  r.parent = key;
  r.flags = kTouched;
  s_->SetOwnedName(r, s_->Keep(name));
  // Nothing to parse: its lines are what we give it.
  const uint32_t b = static_cast<uint32_t>(s_->bodies.Add());
  s_->bodies[b].modified = FileTimeNow();
  r.body.store(b + 1, std::memory_order_release);
  s_->InsertChild(s_->keys[key], at, id);
  s_->changed = true;
  if (created) *created = true;
  return id;
}

bool Hive::RemoveSubkey(KeyId key, std::wstring_view name) {
  KeyRecord& parent = s_->keys[key];
  bool found;
  size_t at = s_->LowerBound(parent, name, &found);
  if (!found) return false;
  KeyId* list = s_->ChildList(parent);
  KeyRecord& child = s_->keys[list[at]];
  if (child.child_count != 0) return false;
  child.flags |= kRemoved;
  std::memmove(list + at, list + at + 1, (parent.child_count - at - 1) * sizeof(KeyId));
  --parent.child_count;
  s_->changed = true;
  return true;
}

size_t Hive::SubkeyCount(KeyId key) const { return s_->keys[key].child_count; }
KeyId Hive::Subkey(KeyId key, size_t index) const {
  s_->NoteRecent(key, index);
  return s_->ChildList(s_->keys[key])[index];
}
KeyId Hive::Parent(KeyId key) const { return s_->keys[key].parent; }
HiveText Hive::Name(KeyId key) const { return s_->NameOf(key); }
bool Hive::IsLink(KeyId key) const { return s_->keys[key].flags & kLink; }
bool Hive::HasLinkSubkeys(KeyId key) const { return s_->keys[key].flags & kHasLinkSubkeys; }
bool Hive::Removed(KeyId key) const { return s_->keys[key].flags & kRemoved; }

size_t Hive::Depth(KeyId key) const {
  size_t depth = 0;
  for (KeyId k = s_->keys[key].parent; k != kNoKey; k = s_->keys[k].parent) ++depth;
  return depth;
}

size_t Hive::ValueCount(KeyId key) const { return s_->Body(key).value_count; }
HiveValue Hive::Value(KeyId key, size_t index) const { return s_->Body(key).values[index]; }
uint64_t Hive::Modified(KeyId key) const { return s_->Body(key).modified; }
bool Hive::HasClass(KeyId key) const { return s_->Body(key).has_class; }
HiveText Hive::ClassName(KeyId key) const { return s_->Body(key).class_name; }
size_t Hive::LineCount(KeyId key) const { return s_->Body(key).line_count; }
std::string_view Hive::Line(KeyId key, size_t index) const { return s_->Body(key).lines[index]; }

namespace {

// The position of name among a body's values; *found tells whether it is
// there.
size_t ValueBound(const KeyBody& body, std::wstring_view name, bool* found) {
  size_t low = 0, high = body.value_count;
  while (low < high) {
    size_t mid = (low + high) / 2;
    if (CompareFolded(body.values[mid].name, name) < 0)
      low = mid + 1;
    else
      high = mid;
  }
  *found = low < body.value_count && SameFolded(body.values[low].name, name);
  return low;
}

}  // namespace

const HiveValue* Hive::FindValue(KeyId key, std::wstring_view name) const {
  const KeyBody& body = s_->Body(key);
  bool found;
  size_t at = ValueBound(body, name, &found);
  return found ? &body.values[at] : nullptr;
}

void Hive::SetValue(KeyId key, std::wstring_view name, DWORD type, std::string_view data) {
  KeyBody& body = s_->MutableBody(key);
  s_->keys[key].flags |= kTouched;
  s_->changed = true;
  bool found;
  size_t at = ValueBound(body, name, &found);
  if (found) {
    HiveValue& v = body.values[at];
    v.type = type;
    // Data the hive made itself may be written over in place; a value set
    // again and again then costs no more room.
    if (data.size() <= v.size)
      std::memmove(const_cast<char*>(v.bytes), data.data(), data.size());
    else
      v.bytes = s_->arena.Copy(data);
    v.size = static_cast<uint32_t>(data.size());
    return;
  }
  if (body.value_count == body.value_capacity) {
    const uint32_t grown = body.value_capacity < 4 ? 4 : body.value_capacity * 2;
    HiveValue* values = s_->arena.Array<HiveValue>(grown);
    std::copy(body.values, body.values + body.value_count, values);
    body.values = values;
    body.value_capacity = grown;
  }
  std::move_backward(body.values + at, body.values + body.value_count, body.values + body.value_count + 1);
  body.values[at] = HiveValue{s_->Keep(name), type, static_cast<uint32_t>(data.size()), s_->arena.Copy(data)};
  ++body.value_count;
}

bool Hive::DeleteValue(KeyId key, std::wstring_view name) {
  KeyBody& body = s_->MutableBody(key);
  bool found;
  size_t at = ValueBound(body, name, &found);
  if (!found) return false;
  std::move(body.values + at + 1, body.values + body.value_count, body.values + at);
  --body.value_count;
  s_->keys[key].flags |= kTouched;
  s_->changed = true;
  return true;
}

void Hive::SetModified(KeyId key, uint64_t filetime) {
  s_->MutableBody(key).modified = filetime;
  s_->keys[key].flags |= kTouched;
  s_->changed = true;
}

}  // namespace orvane::wine
