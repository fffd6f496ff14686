#include "installer/install_win.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "common/paths.h"
#include "common/private_file_win.h"
#include "common/product.h"
#include "common/reg_key_win.h"
#include "common/scoped_win.h"
#include "common/security_win.h"
#include "common/system_dll_win.h"
#include "common/environment_win.h"
#include "common/files_win.h"
#include "common/shell_folders_win.h"
#include "common/tree_layout.h"

namespace kestrane {

namespace {

std::string Drive() {
  return WorkingDrive().value_or("");
}
std::string Path1() {
  return FirstPathEntry().value_or("");
}

// The 32-bit system folder of a 64-bit Windows, where this 32-bit program's writes to the system
// folder land; empty on a 32-bit Windows.
std::string Wow64Folder() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
  using Wow64Dir = UINT(WINAPI*)(LPSTR, UINT);
  auto is_wow64 = Function<IsWow64>(kernel, "IsWow64Process");
  auto wow64_dir = Function<Wow64Dir>(kernel, "GetSystemWow64DirectoryA");
  BOOL wow64 = FALSE;
  if (!is_wow64 || !wow64_dir || !is_wow64(GetCurrentProcess(), &wow64) || !wow64) return {};
  char folder[MAX_PATH];
  UINT n = wow64_dir(folder, MAX_PATH);
  return n && n < MAX_PATH ? std::string(folder, n) : std::string();
}

std::string SystemFolder() {
  char folder[MAX_PATH];
  UINT n = GetSystemDirectoryA(folder, MAX_PATH);
  return n && n < MAX_PATH ? std::string(folder, n) : std::string();
}

// A tree folder found in place, opened as it is (a link is not followed), for every check and
// change that follows to go through this one handle.
AutoFileHandle OpenFoundFolder(const std::string& path) {
  return AutoFileHandle(CreateFileA(
      path.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER | DELETE | FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Renames the folder behind `folder` to the first free "<path>.moved-N" beside it.
bool MoveAside(HANDLE folder, const std::string& path) {
  for (int n = 1; n < 100; ++n) {
    const std::string aside = path + ".moved-" + std::to_string(n);
    wchar_t wide[MAX_PATH];
    int chars = MultiByteToWideChar(CP_ACP, 0, aside.c_str(), -1, wide, MAX_PATH);
    if (chars <= 1) return false;
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + chars * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>((chars - 1) * sizeof(wchar_t));
    CopyMemory(info->FileName, wide, chars * sizeof(wchar_t));
    if (SetFileInformationByHandle(folder, FileRenameInfo, info, static_cast<DWORD>(buffer.size())))
      return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

// Creates a tree folder with its access list. One that exists already is taken over and given
// the same list when Administrators, SYSTEM or the installing administrator own it (an earlier
// setup made it). A working root that anyone else owns was made by another user to be used
// against this one: it is moved aside whole and the root is made anew. Links are never followed.
enum class Folder { kMade, kTaken, kUnsafe, kFailed };
Folder MakeTreeFolder(const std::string& path, const char* access, bool is_root) {
  if (security::CreateFolder(path, access)) return Folder::kMade;
  if (GetLastError() != ERROR_ALREADY_EXISTS) return Folder::kFailed;
  AutoFileHandle found = OpenFoundFolder(path);
  BY_HANDLE_FILE_INFORMATION info;
  if (!found || !GetFileInformationByHandle(found.get(), &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return Folder::kUnsafe;
  if (!security::OwnedByAdministrators(found.get())) {
    if (!is_root || !MoveAside(found.get(), path)) return Folder::kUnsafe;
    found.reset();
    return security::CreateFolder(path, access) ? Folder::kMade : Folder::kUnsafe;
  }
  return security::Apply(found.get(), access) ? Folder::kTaken : Folder::kUnsafe;
}

// Copies a delivered file so that the copy has its protected access list from the moment it
// exists. A file of that name is removed first and the copy created new: opening it instead could
// write through a second name of some other file (a hard link) with setup's rights. A missing
// source leaves the destination as it was.
bool CopyProtected(const std::string& src, const std::string& dest) {
  AutoFileHandle in(CreateFileA(src.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in) return false;
  security::Descriptor access(kInstalledFileAccess),
      mine(security::WithoutOwner(kInstalledFileAccess));
  if (!access.valid() || !mine.valid() || !RemoveLeftFile(dest)) return false;
  auto create = [&](security::Descriptor& d) {
    return CreateFileA(dest.c_str(), GENERIC_WRITE, 0, d.attributes(), CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  AutoFileHandle out(create(access));
  if (!out && GetLastError() == ERROR_INVALID_OWNER) out.reset(create(mine));
  if (!out) return false;
  static char buffer[1 << 20];
  DWORD got = 0;
  bool ok = true;
  while (ok && ReadFile(in.get(), buffer, sizeof buffer, &got, nullptr) && got) {
    DWORD put = 0;
    ok = WriteFile(out.get(), buffer, got, &put, nullptr) && put == got;
  }
  return ok && got == 0;
}

}  // namespace

void CreateRegistryKey(HKEY root, const std::string& key_path) {
  RegKey key;
  DWORD disposition = 0;
  SECURITY_ATTRIBUTES sa{};
  RegCreateKeyExA(root, key_path.c_str(), 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE,
                  KEY_ALL_ACCESS, &sa, key.receive(), &disposition);
}

bool SetRegistryValue(HKEY root, const std::string& key_path, const std::string& value_name,
                      const std::string& value) {
  RegKey key;
  if (key.Open(root, key_path.c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) return false;
  BYTE buffer[1024];
  DWORD type = 0;
  LONG r = key.QueryType(value_name.c_str(), &type, buffer, sizeof buffer);
  if (r == ERROR_FILE_NOT_FOUND)
    type = REG_SZ;
  else if (r != ERROR_SUCCESS)
    return false;
  const char* name = value_name.c_str();
  switch (type) {
    case REG_DWORD:
      return key.WriteDword(name, DwordFromText(value));
    case REG_DWORD_BIG_ENDIAN: {
      DWORD n = DwordFromText(value);
      BYTE be[4] = {BYTE(n >> 24), BYTE(n >> 16), BYTE(n >> 8), BYTE(n)};
      return key.Write(name, REG_DWORD_BIG_ENDIAN, be, sizeof be);
    }
    case REG_QWORD: {
      unsigned long long n = DwordFromText(value);
      return key.Write(name, REG_QWORD, &n, sizeof n);
    }
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:
      return key.WriteString(name, value, type);
    default:
      // Binary and other data has no text form: the text replaces it as a string value.
      return key.WriteString(name, value, REG_SZ);
  }
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

std::string UninstallerPath() {
  const std::string path = Path1() + "\\kestrane_uninstall.exe";
  const std::string lands = WhereFileLands(LongFullPath(path), SystemFolder(), Wow64Folder());
  return SamePath(lands, LongFullPath(path)) ? path : lands;
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
  return Drive() + tree::kConverter;
}

std::vector<std::string> RunInstallSequence(bool desktop_shortcut,
                                            const std::string& setup_folder) {
  ScopedCoInit com;
  std::vector<std::string> missing;
  // Tree folders that exist but could not be made safe take no file.
  bool unsafe[4] = {false, false, false, false};
  auto tree_folder = [&](size_t i) {
    auto path = TreePath(TreeFolders()[i]);
    if (!path) {
      missing.push_back("the folder of the working tree (PATH names no working drive)");
      return;
    }
    if (i > 0 && unsafe[0]) {
      unsafe[i] = true;
      return;
    }
    switch (MakeTreeFolder(*path, TreeFolderAccess(i), i == 0)) {
      case Folder::kMade:
      case Folder::kTaken:
        break;
      case Folder::kUnsafe:
        unsafe[i] = true;
        missing.push_back(*path +
                          " (it exists already and cannot be made safe; remove it and "
                          "run setup again)");
        break;
      case Folder::kFailed:
        missing.push_back(*path);
        break;
    }
  };
  auto shortcut = [&](int csidl, const char* rel, const std::string& target) {
    std::string base = SpecialFolder(csidl);
    std::string link = base + rel;
    if (base.empty() || !MakeShortcut(link, target)) missing.push_back(link);
  };
  const std::string& setup = setup_folder;

  tree_folder(0);
  tree_folder(1);
  tree_folder(2);
  {
    std::string programs = SpecialFolder(CSIDL_PROGRAMS);
    if (programs.empty())
      missing.push_back("the kestrane folder of the Start menu");
    else if (!CreateDirectoryA((programs + kStartMenuFolder).c_str(), nullptr) &&
             GetLastError() != ERROR_ALREADY_EXISTS)
      missing.push_back(programs + kStartMenuFolder);
  }
  tree_folder(3);
  shortcut(CSIDL_PROGRAMS, kConverterLink, ConverterPath());
  shortcut(CSIDL_PROGRAMS, kUninstallerLink, UninstallerPath());
  if (desktop_shortcut) shortcut(CSIDL_DESKTOPDIRECTORY, kDesktopLink, ConverterPath());

  for (const auto& f : InstalledFiles()) {
    std::string dest;
    bool safe = true;
    switch (f.base) {
      case Base::kTools:
        dest = Drive() + tree::kTools;
        safe = !unsafe[std::string(f.name).rfind("\\wextract\\", 0) == 0 ? 2 : 1];
        break;
      case Base::kRoot:
        dest = Drive() + kWorkingRoot;
        safe = !unsafe[0];
        break;
      case Base::kPath1:
        dest = Path1();
        break;
    }
    dest += f.name;
    if (!safe) continue;  // reported once, with its folder
    if (!CopyProtected(setup + f.source, dest)) missing.push_back(dest);
  }

  CreateRegistryKey(HKEY_LOCAL_MACHINE, kUninstallKey);
  const std::pair<const char*, std::string> values[] = {
      {"DisplayName", "kestrane (1.0)"},
      {"DisplayVersion", "1.0"},
      {"HelpLink", product::kHomePage},
      {"Publisher", "Tamsworth"},
      {"UninstallString", "\"" + UninstallerPath() + "\""},
  };
  bool registered = true;
  for (const auto& [name, data] : values)
    registered &= SetRegistryValue(HKEY_LOCAL_MACHINE, kUninstallKey, name, data);
  if (!registered) missing.push_back("the entry in the list of installed programs");
  return missing;
}

}  // namespace kestrane
