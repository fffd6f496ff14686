// The launched program of the benchmark: writes the moment it runs (100 ns units) to the file
// KESTRANE_STAMP and ends.
#include <windows.h>

#include <cstdio>

int main() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  char path[MAX_PATH];
  if (!GetEnvironmentVariableA("KESTRANE_STAMP", path, MAX_PATH)) return 1;
  FILE* f = fopen(path, "w");
  if (!f) return 1;
  fprintf(f, "%llu\n",
          (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
  fclose(f);
  return 0;
}
