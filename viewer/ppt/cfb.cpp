#include "ppt/cfb.h"

#include <algorithm>
#include <cstring>

#include "ppt/bytes.h"

namespace ppt {
namespace {

constexpr uint32_t kEnd = 0xFFFFFFFE;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr uint32_t kMaxSector = 0xFFFFFFFA;  // above: markers, not sector numbers
constexpr size_t kHeaderDifat = 76, kHeaderDifatEntries = 109;
constexpr uint8_t kMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr size_t kHeaderSize = 512;
// Header fields, by offset.
constexpr size_t kMajorVersionAt = 26, kSectorShiftAt = 30, kFirstDirectoryAt = 48;
constexpr size_t kFirstMiniFatAt = 60, kMiniFatCountAt = 64, kFirstDifatAt = 68;
constexpr size_t kDifatCountAt = 72;
constexpr uint16_t kVersion4 = 4;  // 4096-byte sectors and 64-bit stream sizes
constexpr uint32_t kSmallShift = 9, kLargeShift = 12;
constexpr uint32_t kMiniStreamCutoff = 4096;
// Directory entries, and their fields by offset.
constexpr size_t kEntrySize = 128;
constexpr size_t kNameAt = 0, kNameBytesAt = 64, kTypeAt = 66, kLeftAt = 68, kRightAt = 72;
constexpr size_t kChildAt = 76, kStartAt = 116, kSizeAt = 120, kSizeHighAt = 124;
constexpr size_t kNameBytesMax = 64;
constexpr uint8_t kRootType = 5, kStreamType = 2, kStorageType = 1;

std::string Fold(const std::string& s) {
  std::string r = s;
  for (char& c : r) c = char((c >= 'a' && c <= 'z') ? c - 32 : c);
  return r;
}

}  // namespace

const uint8_t* CompoundFile::Sector(uint32_t n) const {
  uint64_t off = (uint64_t(n) + 1) << shift_;
  if (n >= kMaxSector || off + (uint64_t(1) << shift_) > size_) return nullptr;
  return data_ + off;
}

uint32_t CompoundFile::Next(uint32_t n) const {
  return n < fat_.size() ? fat_[n] : kEnd;
}

bool CompoundFile::Open(const uint8_t* data, size_t size) {
  data_ = data;
  size_ = size;
  if (size < kHeaderSize || memcmp(data, kMagic, sizeof kMagic) != 0) return false;
  const uint16_t major = Le16(data + kMajorVersionAt);
  shift_ = Le16(data + kSectorShiftAt);
  if (shift_ != kSmallShift && shift_ != kLargeShift)
    shift_ = major == kVersion4 ? kLargeShift : kSmallShift;
  mini_cutoff_ = kMiniStreamCutoff;  // the only size the format allows, whatever is stored
  ReadFat(Le32(data + kFirstDifatAt), Le32(data + kDifatCountAt));
  if (!ReadDirectory(Le32(data + kFirstDirectoryAt), major == kVersion4)) return false;
  // The mini stream and its allocation table.
  std::vector<uint8_t> mf;
  if (Le32(data + kMiniFatCountAt) &&
      ReadChain(Le32(data + kFirstMiniFatAt), UINT64_MAX, false, &mf)) {
    for (size_t k = 0; k + 4 <= mf.size(); k += 4) minifat_.push_back(Le32(mf.data() + k));
  }
  ReadChain(entries_[0].start, entries_[0].size, false, &ministream_);
  ListTopEntries();
  return true;
}

void CompoundFile::ReadFat(uint32_t first_difat, uint32_t difat_count) {
  const size_t sector_size = size_t(1) << shift_;
  const size_t max_sectors = size_ / sector_size + 1;
  const size_t per_sector = sector_size / 4;
  // However many FAT sectors the header claims, those describing sectors past the file's end
  // describe nothing: the list is cut off at what the file's size calls for.
  const size_t fat_sectors_needed = (max_sectors + per_sector - 1) / per_sector;

  // The FAT sector list: 109 entries in the header, the rest in a chain of DIFAT sectors.
  std::vector<uint32_t> fat_sectors;
  for (size_t i = 0; i < kHeaderDifatEntries && fat_sectors.size() < fat_sectors_needed; i++) {
    uint32_t s = Le32(data_ + kHeaderDifat + i * 4);
    if (s < kMaxSector) fat_sectors.push_back(s);
  }
  std::vector<bool> difat_seen(max_sectors, false);
  uint32_t d = first_difat;
  for (uint32_t i = 0; i < difat_count && d < kMaxSector && fat_sectors.size() < fat_sectors_needed;
       i++) {
    const uint8_t* p = Sector(d);
    if (!p || difat_seen[d]) break;
    difat_seen[d] = true;
    size_t per = per_sector - 1;  // the last entry names the next DIFAT sector
    for (size_t k = 0; k < per && fat_sectors.size() < fat_sectors_needed; k++) {
      uint32_t s = Le32(p + k * 4);
      if (s < kMaxSector) fat_sectors.push_back(s);
    }
    d = Le32(p + per * 4);
  }
  for (uint32_t s : fat_sectors) {
    const uint8_t* p = Sector(s);
    if (!p) continue;
    for (size_t k = 0; k < per_sector; k++) fat_.push_back(Le32(p + k * 4));
  }
  if (fat_.size() > max_sectors) fat_.resize(max_sectors);
}

bool CompoundFile::ReadDirectory(uint32_t first, bool large_sizes) {
  std::vector<uint8_t> dir;
  if (!ReadChain(first, UINT64_MAX, false, &dir) || dir.size() < kEntrySize) return false;
  size_t n_entries = dir.size() / kEntrySize;
  entries_.resize(n_entries);
  for (size_t i = 0; i < n_entries; i++) {
    const uint8_t* e = dir.data() + i * kEntrySize;
    Entry& en = entries_[i];
    size_t name_len = std::min<size_t>(Le16(e + kNameBytesAt), kNameBytesMax) / 2;
    for (size_t k = 0; k < name_len; k++) {
      uint16_t c = Le16(e + kNameAt + k * 2);
      if (c == 0) break;
      en.name += char(c < 128 ? c : '?');
    }
    en.name = Fold(en.name);
    en.type = e[kTypeAt];
    en.left = Le32(e + kLeftAt);
    en.right = Le32(e + kRightAt);
    en.child = Le32(e + kChildAt);
    en.start = Le32(e + kStartAt);
    en.size = Le32(e + kSizeAt);
    if (large_sizes) en.size |= uint64_t(Le32(e + kSizeHighAt)) << 32;
  }
  return entries_[0].type == kRootType;
}

// Walks the red-black tree below the root, guarding against cycles.
void CompoundFile::ListTopEntries() {
  ListEntriesBelow(entries_[0].child);
}

bool CompoundFile::EnterStorage(const std::string& name) {
  const Entry* e = Find(name);
  if (!e || e->type != kStorageType) return false;
  ListEntriesBelow(e->child);
  return true;
}

void CompoundFile::ListEntriesBelow(uint32_t first) {
  top_.clear();
  std::vector<uint32_t> stack{first};
  std::vector<bool> seen(entries_.size(), false);
  while (!stack.empty()) {
    uint32_t i = stack.back();
    stack.pop_back();
    if (i == kNoStream || i >= entries_.size() || seen[i]) continue;
    seen[i] = true;
    top_.push_back(i);
    stack.push_back(entries_[i].left);
    stack.push_back(entries_[i].right);
  }
}

void CompoundFile::Chain(uint32_t start, uint64_t size, bool mini,
                         std::vector<uint32_t>* out) const {
  out->clear();
  const uint64_t unit = mini ? 64 : (uint64_t(1) << shift_);
  const size_t limit = mini ? minifat_.size() : fat_.size();
  // A stream holds each sector once: a chain that comes back to one it has passed is looping,
  // and ends there rather than repeating what it has read up to the size it claims.
  std::vector<bool> seen(limit, false);
  uint32_t s = start;
  while (s != kEnd && uint64_t(out->size()) * unit < size) {
    if (s < limit) {
      if (seen[s]) break;
      seen[s] = true;
    } else if (mini) {
      break;
    }
    if (mini) {
      if ((uint64_t(s) + 1) * 64 > ministream_.size()) break;
    } else if (!Sector(s)) {
      break;
    }
    out->push_back(s);
    s = mini ? minifat_[s] : Next(s);
  }
}

bool CompoundFile::ReadChain(uint32_t start, uint64_t size, bool mini,
                             std::vector<uint8_t>* out) const {
  StreamReader r;
  r.file_ = this;
  r.mini_ = mini;
  r.unit_ = mini ? 64 : (size_t(1) << shift_);
  Chain(start, size, mini, &r.chain_);
  r.size_ = std::min<uint64_t>(size, uint64_t(r.chain_.size()) * r.unit_);
  out->assign(size_t(r.size_), 0);
  out->resize(r.Read(0, out->size(), out->data()));
  return true;
}

const uint8_t* StreamReader::Unit(size_t index) const {
  if (index >= chain_.size()) return nullptr;
  if (mini_) return file_->ministream_.data() + uint64_t(chain_[index]) * 64;
  return file_->Sector(chain_[index]);
}

void StreamReader::InMemory(const uint8_t* data, size_t size) {
  *this = StreamReader();
  memory_ = data;
  size_ = size;
}

size_t StreamReader::Read(uint64_t offset, size_t n, uint8_t* out) const {
  if (!valid() || offset >= size_) return 0;
  n = size_t(std::min<uint64_t>(n, size_ - offset));
  if (memory_) {
    memcpy(out, memory_ + offset, n);
    return n;
  }
  size_t done = 0;
  while (done < n) {
    uint64_t at = offset + done;
    const uint8_t* p = Unit(size_t(at / unit_));
    if (!p) break;
    size_t in = size_t(at % unit_);
    size_t take = std::min(unit_ - in, n - done);
    memcpy(out + done, p + in, take);
    done += take;
  }
  return done;
}

const uint8_t* StreamReader::Contiguous(uint64_t offset, size_t n) const {
  if (!valid() || offset > size_ || n > size_ - offset) return nullptr;
  if (memory_) return memory_ + offset;
  size_t first = size_t(offset / unit_);
  size_t last = n ? size_t((offset + n - 1) / unit_) : first;
  if (first >= chain_.size()) return nullptr;
  for (size_t i = first; i < last; i++)
    if (chain_[i + 1] != chain_[i] + 1) return nullptr;
  return Unit(first) + offset % unit_;
}

const CompoundFile::Entry* CompoundFile::Find(const std::string& name) const {
  std::string f = Fold(name);
  for (uint32_t i : top_)
    if (entries_[i].name == f) return &entries_[i];
  return nullptr;
}

bool CompoundFile::Has(const std::string& name) const {
  return Find(name) != nullptr;
}

bool CompoundFile::Read(const std::string& name, std::vector<uint8_t>* out) const {
  const Entry* e = Find(name);
  if (!e || e->type != kStreamType) return false;
  // A declared size larger than the file cannot be real; cap the read at the file size.
  uint64_t size = std::min<uint64_t>(e->size, size_);
  return ReadChain(e->start, size, size < mini_cutoff_, out);
}

bool CompoundFile::Stream(const std::string& name, StreamReader* out) const {
  *out = StreamReader();
  const Entry* e = Find(name);
  if (!e || e->type != kStreamType) return false;
  uint64_t size = std::min<uint64_t>(e->size, size_);
  out->file_ = this;
  out->mini_ = size < mini_cutoff_;
  out->unit_ = out->mini_ ? 64 : (size_t(1) << shift_);
  Chain(e->start, size, out->mini_, &out->chain_);
  out->size_ = std::min<uint64_t>(size, uint64_t(out->chain_.size()) * out->unit_);
  return true;
}

std::vector<std::string> CompoundFile::Names() const {
  std::vector<std::string> r;
  for (uint32_t i : top_) r.push_back(entries_[i].name);
  return r;
}

}  // namespace ppt
