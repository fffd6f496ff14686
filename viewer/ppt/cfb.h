#pragma once
// Reader for the compound file container (OLE structured storage) that holds a presentation's
// streams. Works on caller-owned bytes (a buffer or a file mapping) that must outlive it and the
// streams it hands out; every chain walk is bounded, so a damaged or hostile file yields missing
// or short streams, never a hang.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ppt {

class CompoundFile;

// One stream, read piecewise: a stream's sectors may lie anywhere in the file, so a range is
// either copied out sector by sector or, when its sectors follow each other, handed out as a
// pointer into the file's bytes without a copy.
class StreamReader {
 public:
  StreamReader() = default;
  uint64_t size() const { return size_; }
  bool valid() const { return file_ != nullptr || memory_ != nullptr; }
  // Reads bytes held in memory instead of the file's sectors (a decrypted stream); they must
  // outlive the reader.
  void InMemory(const uint8_t* data, size_t size);
  // Copies up to `n` bytes from `offset`; returns how many could be read.
  size_t Read(uint64_t offset, size_t n, uint8_t* out) const;
  // The range as a pointer into the file's bytes when it is stored in one piece, else null.
  const uint8_t* Contiguous(uint64_t offset, size_t n) const;

 private:
  friend class CompoundFile;
  const uint8_t* Unit(size_t index) const;
  const CompoundFile* file_ = nullptr;
  const uint8_t* memory_ = nullptr;
  bool mini_ = false;
  size_t unit_ = 512;
  uint64_t size_ = 0;
  std::vector<uint32_t> chain_;  // the stream's sectors in order
};

class CompoundFile {
 public:
  // False when the bytes are not a compound file at all.
  bool Open(const uint8_t* data, size_t size);
  // A stream directly below the root storage, by case-insensitive name. A chain that breaks off
  // early yields the part that could be read.
  bool Read(const std::string& name, std::vector<uint8_t>* out) const;
  // The same stream without reading it; the reader refers to this object, which must outlive it
  // and stay where it is.
  bool Stream(const std::string& name, StreamReader* out) const;
  bool Has(const std::string& name) const;
  std::vector<std::string> Names() const;
  // From now on, names refer to what lies below this storage (a child of the present one).
  bool EnterStorage(const std::string& name);
  // Entries of the allocation tables as read: never more than the file's sectors call for.
  size_t TableEntries() const { return fat_.size() + minifat_.size(); }

 private:
  friend class StreamReader;
  struct Entry {
    std::string name;  // ASCII-folded, upper case
    uint8_t type = 0;
    uint32_t left = 0, right = 0, child = 0, start = 0;
    uint64_t size = 0;
  };
  void ReadFat(uint32_t first_difat, uint32_t difat_count);
  bool ReadDirectory(uint32_t first, bool large_sizes);
  void ListTopEntries();
  void ListEntriesBelow(uint32_t first);
  bool ReadChain(uint32_t start, uint64_t size, bool mini, std::vector<uint8_t>* out) const;
  void Chain(uint32_t start, uint64_t size, bool mini, std::vector<uint32_t>* out) const;
  const uint8_t* Sector(uint32_t n) const;
  uint32_t Next(uint32_t n) const;
  const Entry* Find(const std::string& name) const;

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  uint32_t shift_ = 9;
  uint32_t mini_cutoff_ = 4096;
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> minifat_;
  std::vector<uint8_t> ministream_;
  std::vector<Entry> entries_;
  std::vector<uint32_t> top_;  // entries below the root, or the storage entered
};

}  // namespace ppt
