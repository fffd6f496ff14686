#include "common/tree_layout.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace kestrane {

const std::vector<InstalledFile>& InstalledFiles() {
  static const std::vector<InstalledFile> files = {
      {"\\Advpack.dll", Base::kTools, "\\Advpack.dll"},
      {"\\IExpress.exe", Base::kTools, "\\IExpress.exe"},
      {"\\makecab.exe", Base::kTools, "\\makecab.exe"},
      {"\\mcab.exe", Base::kTools, "\\mcab.exe"},
      {"\\W95inf16.dll", Base::kTools, "\\W95inf16.dll"},
      {"\\w95inf32.dll", Base::kTools, "\\w95inf32.dll"},
      {"\\wextract1.exe", Base::kTools, "\\wextract\\wextract1.dat"},
      {"\\wextract2.exe", Base::kTools, "\\wextract\\wextract2.dat"},
      {"\\wextract3.exe", Base::kTools, "\\wextract\\wextract3.dat"},
      {"\\wextract4.exe", Base::kTools, "\\wextract\\wextract4.dat"},
      {"\\wextract5.exe", Base::kTools, "\\wextract\\wextract5.dat"},
      {"\\wextract6.exe", Base::kTools, "\\wextract\\wextract6.dat"},
      {"\\pellum.exe", Base::kRoot, "\\PELLUM.dll"},
      {"\\comdlg32.ocx", Base::kRoot, "\\comdlg32.ocx"},
      {"\\msvbvm60.dll", Base::kRoot, "\\msvbvm60.dll"},
      {"\\GDIPLUS.DLL", Base::kRoot, "\\GDIPLUS.DLL"},
      {"\\INTLDATE.DLL", Base::kRoot, "\\INTLDATE.DLL"},
      {"\\PPTVIEW.exe", Base::kRoot, "\\PPTVIEW.exe"},
      {"\\PPVWINTL.DLL", Base::kRoot, "\\PPVWINTL.DLL"},
      {"\\SAEXT.DLL", Base::kRoot, "\\SAEXT.DLL"},
      {"\\UNICOWS.DLL", Base::kRoot, "\\UNICOWS.DLL"},
      {"\\kestrane.exe", Base::kRoot, "\\kestrane.exe"},
      {"\\kestrane.man", Base::kRoot, "\\kestrane.exe.manifest"},
      {"\\kestrane_uninstall.exe", Base::kPath1, "\\kestrane_uninstall.exe"},
      {"\\kestrane_uninstall.man", Base::kPath1, "\\kestrane_uninstall.exe.manifest"},
  };
  return files;
}

const std::vector<const char*>& TreeFolders() {
  static const std::vector<const char*> folders = {kWorkingRoot, tree::kTools, tree::kStubFolder,
                                                   tree::kTemp};
  return folders;
}

const std::vector<const char*>& StagedFiles() {
  static const std::vector<const char*> files = {tree::kStagedLauncher, tree::kStagedPresentation,
                                                 tree::kStagedManifest, tree::kStagedDirective,
                                                 tree::kPackage,        tree::kStagedStub};
  return files;
}

const char* TreeFolderAccess(size_t index) {
  // The stub variants' folder takes no staged file.
  return index == 2 ? kProgramFolderAccess : kStagingFolderAccess;
}

std::string WhereFileLands(const std::string& path, const std::string& system,
                           const std::string& wow64) {
  if (wow64.empty() || system.empty() || !PathWithin(path, system)) return path;
  std::string rest = path.substr(system.size());
  while (!rest.empty() && (rest[0] == '\\' || rest[0] == '/')) rest.erase(0, 1);
  // These stay in the 64-bit folder for 32-bit programs too.
  for (const char* kept :
       {"catroot", "catroot2", "driverstore", "drivers\\etc", "logfiles", "spool"})
    if (PathWithin(rest, kept)) return path;
  return rest.empty() ? wow64 : wow64 + "\\" + rest;
}

unsigned long DwordFromText(const std::string& text) {
  const char* p = text.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  const char* start = p;
  if (*p == '+' || *p == '-') ++p;
  bool digits = false;
  while (*p >= '0' && *p <= '9') ++p, digits = true;
  if (*p == '.') {
    ++p;
    while (*p >= '0' && *p <= '9') ++p, digits = true;
  }
  if (!digits) return 0;
  if ((*p == 'e' || *p == 'E') && ((p[1] >= '0' && p[1] <= '9') ||
                                   ((p[1] == '+' || p[1] == '-') && p[2] >= '0' && p[2] <= '9'))) {
    p += 2;
    while (*p >= '0' && *p <= '9') ++p;
  }
  double v = std::strtod(std::string(start, p).c_str(), nullptr);
  v = std::nearbyint(v);  // the default rounding mode sends halves to the even neighbour
  if (!(v >= -2147483648.0)) v = -2147483648.0;
  if (v > 4294967295.0) v = 4294967295.0;
  return static_cast<unsigned long>(static_cast<uint32_t>(static_cast<int64_t>(v)));
}

}  // namespace kestrane
