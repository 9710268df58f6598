/* Runs inside a Wine prefix and answers for WinINet's URL cache there, so
 * the program reads and changes Internet Explorer's cache, cookies and
 * history through WinINet itself rather than through a reading of its
 * index.dat files of our own.
 *
 *   orvane-urlcache.exe ANSWER list
 *   orvane-urlcache.exe ANSWER delete REQUEST
 *   orvane-urlcache.exe ANSWER clear-history
 *
 * ANSWER is written as UTF-8 lines; its last line is "end", so a reader can
 * tell a whole answer from one cut short. "list" gives one line per entry:
 * "entry" TAB type (8 hex digits) TAB source URL TAB local file. "delete"
 * reads one source URL per line from REQUEST (UTF-8) and answers "deleted"
 * or "failed" TAB error code, each with TAB and the URL. "clear-history"
 * answers "history" TAB the result of IUrlHistoryStg2::ClearHistory (hex),
 * then as "delete" for every history entry still there. In every text
 * field '%', control bytes and DEL are written as %XX.
 *
 * Entries are looked for with FindFirstUrlCacheEntryW once without a
 * pattern and once per container prefix ("Cookie:", "Visited:"), because
 * what a search without one covers differs between WinINet versions; the
 * Ex form is not used (a stub in Wine 8). Duplicates are dropped. */
#define COBJMACROS
#include <windows.h>
#include <wininet.h>
#include <urlhist.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

/* The history store's class (not in every SDK's headers). */
static const CLSID kUrlHistory = {0x3c374a40, 0xbae4, 0x11cf, {0xbf, 0x7d, 0x00, 0xaa, 0x00, 0x69, 0x46, 0xee}};

static FILE *answer;

static void put_field(const wchar_t *text) {
  char buf[8192];
  int n;
  if (!text) return;
  n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buf, sizeof buf, NULL, NULL);
  if (n <= 0) return;
  for (int i = 0; i < n - 1; ++i) {
    unsigned char c = (unsigned char)buf[i];
    if (c == '%' || c < 0x20 || c == 0x7f)
      fprintf(answer, "%%%02X", c);
    else
      fputc(c, answer);
  }
}

typedef struct {
  wchar_t **urls;
  DWORD *types;
  wchar_t **files;
  size_t count, capacity;
} entry_list;

static int seen(const entry_list *list, const wchar_t *url) {
  for (size_t i = 0; i < list->count; ++i)
    if (wcscmp(list->urls[i], url) == 0) return 1;
  return 0;
}

static void add(entry_list *list, const INTERNET_CACHE_ENTRY_INFOW *info) {
  if (!info->lpszSourceUrlName || seen(list, info->lpszSourceUrlName)) return;
  if (list->count == list->capacity) {
    list->capacity = list->capacity ? list->capacity * 2 : 64;
    list->urls = realloc(list->urls, list->capacity * sizeof *list->urls);
    list->types = realloc(list->types, list->capacity * sizeof *list->types);
    list->files = realloc(list->files, list->capacity * sizeof *list->files);
  }
  list->urls[list->count] = _wcsdup(info->lpszSourceUrlName);
  list->types[list->count] = info->CacheEntryType;
  list->files[list->count] = _wcsdup(info->lpszLocalFileName ? info->lpszLocalFileName : L"");
  list->count++;
}

static void collect(entry_list *list, const wchar_t *pattern) {
  DWORD capacity = 4096, size = capacity;
  INTERNET_CACHE_ENTRY_INFOW *info = malloc(capacity);
  HANDLE find = FindFirstUrlCacheEntryW(pattern, info, &size);
  if (!find && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    info = realloc(info, capacity = size);
    find = FindFirstUrlCacheEntryW(pattern, info, &size);
  }
  if (!find) {
    free(info);
    return;
  }
  for (;;) {
    add(list, info);
    /* A bigger entry is fetched again; the search stays where it was. */
    for (;;) {
      size = capacity;
      if (FindNextUrlCacheEntryW(find, info, &size)) break;
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= capacity) goto done;
      info = realloc(info, capacity = size);
    }
  }
done:
  FindCloseUrlCache(find);
  free(info);
}

static void collect_all(entry_list *list) {
  collect(list, NULL);
  collect(list, L"Cookie:");
  collect(list, L"Visited:");
}

static void delete_one(const wchar_t *url) {
  if (DeleteUrlCacheEntryW(url)) {
    fputs("deleted\t", answer);
  } else {
    fprintf(answer, "failed\t%lu\t", (unsigned long)GetLastError());
  }
  put_field(url);
  fputc('\n', answer);
}

static int do_list(void) {
  entry_list list = {0};
  collect_all(&list);
  for (size_t i = 0; i < list.count; ++i) {
    fprintf(answer, "entry\t%08lx\t", (unsigned long)list.types[i]);
    put_field(list.urls[i]);
    fputc('\t', answer);
    put_field(list.files[i]);
    fputc('\n', answer);
  }
  return 0;
}

static int do_delete(const wchar_t *request_path) {
  FILE *request = _wfopen(request_path, L"rb");
  char line[16384];
  wchar_t url[16384];
  if (!request) return 2;
  while (fgets(line, sizeof line, request)) {
    size_t n = strlen(line);
    while (n && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
    if (!n) continue;
    if (!MultiByteToWideChar(CP_UTF8, 0, line, -1, url, sizeof url / sizeof *url)) continue;
    delete_one(url);
  }
  fclose(request);
  return 0;
}

static int do_clear_history(void) {
  IUrlHistoryStg2 *history = NULL;
  HRESULT hr = CoInitialize(NULL);
  entry_list list = {0};
  if (SUCCEEDED(hr))
    hr = CoCreateInstance(&kUrlHistory, NULL, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                          &IID_IUrlHistoryStg2, (void **)&history);
  if (SUCCEEDED(hr) && history) {
    hr = IUrlHistoryStg2_ClearHistory(history);
    IUrlHistoryStg2_Release(history);
  }
  fprintf(answer, "history\t%08lx\n", (unsigned long)hr);
  /* Whatever the store's own clear left (it may be a stub) goes entry by entry. */
  collect_all(&list);
  for (size_t i = 0; i < list.count; ++i)
    if (list.types[i] & URLHISTORY_CACHE_ENTRY) delete_one(list.urls[i]);
  CoUninitialize();
  return 0;
}

int wmain(int argc, wchar_t **argv) {
  int rc = 1;
  if (argc < 3) return 1;
  answer = _wfopen(argv[1], L"wb");
  if (!answer) return 2;
  if (wcscmp(argv[2], L"list") == 0)
    rc = do_list();
  else if (wcscmp(argv[2], L"delete") == 0 && argc >= 4)
    rc = do_delete(argv[3]);
  else if (wcscmp(argv[2], L"clear-history") == 0)
    rc = do_clear_history();
  if (rc == 0) fputs("end\n", answer);
  fclose(answer);
  return rc;
}
