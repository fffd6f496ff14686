// The self-extractor's unpacking and cleanup against a cabinet library that fails the way real
// ones do: out of memory at any point, or giving up in the middle of a file without closing it.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "packager/cabinet_win.h"

#include "stub/folder_win.h"
#include "stub/processes_win.h"
#include "stub/unpack_win.h"
#include "tests/win/files_win.h"

namespace kestrane {
namespace {

const std::string kRoot = "C:\\stubtest";

using testfs::Slurp;
using testfs::Spit;

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The real library, with every allocation after the first `allowed` failing: those ask the
// stub's own allocator for more than a 32-bit process's address space can hold. (Not for nearly
// 4 GB: with the heap's own overhead added, such a size wraps around in a 32-bit heap, and Wine's
// then hands out a tiny block that the library overruns.)
CabinetLibrary g_real;
int g_allowed;
PFNALLOC g_alloc;
FNALLOC(RationedAlloc) {
  return g_allowed-- > 0 ? g_alloc(cb) : g_alloc(0x7FFFFF00u);
}
HFDI DIAMONDAPI RationedCreate(PFNALLOC alloc, PFNFREE free, PFNOPEN open, PFNREAD read,
                               PFNWRITE write, PFNCLOSE close, PFNSEEK seek, int cpu, PERF erf) {
  g_alloc = alloc;
  return g_real.create(RationedAlloc, free, open, read, write, close, seek, cpu, erf);
}

// A library that opens the first file, writes a little of it and gives up, closing nothing.
PFNOPEN g_open;
PFNWRITE g_write;
HFDI DIAMONDAPI QuitterCreate(PFNALLOC, PFNFREE, PFNOPEN open, PFNREAD, PFNWRITE write, PFNCLOSE,
                              PFNSEEK, int, PERF) {
  g_open = open;
  g_write = write;
  static int handle;
  return &handle;
}
BOOL DIAMONDAPI QuitterCopy(HFDI, char* cabinet, char*, int, PFNFDINOTIFY notify, PFNFDIDECRYPT,
                            void*) {
  if (g_open(cabinet, 0, 0) == -1) return FALSE;
  FDINOTIFICATION n = {};
  char name[] = "view.ppt";
  n.psz1 = name;
  n.cb = 1000;
  INT_PTR file = notify(fdintCOPY_FILE, &n);
  if (file == -1 || file == 0) return FALSE;
  char some[16] = "slide";
  g_write(file, some, sizeof some);
  return FALSE;
}
BOOL DIAMONDAPI QuitterDestroy(HFDI) {
  return TRUE;
}

class Unpack : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    CreateDirectoryA(kRoot.c_str(), nullptr);
    ASSERT_TRUE(LoadCabinetLibrary(&g_real));
  }
  void TearDown() override { Clean(); }
  void Clean() {
    RemoveTree(kRoot.c_str());
    ASSERT_FALSE(Exists(kRoot));
  }

  // A cabinet of a few files, as the packager makes them.
  std::string Cabinet() {
    std::vector<CabinetEntry> entries;
    for (int i = 0; i < 3; ++i) {
      std::string name = "file" + std::to_string(i) + ".txt", source = kRoot + "\\" + name;
      Spit(source, std::string(50000 * (i + 1), static_cast<char>('a' + i)));
      entries.push_back({source, name});
    }
    std::string error;
    const std::string path = kRoot + "\\test.cab";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    {
      OutputFile out(file);
      CabinetSum sum;
      EXPECT_TRUE(WriteCabinet(entries, &out, 0, &sum, &error)) << error;
      EXPECT_TRUE(out.Flush());
    }
    CloseHandle(file);
    return Slurp(path);
  }

  // Unpacks into a fresh folder and checks that nothing stays open: the folder goes at once.
  UnpackResult UnpackAndRemove(const CabinetLibrary& lib, const std::string& cab) {
    const std::string folder = kRoot + "\\out";
    CreateDirectoryA(folder.c_str(), nullptr);
    UnpackResult r;
    UnpackCabinet(lib, reinterpret_cast<const unsigned char*>(cab.data()),
                  static_cast<DWORD>(cab.size()), folder.c_str(), &r);
    DWORD start = GetTickCount();
    RemoveTree(folder.c_str());
    EXPECT_FALSE(Exists(folder)) << "a file stayed open";
    EXPECT_LT(GetTickCount() - start, kRemoveRetryPauseMs) << "a file stayed open for a while";
    return r;
  }
};

TEST_F(Unpack, UnpacksEveryFile) {
  const std::string cab = Cabinet(), folder = kRoot + "\\out";
  CreateDirectoryA(folder.c_str(), nullptr);
  UnpackResult r;
  UnpackCabinet(g_real, reinterpret_cast<const unsigned char*>(cab.data()),
                static_cast<DWORD>(cab.size()), folder.c_str(), &r);
  EXPECT_EQ(r.outcome, UnpackOutcome::kUnpacked);
  EXPECT_EQ(Slurp(folder + "\\file2.txt"), std::string(150000, 'c'));
}

