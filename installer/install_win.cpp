#include "installer/install_win.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "common/handle_win.h"
#include "common/system_win.h"
#include "common/product.h"
#include "installer/layout.h"

namespace kestrane {

namespace {

std::string Drive() {
  return WorkingDrive().value_or("");
}
std::string Path1() {
  return FirstPathEntry().value_or("");
}

}  // namespace

void CreateRegistryKey(HKEY root, const std::string& key_path) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  SECURITY_ATTRIBUTES sa{};
  RegCreateKeyExA(root, key_path.c_str(), 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE,
                  KEY_ALL_ACCESS, &sa, &key, &disposition);
  if (key) RegCloseKey(key);
}

bool SetRegistryValue(HKEY root, const std::string& key_path, const std::string& value_name,
                      const std::string& value) {
  RegKey key;
  if (RegOpenKeyExA(root, key_path.c_str(), 0, KEY_ALL_ACCESS, key.receive()) != ERROR_SUCCESS)
    return false;
  BYTE buffer[1024];
  DWORD size = sizeof buffer, type = 0;
  LONG r = RegQueryValueExA(key.get(), value_name.c_str(), nullptr, &type, buffer, &size);
  if (r == ERROR_FILE_NOT_FOUND)
    type = REG_SZ;
  else if (r != ERROR_SUCCESS)
    return false;
  if (type == REG_DWORD) {
    DWORD number = DwordFromText(value);
    return RegSetValueExA(key.get(), value_name.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&number), sizeof number) == ERROR_SUCCESS;
  }
  // Any other present type is replaced by the text, as a string value of that type.
  return RegSetValueExA(key.get(), value_name.c_str(), 0, type,
                        reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH];
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

bool MakeShortcut(const std::string& link_path, const std::string& target) {
  ComPtr<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.receive_void())))
    return false;
  if (FAILED(link->SetPath(target.c_str()))) return false;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.receive_void()))) return false;
  wchar_t wide[MAX_PATH * 2];
  if (!MultiByteToWideChar(CP_ACP, 0, link_path.c_str(), -1, wide, MAX_PATH * 2)) return false;
  return SUCCEEDED(file->Save(wide, TRUE));
}

bool ProbeWriteAccess() {
  auto first = FirstPathEntry();
  if (!first) return false;
  const std::string probe = *first + "\\temp.tmp";
  if (FindOrdinaryFile(probe)) DeleteFileA(probe.c_str());
  AutoFileHandle f(CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  return f.valid();
}

std::string ConverterPath() {
  return Drive() + ":\\kestrane" + "\\kestrane.exe";
}

std::vector<std::string> RunInstallSequence(bool desktop_shortcut,
                                            const std::string& setup_folder) {
  ScopedCoInit com;
  std::vector<std::string> missing;
  auto folder = [&](const std::optional<std::string>& path) {
    if (!path) {
      missing.push_back("the folder of the working tree (PATH names no working drive)");
      return;
    }
    if (!CreateDirectoryA(path->c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      missing.push_back(*path);
  };
  auto shortcut = [&](int csidl, const char* rel, const std::string& target) {
    std::string base = SpecialFolder(csidl);
    std::string link = base + rel;
    if (base.empty() || !MakeShortcut(link, target)) missing.push_back(link);
  };
  const std::string& setup = setup_folder;

  folder(TreePath(TreeFolders()[0]));
  folder(TreePath(TreeFolders()[1]));
  folder(TreePath(TreeFolders()[2]));
  {
    std::string programs = SpecialFolder(CSIDL_PROGRAMS);
    folder(programs.empty() ? std::nullopt
                            : std::optional<std::string>(programs + kStartMenuFolder));
  }
  folder(TreePath(TreeFolders()[3]));
  shortcut(CSIDL_PROGRAMS, kConverterLink, ConverterPath());
  shortcut(CSIDL_PROGRAMS, kUninstallerLink, Path1() + "\\kestrane_uninstall.exe");
  if (desktop_shortcut) shortcut(CSIDL_DESKTOPDIRECTORY, kDesktopLink, ConverterPath());

  for (const auto& f : InstalledFiles()) {
    std::string dest;
    switch (f.base) {
      case Base::kTools:
        dest = Drive() + ":\\kestrane\\tools";
        break;
      case Base::kRoot:
        dest = Drive() + ":\\kestrane";
        break;
      case Base::kPath1:
        dest = Path1();
        break;
    }
    dest += f.name;
    if (!CopyFileA((setup + f.source).c_str(), dest.c_str(), FALSE)) missing.push_back(dest);
  }

  CreateRegistryKey(HKEY_LOCAL_MACHINE, kUninstallKey);
  const std::pair<const char*, std::string> values[] = {
      {"DisplayName", "kestrane (1.0)"},
      {"DisplayVersion", "1.0"},
      {"HelpLink", product::kHomePage},
      {"Publisher", "Tamsworth"},
      {"UninstallString", "\"" + Path1() + "\\kestrane_uninstall.exe\""},
  };
  bool registered = true;
  for (const auto& [name, data] : values)
    registered &= SetRegistryValue(HKEY_LOCAL_MACHINE, kUninstallKey, name, data);
  if (!registered) missing.push_back("the entry in the list of installed programs");
  return missing;
}

}  // namespace kestrane
