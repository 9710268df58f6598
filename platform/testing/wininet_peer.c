/* A WinINet client for the tests, run in a Wine prefix:
 *
 *   orvane-wininet-peer.exe fetch URL...  fetches each page (WinINet caches
 *       it), sets a persistent cookie "flavour=oat" for the first URL and
 *       records a visit of each, as a browser would;
 *   orvane-wininet-peer.exe look URL...   prints "cached URL", "cookie URL"
 *       and "visited URL" for what WinINet still holds of each.
 *
 * Prints "fetch-failed URL CODE" for a page it could not get. */
#include <windows.h>
#include <wininet.h>
#include <stdio.h>
#include <wchar.h>

static void visited_name(const wchar_t *url, wchar_t *out, size_t size) {
  wchar_t user[256];
  DWORD n = 256;
  if (!GetUserNameW(user, &n)) wcscpy(user, L"user");
  _snwprintf(out, size, L"Visited: %ls@%ls", user, url);
  out[size - 1] = 0;
}

static int fetch(int count, wchar_t **urls) {
  HINTERNET net = InternetOpenW(L"orvane-peer", INTERNET_OPEN_TYPE_DIRECT, NULL, NULL, 0);
  for (int i = 0; i < count; ++i) {
    char buf[4096];
    DWORD n;
    wchar_t visit[2048];
    HINTERNET page = InternetOpenUrlW(net, urls[i], NULL, 0, INTERNET_FLAG_RELOAD, 0);
    if (!page) {
      wprintf(L"fetch-failed %ls %lu\n", urls[i], GetLastError());
      continue;
    }
    while (InternetReadFile(page, buf, sizeof buf, &n) && n) {
    }
    InternetCloseHandle(page);
    visited_name(urls[i], visit, 2048);
    CommitUrlCacheEntryW(visit, NULL, (FILETIME){0}, (FILETIME){0}, URLHISTORY_CACHE_ENTRY | NORMAL_CACHE_ENTRY,
                         NULL, 0, NULL, urls[i]);
  }
  if (count > 0) InternetSetCookieW(urls[0], L"flavour", L"oat; expires=Sat, 01-Jan-2050 00:00:00 GMT");
  InternetCloseHandle(net);
  return 0;
}

static BOOL has_entry(const wchar_t *url) {
  DWORD size = 0;
  if (GetUrlCacheEntryInfoW(url, NULL, &size)) return TRUE;
  return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

static int show_entries(int count, wchar_t **urls) {
  for (int i = 0; i < count; ++i) {
    wchar_t visit[2048], cookie[4096];
    DWORD size = 4096;
    if (has_entry(urls[i])) wprintf(L"cached %ls\n", urls[i]);
    if (InternetGetCookieW(urls[i], NULL, cookie, &size) && wcsstr(cookie, L"flavour=oat"))
      wprintf(L"cookie %ls\n", urls[i]);
    visited_name(urls[i], visit, 2048);
    if (has_entry(visit)) wprintf(L"visited %ls\n", urls[i]);
  }
  return 0;
}

int wmain(int argc, wchar_t **argv) {
  if (argc >= 2 && wcscmp(argv[1], L"fetch") == 0) return fetch(argc - 2, argv + 2);
  if (argc >= 2 && wcscmp(argv[1], L"look") == 0) return show_entries(argc - 2, argv + 2);
  return 1;
}
