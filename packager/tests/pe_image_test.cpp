// The package's resource section read back by the same reader that reads stubs, and stubs that
// are not what they claim to be.
#include "packager/pe_image.h"

#include <gtest/gtest.h>

#include <cstring>

#include "packager/tests/memory_sink.h"
#include "common/package_format.h"

namespace kestrane {
namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A minimal 32-bit program: headers and one code section, no resources.
std::vector<uint8_t> TinyProgram() {
  std::vector<uint8_t> b(0x600, 0);
  b[0] = 'M', b[1] = 'Z';
  const size_t pe = 0x80, opt = pe + 24;
  Put32(b, 0x3C, pe);
  Put32(b, pe, 0x00004550);
  Put16(b, pe + 4, 0x14C);
  Put16(b, pe + 6, 1);
  Put16(b, pe + 20, 96 + 16 * 8);
  Put16(b, opt, 0x10B);
  Put32(b, opt + 32, 0x1000);
  Put32(b, opt + 36, 0x200);
  Put32(b, opt + 56, 0x2000);
  Put32(b, opt + 60, 0x400);
  Put32(b, opt + 92, 16);
  const size_t sec = opt + 96 + 16 * 8;
  memcpy(&b[sec], ".text", 5);
  Put32(b, sec + 8, 0x10);
  Put32(b, sec + 12, 0x1000);
  Put32(b, sec + 16, 0x200);
  Put32(b, sec + 20, 0x400);
  return b;
}

// The program with the section appended as the package writer lays it out.
std::vector<uint8_t> WithSection(const std::vector<uint8_t>& program, const StubImage& image,
                                 const std::vector<PackageResource>& ours,
                                 const std::vector<uint8_t>& tail) {
  const ResourceSection rsrc =
      BuildResourceSection(image, ours, static_cast<uint32_t>(tail.size()));
  const uint32_t raw_at = NewSectionFileOffset(image);
  const uint32_t raw_size = AlignUp(rsrc.size, image.file_alignment);
  std::vector<uint8_t> out(program);
  out.resize(raw_at + raw_size, 0);
  memcpy(&out[raw_at], rsrc.head.data(), rsrc.head.size());
  memcpy(&out[raw_at + rsrc.tail_offset], tail.data(), tail.size());
  std::vector<uint8_t> headers(out.begin(), out.begin() + image.header_size);
  PatchHeaders(&headers, image, raw_at, raw_size, rsrc);
  std::copy(headers.begin(), headers.end(), out.begin());
  return out;
}

std::string Name(const ResourceLeaf& l) {
  return l.name.text.empty() ? "#" + std::to_string(l.name.id)
                             : std::string(l.name.text.begin(), l.name.text.end());
}

TEST(PeImage, TheWrittenDirectoryReadsBackSortedWithEveryResourceWhereItWasPut) {
  std::vector<uint8_t> program = TinyProgram();
  StubImage image;
  std::string error;
  ASSERT_TRUE(ReadStubImage(program.data(), program.size(), &image, &error)) << error;
  EXPECT_TRUE(image.resources.empty());
  EXPECT_EQ(image.next_rva, 0x2000u);

  // A first package; its section then stands for a stub's own resources in a second one.
  const std::vector<uint8_t> tail(70000, 0xAB);
  std::vector<uint8_t> first =
      WithSection(program, image, {{"TITLE", {'t', 0}}, {"ZED", {1, 2, 3}}, {"CABINET", {}}}, tail);
  StubImage again;
  ASSERT_TRUE(ReadStubImage(first.data(), first.size(), &again, &error)) << error;
  ASSERT_EQ(again.resources.size(), 3u);
  std::vector<std::string> names;
  for (const auto& l : again.resources) {
    EXPECT_EQ(l.type.id, 10u);
    names.push_back(Name(l));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"CABINET", "TITLE", "ZED"}));
  const ResourceLeaf& cab = again.resources[0];
  EXPECT_EQ(cab.size, tail.size());
  EXPECT_EQ(cab.rva % 8, 0u);
  // The section starts on a page of the file, after the program's own 0x600 bytes.
  const uint32_t section_at = NewSectionFileOffset(image);
  EXPECT_EQ(section_at, 0x1000u);
  EXPECT_EQ(first[cab.rva - 0x2000 + section_at], 0xAB);
  EXPECT_EQ(again.next_rva,
            AlignUp(0x2000 + static_cast<uint32_t>(first.size() - section_at), 0x1000));

  // The second package keeps the first's resources where they are, replaces those it brings
  // anew, and adds a numbered one of another type, which sorts after the named ones.
  again.resources.push_back({{3, {}}, {1, {}}, 0x409, cab.rva, 16, 0});
  std::vector<uint8_t> second =
      WithSection(first, again, {{"TITLE", {'u', 0}}, {"CABINET", {}}}, {9, 9, 9, 9});
  StubImage third;
  ASSERT_TRUE(ReadStubImage(second.data(), second.size(), &third, &error)) << error;
  ASSERT_EQ(third.resources.size(), 4u);
  names.clear();
  for (const auto& l : third.resources) names.push_back(Name(l));
  EXPECT_EQ(names, (std::vector<std::string>{"#1", "CABINET", "TITLE", "ZED"}));
  EXPECT_EQ(third.resources[0].lang, 0x409u);
  EXPECT_EQ(third.resources[0].rva, cab.rva);  // the old data, not copied
  EXPECT_EQ(third.resources[1].size, 4u);
  EXPECT_EQ(third.resources[3].rva, again.resources[2].rva);
}

