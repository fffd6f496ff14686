#pragma once
// Per-user settings in the registry.
#include <windows.h>

#include <string>

namespace kestrane {

// Per-user application settings, kept where such settings have always lived:
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section>, value <key> (REG_SZ).
std::string GetSetting(const char* app, const char* section, const char* key);
bool SaveSetting(const char* app, const char* section, const char* key, const std::string& value);
bool DeleteSettingSection(const char* app);

}  // namespace kestrane
