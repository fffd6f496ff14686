#include "common/system_win.h"

#include <vector>

#include "common/handle_win.h"
#include "common/paths.h"
#include "common/process_win.h"

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
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(k.get(), key, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
  if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
  std::string v(size + 1, '\0');
  if (RegQueryValueExA(k.get(), key, nullptr, &type, reinterpret_cast<BYTE*>(&v[0]), &size) !=
      ERROR_SUCCESS)
    return {};
  v.resize(size);
  while (!v.empty() && v.back() == '\0') v.pop_back();
  return v;
}

bool SaveSetting(const char* app, const char* section, const char* key, const std::string& value) {
  std::string sub = std::string(kSettingsRoot) + app + "\\" + section;
  RegKey k;
  if (k.Create(HKEY_CURRENT_USER, sub.c_str(), KEY_SET_VALUE) != ERROR_SUCCESS) return false;
  return RegSetValueExA(k.get(), key, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
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

}  // namespace kestrane
