// The host a cookie finding belongs to, read back from the text its browser
// cleaner gave the item, so that the ignore list can be asked about it.
#pragma once

#include <string>

namespace orvane {

// "hostkey - .a.com path - /..." (Chrome), "profile host - a.com , name - ..."
// (Firefox), "Cookie:user@a.com/path" (Internet Explorer) give the host as
// the store has it ("" for any other text, or an empty host).
std::wstring CookieHost(const std::wstring& item);

}  // namespace orvane
