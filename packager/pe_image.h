#pragma once
// The parts of a program's image that the package writer reads and changes: the section table,
// the resource directory and the header fields that describe them. A package is the stub's bytes
// unchanged but for a few header fields, followed by one new section that holds a resource
// directory for the stub's own resources (whose data stays where the stub has it) and the
// package's, with the cabinet last so that it can be streamed in before its size is known.
// Portable, so that malformed stubs can be tried natively.
#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace kestrane {

// A resource type or name: a number, or a text when `text` is not empty.
struct ResourceKey {
  uint16_t id = 0;
  std::u16string text;
};

struct ResourceLeaf {
  ResourceKey type, name;
  uint16_t lang = 0;
  uint32_t rva = 0;  // where the data lies in the image
  uint32_t size = 0;
  uint32_t codepage = 0;
};

struct StubImage {
  uint32_t header_size = 0;  // the stub's headers, section table included
  uint32_t file_end = 0;     // the stub's size
  uint32_t file_alignment = 0;
  uint32_t section_alignment = 0;
  uint32_t next_rva = 0;      // where a new section may start in memory
  bool has_checksum = false;  // the stub's header carries a checksum, so must the package
  std::vector<ResourceLeaf> resources;
};

// Reads what the writer needs from the stub's bytes. False, with a one-line reason, for anything
// that is not a Windows program (32-bit, or 64-bit for test builds) with room in its header for one
// more section.
bool ReadStubImage(const uint8_t* data, size_t size, StubImage* image, std::string* error);

// A resource of the package: RT_RCDATA, language neutral.
struct PackageResource {
  std::string name;  // upper-case ASCII
  std::vector<uint8_t> data;
};

// The new section's first bytes: the merged directory and the data of `ours`; the data of the
// last of `ours` is not in them, it follows at `tail_offset` with `tail_size` bytes.
struct ResourceSection {
  std::vector<uint8_t> head;
  uint32_t tail_offset = 0;
  uint32_t size = 0;  // head, tail and the padding between
};
ResourceSection BuildResourceSection(const StubImage& stub,
                                     const std::vector<PackageResource>& ours, uint32_t tail_size);

// Adds the section (`raw_size` bytes from offset `raw_offset` of the file, `rsrc.size` of them
// used) to a copy of the stub's headers and points the resource directory at it. The checksum is
// left zero.
void PatchHeaders(std::vector<uint8_t>* headers, const StubImage& stub, uint32_t raw_offset,
                  uint32_t raw_size, const ResourceSection& rsrc);

// Where the checksum field lies in the headers.
uint32_t ChecksumOffset(const std::vector<uint8_t>& headers);

// The image checksum: `PeSumAdd` over the whole file in pieces of even length (the checksum field
// zero), then `PeSumFinish` with the file's length.
uint32_t PeSumAdd(uint32_t sum, const uint8_t* data, size_t size);
uint32_t PeSumFinish(uint32_t sum, uint32_t file_size);
// The sum of two pieces that each start at an even offset.
uint32_t PeSumCombine(uint32_t a, uint32_t b);

// `PeSumAdd` for a stream that comes in pieces of any length.
class PeSummer {
 public:
  void Add(const void* data, size_t size);
  uint32_t sum() const;  // a pending odd byte counts as a word's low half

 private:
  uint32_t sum_ = 0;
  int odd_ = -1;
};

// Where a package is written, at any offset.
class PackageSink {
 public:
  virtual ~PackageSink() = default;
  virtual bool WriteAt(uint64_t at, const void* data, size_t size) = 0;
  virtual bool ReadAt(uint64_t at, void* data, size_t size) = 0;
  // Appended to the reason of a failed write: the system's error, say.
  virtual std::string Detail() const { return std::string(); }
};

struct CabinetSum {
  uint32_t size = 0;
  uint32_t crc = 0;    // CRC-32 of the cabinet's bytes
  uint32_t words = 0;  // their `PeSumAdd`, for a stub whose image carries a checksum
};

// The size and CRC of a cabinet from the writes that made it, without reading it back: the
// cabinet library writes in order but goes back to its headers at the end, so the first bytes
// are kept and the rest summed as it comes. Writes out of that order make `Finish` false, and the
// sum must then come from the file.
class CabinetSummer {
 public:
  static constexpr uint64_t kHead = 64 << 10;
  void Restart();
  void Wrote(uint64_t at, const void* data, size_t size);
  uint64_t end() const { return end_; }
  bool Finish(CabinetSum* sum) const;

 private:
  uint64_t end_ = 0, rest_end_ = kHead;
  std::vector<uint8_t> head_;
  uint32_t rest_crc_ = 0;
  PeSummer rest_words_;
  bool in_order_ = true;
};

// Writes a package into `sink` in one pass: the stub, the cabinet that `cabinet` writes from the
// offset it is handed, then the resource section and the headers, whose fields depend on the
// cabinet's size. `resources` makes the package's resources for the cabinet's sum, the cabinet
// (whose data is what `cabinet` wrote) last. On failure sets `error` to a one-line reason.
bool AssemblePackage(
    const std::vector<uint8_t>& stub,
    const std::function<std::vector<PackageResource>(const CabinetSum&)>& resources,
    const std::function<bool(uint64_t at, CabinetSum* sum)>& cabinet, PackageSink* sink,
    std::string* error);

inline uint32_t AlignUp(uint32_t v, uint32_t a) {
  return (v + a - 1) / a * a;
}

// Where the new section starts in the file: on a page boundary, so that the system can map the
// package's bulk straight from the file when it starts instead of copying it into memory first.
constexpr uint32_t kPageSize = 4096;
inline uint32_t NewSectionFileOffset(const StubImage& stub) {
  return AlignUp(stub.file_end, stub.file_alignment > kPageSize ? stub.file_alignment : kPageSize);
}

}  // namespace kestrane
