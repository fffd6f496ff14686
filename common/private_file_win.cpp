#include "common/private_file_win.h"

#include <memory>

#include "common/security_win.h"

namespace kestrane {

namespace {

constexpr DWORD kCopyChunk = 1 << 20;

bool WriteAll(HANDLE f, const char* data, size_t size) {
  while (size > 0) {
    DWORD part = size > kCopyChunk ? kCopyChunk : static_cast<DWORD>(size);
    DWORD put = 0;
    if (!WriteFile(f, data, part, &put, nullptr) || put != part) return false;
    data += part;
    size -= part;
  }
  return true;
}

// What was written is what the file holds: its size as the system sees it through the handle.
bool Holds(HANDLE f, uint64_t expected) {
  LARGE_INTEGER size;
  return FlushFileBuffers(f) && GetFileSizeEx(f, &size) &&
         static_cast<uint64_t>(size.QuadPart) == expected;
}

bool CopyInto(HANDLE to, const std::string& from) {
  // Shared as widely as a reader can be, so that a presentation open in its editor still copies;
  // a source that changes size meanwhile fails the check below.
  AutoFileHandle src(CreateFileA(from.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  LARGE_INTEGER size;
  if (!src || !GetFileSizeEx(src.get(), &size)) return false;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyChunk]);
  if (!buffer) return false;
  uint64_t copied = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(src.get(), buffer.get(), kCopyChunk, &got, nullptr)) return false;
    if (got == 0) break;
    if (!WriteAll(to, buffer.get(), got)) return false;
    copied += got;
  }
  return copied == static_cast<uint64_t>(size.QuadPart) && Holds(to, copied);
}

}  // namespace

bool RemoveLeftFile(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  if (attributes & FILE_ATTRIBUTE_READONLY)
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (DeleteFileA(path.c_str())) return true;
  return GetLastError() == ERROR_FILE_NOT_FOUND;
}

AutoFileHandle CreatePrivateFile(const std::string& path, DWORD access) {
  const std::string sddl = security::UserOnly();
  if (sddl.empty()) return AutoFileHandle();
  security::Descriptor d(sddl.c_str());
  if (!d.valid()) return AutoFileHandle();
  return AutoFileHandle(CreateFileA(path.c_str(), access, 0, d.attributes(), CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool CopyToPrivateFile(const std::string& from, const std::string& path) {
  AutoFileHandle f = CreatePrivateFile(path);
  if (!f) return false;
  if (CopyInto(f.get(), from)) return true;
  f.reset();
  DeleteFileA(path.c_str());
  return false;
}

bool WritePrivateTextFile(const std::string& path, const std::string& text) {
  AutoFileHandle f = CreatePrivateFile(path);
  if (!f) return false;
  const std::string all = text + "\r\n";
  if (WriteAll(f.get(), all.data(), all.size()) && Holds(f.get(), all.size())) return true;
  f.reset();
  DeleteFileA(path.c_str());
  return false;
}

}  // namespace kestrane
