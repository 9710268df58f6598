// The local date and time as the program stamps its files (backup sets,
// reports). A plain value so that callers and tests can pass a fixed moment.
#pragma once

#include <string>

namespace orvane {

struct LocalDateTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;

  bool operator==(const LocalDateTime&) const = default;
};

// The host's local time now. Safe from any thread.
LocalDateTime LocalNow();

// Zero-padded decimal of at least width digits ("%.*d").
std::wstring PaddedNumber(int value, int width);

}  // namespace orvane
