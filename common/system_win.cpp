#include "common/system_win.h"

#include <shlobj.h>

#include <vector>

#include "common/paths.h"
#include "common/process_win.h"
#include "common/reg_key_win.h"
#include "common/scoped_win.h"

namespace kestrane {

namespace {
constexpr char kSettingsRoot[] = "Software\\VB and VBA Program Settings\\";

std::optional<std::string> PathValue() {
  DWORD n = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (n == 0) return std::nullopt;
  std::string v(n, '\0');
  n = GetEnvironmentVariableA("PATH", &v[0], n);
  v.resize(n);
  return v;
}
}  // namespace

std::string GetEnv(const char* name) {
  DWORD n = GetEnvironmentVariableA(name, nullptr, 0);
  if (n == 0) return {};
  std::string v(n, '\0');
  n = GetEnvironmentVariableA(name, &v[0], n);
  v.resize(n);
  return v;
}

std::optional<std::string> FirstPathEntry() {
  auto v = PathValue();
  return kestrane::FirstPathEntry(v ? v->c_str() : nullptr);
}

std::optional<std::string> WorkingDrive() {
  auto v = PathValue();
  return kestrane::WorkingDrive(v ? v->c_str() : nullptr);
}

std::optional<std::string> TreePath(std::string_view rest) {
  auto v = PathValue();
  return kestrane::TreePath(v ? v->c_str() : nullptr, rest);
}

std::string OwnFolder() {
  char buf[MAX_PATH * 4];
  return kestrane::OwnFolder(buf, sizeof buf) ? std::string(buf) : std::string();
}

void RunAndWait(const std::string& command_line, int show) {
  kestrane::RunAndWait(command_line.c_str(), show);
}

bool StartProcess(const std::string& command_line, int show, DWORD* pid) {
  return kestrane::StartProcess(command_line.c_str(), show, pid);
}

bool StartWindowsProgram(const char* name, const std::string& command_line, int show) {
  return StartProgram(WindowsFolderProgram(name).c_str(), command_line.c_str(), show);
}

std::optional<std::string> FindOrdinaryFile(const std::string& path) {
  char name[MAX_PATH];
  if (!IsOrdinaryFile(path.c_str(), name)) return std::nullopt;
  return std::string(name);
}

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string GetSetting(const char* app, const char* section, const char* key) {
  std::string sub = std::string(kSettingsRoot) + app + "\\" + section;
  RegKey k;
  if (k.Open(HKEY_CURRENT_USER, sub.c_str(), KEY_QUERY_VALUE) != ERROR_SUCCESS) return {};
  return k.ReadString(key).value_or("");
}

bool SaveSetting(const char* app, const char* section, const char* key, const std::string& value) {
  std::string sub = std::string(kSettingsRoot) + app + "\\" + section;
  RegKey k;
  if (k.Create(HKEY_CURRENT_USER, sub.c_str(), KEY_SET_VALUE) != ERROR_SUCCESS) return false;
  return k.WriteString(key, value);
}

bool DeleteSettingSection(const char* app) {
  std::string sub = std::string(kSettingsRoot) + app;
  return RegDeleteTreeA(HKEY_CURRENT_USER, sub.c_str()) == ERROR_SUCCESS;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  AutoFileHandle f(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  std::string all = text + "\r\n";
  DWORD written = 0;
  return WriteFile(f.get(), all.data(), static_cast<DWORD>(all.size()), &written, nullptr) &&
         written == all.size();
}

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

std::string LongFullPath(const std::string& path) {
  if (path.empty()) return path;
  DWORD n = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::string full(n, '\0');
  n = GetFullPathNameA(path.c_str(), n, &full[0], nullptr);
  full.resize(n);
  // The part that exists takes its long form; a name still to be created is kept.
  std::string tail;
  for (;;) {
    DWORD m = GetLongPathNameA(full.c_str(), nullptr, 0);
    if (m) {
      std::string longer(m, '\0');
      m = GetLongPathNameA(full.c_str(), &longer[0], m);
      if (m && m < longer.size()) {
        longer.resize(m);
        full = longer;
        break;
      }
    }
    size_t cut = full.find_last_of('\\');
    if (cut == std::string::npos || cut + 1 >= full.size() || cut < 3) break;
    tail = full.substr(cut) + tail;
    full.resize(cut);
  }
  if (!full.empty() && full.back() == '\\' && !tail.empty()) full.pop_back();
  return full + tail;
}

bool SameExistingFile(const std::string& a, const std::string& b) {
  auto id = [](const std::string& p, BY_HANDLE_FILE_INFORMATION* info) {
    AutoFileHandle f(CreateFileA(p.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return f && GetFileInformationByHandle(f.get(), info);
  };
  BY_HANDLE_FILE_INFORMATION x{}, y{};
  return id(a, &x) && id(b, &y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
         x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

bool ReparsePointOnTheWay(const std::string& from, const std::string& path) {
  std::string at = from;
  for (;;) {
    DWORD a = GetFileAttributesA(at.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
    if (at.size() >= path.size()) return false;
    size_t next = path.find('\\', at.size() + 1);
    at = path.substr(0, next == std::string::npos ? path.size() : next);
  }
}

void EndProgram() {
  ExitProcess(0);
}

}  // namespace kestrane
