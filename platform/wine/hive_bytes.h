// The bytes of a hive file as the hive holds them. A file of a hundred
// megabytes is read straight into memory of its own: never zero-filled
// before the read, and in huge pages where the host has them, so that
// holding the file costs little more than reading it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvane::wine {

// A block of at least bytes for the hive's life, from the system directly:
// whole huge pages when it is that large, so that it faults in a few times
// rather than once every 4 KiB. Null when the memory cannot be had.
void* AllocateBlock(size_t bytes);
// Gives back a block; bytes as given to AllocateBlock.
void FreeBlock(void* at, size_t bytes);

class HiveBytes {
 public:
  HiveBytes() = default;
  // Takes text as it is (tests, small files).
  explicit HiveBytes(std::string text) : string_(std::move(text)) {}
  ~HiveBytes();
  HiveBytes(HiveBytes&& other) noexcept;
  HiveBytes& operator=(HiveBytes&& other) noexcept;
  HiveBytes(const HiveBytes&) = delete;
  HiveBytes& operator=(const HiveBytes&) = delete;

  // Makes room for at least capacity bytes, keeping the first size() of
  // them; what lies past size() is undefined until written. False when the
  // memory cannot be had (nothing changed then).
  bool Reserve(size_t capacity);
  // Sets the size after bytes were written into data() (size <= capacity()).
  void SetSize(size_t size);

  char* data() { return mapped_ ? mapped_ : string_.data(); }
  const char* data() const { return mapped_ ? mapped_ : string_.data(); }
  size_t size() const { return mapped_ ? size_ : string_.size(); }
  size_t capacity() const { return mapped_ ? capacity_ : string_.size(); }
  std::string_view view() const { return {data(), size()}; }

 private:
  void Release();

  std::string string_;
  char* mapped_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace orvane::wine