// One rationed unpacking runs in a process of its own (this test program, started again with
// KESTRANE_RATIONED set), so that a library that cannot survive its own allocation failing at
// some point takes only that process down. Wine's cabinet library is one such; Windows' own is
// what the product meets. Exit codes: what the unpacking made of it, or that the library crashed.
enum RationedExit : DWORD {
  kRationedUnpacked = 10,
  kRationedOutOfMemory,
  kRationedOther,
  kRationedLeftOpen,
  kRationedLibraryCrashed,
};

LONG WINAPI LibraryCrashed(EXCEPTION_POINTERS*) {
  ExitProcess(kRationedLibraryCrashed);
}

const int g_rationed_child = [] {
  char value[16];
  if (!GetEnvironmentVariableA("KESTRANE_RATIONED", value, sizeof value)) return 0;
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(LibraryCrashed);
  const std::string folder = kRoot + "\\out", cab = Slurp(kRoot + "\\test.cab");
  if (!LoadCabinetLibrary(&g_real)) ExitProcess(kRationedOther);
  CabinetLibrary rationed = g_real;
  rationed.create = RationedCreate;
  g_allowed = atoi(value);
  RemoveTree(folder.c_str());  // what a crashed run before this one left
  CreateDirectoryA(folder.c_str(), nullptr);
  UnpackResult r;
  UnpackCabinet(rationed, reinterpret_cast<const unsigned char*>(cab.data()),
                static_cast<DWORD>(cab.size()), folder.c_str(), &r);
  RemoveTree(folder.c_str());
  if (Exists(folder)) ExitProcess(kRationedLeftOpen);
  ExitProcess(r.outcome == UnpackOutcome::kUnpacked      ? kRationedUnpacked
              : r.outcome == UnpackOutcome::kOutOfMemory ? kRationedOutOfMemory
                                                         : kRationedOther);
}();

TEST_F(Unpack, ShortOfMemoryAnywhereIsNeverCalledDamaged) {
#ifdef _WIN64
  // The refusal below is a request of 2 GB, which a 64-bit process may well be granted.
  GTEST_SKIP() << "needs a 32-bit process";
#endif
  Cabinet();
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  int failures = 0, crashes = 0;
  bool unpacked = false;
  for (int allowed = 0; allowed < 200 && !unpacked; ++allowed) {
    SCOPED_TRACE(allowed);
    SetEnvironmentVariableA("KESTRANE_RATIONED", std::to_string(allowed).c_str());
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = std::string("\"") + self + "\"";
    ASSERT_TRUE(
        CreateProcessA(self, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    SetEnvironmentVariableA("KESTRANE_RATIONED", nullptr);
    switch (code) {
      case kRationedUnpacked:
        unpacked = true;
        break;
      case kRationedOutOfMemory:
        ++failures;
        break;
      case kRationedLibraryCrashed:
        ++crashes;
        break;
      default:
        ADD_FAILURE() << "exit code " << code;
        break;
    }
  }
  EXPECT_GT(failures, 1);  // both the library's start and its copying ran short
  EXPECT_TRUE(unpacked) << "never had enough memory";
  EXPECT_LT(crashes, failures);
  if (crashes) std::printf("the cabinet library itself crashed at %d of its refusals\n", crashes);
}

TEST_F(Unpack, ALibraryThatGivesUpMidFileLeavesNothingOpen) {
  CabinetLibrary quitter;
  quitter.create = QuitterCreate;
  quitter.copy = QuitterCopy;
  quitter.destroy = QuitterDestroy;
  EXPECT_EQ(UnpackAndRemove(quitter, "MSCF").outcome, UnpackOutcome::kDamaged);
}

struct Ace {
  BYTE type, flags;
  DWORD mask;
  std::string sid;
  bool operator==(const Ace& o) const {
    return type == o.type && flags == o.flags && mask == o.mask && sid == o.sid;
  }
};
struct Dacl {
  bool read = false, is_protected = false;
  std::vector<Ace> aces;
};

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return "?";
  std::string s = text;
  LocalFree(text);
  return s;
}

Dacl ReadDacl(const std::string& path) {
  Dacl d;
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &acl, nullptr, &sd) != ERROR_SUCCESS)
    return d;
  d.read = true;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision;
  GetSecurityDescriptorControl(sd, &control, &revision);
  d.is_protected = (control & SE_DACL_PROTECTED) != 0;
  for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(acl, i, reinterpret_cast<void**>(&ace))) continue;
    d.aces.push_back(
        {ace->Header.AceType, ace->Header.AceFlags, ace->Mask, SidText(&ace->SidStart)});
  }
  LocalFree(sd);
  return d;
}

std::string UserSidText() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
  DWORD buffer[64], n;
  BOOL ok = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &n);
  CloseHandle(token);
  return ok ? SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) : "";
}

