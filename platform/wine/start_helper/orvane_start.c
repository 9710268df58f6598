/* Runs inside a Wine prefix and starts one Windows command line there the
 * way Windows starts it: CreateProcessW with the line as the whole command
 * line, no shell of any kind in between, then waits for the program to end.
 *
 *   ORVANE_COMMAND_LINE  the command line, passed whole
 *   ORVANE_APPLICATION   the program CreateProcessW is to start (optional):
 *                        the caller found and judged it already, so nothing
 *                        else, not even a file beside this program, can be
 *                        started in its place
 *   ORVANE_ANSWER_FILE   a host path (converted through Wine) or a Windows
 *                        path where the outcome is written
 *
 * The three come through the environment rather than as arguments: as
 * arguments of the Wine loader the line's quotes would come back escaped in
 * the host's style (\"), which Windows programs do not read as quotes. They
 * are taken out of the environment before the program starts, so it
 * inherits the environment it would have had.
 *
 * The answer is one line: "exit" TAB the program's exit code, or "failed"
 * TAB the error of CreateProcessW, both in decimal. No answer at all means
 * this program did not run. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

static const wchar_t kLine[] = L"ORVANE_COMMAND_LINE";
static const wchar_t kApplication[] = L"ORVANE_APPLICATION";
static const wchar_t kAnswer[] = L"ORVANE_ANSWER_FILE";

/* The variable's value in a buffer of its own size; NULL when unset. */
static wchar_t *variable(const wchar_t *name) {
  DWORD size = GetEnvironmentVariableW(name, NULL, 0);
  wchar_t *value;
  if (size == 0) return NULL;
  value = malloc(size * sizeof *value);
  if (!value) return NULL;
  if (GetEnvironmentVariableW(name, value, size) >= size) {
    free(value);
    return NULL;
  }
  SetEnvironmentVariableW(name, NULL);
  return value;
}

/* The answer file opened for writing. A host path ("/tmp/...") is turned
 * into the Windows path Wine gives it, which needs no drive of the prefix
 * to reach it. */
static FILE *open_answer(const wchar_t *path) {
  typedef wchar_t *(CDECL * to_dos_fn)(const char *);
  to_dos_fn to_dos;
  char unix_path[4096];
  if (path[0] != L'/') return _wfopen(path, L"wb");
  to_dos = (to_dos_fn)(void *)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name");
  if (to_dos && WideCharToMultiByte(CP_UTF8, 0, path, -1, unix_path, sizeof unix_path, NULL, NULL) > 0) {
    wchar_t *dos = to_dos(unix_path);
    if (dos) {
      FILE *file = _wfopen(dos, L"wb");
      HeapFree(GetProcessHeap(), 0, dos);
      return file;
    }
  }
  return NULL;
}

int wmain(void) {
  wchar_t *line = variable(kLine);
  wchar_t *application = variable(kApplication);
  wchar_t *answer_path = variable(kAnswer);
  STARTUPINFOW startup;
  PROCESS_INFORMATION process;
  FILE *answer;
  DWORD code = (DWORD)-1;

  if (!line || !answer_path) return 2;
  answer = open_answer(answer_path);
  if (!answer) return 2;

  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  /* The line stays writable: CreateProcessW may change it in place. */
  if (!CreateProcessW(application, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
    fprintf(answer, "failed\t%lu\n", GetLastError());
    fclose(answer);
    return 1;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  /* Cannot fail for the handle CreateProcessW gave; code stays -1 if it did. */
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  fprintf(answer, "exit\t%lu\n", code);
  fclose(answer);
  return 0;
}
