// Stands in for a program that another program starts (a file manager, a mail program): appends
// its own command line, as one line, to the file named by KESTRANE_RECORD, and ends.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH];
  if (!GetEnvironmentVariableA("KESTRANE_RECORD", path, MAX_PATH)) return 1;
  HANDLE f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  const char* line = GetCommandLineA();
  DWORD n;
  WriteFile(f, line, lstrlenA(line), &n, nullptr);
  WriteFile(f, "\r\n", 2, &n, nullptr);
  CloseHandle(f);
  return 0;
}
