#pragma once
// Cabinets written by the packager itself, straight into the package in one pass: consecutive
// files of the same kind share a folder, compressed with MSZIP (deflate in blocks of 32 KiB, each
// block free to refer back into the one before) or stored. Stored folders are copied in large
// pieces with nothing but the block checksums computed on the way. Portable, so that the format
// can be checked natively against readers outside Windows.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "packager/pe_image.h"

namespace kestrane {

namespace cab {
// The format's fixed numbers.
inline constexpr uint32_t kSignature = 0x4643534D;  // "MSCF"
inline constexpr uint8_t kVersionMinor = 3, kVersionMajor = 1;
inline constexpr uint32_t kHeaderSize = 36;
inline constexpr uint32_t kFolderSize = 8;
inline constexpr uint32_t kFileSize = 16;  // before the name and its terminating zero
inline constexpr uint32_t kDataHeaderSize = 8;
inline constexpr uint32_t kBlock = 32768;  // uncompressed bytes of every data block but a last
inline constexpr uint16_t kStored = 0, kMszip = 1;
inline constexpr uint16_t kMaxCount = 0xFFFF;  // files, folders, and blocks of one folder
inline constexpr uint16_t kAttribReadOnly = 0x01;
inline constexpr uint16_t kSetId = 0x4B53;
}  // namespace cab

struct CabinetFileInfo {
  std::string name;  // as the cabinet lists it
  uint64_t size = 0;
  uint16_t date = 0x21, time = 0;  // MS-DOS form; 0x21 is 1980-01-01
  uint16_t attribs = 0;
  bool compress = true;
};

// The files' bytes, one file after the other in the order given.
class CabinetReader {
 public:
  virtual ~CabinetReader() = default;
  virtual bool Open(size_t file) = 0;
  // Up to `size` next bytes of the open file; `*got` 0 at its end. False on a failed read.
  virtual bool Read(void* data, size_t size, size_t* got) = 0;
  virtual void Close() = 0;
  // Why the last call failed, for the message: "cannot open ...", "cannot read ...".
  virtual std::string Reason() const = 0;
};

// The uncompressed checksum of a data block's bytes, as the format defines it.
uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed);

// Writes the cabinet of `files` into `sink` from offset `base` on, and its size and sums into
// `sum`. On failure sets `error` to a one-line reason.
bool WriteCabinetFiles(const std::vector<CabinetFileInfo>& files, CabinetReader* reader,
                       PackageSink* sink, uint64_t base, CabinetSum* sum, std::string* error);

}  // namespace kestrane
