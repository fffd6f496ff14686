#include "common/package_format.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace kestrane {
namespace {

TEST(EntryName, RefusesEverythingThatLeavesTheFolderOrIsNoFile) {
  for (const char* name : {"",
                           ".",
                           "..",
                           "..\\evil.exe",
                           "../evil.exe",
                           "a\\..\\..\\b",
                           "\\Windows\\evil.dll",
                           "/etc/passwd",
                           "C:evil.exe",
                           "C:\\evil.exe",
                           "\\\\server\\share\\x",
                           "\\\\?\\C:\\x",
                           "view.ppt:stream",
                           "CON",
                           "con",
                           "nul.txt",
                           "Aux.ppt",
                           "COM1",
                           "lpt9.dll",
                           "CONIN$",
                           "clock$",
                           "COM\xB9",
                           "NUL .txt",
                           "name.",
                           "name ",
                           "a*b",
                           "a?b",
                           "a|b",
                           "a<b",
                           "a\"b",
                           "tab\tname",
                           "line\nbreak"}) {
    EXPECT_FALSE(IsSafeEntryName(name)) << name;
  }
  EXPECT_FALSE(IsSafeEntryName(std::string(256, 'a').c_str()));
}

TEST(EntryName, AcceptsOrdinaryNames) {
  for (const char* name :
       {"view.exe", "view.exe.manifest", "GDIPLUS.DLL", "my talk (final).ppt", ".hidden", "COM10",
        "console.dll", "nullify.txt", "LPT", "caf\xE9.ppt", "a..b"}) {
    EXPECT_TRUE(IsSafeEntryName(name)) << name;
  }
}

TEST(SplitProgram, SeparatesTheProgramFromItsArguments) {
  const struct {
    const char* command;
    std::string program, rest;
  } cases[] = {{"view.exe", "view.exe", ""},
               {"  view.exe  /S view.ppt", "view.exe", "/S view.ppt"},
               {"\"my view.exe\" /S", "my view.exe", "/S"},
               {"\"unclosed.exe", "unclosed.exe", ""},
               {"", "", ""}};
  for (const auto& c : cases) {
    size_t n;
    const char* rest;
    const char* p = SplitProgram(c.command, &n, &rest);
    EXPECT_EQ(std::string(p, n), c.program) << c.command;
    EXPECT_EQ(std::string(rest), c.rest) << c.command;
  }
}

TEST(Crc32, MatchesTheZipChecksumInAnyChunking) {
  EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32(0, "", 0), 0u);
  std::string data;
  for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 7 + i / 13);
  const uint32_t whole = Crc32(0, data.data(), data.size());
  for (size_t cut : {1u, 3u, 4u, 5u, 999u}) {
    EXPECT_EQ(Crc32(Crc32(0, data.data(), cut), data.data() + cut, data.size() - cut), whole);
  }
  data[500] ^= 1;
  EXPECT_NE(Crc32(0, data.data(), data.size()), whole);
}

struct FakeDisk {
  std::set<std::string> existing;
  std::vector<std::string> tried;
  bool fail = false;
  int random_left = 1000;
  unsigned char next = 0;
};

CreateResult FakeCreate(const char* path, void* ctx) {
  auto* d = static_cast<FakeDisk*>(ctx);
  d->tried.push_back(path);
  if (d->fail) return CreateResult::kFailed;
  return d->existing.insert(path).second ? CreateResult::kCreated : CreateResult::kExists;
}

bool FakeRandom(void* bytes, size_t n, void* ctx) {
  auto* d = static_cast<FakeDisk*>(ctx);
  if (d->random_left-- <= 0) return false;
  for (size_t i = 0; i < n; ++i) static_cast<unsigned char*>(bytes)[i] = d->next;
  ++d->next;
  return true;
}

TEST(UniqueFolder, NeverTakesAFolderThatExists) {
  FakeDisk disk;
  disk.existing = {"T:\\pk0000000000000000", "T:\\pk0101010101010101"};
  FolderMaker maker = {FakeCreate, FakeRandom, &disk};
  char out[64];
  ASSERT_TRUE(MakeUniqueFolder("T:\\", maker, 16, out, sizeof out));
  EXPECT_EQ(std::string(out), "T:\\pk0202020202020202");
  EXPECT_EQ(disk.tried.size(), 3u);
  EXPECT_TRUE(IsUnpackFolderName(out + 3));  // what a later package may take for stale

  // Every name taken: gives up after the given tries.
  disk.next = 0;
  disk.tried.clear();
  EXPECT_FALSE(MakeUniqueFolder("T:\\", maker, 3, out, sizeof out));
  EXPECT_EQ(disk.tried.size(), 3u);
}

TEST(UniqueFolder, GivesUpRatherThanGuessing) {
  char out[64];
  FakeDisk no_random;
  no_random.random_left = 0;
  EXPECT_FALSE(MakeUniqueFolder("T:\\", {FakeCreate, FakeRandom, &no_random}, 16, out, sizeof out));
  EXPECT_TRUE(no_random.tried.empty());

  FakeDisk broken;
  broken.fail = true;
  EXPECT_FALSE(MakeUniqueFolder("T:\\", {FakeCreate, FakeRandom, &broken}, 16, out, sizeof out));
  EXPECT_EQ(broken.tried.size(), 1u);

  FakeDisk disk;
  EXPECT_FALSE(MakeUniqueFolder("T:\\", {FakeCreate, FakeRandom, &disk}, 16, out, 20));
}

// A later package removes stale folders by their name: only a name a package gives may match.
TEST(UniqueFolder, OnlyItsOwnNamesAreTakenForUnpackingFolders) {
  EXPECT_TRUE(IsUnpackFolderName("pk0123456789abcdef"));
  for (const char* other : {"pk0123456789abcde", "pk0123456789abcdef0", "pk0123456789ABCDEF",
                            "PK0123456789abcdef", "pg0123456789abcdef", "pk0123456789abcdeg", "pk",
                            "", "pk0123456789abcde.", "xpk0123456789abcdef"})
    EXPECT_FALSE(IsUnpackFolderName(other)) << other;
}

}  // namespace
}  // namespace kestrane
