// The package writer on its own: what the system's resource functions read in what it wrote, and
// what a failed write leaves behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "common/environment_win.h"
#include "packager/package_win.h"
#include "common/package_format.h"
#include "tests/win/files_win.h"

namespace kestrane {
namespace {

const std::string kDir = "C:\\pkwrite";
const std::string kOut = kDir + "\\out";

using testfs::Listing;
using testfs::Slurp;
using testfs::Spit;

void Clear(const std::string& folder) {
  for (const std::string& n : Listing(folder)) DeleteFileA((folder + "\\" + n).c_str());
  RemoveDirectoryA(folder.c_str());
}

std::string Stub() {
  return OwnFolder() + "\\wextract1.exe";
}

// A resource's bytes as the system's resource functions hand them out; "-" when absent.
std::string Resource(HMODULE m, const char* type, const char* name) {
  HRSRC r = FindResourceA(m, name, type);
  HGLOBAL g = r ? LoadResource(m, r) : nullptr;
  const char* p = g ? static_cast<const char*>(LockResource(g)) : nullptr;
  return p ? std::string(p, SizeofResource(m, r)) : std::string("-");
}

BOOL CALLBACK CollectIcon(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
  if (IS_INTRESOURCE(name))
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(
        LOWORD(reinterpret_cast<ULONG_PTR>(name)));
  return TRUE;
}

class PackageWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    Clear(kOut);
    Clear(kDir);
    CreateDirectoryA(kDir.c_str(), nullptr);
    CreateDirectoryA(kOut.c_str(), nullptr);
    // Text that compresses, bytes that do not, and an empty file.
    std::string text, noise(3 << 20, '\0');
    for (int i = 0; i < 20000; ++i) text += "slide " + std::to_string(i % 97) + " title body\r\n";
    uint32_t x = 7;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    const std::pair<const char*, std::string> files[] = {
        {"view.ppt", noise}, {"notes.txt", text}, {"empty.dat", ""}};
    for (const auto& [name, bytes] : files) {
      Spit(kDir + "\\" + name, bytes);
      entries_.push_back({kDir + "\\" + name, name});
    }
    decisions_.title = "kestrane";
    decisions_.program = "view.exe";
  }
  void TearDown() override {
    Clear(kOut);
    Clear(kDir);
  }

  std::vector<CabinetEntry> entries_;
  PackageDecisions decisions_;
};

