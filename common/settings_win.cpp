#include "common/settings_win.h"

#include "common/reg_key_win.h"

namespace kestrane {

namespace {
constexpr char kSettingsRoot[] = "Software\\VB and VBA Program Settings\\";
}  // namespace

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

}  // namespace kestrane
