#pragma once
// Small owners for Win32 resources. One handle owner, told how its kind of handle is closed and
// which value means "no handle": process, thread and event handles use NULL, file and find
// handles use INVALID_HANDLE_VALUE.
#include <windows.h>
#include <objbase.h>

#include <optional>
#include <string>

namespace kestrane {

inline HANDLE NullHandleValue() {
  return nullptr;
}
inline HANDLE InvalidHandleValue() {
  return INVALID_HANDLE_VALUE;
}
inline void CloseKernelHandle(HANDLE h) {
  CloseHandle(h);
}
inline void CloseFindHandle(HANDLE h) {
  FindClose(h);
}

template <void (*Close)(HANDLE), HANDLE (*Invalid)()>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    reset(o.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != Invalid() && h_ != nullptr; }
  explicit operator bool() const { return valid(); }
  HANDLE release() {
    HANDLE h = h_;
    h_ = Invalid();
    return h;
  }
  void reset(HANDLE h = Invalid()) {
    if (valid()) Close(h_);
    h_ = h;
  }

 private:
  HANDLE h_ = Invalid();
};

using AutoCloseHandle = UniqueHandle<CloseKernelHandle, NullHandleValue>;    // processes, events
using AutoFileHandle = UniqueHandle<CloseKernelHandle, InvalidHandleValue>;  // CreateFile
using AutoFindHandle = UniqueHandle<CloseFindHandle, InvalidHandleValue>;    // FindFirstFile

// A registry key with typed value reads and writes (narrow-character functions throughout).
class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& o) noexcept : k_(o.k_) { o.k_ = nullptr; }
  RegKey& operator=(RegKey&& o) noexcept {
    if (this != &o) {
      Close();
      k_ = o.k_;
      o.k_ = nullptr;
    }
    return *this;
  }
  ~RegKey() { Close(); }
  LONG Create(HKEY parent, const char* sub, REGSAM sam = KEY_ALL_ACCESS) {
    Close();
    return RegCreateKeyExA(parent, sub, 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, &k_,
                           nullptr);
  }
  LONG Open(HKEY parent, const char* sub, REGSAM sam = KEY_READ) {
    Close();
    return RegOpenKeyExA(parent, sub, 0, sam, &k_);
  }
  void Close() {
    if (k_) RegCloseKey(k_);
    k_ = nullptr;
  }
  HKEY get() const { return k_; }
  HKEY* receive() {
    Close();
    return &k_;
  }

  // The present type of a value, into `buffer` when it fits: ERROR_FILE_NOT_FOUND when there is
  // no such value, ERROR_MORE_DATA when it is longer than `size`.
  LONG QueryType(const char* name, DWORD* type, BYTE* buffer, DWORD size) const {
    return RegQueryValueExA(k_, name, nullptr, type, buffer, &size);
  }
  // A text value (REG_SZ or REG_EXPAND_SZ, unexpanded); nothing for any other type.
  std::optional<std::string> ReadString(const char* name) const {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(k_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    std::string v(size + 1, '\0');
    if (RegQueryValueExA(k_, name, nullptr, &type, reinterpret_cast<BYTE*>(&v[0]), &size) !=
        ERROR_SUCCESS)
      return std::nullopt;
    v.resize(size);
    while (!v.empty() && v.back() == '\0') v.pop_back();
    return v;
  }
  std::optional<DWORD> ReadDword(const char* name) const {
    DWORD type = 0, v = 0, size = sizeof v;
    if (RegQueryValueExA(k_, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) !=
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
    return RegSetValueExA(k_, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
  }

 private:
  HKEY k_ = nullptr;
};

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) {
      reset();
      p_ = o.p_;
      o.p_ = nullptr;
    }
    return *this;
  }
  ~ComPtr() { reset(); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** receive() {
    reset();
    return &p_;
  }
  void** receive_void() { return reinterpret_cast<void**>(receive()); }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// COM for the life of a scope, apartment-threaded as the shell's objects want.
class ScopedCoInit {
 public:
  ScopedCoInit() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ScopedCoInit() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ScopedCoInit(const ScopedCoInit&) = delete;
  ScopedCoInit& operator=(const ScopedCoInit&) = delete;

 private:
  HRESULT hr_;
};

}  // namespace kestrane