// A shared %TEMP% (C:\Temp) lets every user in; what the stub unpacks must not be.
TEST_F(Unpack, TheFolderIsOnlyTheUsersSystemsAndAdministrators) {
  // Where the file system keeps no security descriptors, Wine makes one up from the mode bits:
  // nothing to read back then. A folder given a protected DACL of its own tells.
  const std::string reference = kRoot + "\\reference";
  PSECURITY_DESCRIPTOR given = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
      "D:P(A;OICI;FA;;;SY)", SDDL_REVISION_1, &given, nullptr));
  SECURITY_ATTRIBUTES sa = {sizeof sa, given, FALSE};
  ASSERT_TRUE(CreateDirectoryA(reference.c_str(), &sa));
  LocalFree(given);
  if (!ReadDacl(reference).is_protected) GTEST_SKIP() << "no security descriptors kept here";

  char folder[kPath];
  ASSERT_TRUE(MakePrivateFolder((kRoot + "\\").c_str(), folder, sizeof folder));
  EXPECT_EQ(std::string(folder).rfind(kRoot + "\\pk", 0), 0u) << folder;
  EXPECT_EQ(strlen(folder), kRoot.size() + 1 + 2 + 16) << folder;
  Dacl d = ReadDacl(folder);
  ASSERT_TRUE(d.read);
  EXPECT_TRUE(d.is_protected);  // nothing of %TEMP% comes through
  const BYTE inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  const std::vector<Ace> expected = {
      {ACCESS_ALLOWED_ACE_TYPE, inherit, FILE_ALL_ACCESS, UserSidText()},
      {ACCESS_ALLOWED_ACE_TYPE, inherit, FILE_ALL_ACCESS, "S-1-5-18"},
      {ACCESS_ALLOWED_ACE_TYPE, inherit, FILE_ALL_ACCESS, "S-1-5-32-544"}};
  EXPECT_TRUE(d.aces == expected);
  for (const Ace& a : d.aces) {
    EXPECT_TRUE(a.type == ACCESS_ALLOWED_ACE_TYPE) << a.sid;
    EXPECT_EQ(a.sid.rfind("S-1-1-0", 0), std::string::npos) << "Everyone may enter";
  }
  // What is unpacked into it takes the same three and no one else.
  const std::string file = std::string(folder) + "\\view.exe";
  Spit(file, "MZ");
  Dacl f = ReadDacl(file);
  ASSERT_TRUE(f.read);
  ASSERT_EQ(f.aces.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(f.aces[i].sid, expected[i].sid);
}

// Where the stub could not put its program into a job, it looks at every process: one running
// from the folder keeps the folder, one from elsewhere does not.
TEST(RunningPrograms, AreFoundWithoutAJob) {
  const std::string folder = kRoot + "\\pkrunning", other = kRoot + "\\pkother";
  RemoveTree(kRoot.c_str());
  CreateDirectoryA(kRoot.c_str(), nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA(other.c_str(), nullptr);
  const std::string copy = folder + "\\napper.exe";
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  ASSERT_TRUE(CopyFileA(self, copy.c_str(), FALSE));
  EXPECT_FALSE(RunsFromFolder(nullptr, folder.c_str()));
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  std::string line =
      "\"" + copy + "\" --gtest_also_run_disabled_tests --gtest_filter=Napper.DISABLED_Naps";
  ASSERT_TRUE(CreateProcessA(copy.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &si, &pi));
  Sleep(500);  // under way, well before it ends
  EXPECT_TRUE(RunsFromFolder(nullptr, folder.c_str()));
  EXPECT_FALSE(RunsFromFolder(nullptr, other.c_str()));
  WaitForSingleObject(pi.hProcess, 30000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_FALSE(RunsFromFolder(nullptr, folder.c_str()));
  RemoveTree(kRoot.c_str());
}

// Run by the test above, as a program that runs for a while.
TEST(Napper, DISABLED_Naps) {
  Sleep(3000);
}

// A program that ends leaves a file open for a moment, or a stranger keeps one open for good;
// deep in the tree, either must cost a few seconds in all, not a few seconds per level.
TEST_F(Unpack, ABusyFileDeepInTheTreeCostsAFewSecondsInAll) {
  std::string path = kRoot + "\\pkbusy";
  CreateDirectoryA(path.c_str(), nullptr);
  for (const char* level : {"\\a", "\\b", "\\c"}) {
    path += level;
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    Spit(path + "\\free.txt", "x");
  }
  HANDLE held = CreateFileA((path + "\\held.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DWORD start = GetTickCount();
  RemoveTree((kRoot + "\\pkbusy").c_str());
  DWORD took = GetTickCount() - start;
  EXPECT_GE(took, kRemoveRetryMs - 2 * kRemoveRetryPauseMs);  // it did retry
  EXPECT_LT(took, kRemoveRetryMs + 2000);
  EXPECT_TRUE(Exists(path + "\\held.txt"));
  EXPECT_FALSE(Exists(path + "\\free.txt"));  // everything else went
  CloseHandle(held);
  start = GetTickCount();
  RemoveTree((kRoot + "\\pkbusy").c_str());
  EXPECT_FALSE(Exists(kRoot + "\\pkbusy"));
  EXPECT_LT(GetTickCount() - start, 1000u);
}

}  // namespace
}  // namespace kestrane
