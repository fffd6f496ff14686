#include "common/system_dll_win.h"

namespace kestrane {

void RestrictDllSearchToSystem() {
  // Looked up rather than imported: Windows 7 has it only with a later update.
  using SetDirs = BOOL(WINAPI*)(DWORD);
  auto set_dirs = Function<SetDirs>(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
  if (set_dirs) set_dirs(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
  SetDllDirectoryA("");  // takes the current folder out of the search where the above is missing
  // Libraries that parts of the system load by bare name, some of them before or outside any
  // search order this process can set (the visual styles for the first window, among them). Once
  // mapped from the system folder, a later load by name finds them here and looks nowhere else.
  static const char* const kByName[] = {"uxtheme.dll", "dwmapi.dll", "cryptbase.dll",
                                        "version.dll"};
  for (const char* name : kByName) LoadSystemDll(name);
}

HMODULE LoadSystemDll(const char* name) {
  char path[MAX_PATH + 32];
  UINT n = GetSystemDirectoryA(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  path[n] = '\\';
  lstrcpynA(path + n + 1, name, 31);
  HMODULE m = LoadLibraryExA(path, nullptr, 0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
  if (!m && GetLastError() == ERROR_INVALID_PARAMETER) m = LoadLibraryExA(path, nullptr, 0);
  return m;
}

}  // namespace kestrane
