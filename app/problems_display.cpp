#include "app/problems_display.h"

namespace orvane::app {
namespace {

// The leading integer of a text, as the count was stored: digits after an
// optional sign and blanks; 0 when there is none.
long long LeadingNumber(const QString& text) {
  int i = 0;
  while (i < text.size() && text[i].isSpace()) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long n = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    n = n * 10 + (text[i].unicode() - '0');
    if (n > 1000000000LL) break;  // far past the top of the gauge
  }
  return negative ? -n : n;
}

}  // namespace

ProblemsLook ProblemsFor(const QString& stored) {
  if (stored.isEmpty() || stored == "0") return {"0 errors", QColor(0xBF, 0xFB, 0x08), 257};
  ProblemsLook look{stored + " errors", QColor(0x74, 0x02, 0x02), 0};
  long long n = LeadingNumber(stored);
  if (n >= 121) look.gauge = 262;
  else if (n >= 91) look.gauge = 261;
  else if (n >= 61) look.gauge = 260;
  else if (n >= 31) look.gauge = 259;
  else if (n >= 1) look.gauge = 267;
  return look;
}

}  // namespace orvane::app
