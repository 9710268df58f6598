#include "model/local_time.h"

#include <ctime>
#include <mutex>

namespace orvane {

LocalDateTime LocalNow() {
  // std::localtime shares one buffer per process; the lock keeps two workers
  // from reading each other's result.
  static std::mutex mutex;
  std::time_t now = std::time(nullptr);
  std::lock_guard lock(mutex);
  const std::tm* tm = std::localtime(&now);
  if (!tm) return {};
  return {tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec};
}

std::wstring PaddedNumber(int value, int width) {
  std::wstring digits = std::to_wstring(value < 0 ? -static_cast<long long>(value) : value);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), L'0');
  return value < 0 ? L"-" + digits : digits;
}

}  // namespace orvane
