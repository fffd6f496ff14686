#pragma once
// A package or cabinet written into memory, with a size at which writes fail as on a full disk.
#include <cstring>
#include <vector>

#include "packager/pe_image.h"

namespace kestrane {

class MemorySink : public PackageSink {
 public:
  bool WriteAt(uint64_t at, const void* data, size_t size) override {
    if (at + size > limit) return false;
    if (bytes.size() < at + size) bytes.resize(at + size);
    memcpy(bytes.data() + at, data, size);
    return true;
  }
  bool ReadAt(uint64_t at, void* data, size_t size) override {
    if (at + size > bytes.size()) return false;
    memcpy(data, bytes.data() + at, size);
    return true;
  }
  std::vector<uint8_t> bytes;
  uint64_t limit = UINT64_MAX;
};

}  // namespace kestrane
