// A DLL named like a system library, left beside a program as an attacker would leave it in a
// Downloads folder. Loading it appends its own path to the file KESTRANE_PLANTED.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH], name[MAX_PATH + 2];
    DWORD n = GetEnvironmentVariableA("KESTRANE_PLANTED", path, MAX_PATH);
    DWORD m = GetModuleFileNameA(self, name, MAX_PATH);
    if (n && n < MAX_PATH) {
      HANDLE h = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, 0, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        if (m && m < MAX_PATH) {
          name[m++] = '\n';
          DWORD put;
          WriteFile(h, name, m, &put, nullptr);
        }
        CloseHandle(h);
      }
    }
  }
  return TRUE;
}
