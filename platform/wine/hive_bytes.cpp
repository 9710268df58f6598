#include "platform/wine/hive_bytes.h"

#include <sys/mman.h>

#include <cstring>
#include <utility>

namespace orvane::wine {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;

size_t RoundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }

size_t BlockSize(size_t bytes) { return bytes >= kHugePage ? RoundUp(bytes, kHugePage) : RoundUp(bytes, 4096); }

}  // namespace

void* AllocateBlock(size_t bytes) {
  const size_t size = BlockSize(bytes);
  void* at = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (at == MAP_FAILED) return nullptr;
  if (size >= kHugePage) madvise(at, size, MADV_HUGEPAGE);
  return at;
}

void FreeBlock(void* at, size_t bytes) {
  if (at) munmap(at, BlockSize(bytes));
}

HiveBytes::~HiveBytes() { Release(); }

HiveBytes::HiveBytes(HiveBytes&& other) noexcept
    : string_(std::move(other.string_)),
      mapped_(std::exchange(other.mapped_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

HiveBytes& HiveBytes::operator=(HiveBytes&& other) noexcept {
  if (this != &other) {
    Release();
    string_ = std::move(other.string_);
    mapped_ = std::exchange(other.mapped_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

void HiveBytes::Release() {
  FreeBlock(mapped_, capacity_);
  mapped_ = nullptr;
  size_ = capacity_ = 0;
}

bool HiveBytes::Reserve(size_t capacity) {
  if (capacity <= this->capacity()) return true;
  void* at = AllocateBlock(capacity);
  if (!at) return false;
  const size_t kept = size();
  std::memcpy(at, data(), kept);
  Release();
  string_ = std::string();
  mapped_ = static_cast<char*>(at);
  size_ = kept;
  capacity_ = capacity;
  return true;
}

void HiveBytes::SetSize(size_t size) {
  if (mapped_)
    size_ = size;
  else
    string_.resize(size);
}

}  // namespace orvane::wine