TEST_F(PackageWriter, TheSystemReadsThePackageWithTheStubsOwnResourcesIntact) {
  const std::string package = kOut + "\\package.exe";
  std::string error;
  ASSERT_TRUE(WritePackage(Stub(), entries_, decisions_, package, &error)) << error;
  EXPECT_EQ(Listing(kOut), std::set<std::string>{"package.exe"});

  HMODULE stub = LoadLibraryExA(Stub().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HMODULE data = LoadLibraryExA(package.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  // Mapped as an image too: the loader's view of the section table and the image's size.
  HMODULE image = LoadLibraryExA(package.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(stub && data && image);
  std::vector<WORD> icons;
  EnumResourceNamesA(stub, RT_ICON, CollectIcon, reinterpret_cast<LONG_PTR>(&icons));
  EXPECT_FALSE(icons.empty());
  for (HMODULE m : {data, image}) {
    for (WORD icon : icons) {
      EXPECT_EQ(Resource(m, RT_ICON, MAKEINTRESOURCEA(icon)),
                Resource(stub, RT_ICON, MAKEINTRESOURCEA(icon)));
    }
    for (const char* type : {RT_GROUP_ICON, RT_VERSION, RT_MANIFEST}) {
      const std::string own = Resource(stub, type, MAKEINTRESOURCEA(1));
      EXPECT_NE(own, "-");
      EXPECT_EQ(Resource(m, type, MAKEINTRESOURCEA(1)), own);
    }
    const std::string cab = Resource(m, RT_RCDATA, kResCabinet);
    const std::string sum = Resource(m, RT_RCDATA, kResCabSum);
    ASSERT_EQ(sum.size(), 8u);
    uint32_t size, crc;
    memcpy(&size, sum.data(), 4);
    memcpy(&crc, sum.data() + 4, 4);
    EXPECT_EQ(cab.size(), size);
    EXPECT_EQ(Crc32(0, cab.data(), cab.size()), crc);
    EXPECT_EQ(cab.substr(0, 4), "MSCF");
    EXPECT_EQ(Resource(m, RT_RCDATA, kResTitle), std::string("kestrane", 9));
    EXPECT_EQ(Resource(m, RT_RCDATA, kResRunProgram), std::string("view.exe", 9));
    EXPECT_EQ(Resource(m, RT_RCDATA, kResPostRunProgram), std::string(1, '\0'));
    EXPECT_EQ(Resource(m, RT_RCDATA, kResShowWindow), std::string(4, '\0'));
    EXPECT_EQ(Resource(m, RT_RCDATA, kResReboot), std::string("N", 2));
  }
  FreeLibrary(image);
  FreeLibrary(data);
  FreeLibrary(stub);

  // Only the stub's headers change: its code and data stay as they were.
  const std::string stub_bytes = Slurp(Stub()), package_bytes = Slurp(package);
  EXPECT_TRUE(package_bytes.compare(0x400, stub_bytes.size() - 0x400, stub_bytes, 0x400) == 0);
  // The package's own section starts on a page of the file, after zeros, so that the loader can
  // map its bulk from the file instead of copying it when the package starts.
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(package_bytes.data());
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(package_bytes.data() + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* last = IMAGE_FIRST_SECTION(nt) + nt->FileHeader.NumberOfSections - 1;
  EXPECT_EQ(last->PointerToRawData % 4096, 0u);
  ASSERT_GE(last->PointerToRawData, stub_bytes.size());
  EXPECT_GE(package_bytes.find_first_not_of('\0', stub_bytes.size()), last->PointerToRawData);
  // A stub that carries an image checksum makes a package that carries its own, right.
  const DWORD stored = nt->OptionalHeader.CheckSum;
  EXPECT_NE(stored, 0u);
  std::string zeroed = package_bytes;
  const size_t sum_at =
      reinterpret_cast<const char*>(&nt->OptionalHeader.CheckSum) - package_bytes.data();
  zeroed.replace(sum_at, 4, 4, '\0');
  if (zeroed.size() % 2) zeroed.push_back('\0');
  uint32_t sum = 0;
  for (size_t i = 0; i < zeroed.size(); i += 2) {
    sum += static_cast<uint8_t>(zeroed[i]) | static_cast<uint8_t>(zeroed[i + 1]) << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  EXPECT_EQ(stored, sum + package_bytes.size());

  // For the readers outside Windows (readers.sh).
  const std::string keep = GetEnv("KESTRANE_KEEP_PACKAGE");
  if (!keep.empty()) {
    EXPECT_TRUE(CopyFileA(package.c_str(), keep.c_str(), FALSE));
  }
}

TEST_F(PackageWriter, AFailedWriteOrABadStubLeavesNothingBehind) {
  const std::string good = kOut + "\\good.exe";
  std::string error;
  ASSERT_TRUE(WritePackage(Stub(), entries_, decisions_, good, &error)) << error;
  const uint64_t total = Slurp(good).size();
  ASSERT_TRUE(DeleteFileA(good.c_str()));
  const std::string package = kOut + "\\package.exe";
  // A disk that fills: before the stub is written, inside it, inside the cabinet, at the very end.
  for (uint64_t limit : {uint64_t{0}, uint64_t{100}, uint64_t{60000}, total / 2, total - 10}) {
    SCOPED_TRACE(limit);
    CabinetLimits limits;
    limits.write = limit;
    error.clear();
    EXPECT_FALSE(WritePackage(Stub(), entries_, decisions_, package, &error, limits));
    EXPECT_NE(error.find("cannot write the package"), std::string::npos) << error;
    EXPECT_TRUE(Listing(kOut).empty());
  }
  const std::string stub = Slurp(Stub());
  const std::pair<const char*, std::string> stubs[] = {{"truncated stub", stub.substr(0, 700)},
                                                       {"not a program", "MZ but nothing else"},
                                                       {"no stub", ""}};
  for (const auto& [what, bytes] : stubs) {
    SCOPED_TRACE(what);
    const std::string path = kDir + "\\stub.exe";
    Spit(path, bytes);
    error.clear();
    EXPECT_FALSE(WritePackage(path, entries_, decisions_, package, &error));
    EXPECT_EQ(error.rfind("the stub ", 0), 0u) << error;
    EXPECT_TRUE(Listing(kOut).empty());
  }
  // A source that vanished.
  auto missing = entries_;
  missing.push_back({kDir + "\\gone.dat", "gone.dat"});
  EXPECT_FALSE(WritePackage(Stub(), missing, decisions_, package, &error));
  EXPECT_NE(error.find("gone.dat"), std::string::npos) << error;
  EXPECT_TRUE(Listing(kOut).empty());
}

// Needs a small drive, which full_disk.sh lays out as KESTRANE_SMALL_DRIVE.
TEST_F(PackageWriter, ARealFullDiskLeavesNothingBehind) {
  const std::string drive = GetEnv("KESTRANE_SMALL_DRIVE");
  if (drive.empty()) GTEST_SKIP() << "no small drive";
  std::string error;
  EXPECT_FALSE(WritePackage(Stub(), entries_, decisions_, drive + "\\package.exe", &error));
  EXPECT_NE(error.find("cannot write the package"), std::string::npos) << error;
  EXPECT_TRUE(Listing(drive).empty());
}

}  // namespace
}  // namespace kestrane
