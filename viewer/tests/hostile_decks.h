#pragma once
// Presentations made to cost a reader far more than their size: small files whose records refer
// to one large part over and over, and compound files whose tables claim more than the file
// holds. Each stays a well-formed file, so only a reader that bounds its work finishes quickly.
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/tests/deck_builder.h"

namespace hostile {

using deck::Box;
using deck::Bytes;
using deck::Put16;
using deck::Put32;
using deck::Rec;
using deck::Set32;
using deck::Words;

constexpr uint16_t kDocument = 0x03E8, kDocumentAtom = 0x03E9, kEndDocument = 0x03EA;
constexpr uint16_t kSlideList = 0x0FF0, kSlidePersist = 0x03F3, kMainMaster = 0x03F8;
constexpr uint16_t kPersistDirectory = 0x1772, kUserEdit = 0x0FF5;
constexpr uint16_t kTextHeader = 0x0F9F, kTextChars = 0x0FA0, kOutlineTextRef = 0x0F9E;
constexpr uint16_t kClientTextbox = 0xF00D, kClientAnchor = 0xF010, kSpContainer = 0xF004;
constexpr uint32_t kDeletedShape = 0x8;
constexpr uint32_t kMasterId = 0x80000000;
constexpr uint32_t kMaxPerRun = 4095;  // persist ids one directory entry header covers

// Compound file header fields written or damaged below.
constexpr size_t kHeaderFatCount = 44, kHeaderMiniFatCount = 64, kHeaderDifatStart = 68;
constexpr size_t kHeaderDifatCount = 72, kHeaderDifat = 76, kSectorSize = 512;

inline Bytes SlidePersist(uint32_t persist, uint32_t slide_id) {
  return Rec(kSlidePersist, Words({persist, 0, 0, slide_id, 0}));
}

// The document record: one master at persist id 2 and the given slide list entries.
inline Bytes DocumentRecord(const std::vector<Bytes>& slide_list) {
  Bytes atom = Words({5760, 4320, 4320, 5760, 1, 2, 1, 2, 0, 0});
  Put16(atom, 1);
  Put16(atom, 0);
  Put32(atom, 0);
  return Box(kDocument,
             {Rec(kDocumentAtom, atom, 0, 1), Box(kSlideList, {SlidePersist(2, kMasterId)}, 1),
              Box(kSlideList, slide_list, 0), Rec(kEndDocument, {})});
}

inline Bytes MasterRecord(const std::vector<Bytes>& shapes = {}) {
  deck::SlideSpec spec;
  spec.containers = shapes;
  Bytes drawing = deck::Drawing(shapes.empty() ? nullptr : &spec, true);
  return Box(kMainMaster, {deck::SlideAtom(0, 0), drawing});
}

inline Bytes PlainSlide(const std::string& text, const std::vector<Bytes>& shapes = {}) {
  deck::SlideSpec spec{0x00FF00, text};
  spec.containers = shapes;
  return deck::SlideRecord(spec);
}

inline Bytes DeletedShape() {
  return Box(kSpContainer, {deck::Fsp(1, 0x900, 0xA00 | kDeletedShape)});
}

// A text box showing the slide list's outline text `index`.
inline Bytes OutlineRefShape(uint32_t index) {
  return Box(kSpContainer,
             {deck::Fsp(202, 0x901, 0xA00), Rec(kClientAnchor, Words({100, 100, 2000, 1000})),
              Box(kClientTextbox, {Rec(kOutlineTextRef, Words({index}))})});
}

// A version 4 compound file (4096-byte sectors) for streams too large for the 109 FAT sectors the
// header lists at 512 bytes. Every stream is padded to one full sector at least, so none goes
// into the mini stream.
inline Bytes LargeCompoundFile(const std::vector<std::pair<std::string, Bytes>>& streams) {
  constexpr size_t kSector = 4096, kPerFat = kSector / 4;
  constexpr uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD;
  auto sectors = [&](size_t bytes) {
    return uint32_t((std::max<size_t>(bytes, kSector) + kSector - 1) / kSector);
  };
  uint32_t data = 1;  // the directory
  for (const auto& s : streams) data += sectors(s.second.size());
  uint32_t n_fat = 1;
  while (n_fat * kPerFat < n_fat + data) n_fat++;
  std::vector<uint32_t> fat(n_fat * kPerFat, kFree);
  uint32_t next = 0;
  for (uint32_t i = 0; i < n_fat; i++) fat[next++] = kFatSect;
  auto chain = [&](uint32_t count) {
    uint32_t first = next;
    for (uint32_t k = 0; k < count; k++, next++) fat[next] = k + 1 < count ? next + 1 : kEnd;
    return first;
  };
  uint32_t dir_start = chain(1);
  Bytes dir;
  auto entry = [&](const std::string& name, uint8_t type, uint32_t child, uint32_t right,
                   uint32_t first, uint64_t size) {
    Bytes e =
        deck::DirEntry(name, type, child, right, first, uint32_t(size), deck::cfb_entry::kRed);
    dir.insert(dir.end(), e.begin(), e.end());
  };
  entry("Root Entry", 5, 1, kFree, kEnd, 0);
  for (size_t i = 0; i < streams.size(); i++) {
    size_t size = std::max<size_t>(streams[i].second.size(), kSector);
    entry(streams[i].first, 2, kFree, i + 1 < streams.size() ? uint32_t(i + 2) : kFree,
          chain(sectors(size)), size);
  }
  Bytes out(kSector, 0);
  const uint8_t magic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::copy(magic, magic + 8, out.begin());
  Set32(out, 24, 0x0004003E);  // minor version, major version 4
  Set32(out, 28, 0x000CFFFE);  // byte order, sector shift 12
  Set32(out, 32, 6);           // mini sector shift
  Set32(out, kHeaderFatCount, n_fat);
  Set32(out, 48, dir_start);
  Set32(out, 56, 4096);
  Set32(out, 60, kEnd);
  Set32(out, kHeaderDifatStart, kEnd);
  for (size_t i = 0; i < 109; i++)
    Set32(out, kHeaderDifat + i * 4, i < n_fat ? uint32_t(i) : kFree);
  auto append = [&](const Bytes& b) {
    out.insert(out.end(), b.begin(), b.end());
    out.resize((out.size() + kSector - 1) / kSector * kSector, 0);
  };
  Bytes fat_bytes;
  for (uint32_t v : fat) Put32(fat_bytes, v);
  append(fat_bytes);
  append(dir);
  for (const auto& s : streams) {
    append(s.second);
    if (s.second.empty()) out.resize(out.size() + kSector, 0);
  }
  return out;
}

// A document stream holding `objects` as persist ids 1, 2..., one persist directory listing them
// followed by `padding` further entries, and `edits` saves that all name that one directory.
inline Bytes Deck(const std::vector<Bytes>& objects, size_t edits = 1, size_t padding = 0) {
  Bytes doc;
  std::vector<uint32_t> offsets;
  for (const Bytes& o : objects) {
    offsets.push_back(uint32_t(doc.size()));
    doc.insert(doc.end(), o.begin(), o.end());
  }
  offsets.resize(offsets.size() + padding, 0);
  Bytes dir;
  for (size_t first = 0; first < offsets.size(); first += kMaxPerRun) {
    size_t count = std::min<size_t>(kMaxPerRun, offsets.size() - first);
    Put32(dir, uint32_t(first + 1) | uint32_t(count << 20));
    for (size_t i = 0; i < count; i++) Put32(dir, offsets[first + i]);
  }
  uint32_t dir_at = uint32_t(doc.size());
  Bytes dir_rec = Rec(kPersistDirectory, dir);
  doc.insert(doc.end(), dir_rec.begin(), dir_rec.end());
  uint32_t last = 0;
  for (size_t i = 0; i < edits; i++) {
    Bytes e = Words({256, 0x03000000, last, dir_at, 1, uint32_t(offsets.size() + 1)});
    Put16(e, 1);
    Put16(e, 0);
    last = uint32_t(doc.size());
    Bytes edit = Rec(kUserEdit, e);
    doc.insert(doc.end(), edit.begin(), edit.end());
  }
  return LargeCompoundFile(
      {{"Current User", deck::CurrentUser(last, false)}, {"PowerPoint Document", doc}});
}

// Thousands of saves, each naming the same persist directory of a quarter million entries.
inline Bytes ManyEditsOneDirectory(size_t edits = 5000, size_t entries = 250000) {
  return Deck({DocumentRecord({SlidePersist(3, 256)}), MasterRecord(), PlainSlide("edited")}, edits,
              entries);
}

// One slide named by every entry of a long slide list; the slide is worth reading once.
inline Bytes OneSlideManyTimes(size_t entries = 10000, size_t deleted = 20000) {
  std::vector<Bytes> list;
  for (size_t i = 0; i < entries; i++) list.push_back(SlidePersist(3, uint32_t(256 + i)));
  return Deck({DocumentRecord(list), MasterRecord(),
               PlainSlide("again", std::vector<Bytes>(deleted, DeletedShape()))});
}

// One outline text of `length` characters shown by `refs` text boxes of its slide.
inline Bytes ManyOutlineRefs(size_t refs = 4000, size_t length = 65536) {
  Bytes chars;
  for (size_t i = 0; i < length; i++) Put16(chars, uint32_t('a' + i % 26));
  std::vector<Bytes> list{SlidePersist(3, 256), Rec(kTextHeader, Words({4})),
                          Rec(kTextChars, chars)};
  return Deck({DocumentRecord(list), MasterRecord(),
               PlainSlide("", std::vector<Bytes>(refs, OutlineRefShape(0)))});
}

// A master with a million deleted shapes under slides that each draw it again.
inline Bytes DeletedShapesOnMaster(size_t slides = 100, size_t deleted = 1000000) {
  std::vector<Bytes> list;
  for (size_t i = 0; i < slides; i++) list.push_back(SlidePersist(3, uint32_t(256 + i)));
  return Deck({DocumentRecord(list), MasterRecord(std::vector<Bytes>(deleted, DeletedShape())),
               PlainSlide("over")});
}

// A readable deck whose header claims millions of FAT sectors, listed by a DIFAT sector that
// names the file's one FAT sector over and over and then itself as the next DIFAT sector.
inline Bytes ClaimsMoreSectors(const Bytes& file) {
  Bytes b = file;
  uint32_t difat = uint32_t(b.size() / kSectorSize - 1);
  Bytes sector;
  for (size_t i = 0; i + 1 < kSectorSize / 4; i++) Put32(sector, 0);
  Put32(sector, difat);
  b.insert(b.end(), sector.begin(), sector.end());
  Set32(b, kHeaderFatCount, 0x7FFFFFFF);
  Set32(b, kHeaderMiniFatCount, 0x7FFFFFFF);
  Set32(b, kHeaderDifatStart, difat);
  Set32(b, kHeaderDifatCount, 0x7FFFFFFF);
  for (size_t i = 1; i < 109; i++) Set32(b, kHeaderDifat + i * 4, 0);
  return b;
}

}  // namespace hostile
