#include "common/shell_folders_win.h"

#include <shlobj.h>

namespace kestrane {

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH];
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

std::string WindowsFolderProgram(const char* name) {
  char folder[MAX_PATH];
  UINT n = GetWindowsDirectoryA(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return name;
  std::string path(folder, n);
  if (path.back() != '\\') path += '\\';
  return path + name;
}

}  // namespace kestrane
