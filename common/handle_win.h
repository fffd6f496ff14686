#pragma once
// Small owners for Win32 resources. Two handle owners, because Win32 has two "no handle" values:
// process, thread and event handles use NULL, file and find handles use INVALID_HANDLE_VALUE.
#include <windows.h>
#include <objbase.h>

namespace kestrane {

template <HANDLE (*Invalid)()>
class BasicHandle {
 public:
  BasicHandle() = default;
  explicit BasicHandle(HANDLE h) : h_(h) {}
  BasicHandle(const BasicHandle&) = delete;
  BasicHandle& operator=(const BasicHandle&) = delete;
  BasicHandle(BasicHandle&& o) noexcept : h_(o.release()) {}
  BasicHandle& operator=(BasicHandle&& o) noexcept {
    reset(o.release());
    return *this;
  }
  ~BasicHandle() { reset(); }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != Invalid() && h_ != nullptr; }
  explicit operator bool() const { return valid(); }
  HANDLE release() {
    HANDLE h = h_;
    h_ = Invalid();
    return h;
  }
  void reset(HANDLE h = Invalid()) {
    if (valid()) CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_ = Invalid();
};

inline HANDLE NullHandleValue() {
  return nullptr;
}
inline HANDLE InvalidHandleValue() {
  return INVALID_HANDLE_VALUE;
}

using AutoCloseHandle = BasicHandle<NullHandleValue>;    // CreateProcess, OpenProcess, events
using AutoFileHandle = BasicHandle<InvalidHandleValue>;  // CreateFile

class AutoFindHandle {
 public:
  explicit AutoFindHandle(HANDLE h) : h_(h) {}
  AutoFindHandle(const AutoFindHandle&) = delete;
  AutoFindHandle& operator=(const AutoFindHandle&) = delete;
  ~AutoFindHandle() {
    if (valid()) FindClose(h_);
  }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
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

 private:
  HKEY k_ = nullptr;
};

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
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
