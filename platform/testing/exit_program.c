/* A Windows program for the tests that start command lines in a prefix:
 *
 *   orvane-test-exit.exe CODE [FILE]
 *
 * makes FILE (so a test can see that it ran, and with which arguments: the
 * file holds them, one per line) and ends with exit code CODE. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int wmain(int argc, wchar_t **argv) {
  if (argc < 2) return 1;
  if (argc >= 3) {
    FILE *file = _wfopen(argv[2], L"wb");
    if (!file) return 2;
    for (int i = 0; i < argc; ++i) fprintf(file, "%ls\n", argv[i]);
    fclose(file);
  }
  return (int)wcstoul(argv[1], NULL, 10);
}
