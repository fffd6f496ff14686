#include "packager/pe_image.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

#include "common/le_bytes.h"

namespace kestrane {

namespace {

// Offsets and values of the image format this writer touches.
constexpr uint32_t kLfanewAt = 0x3C;
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint32_t kCoffSections = 4 + 2;
constexpr uint32_t kCoffOptionalSize = 4 + 16;
constexpr uint32_t kOptional = 4 + 20;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;  // 64-bit: the same fields, the directories 16 later
constexpr uint32_t kOptInitializedData = 8;
constexpr uint32_t kOptSectionAlignment = 32;
constexpr uint32_t kOptFileAlignment = 36;
constexpr uint32_t kOptSizeOfImage = 56;
constexpr uint32_t kOptSizeOfHeaders = 60;
constexpr uint32_t kOptChecksum = 64;
constexpr uint32_t kOptDirectoryCount = 92;
constexpr uint32_t kOptDirectories = 96;
constexpr uint32_t kOptPlusShift = 16;
constexpr uint32_t kDirResource = 2;
constexpr uint32_t kDirSecurity = 4;
constexpr uint32_t kSectionHeader = 40;
constexpr uint32_t kSecVirtualSize = 8, kSecVirtualAddress = 12, kSecRawSize = 16, kSecRawAt = 20,
                   kSecFlags = 36;
constexpr uint32_t kSectionFlags = 0x40000040;  // initialised data, readable
constexpr char kSectionName[8] = ".rsrc";
constexpr char kRetiredName[8] = ".rsrc0";  // the stub's own, whose data stays in use
constexpr uint32_t kDirHeader = 16, kDirEntry = 8, kDataEntry = 16;
constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint16_t kRtRcdata = 10;
constexpr size_t kMaxLeaves = 4096;  // far beyond any stub; bounds a hostile directory

using le::Get16;
using le::Get32;
using le::Put32;

// Where the data directories lie past their place in a 32-bit image.
uint32_t DirectoryShift(const uint8_t* optional_header) {
  return Get16(optional_header) == kPe32PlusMagic ? kOptPlusShift : 0;
}
struct Section {
  uint32_t va, vsize, raw_at, raw_size;
};

// Bytes of the file, with every read checked against its end.
class Bytes {
 public:
  Bytes(const uint8_t* d, size_t n) : d_(d), n_(n) {}
  bool Has(uint64_t at, uint64_t len) const { return at <= n_ && len <= n_ - at; }
  const uint8_t* At(uint64_t at) const { return d_ + at; }

 private:
  const uint8_t* d_;
  size_t n_;
};

class ResourceReader {
 public:
  ResourceReader(const Bytes& b, const std::vector<Section>& s, uint32_t dir_rva)
      : b_(b), sections_(s), base_(dir_rva) {}

  bool Read(std::vector<ResourceLeaf>* out) { return Directory(0, 0, ResourceLeaf(), out); }

 private:
  bool Offset(uint32_t rva, uint32_t len, uint64_t* at) const {
    for (const Section& s : sections_) {
      const uint32_t span = std::min(s.vsize ? s.vsize : s.raw_size, s.raw_size);
      if (rva >= s.va && rva - s.va < span && len <= span - (rva - s.va)) {
        *at = static_cast<uint64_t>(s.raw_at) + (rva - s.va);
        return b_.Has(*at, len);
      }
    }
    return false;
  }

  bool Key(uint32_t raw, ResourceKey* key) const {
    if (!(raw & kHighBit)) {
      key->id = static_cast<uint16_t>(raw);
      return raw <= 0xFFFF;
    }
    uint64_t at;
    if (!Offset(base_ + (raw & ~kHighBit), 2, &at)) return false;
    const uint16_t n = Get16(b_.At(at));
    if (n == 0 || !Offset(base_ + (raw & ~kHighBit), 2 + 2u * n, &at)) return false;
    key->text.clear();
    for (uint16_t i = 0; i < n; ++i)
      key->text += static_cast<char16_t>(Get16(b_.At(at + 2 + 2 * i)));
    return true;
  }

