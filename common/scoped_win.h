#pragma once
// The owners of Win32 resources, one family. Each owner is told by a small traits type how its
// kind of resource is released and which value means "none": process, thread and event handles
// use NULL, file and find handles INVALID_HANDLE_VALUE. Header-only and free of the C++ library,
// so that the package stub, which is built without it, holds its handles the same way.
#include <windows.h>
#include <objbase.h>

namespace kestrane {

template <class Traits>
class Scoped {
 public:
  using Type = typename Traits::Type;
  Scoped() = default;
  explicit Scoped(Type h) : h_(h) {}
  Scoped(const Scoped&) = delete;
  Scoped& operator=(const Scoped&) = delete;
  Scoped(Scoped&& o) noexcept : h_(o.release()) {}
  Scoped& operator=(Scoped&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  ~Scoped() { reset(); }
  Type get() const { return h_; }
  bool valid() const { return Traits::Valid(h_); }
  explicit operator bool() const { return valid(); }
  Type release() {
    Type h = h_;
    h_ = Traits::None();
    return h;
  }
  void reset(Type h = Traits::None()) {
    if (valid()) Traits::Close(h_);
    h_ = h;
  }
  // For functions that hand a new resource back through a pointer.
  Type* receive() {
    reset();
    return &h_;
  }

 private:
  Type h_ = Traits::None();
};

namespace traits {

// Kernel handles: functions disagree on which of NULL and INVALID_HANDLE_VALUE says "none", so
// neither is ever closed.
inline bool ValidHandle(HANDLE h) {
  return h != nullptr && h != INVALID_HANDLE_VALUE;
}
struct KernelHandle {
  using Type = HANDLE;
  static Type None() { return nullptr; }
  static bool Valid(Type h) { return ValidHandle(h); }
  static void Close(Type h) { CloseHandle(h); }
};
struct FileHandle : KernelHandle {
  static Type None() { return INVALID_HANDLE_VALUE; }
};
struct FindHandle : FileHandle {
  static void Close(Type h) { FindClose(h); }
};
// Anything that "none" is NULL for, released by one function that takes it.
template <class T, auto Free>
struct Freed {
  using Type = T;
  static Type None() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static void Close(Type h) { Free(h); }
};
template <class T>
using GdiObject = Freed<T, DeleteObject>;

}  // namespace traits

using AutoCloseHandle = Scoped<traits::KernelHandle>;  // processes, threads, events, jobs
using AutoFileHandle = Scoped<traits::FileHandle>;     // CreateFile, snapshots
using AutoFindHandle = Scoped<traits::FindHandle>;     // FindFirstFile
using AutoModule = Scoped<traits::Freed<HMODULE, FreeLibrary>>;
using AutoMetafile = Scoped<traits::Freed<HENHMETAFILE, DeleteEnhMetaFile>>;
using AutoMemoryDC = Scoped<traits::Freed<HDC, DeleteDC>>;  // CreateCompatibleDC
template <class T>
using GdiObject = Scoped<traits::GdiObject<T>>;
using AutoBrush = GdiObject<HBRUSH>;
using AutoPen = GdiObject<HPEN>;
using AutoFont = GdiObject<HFONT>;
using AutoBitmap = GdiObject<HBITMAP>;
using AutoRegion = GdiObject<HRGN>;

// A window's device context for the length of a scope.
class WindowDC {
 public:
  explicit WindowDC(HWND h) : h_(h), dc_(GetDC(h)) {}
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  ~WindowDC() {
    if (dc_) ReleaseDC(h_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND h_;
  HDC dc_;
};

// Selects an object into a DC for the scope, then puts the previous one back.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ obj) : dc_(dc), old_(obj ? SelectObject(dc, obj) : nullptr) {}
  ~ScopedSelect() {
    if (old_) SelectObject(dc_, old_);
  }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Saves a DC's whole state for the scope (clip, transform, selected objects, modes).
class ScopedSaveDC {
 public:
  explicit ScopedSaveDC(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  ~ScopedSaveDC() { RestoreDC(dc_, saved_); }
  ScopedSaveDC(const ScopedSaveDC&) = delete;
  ScopedSaveDC& operator=(const ScopedSaveDC&) = delete;

 private:
  HDC dc_;
  int saved_;
};

// A COM interface pointer, released with the owner.
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
  // Takes over a reference the caller holds.
  void reset(T* p = nullptr) {
    if (p_) p_->Release();
    p_ = p;
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
