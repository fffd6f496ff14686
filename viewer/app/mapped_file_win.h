#pragma once
// A file mapped read-only into memory for as long as this object lives: the presentation's
// pages are read by the system when first touched, so opening even a very large file costs
// almost nothing and its pictures never occupy private memory.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/scoped_win.h"

namespace viewer {

class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { Close(); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // False with the system's error code when the file cannot be opened or mapped. An empty file
  // opens as zero bytes.
  bool Open(const std::string& path, DWORD* error) {
    Close();
    kestrane::AutoFileHandle f(CreateFileA(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) {
      *error = GetLastError();
      return false;
    }
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(f.get(), &size) != 0 && uint64_t(size.QuadPart) <= SIZE_MAX;
    *error = ok ? 0 : ERROR_READ_FAULT;
    if (ok && size.QuadPart > 0) {
      // The view lives on without the file and mapping handles.
      kestrane::AutoCloseHandle m(
          CreateFileMappingA(f.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
      view_ = m ? MapViewOfFile(m.get(), FILE_MAP_READ, 0, 0, 0) : nullptr;
      if (!view_) {
        *error = GetLastError() ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
        ok = false;
      }
      size_ = ok ? size_t(size.QuadPart) : 0;
    }
    return ok;
  }
  const uint8_t* data() const { return static_cast<const uint8_t*>(view_); }
  size_t size() const { return size_; }

 private:
  void Close() {
    if (view_) UnmapViewOfFile(view_);
    view_ = nullptr;
    size_ = 0;
  }
  void* view_ = nullptr;
  size_t size_ = 0;
};

}  // namespace viewer
