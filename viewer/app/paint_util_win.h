#pragma once
// Small owners and conversions the painters share: COM pointers, GDI objects that free
// themselves, the imaging factory, and text and colour conversions.
#include <windows.h>
#include <wincodec.h>

#include <string>

#include "ppt/presentation.h"

namespace viewer {

template <typename T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
  explicit operator bool() const { return p != nullptr; }
};

// A GDI object freed when it goes out of scope.
template <typename T>
class GdiObject {
 public:
  explicit GdiObject(T h = nullptr) : h_(h) {}
  ~GdiObject() {
    if (h_) DeleteObject(h_);
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  GdiObject(GdiObject&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
  GdiObject& operator=(GdiObject&& o) noexcept {
    if (this != &o) {
      if (h_) DeleteObject(h_);
      h_ = o.h_;
      o.h_ = nullptr;
    }
    return *this;
  }
  T get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  T h_;
};
using AutoBrush = GdiObject<HBRUSH>;
using AutoPen = GdiObject<HPEN>;
using AutoFont = GdiObject<HFONT>;
using AutoBitmap = GdiObject<HBITMAP>;
using AutoRegion = GdiObject<HRGN>;

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

IWICImagingFactory* Factory();
std::wstring Wide(const std::string& s);
std::wstring WideUtf8(const std::string& s);
inline COLORREF Ref(const ppt::Rgb& c) {
  return RGB(c.r, c.g, c.b);
}

}  // namespace viewer
