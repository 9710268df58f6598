/* The program the 32-bit test installer lays down. It only has to be a real
 * 32-bit executable: the tests start nothing of it, they look at what its
 * installer leaves in the registry once its folder has gone. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR command_line, int show) {
  (void)instance;
  (void)previous;
  (void)command_line;
  (void)show;
  return 0;
}
