// Stands in for the slide-show viewer in launcher tests: appends what it was given to
// viewer_ran.txt in its current folder, stays for KESTRANE_FAKE_VIEWER_MS milliseconds, then
// appends "finished".
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main() {
  char exe[MAX_PATH], cwd[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  GetCurrentDirectoryA(MAX_PATH, cwd);
  FILE* f = std::fopen("viewer_ran.txt", "ab");
  if (!f) return 3;
  std::fprintf(f, "exe=%s\ncmd=%s\ncwd=%s\n", exe, GetCommandLineA(), cwd);
  std::fclose(f);
  const char* ms = std::getenv("KESTRANE_FAKE_VIEWER_MS");
  Sleep(ms ? static_cast<DWORD>(std::atoi(ms)) : 0);
  f = std::fopen("viewer_ran.txt", "ab");
  if (f) {
    std::fputs("finished\n", f);
    std::fclose(f);
  }
  return 0;
}
