#include "scanners/browsers/cookie_host.h"

#include <string_view>

namespace orvane {
namespace {

// The text between begin (at the start of item) and the first end after it.
std::wstring Between(std::wstring_view item, std::wstring_view begin, std::wstring_view end) {
  if (!item.starts_with(begin)) return L"";
  item.remove_prefix(begin.size());
  size_t stop = item.find(end);
  return std::wstring(item.substr(0, stop));
}

}  // namespace

std::wstring CookieHost(const std::wstring& item) {
  if (std::wstring host = Between(item, L"hostkey - ", L" path - "); !host.empty()) return host;
  if (std::wstring host = Between(item, L"profile host - ", L" , name - "); !host.empty()) return host;
  // WinINet names a cookie "Cookie:<user>@<host><path>"; a user name holds no "@".
  if (item.starts_with(L"Cookie:")) {
    size_t at = item.find(L'@');
    if (at == std::wstring::npos) return L"";
    return item.substr(at + 1,
                       item.find(L'/', at) == std::wstring::npos ? std::wstring::npos : item.find(L'/', at) - at - 1);
  }
  return L"";
}

}  // namespace orvane