TEST(PeImage, RefusesDamagedOrFullStubsWithoutReadingPastThem) {
  const std::vector<uint8_t> program = TinyProgram();
  StubImage image;
  std::string error;
  std::vector<uint8_t> packaged = program;
  ASSERT_TRUE(ReadStubImage(program.data(), program.size(), &image, &error));
  packaged = WithSection(program, image, {{"A", {1}}, {"CABINET", {}}}, {7});
  // Every cut ends in a refusal or a smaller, still consistent image, never in a read beyond.
  for (size_t n = 0; n < packaged.size(); ++n) {
    std::vector<uint8_t> cut(packaged.begin(), packaged.begin() + n);
    ReadStubImage(cut.data(), cut.size(), &image, &error);
  }
  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
    int width;
  } cases[] = {{"not MZ", 0, 'X', 1},
               {"header beyond the file", 0x3C, 0x7FFFFFF0, 4},
               {"64-bit", 0x80 + 24, 0x20B, 2},
               {"odd alignment", 0x80 + 24 + 36, 0x300, 4},
               {"section beyond the file", 0x80 + 24 + 224 + 20, 0x10000, 4},
               {"no room for a section", 0x80 + 24 + 224 + 40, 0x2E, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bad = program;
    if (c.width == 1) bad[c.at] = static_cast<uint8_t>(c.value);
    if (c.width == 2) Put16(bad, c.at, c.value);
    if (c.width == 4) Put32(bad, c.at, c.value);
    EXPECT_FALSE(ReadStubImage(bad.data(), bad.size(), &image, &error));
    EXPECT_EQ(error.rfind("the stub ", 0), 0u) << error;
  }
  // A directory that points into itself is refused, not followed for ever.
  std::vector<uint8_t> loop = packaged;
  const uint32_t raw_at = 0x1000;
  Put32(loop, raw_at + 16 + 4, 0x80000000u);  // the first type's directory is the root
  EXPECT_FALSE(ReadStubImage(loop.data(), loop.size(), &image, &error));
}

TEST(PeImage, TheCabinetsSumComesFromItsWritesEvenWhenItsHeadIsRewritten) {
  // As the cabinet library writes: an unfinished signature, the data in blocks, the signature.
  std::vector<uint8_t> file(300000);
  uint32_t x = 1;
  for (uint8_t& b : file) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
  CabinetSummer summer;
  std::vector<uint8_t> unfinished(file.begin(), file.begin() + 36);
  memcpy(unfinished.data(), "!CAB", 4);
  summer.Wrote(0, unfinished.data(), unfinished.size());
  for (size_t at = 36; at < file.size(); at += 32768)
    summer.Wrote(at, &file[at], std::min<size_t>(32768, file.size() - at));
  summer.Wrote(0, file.data(), 4);
  CabinetSum sum;
  ASSERT_TRUE(summer.Finish(&sum));
  EXPECT_EQ(sum.size, file.size());
  EXPECT_EQ(sum.crc, Crc32(0, file.data(), file.size()));

  // Small cabinets live in the head alone.
  summer.Restart();
  summer.Wrote(0, file.data(), 1000);
  ASSERT_TRUE(summer.Finish(&sum));
  EXPECT_EQ(sum.crc, Crc32(0, file.data(), 1000));

  // Going back beyond the head cannot be summed from the writes: the caller reads the file.
  summer.Restart();
  summer.Wrote(0, file.data(), file.size());
  summer.Wrote(200000, file.data(), 10);
  EXPECT_FALSE(summer.Finish(&sum));
}


