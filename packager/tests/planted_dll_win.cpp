// A DLL named like a system library, left beside a package as an attacker would leave it in a
// Downloads folder. Loading it leaves the file KESTRANE_PLANTED.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("KESTRANE_PLANTED", path, MAX_PATH);
    if (n && n < MAX_PATH) {
      HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
  }
  return TRUE;
}
