#include "packager/cabinet_win.h"

#include <windows.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/scoped_win.h"
#include "packager/cabinet_format.h"

namespace kestrane {

namespace {

constexpr size_t kBlock = 1 << 20;  // reads and writes of real files

bool FileAt(HANDLE h, uint64_t at) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(at);
  return SetFilePointerEx(h, to, nullptr, FILE_BEGIN) != FALSE;
}

std::string WithError(const std::string& what, DWORD code) {
  return what + " (error " + std::to_string(code) + ")";
}

// What the cabinet lists of a file: its size, its time as MS-DOS has it, and only the read-only
// bit, since hidden or system files would be awkward to clean up.
bool Describe(const CabinetEntry& e, CabinetFileInfo* info, std::string* error) {
  AutoFileHandle h(CreateFileA(e.source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!h) {
    *error = WithError("cannot open " + e.source, GetLastError());
    return false;
  }
  BY_HANDLE_FILE_INFORMATION fi = {};
  const bool ok = GetFileInformationByHandle(h.get(), &fi) != FALSE;
  const DWORD code = GetLastError();
  h.reset();
  if (!ok) {
    *error = WithError("cannot read " + e.source, code);
    return false;
  }
  info->name = e.name;
  info->size = (static_cast<uint64_t>(fi.nFileSizeHigh) << 32) | fi.nFileSizeLow;
  FILETIME local;
  if (!FileTimeToLocalFileTime(&fi.ftLastWriteTime, &local) ||
      !FileTimeToDosDateTime(&local, &info->date, &info->time)) {
    info->date = 0x21;  // 1980-01-01
    info->time = 0;
  }
  info->attribs = (fi.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? cab::kAttribReadOnly : 0;
  info->compress = WorthCompressing(e.source);
  return true;
}

class SourceFiles : public CabinetReader {
 public:
  explicit SourceFiles(const std::vector<CabinetEntry>& entries) : entries_(entries) {}
  ~SourceFiles() override { Close(); }

  bool Open(size_t file) override {
    Close();
    current_ = file;
    file_.reset(CreateFileA(entries_[file].source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file_) return true;
    reason_ = WithError("cannot open " + entries_[file].source, GetLastError());
    return false;
  }
  bool Read(void* data, size_t size, size_t* got) override {
    DWORD n = 0;
    if (!ReadFile(file_.get(), data, static_cast<DWORD>(size), &n, nullptr)) {
      reason_ = WithError("cannot read " + entries_[current_].source, GetLastError());
      return false;
    }
    *got = n;
    return true;
  }
  void Close() override { file_.reset(); }
  std::string Reason() const override { return reason_; }

 private:
  const std::vector<CabinetEntry>& entries_;
  size_t current_ = 0;
  AutoFileHandle file_;
  std::string reason_;
};

}  // namespace

bool WorthCompressing(const std::string& path) {
  AutoFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return true;  // the library will report it
  HANDLE h = file.get();
  LARGE_INTEGER size;
  bool worth = true;
  const DWORD kSample = 64 * 1024;
  const int kSamples = 16;
  if (GetFileSizeEx(h, &size) && size.QuadPart > kSample) {
    std::vector<unsigned char> in(kSample), out(compressBound(kSample));
    uint64_t raw = 0, packed = 0;
    for (int i = 0; i < kSamples; ++i) {
      LARGE_INTEGER at;
      at.QuadPart = (size.QuadPart - kSample) / (kSamples - 1) * i;
      DWORD got = 0;
      if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN) ||
          !ReadFile(h, in.data(), kSample, &got, nullptr) || got == 0)
        break;
      uLongf n = static_cast<uLongf>(out.size());
      if (compress2(out.data(), &n, in.data(), got, 1) != Z_OK) break;
      raw += got;
      packed += n;
    }
    worth = raw == 0 || packed * 10 < raw * 9;
  }
  return worth;
}

bool WriteCabinet(const std::vector<CabinetEntry>& entries, OutputFile* out, uint64_t base,
                  CabinetSum* written, std::string* error) {
  std::vector<CabinetFileInfo> files(entries.size());
  for (size_t i = 0; i < entries.size(); ++i)
    if (!Describe(entries[i], &files[i], error)) return false;
  SourceFiles sources(entries);
  return WriteCabinetFiles(files, &sources, out, base, written, error);
}

OutputFile::OutputFile(HANDLE file, uint64_t limit) : file_(file), limit_(limit) {
  buffer_.reserve(kBlock);
}

bool OutputFile::Put(uint64_t at, const void* data, size_t size) {
  if (error_) return false;
  DWORD put = 0;
  if (written_ + size > limit_) {
    error_ = ERROR_DISK_FULL;
    return false;
  }
  if (!FileAt(file_, at) || !WriteFile(file_, data, static_cast<DWORD>(size), &put, nullptr) ||
      put != size) {
    error_ = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
    return false;
  }
  written_ += size;
  return true;
}

bool OutputFile::Flush() {
  if (buffer_.empty()) return !error_;
  bool ok = Put(buffer_at_, buffer_.data(), buffer_.size());
  buffer_.clear();
  return ok;
}

bool OutputFile::WriteAt(uint64_t at, const void* data, size_t size) {
  if (error_) return false;
  if (!buffer_.empty() && at == buffer_at_ + buffer_.size() &&
      buffer_.size() + size <= buffer_.capacity()) {
    buffer_.insert(buffer_.end(), static_cast<const char*>(data),
                   static_cast<const char*>(data) + size);
    return true;
  }
  if (!Flush()) return false;
  if (size >= buffer_.capacity()) return Put(at, data, size);
  buffer_at_ = at;
  buffer_.assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);
  return true;
}

std::string OutputFile::Detail() const {
  return " (error " + std::to_string(error_) + ")";
}

bool OutputFile::ReadAt(uint64_t at, void* data, size_t size) {
  if (!Flush()) return false;
  DWORD got = 0;
  if (!FileAt(file_, at) || !ReadFile(file_, data, static_cast<DWORD>(size), &got, nullptr) ||
      got != size) {
    error_ = GetLastError() ? GetLastError() : ERROR_HANDLE_EOF;
    return false;
  }
  return true;
}

}  // namespace kestrane