TEST(PeImage, APackageOfAStubWithAChecksumCarriesItsOwn) {
  std::vector<uint8_t> program = TinyProgram();
  const size_t checksum_at = 0x80 + 24 + 64;
  Put32(program, checksum_at, 0x1234);
  const std::vector<uint8_t> cab(5000, 0x5A);
  auto resources = [](const CabinetSum& sum) {
    std::vector<uint8_t> s(8);
    memcpy(s.data(), &sum.size, 4);
    memcpy(s.data() + 4, &sum.crc, 4);
    return std::vector<PackageResource>{{"CABSUM", s}, {"CABINET", {}}};
  };
  MemorySink sink;
  auto cabinet = [&](uint64_t at, CabinetSum* sum) {
    sum->size = static_cast<uint32_t>(cab.size());
    sum->crc = Crc32(0, cab.data(), cab.size());
    sum->words = PeSumAdd(0, cab.data(), cab.size());
    return sink.WriteAt(at, cab.data(), cab.size());
  };
  std::string error;
  ASSERT_TRUE(AssemblePackage(program, resources, cabinet, &sink, &error)) << error;
  std::vector<uint8_t> out = sink.bytes;
  ASSERT_EQ(out.size() % 0x200, 0u);
  uint32_t stored;
  memcpy(&stored, &out[checksum_at], 4);
  Put32(out, checksum_at, 0);
  EXPECT_EQ(stored,
            PeSumFinish(PeSumAdd(0, out.data(), out.size()), static_cast<uint32_t>(out.size())));
  StubImage image;
  ASSERT_TRUE(ReadStubImage(sink.bytes.data(), sink.bytes.size(), &image, &error)) << error;
  ASSERT_EQ(image.resources.size(), 2u);
  EXPECT_EQ(image.resources[0].size, cab.size());

  // A sink that fills up: the reason names the write.
  for (uint64_t limit : {uint64_t{10}, uint64_t{0x700}, uint64_t{sink.bytes.size() - 1}}) {
    MemorySink small;
    small.limit = limit;
    auto into_small = [&](uint64_t at, CabinetSum* sum) {
      sum->size = static_cast<uint32_t>(cab.size());
      if (!small.WriteAt(at, cab.data(), cab.size())) {
        error = "cannot write the package";
        return false;
      }
      return true;
    };
    error.clear();
    EXPECT_FALSE(AssemblePackage(program, resources, into_small, &small, &error));
    EXPECT_EQ(error, "cannot write the package");
  }
}

TEST(PeImage, ChecksumMatchesTheKnownSumOfASmallImage) {
  // The sum of 16-bit words folded, plus the length: 0x0201 + 0x0403 + 0x05 + 5.
  const uint8_t bytes[] = {1, 2, 3, 4, 5};
  EXPECT_EQ(PeSumFinish(PeSumAdd(0, bytes, 5), 5), 0x0201u + 0x0403u + 5u + 5u);
  const uint8_t carry[] = {0xFF, 0xFF, 0x02, 0x00};
  EXPECT_EQ(PeSumFinish(PeSumAdd(0, carry, 4), 4), 0x0002u + 4u);

  // In pieces of odd lengths, as the cabinet library writes, the sum is the same.
  std::vector<uint8_t> data(10001);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
  PeSummer pieces;
  for (size_t at = 0, n = 1; at < data.size(); at += n, n = n * 3 % 17 + 1)
    pieces.Add(&data[at], std::min(n, data.size() - at));
  EXPECT_EQ(pieces.sum(), PeSumAdd(0, data.data(), data.size()));
  EXPECT_EQ(PeSumCombine(PeSumAdd(0, data.data(), 5000), PeSumAdd(0, &data[5000], 5001)),
            PeSumAdd(0, data.data(), data.size()));
}

}  // namespace
}  // namespace kestrane
