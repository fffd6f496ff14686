#pragma once
// Registry keys: an owner with typed value reads and writes (narrow-character functions
// throughout).
#include <windows.h>

#include <optional>
#include <string>

#include "common/scoped_win.h"

namespace kestrane {

class RegKey {
 public:
  LONG Create(HKEY parent, const char* sub, REGSAM sam = KEY_ALL_ACCESS) {
    return RegCreateKeyExA(parent, sub, 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr,
                           k_.receive(), nullptr);
  }
  LONG Open(HKEY parent, const char* sub, REGSAM sam = KEY_READ) {
    return RegOpenKeyExA(parent, sub, 0, sam, k_.receive());
  }
  void Close() { k_.reset(); }
  HKEY get() const { return k_.get(); }
  HKEY* receive() { return k_.receive(); }

  // The present type of a value, into `buffer` when it fits: ERROR_FILE_NOT_FOUND when there is
  // no such value, ERROR_MORE_DATA when it is longer than `size`.
  LONG QueryType(const char* name, DWORD* type, BYTE* buffer, DWORD size) const {
    return RegQueryValueExA(k_.get(), name, nullptr, type, buffer, &size);
  }
  // A text value (REG_SZ or REG_EXPAND_SZ, unexpanded); nothing for any other type.
  std::optional<std::string> ReadString(const char* name) const {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(k_.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    std::string v(size + 1, '\0');
    if (RegQueryValueExA(k_.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&v[0]), &size) !=
        ERROR_SUCCESS)
      return std::nullopt;
    v.resize(size);
    while (!v.empty() && v.back() == '\0') v.pop_back();
    return v;
  }
  std::optional<DWORD> ReadDword(const char* name) const {
    DWORD type = 0, v = 0, size = sizeof v;
    if (RegQueryValueExA(k_.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof v)
      return std::nullopt;
    return v;
  }
  // REG_SZ, REG_EXPAND_SZ (one terminating NUL) or REG_MULTI_SZ (a list of one text: two).
  bool WriteString(const char* name, const std::string& text, DWORD type = REG_SZ) const {
    std::string data = text;
    data.push_back('\0');
    if (type == REG_MULTI_SZ) data.push_back('\0');
    return Write(name, type, data.data(), static_cast<DWORD>(data.size()));
  }
  bool WriteDword(const char* name, DWORD v) const { return Write(name, REG_DWORD, &v, sizeof v); }
  bool Write(const char* name, DWORD type, const void* data, DWORD size) const {
    return RegSetValueExA(k_.get(), name, 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
  }

 private:
  Scoped<traits::Freed<HKEY, RegCloseKey>> k_;
};

}  // namespace kestrane