  bool Directory(uint32_t offset, int depth, ResourceLeaf leaf, std::vector<ResourceLeaf>* out) {
    uint64_t at;
    if (depth > 2 || !Offset(base_ + offset, kDirHeader, &at)) return false;
    const uint32_t n = Get16(b_.At(at + 12)) + Get16(b_.At(at + 14));
    if (!Offset(base_ + offset, kDirHeader + n * kDirEntry, &at)) return false;
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* e = b_.At(at + kDirHeader + i * kDirEntry);
      ResourceKey key;
      if (!Key(Get32(e), &key)) return false;
      if (depth == 0) leaf.type = key;
      if (depth == 1) leaf.name = key;
      if (depth == 2) {
        if (!key.text.empty()) return false;
        leaf.lang = key.id;
      }
      const uint32_t target = Get32(e + 4);
      if (target & kHighBit) {
        if (depth == 2 || !Directory(target & ~kHighBit, depth + 1, leaf, out)) return false;
        continue;
      }
      uint64_t entry;
      if (depth != 2 || !Offset(base_ + target, kDataEntry, &entry)) return false;
      leaf.rva = Get32(b_.At(entry));
      leaf.size = Get32(b_.At(entry + 4));
      leaf.codepage = Get32(b_.At(entry + 8));
      uint64_t data;
      if (out->size() >= kMaxLeaves || (leaf.size && !Offset(leaf.rva, leaf.size, &data)))
        return false;
      out->push_back(leaf);
    }
    return true;
  }

  const Bytes& b_;
  const std::vector<Section>& sections_;
  uint32_t base_;
};

// Named entries first, by their text in code-unit order, then numbered ones in ascending order:
// the order in which the system's lookups search them.
bool KeyLess(const ResourceKey& a, const ResourceKey& b) {
  if (a.text.empty() != b.text.empty()) return !a.text.empty();
  if (!a.text.empty()) return a.text < b.text;
  return a.id < b.id;
}
bool KeyEqual(const ResourceKey& a, const ResourceKey& b) {
  return a.text == b.text && (!a.text.empty() || a.id == b.id);
}

uint32_t Pad8(uint32_t v) {
  return AlignUp(v, 8);
}

}  // namespace

bool ReadStubImage(const uint8_t* data, size_t size, StubImage* image, std::string* error) {
  Bytes b(data, size);
  auto fail = [&](const char* why) {
    *error = std::string("the stub ") + why;
    return false;
  };
  if (size > 0x7FFFFFFF || !b.Has(0, 0x40) || data[0] != 'M' || data[1] != 'Z')
    return fail("is not a Windows program");
  const uint32_t pe = Get32(data + kLfanewAt);
  if (!b.Has(pe, kOptional) || Get32(data + pe) != kPeSignature)
    return fail("is not a Windows program");
  const uint32_t sections = Get16(data + pe + kCoffSections);
  const uint32_t opt_size = Get16(data + pe + kCoffOptionalSize);
  const uint32_t opt = pe + kOptional;
  if (!b.Has(opt, opt_size) || opt_size < 2 ||
      (Get16(data + opt) != kPe32Magic && Get16(data + opt) != kPe32PlusMagic))
    return fail("is not a Windows program of a known kind");
  const uint32_t shift = DirectoryShift(data + opt);
  if (opt_size < kOptDirectories + shift) return fail("has no resource directory entry");
  const uint32_t dirs = Get32(data + opt + kOptDirectoryCount + shift);
  if (dirs <= kDirSecurity || opt_size < kOptDirectories + shift + dirs * 8)
    return fail("has no resource directory entry");
  image->file_alignment = Get32(data + opt + kOptFileAlignment);
  image->section_alignment = Get32(data + opt + kOptSectionAlignment);
  image->header_size = Get32(data + opt + kOptSizeOfHeaders);
  image->has_checksum = Get32(data + opt + kOptChecksum) != 0;
  image->file_end = static_cast<uint32_t>(size);
  auto power_of_two = [](uint32_t v) { return v >= 512 && (v & (v - 1)) == 0; };
  if (!power_of_two(image->file_alignment) || !power_of_two(image->section_alignment) ||
      image->header_size > size || image->header_size % image->file_alignment)
    return fail("has a damaged header");

  const uint32_t table = opt + opt_size;
  if (!b.Has(table, (sections + 1) * uint64_t{kSectionHeader}))
    return fail("has a damaged section table");
  std::vector<Section> list;
  uint32_t first_raw = image->header_size;
  uint64_t next = 0;
  for (uint32_t i = 0; i < sections; ++i) {
    const uint8_t* s = data + table + i * kSectionHeader;
    Section sec{Get32(s + kSecVirtualAddress), Get32(s + kSecVirtualSize), Get32(s + kSecRawAt),
                Get32(s + kSecRawSize)};
    if (sec.raw_size && !b.Has(sec.raw_at, sec.raw_size))
      return fail("has a section beyond its end");
    if (sec.raw_size) first_raw = std::min(first_raw, sec.raw_at);
    next = std::max<uint64_t>(next, uint64_t{sec.va} + std::max(sec.vsize, sec.raw_size));
    list.push_back(sec);
  }
  // The new section's header goes where the table ends; that space must be free.
  const uint32_t free_at = table + sections * kSectionHeader;
  if (free_at + kSectionHeader > first_raw) return fail("leaves no room for another section");
  for (uint32_t i = 0; i < kSectionHeader; ++i)
    if (data[free_at + i]) return fail("leaves no room for another section");
  image->next_rva =
      static_cast<uint32_t>(AlignUp(static_cast<uint32_t>(next), image->section_alignment));
  if (next > 0x70000000) return fail("has a damaged section table");

  image->resources.clear();
  const uint8_t* rdir = data + opt + kOptDirectories + shift + kDirResource * 8;
  if (Get32(rdir) != 0) {
    ResourceReader reader(b, list, Get32(rdir));
    if (!reader.Read(&image->resources)) return fail("has a damaged resource directory");
  }
  return true;
}

