// The packager's cabinets read back by a reader of the format written here from its definition:
// header, folders, files, block checksums, MSZIP with history across blocks.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "packager/cabinet_format.h"
#include "packager/tests/memory_sink.h"

namespace kestrane {
namespace {

uint32_t Get16(const std::vector<uint8_t>& b, size_t at) {
  return b.at(at) | b.at(at + 1) << 8;
}
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return Get16(b, at) | Get16(b, at + 2) << 16;
}

class MemoryFiles : public CabinetReader {
 public:
  explicit MemoryFiles(const std::vector<std::vector<uint8_t>>& files) : files_(files) {}
  bool Open(size_t file) override {
    current_ = file;
    pos_ = 0;
    return file != fail_open;
  }
  bool Read(void* data, size_t size, size_t* got) override {
    if (current_ == fail_read && pos_ > 0) return false;
    const std::vector<uint8_t>& f = files_[current_];
    // Short reads of odd lengths, as a file system may give.
    *got = std::min({size, f.size() - pos_, size_t{70001}});
    if (*got) memcpy(data, f.data() + pos_, *got);
    pos_ += *got;
    return true;
  }
  void Close() override { ++closed; }
  std::string Reason() const override { return "cannot read file " + std::to_string(current_); }
  size_t fail_open = SIZE_MAX, fail_read = SIZE_MAX;
  int closed = 0;

 private:
  const std::vector<std::vector<uint8_t>>& files_;
  size_t current_ = 0, pos_ = 0;
};

// Reads a cabinet as the format defines it; every file by name, and the folders' kinds.
struct Read {
  std::map<std::string, std::vector<uint8_t>> files;
  std::vector<uint16_t> kinds;
  std::string error;
};

Read ReadCabinet(const std::vector<uint8_t>& c) {
  Read r;
  if (Get32(c, 0) != cab::kSignature || Get32(c, 8) != c.size()) return r.error = "header", r;
  const uint32_t folders = Get16(c, 26), files = Get16(c, 28);
  std::vector<std::vector<uint8_t>> data(folders);
  for (uint32_t k = 0; k < folders; ++k) {
    const size_t f = cab::kHeaderSize + k * cab::kFolderSize;
    size_t at = Get32(c, f);
    const uint32_t blocks = Get16(c, f + 4), kind = Get16(c, f + 6);
    r.kinds.push_back(static_cast<uint16_t>(kind));
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    std::vector<uint8_t> history;
    for (uint32_t b = 0; b < blocks; ++b) {
      const uint32_t n = Get16(c, at + 4), un = Get16(c, at + 6);
      const uint8_t* body = c.data() + at + 8;
      if (CabChecksum(c.data() + at + 4, 4, CabChecksum(body, n, 0)) != Get32(c, at))
        return r.error = "checksum of block " + std::to_string(b), r;
      if (b + 1 < blocks && un != cab::kBlock) return r.error = "short block", r;
      std::vector<uint8_t> out(un);
      if (kind == cab::kStored) {
        if (n != un) return r.error = "stored sizes", r;
        memcpy(out.data(), body, n);
      } else {
        if (n < 2 || body[0] != 'C' || body[1] != 'K') return r.error = "no CK", r;
        inflateReset(&z);
        if (!history.empty()) inflateSetDictionary(&z, history.data(), history.size());
        z.next_in = const_cast<uint8_t*>(body + 2);
        z.avail_in = n - 2;
        z.next_out = out.data();
        z.avail_out = un;
        if (inflate(&z, Z_FINISH) != Z_STREAM_END || z.avail_out || z.avail_in)
          return r.error = "inflate of block " + std::to_string(b), r;
      }
      history = out;
      data[k].insert(data[k].end(), out.begin(), out.end());
      at += 8 + n;
    }
    inflateEnd(&z);
  }
  size_t at = Get32(c, 16);
  for (uint32_t i = 0; i < files; ++i) {
    const uint32_t size = Get32(c, at), off = Get32(c, at + 4), folder = Get16(c, at + 8);
    const std::string name(reinterpret_cast<const char*>(c.data() + at + 16));
    if (folder >= folders || off + size > data[folder].size()) return r.error = "range", r;
    r.files[name].assign(data[folder].begin() + off, data[folder].begin() + off + size);
    at += 16 + name.size() + 1;
  }
  return r;
}

std::vector<uint8_t> Noise(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
  return v;
}

std::vector<uint8_t> Prose(size_t n) {
  std::vector<uint8_t> v;
  for (int i = 0; v.size() < n; ++i) {
    const std::string line = "Slide " + std::to_string(i % 97) + ": the quarter in review\r\n";
    v.insert(v.end(), line.begin(), line.end());
  }
  v.resize(n);
  return v;
}

struct Deck {
  std::vector<CabinetFileInfo> infos;
  std::vector<std::vector<uint8_t>> bytes;
  void Add(const std::string& name, std::vector<uint8_t> b, bool compress) {
    CabinetFileInfo i;
    i.name = name;
    i.size = b.size();
    i.compress = compress;
    infos.push_back(i);
    bytes.push_back(std::move(b));
  }
};

TEST(CabinetFormat, EveryFileReadsBackWholeFromStoredAndCompressedFolders) {
  Deck d;
  d.Add("empty-first.dat", {}, true);
  d.Add("PPTVIEW.EXE", Prose(3 * cab::kBlock + 123), true);
  d.Add("view.ppt", Noise(5 * cab::kBlock, 7), false);  // whole blocks, copied straight
  d.Add("picture.jpg", Noise(cab::kBlock / 3, 8), false);
  d.Add("empty.dat", {}, true);              // joins the stored folder before it
  d.Add("view.exe", Noise(40000, 9), true);  // does not compress, yet goes compressed
  d.Add("view.exe.manifest", Prose(681), true);
  MemorySink sink;
  sink.bytes.assign(100, 0xEE);  // what lies before the cabinet stays
  MemoryFiles reader(d.bytes);
  CabinetSum sum;
  std::string error;
  ASSERT_TRUE(WriteCabinetFiles(d.infos, &reader, &sink, 100, &sum, &error)) << error;
  EXPECT_EQ(reader.closed, 7);
  EXPECT_EQ(sink.bytes[99], 0xEE);
  const std::vector<uint8_t> c(sink.bytes.begin() + 100, sink.bytes.end());
  EXPECT_EQ(sum.size, c.size());
  EXPECT_EQ(sum.crc, crc32(0, c.data(), static_cast<uInt>(c.size())));
  EXPECT_EQ(sum.words, PeSumAdd(0, c.data(), c.size()));

  const Read r = ReadCabinet(c);
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.kinds, (std::vector<uint16_t>{cab::kMszip, cab::kStored, cab::kMszip}));
  for (size_t i = 0; i < d.infos.size(); ++i)
    EXPECT_EQ(r.files.at(d.infos[i].name), d.bytes[i]) << d.infos[i].name;
  // Text compresses, with back references across blocks; noise costs at most its framing.
  EXPECT_LT(c.size(), 6 * cab::kBlock + 40000 + 2000);
}

