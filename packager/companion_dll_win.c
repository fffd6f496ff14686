/* Entry of the resource-only companion libraries: they hold a version block and nothing else. */
#include <windows.h>

BOOL WINAPI CompanionEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance, (void)reason, (void)reserved;
  return TRUE;
}