namespace {

// The stub's resources, less any the package replaces, then the package's (their places still
// zero), from `*first_ours` on.
std::vector<ResourceLeaf> MergeLeaves(const StubImage& stub,
                                      const std::vector<PackageResource>& ours,
                                      size_t* first_ours) {
  std::vector<ResourceLeaf> leaves;
  std::vector<ResourceKey> names;
  for (const PackageResource& r : ours) {
    ResourceKey k;
    k.text.assign(r.name.begin(), r.name.end());
    names.push_back(k);
  }
  ResourceKey rcdata;
  rcdata.id = kRtRcdata;
  for (const ResourceLeaf& l : stub.resources) {
    const bool replaced = KeyEqual(l.type, rcdata) &&
                          std::any_of(names.begin(), names.end(),
                                      [&](const ResourceKey& k) { return KeyEqual(k, l.name); });
    if (!replaced) leaves.push_back(l);
  }
  *first_ours = leaves.size();
  for (const ResourceKey& k : names) {
    ResourceLeaf l;
    l.type = rcdata;
    l.name = k;
    leaves.push_back(l);
  }
  return leaves;
}

// The leaves in directory order, and where each type's and each name's run begins in it (with
// the end as a last entry).
struct Groups {
  std::vector<size_t> order, type_start, name_start;
};

Groups GroupLeaves(const std::vector<ResourceLeaf>& leaves) {
  Groups g;
  g.order.resize(leaves.size());
  for (size_t i = 0; i < g.order.size(); ++i) g.order[i] = i;
  std::stable_sort(g.order.begin(), g.order.end(), [&](size_t a, size_t b) {
    const ResourceLeaf &x = leaves[a], &y = leaves[b];
    if (!KeyEqual(x.type, y.type)) return KeyLess(x.type, y.type);
    if (!KeyEqual(x.name, y.name)) return KeyLess(x.name, y.name);
    return x.lang < y.lang;
  });
  for (size_t i = 0; i < g.order.size(); ++i) {
    const ResourceLeaf& l = leaves[g.order[i]];
    const ResourceLeaf* prev = i ? &leaves[g.order[i - 1]] : nullptr;
    const bool new_type = !prev || !KeyEqual(prev->type, l.type);
    if (new_type) g.type_start.push_back(i);
    if (new_type || !KeyEqual(prev->name, l.name)) g.name_start.push_back(i);
  }
  g.type_start.push_back(g.order.size());
  g.name_start.push_back(g.order.size());
  return g;
}

// Texts of named types and names, each once, as counted UTF-16.
class Texts {
 public:
  explicit Texts(uint32_t at) : at_(at) {}
  uint32_t Offset(const std::u16string& t) {
    for (const auto& s : seen_)
      if (s.first == t) return s.second;
    const uint32_t at = at_ + static_cast<uint32_t>(bytes_.size());
    bytes_.push_back(static_cast<uint8_t>(t.size()));
    bytes_.push_back(static_cast<uint8_t>(t.size() >> 8));
    for (char16_t c : t) bytes_.push_back(static_cast<uint8_t>(c)), bytes_.push_back(c >> 8);
    seen_.emplace_back(t, at);
    return at;
  }
  uint32_t Key(const ResourceKey& k) {
    return k.text.empty() ? uint32_t{k.id} : kHighBit | Offset(k.text);
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  uint32_t at_;
  std::vector<uint8_t> bytes_;
  std::vector<std::pair<std::u16string, uint32_t>> seen_;
};

void PutDirectory(uint8_t* at, uint32_t named, uint32_t numbered) {
  le::Put16(at + 12, named);
  le::Put16(at + 14, numbered);
}

// The tree, breadth first: the root, the type directories, the name directories; then the data
// entries from `entries_at`, one per leaf in the leaves' own order.
void WriteTree(uint8_t* h, const std::vector<ResourceLeaf>& leaves, const Groups& g,
               uint32_t entries_at, Texts* texts) {
  const size_t types = g.type_start.size() - 1, names = g.name_start.size() - 1;
  std::vector<uint32_t> type_dir(types), name_dir(names);
  uint32_t at = kDirHeader + static_cast<uint32_t>(types) * kDirEntry;
  for (size_t t = 0, n = 0; t < types; ++t) {
    type_dir[t] = at;
    const size_t first = n;
    while (n < names && g.name_start[n] < g.type_start[t + 1]) ++n;
    at += kDirHeader + static_cast<uint32_t>(n - first) * kDirEntry;
  }
  for (size_t n = 0; n < names; ++n) {
    name_dir[n] = at;
    at += kDirHeader + static_cast<uint32_t>(g.name_start[n + 1] - g.name_start[n]) * kDirEntry;
  }
  uint32_t named_types = 0;
  for (size_t t = 0, n = 0; t < types; ++t) {
    const ResourceLeaf& type = leaves[g.order[g.type_start[t]]];
    named_types += !type.type.text.empty();
    Put32(h + kDirHeader + t * kDirEntry, texts->Key(type.type));
    Put32(h + kDirHeader + t * kDirEntry + 4, kHighBit | type_dir[t]);
    uint32_t named = 0, numbered = 0;
    for (; n < names && g.name_start[n] < g.type_start[t + 1]; ++n) {
      const ResourceLeaf& name = leaves[g.order[g.name_start[n]]];
      uint8_t* e = h + type_dir[t] + kDirHeader + (named + numbered) * kDirEntry;
      (name.name.text.empty() ? numbered : named)++;
      Put32(e, texts->Key(name.name));
      Put32(e + 4, kHighBit | name_dir[n]);
      uint32_t langs = 0;
      for (size_t i = g.name_start[n]; i < g.name_start[n + 1]; ++i, ++langs) {
        const ResourceLeaf& leaf = leaves[g.order[i]];
        const uint32_t entry = entries_at + static_cast<uint32_t>(g.order[i]) * kDataEntry;
        Put32(h + name_dir[n] + kDirHeader + langs * kDirEntry, leaf.lang);
        Put32(h + name_dir[n] + kDirHeader + langs * kDirEntry + 4, entry);
        Put32(h + entry, leaf.rva);
        Put32(h + entry + 4, leaf.size);
        Put32(h + entry + 8, leaf.codepage);
      }
      PutDirectory(h + name_dir[n], 0, langs);
    }
    PutDirectory(h + type_dir[t], named, numbered);
  }
  PutDirectory(h, named_types, static_cast<uint32_t>(types) - named_types);
}

}  // namespace

ResourceSection BuildResourceSection(const StubImage& stub,
                                     const std::vector<PackageResource>& ours, uint32_t tail_size) {
  size_t first_ours = 0;
  std::vector<ResourceLeaf> leaves = MergeLeaves(stub, ours, &first_ours);
  const Groups groups = GroupLeaves(leaves);

  // Every directory, then the data entries, the texts, and the data.
  const uint32_t entries_at =
      kDirHeader +
      static_cast<uint32_t>(groups.type_start.size() - 1 + groups.name_start.size() - 1) *
          (kDirEntry + kDirHeader) +
      static_cast<uint32_t>(leaves.size()) * kDirEntry;
  Texts texts(entries_at + static_cast<uint32_t>(leaves.size()) * kDataEntry);
  for (const ResourceLeaf& l : leaves) texts.Key(l.type), texts.Key(l.name);
  uint32_t data_at = Pad8(entries_at + static_cast<uint32_t>(leaves.size()) * kDataEntry +
                          static_cast<uint32_t>(texts.bytes().size()));

  ResourceSection out;
  std::vector<uint32_t> our_offset(ours.size());
  for (size_t i = 0; i + 1 < ours.size(); ++i) {
    our_offset[i] = data_at;
    data_at = Pad8(data_at + static_cast<uint32_t>(ours[i].data.size()));
  }
  if (!ours.empty()) our_offset.back() = data_at;
  out.tail_offset = data_at;
  out.size = data_at + tail_size;
  out.head.assign(data_at, 0);
  uint8_t* h = out.head.data();
  for (size_t k = 0; k < ours.size(); ++k) {
    ResourceLeaf& leaf = leaves[first_ours + k];
    leaf.rva = stub.next_rva + our_offset[k];
    leaf.size = k + 1 == ours.size() ? tail_size : static_cast<uint32_t>(ours[k].data.size());
    if (k + 1 < ours.size() && !ours[k].data.empty())
      memcpy(h + our_offset[k], ours[k].data.data(), ours[k].data.size());
  }
  WriteTree(h, leaves, groups, entries_at, &texts);
  memcpy(h + entries_at + leaves.size() * kDataEntry, texts.bytes().data(), texts.bytes().size());
  return out;
}

uint32_t ChecksumOffset(const std::vector<uint8_t>& headers) {
  return Get32(headers.data() + kLfanewAt) + kOptional + kOptChecksum;
}

void PatchHeaders(std::vector<uint8_t>* headers, const StubImage& stub, uint32_t raw_offset,
                  uint32_t raw_size, const ResourceSection& rsrc) {
  uint8_t* d = headers->data();
  const uint32_t pe = Get32(d + kLfanewAt), opt = pe + kOptional;
  const uint32_t sections = Get16(d + pe + kCoffSections);
  const uint32_t table = opt + Get16(d + pe + kCoffOptionalSize);
  const uint32_t shift = DirectoryShift(d + opt);
  uint8_t* rdir = d + opt + kOptDirectories + shift + kDirResource * 8;
  for (uint32_t i = 0; i < sections; ++i) {
    uint8_t* s = d + table + i * kSectionHeader;
    // Renamed only so that no reader takes it for the directory; the stub's resource data in it
    // stays where it is and in use.
    if (memcmp(s, kSectionName, 8) == 0) memcpy(s, kRetiredName, 8);
  }
  uint8_t* s = d + table + sections * kSectionHeader;
  memcpy(s, kSectionName, 8);
  Put32(s + kSecVirtualSize, rsrc.size);
  Put32(s + kSecVirtualAddress, stub.next_rva);
  Put32(s + kSecRawSize, raw_size);
  Put32(s + kSecRawAt, raw_offset);
  Put32(s + kSecFlags, kSectionFlags);
  le::Put16(d + pe + kCoffSections, sections + 1);
  Put32(rdir, stub.next_rva);
  Put32(rdir + 4, rsrc.size);
  // A signature cannot cover what it never saw.
  memset(d + opt + kOptDirectories + shift + kDirSecurity * 8, 0, 8);
  Put32(d + opt + kOptSizeOfImage, AlignUp(stub.next_rva + rsrc.size, stub.section_alignment));
  Put32(d + opt + kOptInitializedData, Get32(d + opt + kOptInitializedData) + raw_size);
  Put32(d + opt + kOptChecksum, 0);
}

uint32_t PeSumAdd(uint32_t sum, const uint8_t* data, size_t size) {
  for (size_t i = 0; i + 1 < size; i += 2) {
    sum += Get16(data + i);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  if (size & 1) {
    sum += data[size - 1];
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return sum;
}

uint32_t PeSumCombine(uint32_t a, uint32_t b) {
  uint32_t sum = a + b;
  sum = (sum & 0xFFFF) + (sum >> 16);
  return (sum & 0xFFFF) + (sum >> 16);
}

void PeSummer::Add(const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (size == 0) return;
  if (odd_ >= 0) {
    const uint8_t word[2] = {static_cast<uint8_t>(odd_), p[0]};
    sum_ = PeSumAdd(sum_, word, 2);
    odd_ = -1;
    ++p, --size;
  }
  sum_ = PeSumAdd(sum_, p, size & ~size_t{1});
  if (size & 1) odd_ = p[size - 1];
}

uint32_t PeSummer::sum() const {
  if (odd_ < 0) return sum_;
  const uint8_t last = static_cast<uint8_t>(odd_);
  return PeSumAdd(sum_, &last, 1);
}

uint32_t PeSumFinish(uint32_t sum, uint32_t file_size) {
  sum = (sum & 0xFFFF) + (sum >> 16);
  return sum + file_size;
}

void CabinetSummer::Restart() {
  *this = CabinetSummer();
}

void CabinetSummer::Wrote(uint64_t at, const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  const uint64_t end = at + size;
  end_ = std::max(end_, end);
  if (at < kHead) {
    const size_t n = static_cast<size_t>(std::min(end, kHead) - at);
    if (head_.size() < at + n) head_.resize(static_cast<size_t>(at + n));
    memcpy(head_.data() + at, p, n);
  }
  if (end <= kHead) return;
  const uint64_t from = std::max(at, kHead);
  if (from != rest_end_) {
    in_order_ = false;
    return;
  }
  rest_crc_ =
      static_cast<uint32_t>(crc32(rest_crc_, p + (from - at), static_cast<uInt>(end - from)));
  rest_end_ = end;
}

bool CabinetSummer::Finish(CabinetSum* sum) const {
  if (end_ > 0x7FFFFFFF) return false;
  std::vector<uint8_t> head(head_);
  head.resize(static_cast<size_t>(std::min(end_, kHead)));
  uint32_t crc = static_cast<uint32_t>(crc32(0, head.data(), static_cast<uInt>(head.size())));
  if (end_ > kHead) {
    if (!in_order_ || rest_end_ != end_) return false;
    crc = static_cast<uint32_t>(crc32_combine(crc, rest_crc_, static_cast<z_off_t>(end_ - kHead)));
  }
  sum->size = static_cast<uint32_t>(end_);
  sum->crc = crc;
  return true;
}

bool AssemblePackage(
    const std::vector<uint8_t>& stub,
    const std::function<std::vector<PackageResource>(const CabinetSum&)>& resources,
    const std::function<bool(uint64_t at, CabinetSum* sum)>& cabinet, PackageSink* sink,
    std::string* error) {
  StubImage image;
  if (!ReadStubImage(stub.data(), stub.size(), &image, error)) return false;
  const uint32_t raw_at = NewSectionFileOffset(image);
  CabinetSum sum;
  const uint32_t tail_at = BuildResourceSection(image, resources(sum), 0).tail_offset;
  auto failed = [&] {
    *error = "cannot write the package" + sink->Detail();
    return false;
  };
  const std::vector<uint8_t> gap(raw_at - stub.size());
  if (!sink->WriteAt(0, stub.data(), stub.size()) ||
      (!gap.empty() && !sink->WriteAt(stub.size(), gap.data(), gap.size())))
    return failed();
  if (!cabinet(uint64_t{raw_at} + tail_at, &sum)) return false;
  const ResourceSection rsrc = BuildResourceSection(image, resources(sum), sum.size);
  if (rsrc.tail_offset != tail_at ||
      uint64_t{raw_at} + rsrc.size > 0x7FFFFFFF - image.file_alignment) {
    *error = "the files are too large for one package";
    return false;
  }
  const uint32_t raw_size = AlignUp(rsrc.size, image.file_alignment);
  const std::vector<uint8_t> pad(raw_size - rsrc.size);
  std::vector<uint8_t> headers(stub.begin(), stub.begin() + image.header_size);
  PatchHeaders(&headers, image, raw_at, raw_size, rsrc);
  if (image.has_checksum) {
    // Summed from the pieces, each at an even offset: no pass reads the package back.
    uint32_t words = PeSumAdd(0, headers.data(), headers.size());
    words = PeSumCombine(
        words, PeSumAdd(0, stub.data() + image.header_size, stub.size() - image.header_size));
    words = PeSumCombine(words, PeSumAdd(0, rsrc.head.data(), rsrc.head.size()));
    words = PeSumCombine(words, sum.words);
    Put32(headers.data() + ChecksumOffset(headers), PeSumFinish(words, raw_at + raw_size));
  }
  if (!sink->WriteAt(raw_at, rsrc.head.data(), rsrc.head.size()) ||
      (!pad.empty() && !sink->WriteAt(raw_at + rsrc.size, pad.data(), pad.size())) ||
      !sink->WriteAt(0, headers.data(), headers.size()))
    return failed();
  return true;
}

}  // namespace kestrane