TEST(CabinetFormat, ChecksumFollowsTheFormatsWordsAndReversedTail) {
  const uint8_t b[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  // Words 0x04030201 and 0x08070605, then the tail 9, 10, 11 as 0x090A0B.
  EXPECT_EQ(CabChecksum(b, 11, 0), 0x04030201u ^ 0x08070605u ^ 0x00090A0Bu);
  EXPECT_EQ(CabChecksum(b, 10, 0), 0x04030201u ^ 0x08070605u ^ 0x0000090Au);
  EXPECT_EQ(CabChecksum(b, 9, 0x11), 0x11u ^ 0x04030201u ^ 0x08070605u ^ 0x09u);
  EXPECT_EQ(CabChecksum(b, 4, 0), 0x04030201u);
}

TEST(CabinetFormat, FailuresNameTheirCauseAndCloseWhatWasOpened) {
  Deck d;
  d.Add("a.txt", Prose(100000), true);
  d.Add("b.jpg", Noise(200000, 3), false);
  std::string error;
  CabinetSum sum;
  {
    MemorySink sink;
    MemoryFiles reader(d.bytes);
    reader.fail_read = 1;
    EXPECT_FALSE(WriteCabinetFiles(d.infos, &reader, &sink, 0, &sum, &error));
    EXPECT_EQ(error, "cannot read file 1");
    EXPECT_EQ(reader.closed, 2);
  }
  {
    MemorySink sink;
    MemoryFiles reader(d.bytes);
    reader.fail_open = 0;
    EXPECT_FALSE(WriteCabinetFiles(d.infos, &reader, &sink, 0, &sum, &error));
    EXPECT_EQ(error, "cannot read file 0");
  }
  for (uint64_t limit : {uint64_t{0}, uint64_t{40}, uint64_t{150000}}) {
    MemorySink sink;
    sink.limit = limit;
    MemoryFiles reader(d.bytes);
    EXPECT_FALSE(WriteCabinetFiles(d.infos, &reader, &sink, 0, &sum, &error));
    EXPECT_EQ(error.rfind("cannot write the package", 0), 0u) << error;
  }
  // A file that is not the size it was when listed.
  for (int64_t change : {-1, 1}) {
    Deck e = d;
    e.infos[1].size += change;
    MemorySink sink;
    MemoryFiles reader(e.bytes);
    EXPECT_FALSE(WriteCabinetFiles(e.infos, &reader, &sink, 0, &sum, &error));
    EXPECT_EQ(error, "b.jpg changed while it was packed");
  }
}

TEST(CabinetFormat, AHeaderPastTheSummersReachTakesItsSumsFromTheWrittenBytes) {
  // 300 files with long names: the header alone is over 64 KiB.
  Deck d;
  for (int i = 0; i < 300; ++i)
    d.Add(std::string(240, 'n') + std::to_string(i), Prose(100 + i), i % 2 == 0);
  MemorySink sink;
  MemoryFiles reader(d.bytes);
  CabinetSum sum;
  std::string error;
  ASSERT_TRUE(WriteCabinetFiles(d.infos, &reader, &sink, 0, &sum, &error)) << error;
  EXPECT_EQ(sum.crc, crc32(0, sink.bytes.data(), static_cast<uInt>(sink.bytes.size())));
  EXPECT_EQ(sum.words, PeSumAdd(0, sink.bytes.data(), sink.bytes.size()));
  const Read r = ReadCabinet(sink.bytes);
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.files.size(), 300u);
  EXPECT_EQ(r.files.at(std::string(240, 'n') + "299"), d.bytes[299]);
}

}  // namespace
}  // namespace kestrane
