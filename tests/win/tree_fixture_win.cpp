#include "tests/win/tree_fixture_win.h"

#include <windows.h>
#include <shobjidl.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/scoped_win.h"

namespace fs = std::filesystem;

namespace kestrane::testing {

std::string ReadFile(const std::string& path, bool* ok) {
  std::ifstream f(path, std::ios::binary);
  if (ok) *ok = static_cast<bool>(f);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream f(path, std::ios::binary);
  f << bytes;
  return static_cast<bool>(f);
}

std::string LinkTarget(const std::string& link) {
  ScopedCoInit com;
  ComPtr<IShellLinkA> shell_link;
  ComPtr<IPersistFile> file;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              shell_link.receive_void())) ||
      FAILED(shell_link->QueryInterface(IID_IPersistFile, file.receive_void())))
    return "<no shell link>";
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
  if (FAILED(file->Load(wide, STGM_READ))) return "<unreadable>";
  char target[MAX_PATH] = "";
  shell_link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
  return target;
}

void RemoveTree(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
}

std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::string rel = fs::relative(it->path(), root).string();
    if (it->is_directory()) {
      out[rel] = "<dir>";
      continue;
    }
    std::string bytes = ReadFile(it->path().string());
    if (bytes.size() > 64) {
      uint32_t h = 2166136261u;
      for (unsigned char c : bytes) h = (h ^ c) * 16777619u;
      bytes = std::to_string(bytes.size()) + " bytes, hash " + std::to_string(h);
    }
    out[rel] = bytes;
  }
  return out;
}

void LayInstalledTree(const std::string& packager) {
  RemoveTree("C:\\kestrane");
  fs::create_directories("C:\\kestrane\\tools\\wextract");
  fs::create_directories("C:\\kestrane\\temp");
  for (int n = 1; n <= 6; ++n)
    WriteFile("C:\\kestrane\\tools\\wextract\\wextract" + std::to_string(n) + ".dat",
              "STUB" + std::to_string(n));
  WriteFile("C:\\kestrane\\PELLUM.dll", "LAUNCHER");
  for (const char* f : {"GDIPLUS.DLL", "INTLDATE.DLL", "PPTVIEW.exe", "PPVWINTL.DLL", "SAEXT.DLL",
                        "UNICOWS.DLL", "msvbvm60.dll", "comdlg32.ocx", "kestrane.exe"})
    WriteFile(std::string("C:\\kestrane\\") + f, std::string("FILE ") + f);
  CopyFileA(packager.c_str(), "C:\\kestrane\\tools\\IExpress.exe", FALSE);
}

}  // namespace kestrane::testing
