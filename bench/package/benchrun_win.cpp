// Starts a package, waits for it, and prints two figures in milliseconds: from the start until the
// launched program ran (it leaves a time stamp in KESTRANE_STAMP), and until the package ended.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static unsigned long long Now() {
  FILETIME t;
  GetSystemTimePreciseAsFileTime(&t);
  return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// Stays until ended, with a hidden window: Wine closes its desktop process a moment after the last
// program using it has gone, and starting it again costs the next program seconds now and then.
// Windows always has its desktop, so the bench keeps Wine's.
static int Hold() {
  CreateWindowExA(0, "STATIC", "package bench", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                  nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (strcmp(argv[1], "hold") == 0) return Hold();
  char stamp_path[MAX_PATH];
  if (!GetEnvironmentVariableA("KESTRANE_STAMP", stamp_path, MAX_PATH)) return 2;
  DeleteFileA(stamp_path);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  char line[MAX_PATH + 8];
  snprintf(line, sizeof line, "\"%s\"", argv[1]);
  unsigned long long start = Now();
  if (!CreateProcessA(argv[1], line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return 3;
  WaitForSingleObject(pi.hProcess, INFINITE);
  unsigned long long end = Now();
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  unsigned long long ran = 0;
  if (FILE* f = fopen(stamp_path, "r")) {
    if (fscanf(f, "%llu", &ran) != 1) ran = 0;
    fclose(f);
  }
  if (!ran || code != 0) {
    printf("failed exit=%lu\n", code);
    return 4;
  }
  printf("%.1f %.1f\n", (ran - start) / 1e4, (end - start) / 1e4);
  return 0;
}
