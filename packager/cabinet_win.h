#pragma once
// The package's cabinet, written straight into the package file from the files on disk. Files
// whose content does not compress (pictures, video) go stored, in a folder of their own:
// compressing them costs most of a conversion's time and saves next to nothing.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "packager/pe_image.h"

namespace kestrane {

struct CabinetEntry {
  std::string source;  // the file to pack
  std::string name;    // its name inside the cabinet
};

// Whether deflating samples of the file saves at least a tenth of their size.
bool WorthCompressing(const std::string& path);

// The package file as it is written: sequential writes gathered into large blocks, every write
// checked. `limit` stops writes past that many bytes as a full disk would (for tests).
class OutputFile : public PackageSink {
 public:
  explicit OutputFile(HANDLE file, uint64_t limit = UINT64_MAX);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool WriteAt(uint64_t at, const void* data, size_t size) override;
  bool ReadAt(uint64_t at, void* data, size_t size) override;
  std::string Detail() const override;
  bool Flush();
  // The first failure's system error code; 0 when all went well.
  DWORD error() const { return error_; }

 private:
  bool Put(uint64_t at, const void* data, size_t size);

  HANDLE file_;
  uint64_t limit_, written_ = 0;
  std::vector<char> buffer_;
  uint64_t buffer_at_ = 0;
  DWORD error_ = 0;
};

struct CabinetLimits {
  uint64_t write = UINT64_MAX;  // bytes written in all, as a full disk (tests)
};

// Writes a cabinet holding the entries in order into `out` from offset `base` on. On failure
// sets `error` to a one-line reason.
bool WriteCabinet(const std::vector<CabinetEntry>& entries, OutputFile* out, uint64_t base,
                  CabinetSum* written, std::string* error);

}  // namespace kestrane
