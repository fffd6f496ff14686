#include "common/files_win.h"

#include "common/process_win.h"
#include "common/scoped_win.h"

namespace kestrane {

std::optional<std::string> FindOrdinaryFile(const std::string& path) {
  char name[MAX_PATH];
  if (!IsOrdinaryFile(path.c_str(), name)) return std::nullopt;
  return std::string(name);
}

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
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

std::string LongFullPath(const std::string& path) {
  if (path.empty()) return path;
  DWORD n = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::string full(n, '\0');
  n = GetFullPathNameA(path.c_str(), n, &full[0], nullptr);
  full.resize(n);
  // The part that exists takes its long form; a name still to be created is kept.
  std::string tail;
  for (;;) {
    DWORD m = GetLongPathNameA(full.c_str(), nullptr, 0);
    if (m) {
      std::string longer(m, '\0');
      m = GetLongPathNameA(full.c_str(), &longer[0], m);
      if (m && m < longer.size()) {
        longer.resize(m);
        full = longer;
        break;
      }
    }
    size_t cut = full.find_last_of('\\');
    if (cut == std::string::npos || cut + 1 >= full.size() || cut < 3) break;
    tail = full.substr(cut) + tail;
    full.resize(cut);
  }
  if (!full.empty() && full.back() == '\\' && !tail.empty()) full.pop_back();
  return full + tail;
}

bool SameExistingFile(const std::string& a, const std::string& b) {
  auto id = [](const std::string& p, BY_HANDLE_FILE_INFORMATION* info) {
    AutoFileHandle f(CreateFileA(p.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return f && GetFileInformationByHandle(f.get(), info);
  };
  BY_HANDLE_FILE_INFORMATION x{}, y{};
  return id(a, &x) && id(b, &y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
         x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

bool ReparsePointOnTheWay(const std::string& from, const std::string& path) {
  std::string at = from;
  for (;;) {
    DWORD a = GetFileAttributesA(at.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
    if (at.size() >= path.size()) return false;
    size_t next = path.find('\\', at.size() + 1);
    at = path.substr(0, next == std::string::npos ? path.size() : next);
  }
}

}  // namespace kestrane
