#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/reg_key_win.h"
#include "common/scoped_win.h"
#include "common/security_win.h"
#include "common/environment_win.h"
#include "common/files_win.h"
#include "common/settings_win.h"
#include "common/shell_folders_win.h"
#include "installer/install_win.h"
#include "common/tree_layout.h"
#include "tests/win/files_win.h"
#include "tests/win/tree_fixture_win.h"

namespace kestrane {
namespace {

using testing::LinkTarget;
using testing::ReadFile;
using testing::Snapshot;
using testing::WriteFile;

const std::string kSetup = "C:\\setup source";
const std::string kPath1 = "C:\\inst\\system32";

std::string RegString(const char* name, DWORD* type_out = nullptr) {
  char data[4096];
  DWORD size = sizeof data, type = 0;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kUninstallKey, name, RRF_RT_ANY, &type, data, &size) !=
      ERROR_SUCCESS)
    return "<absent>";
  if (type_out) *type_out = type;
  return type == REG_SZ ? std::string(data) : "<type " + std::to_string(type) + ">";
}

// Owner and access entries of a security descriptor, one per line, to compare what was written
// with what was meant.
std::string Described(PSECURITY_DESCRIPTOR sd) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL defaulted = FALSE, present = FALSE;
  if (!GetSecurityDescriptorOwner(sd, &owner, &defaulted) || !owner ||
      !GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) || !present || !dacl)
    return "<no owner or no access list>";
  auto sid_text = [](PSID sid) {
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text)) return std::string("<sid>");
    std::string out = text;
    LocalFree(text);
    return out;
  };
  std::string out = "owner " + sid_text(owner);
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) return out + "\n<bad entry>";
    char line[128];
    wsprintfA(line, "\ntype %d flags %02x mask %08lx ", ace->Header.AceType, ace->Header.AceFlags,
              static_cast<unsigned long>(ace->Mask));
    out += line + sid_text(&ace->SidStart);
  }
  return out;
}

std::string AccessOf(const std::string& path) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, nullptr, nullptr, &sd) != ERROR_SUCCESS)
    return "<unreadable>";
  std::string out = Described(sd);
  LocalFree(sd);
  return out;
}

std::string Meant(const char* sddl) {
  security::Descriptor d(sddl);
  return d.valid() ? Described(d.get()) : "<bad SDDL>";
}

// Wine keeps of an access list only what Unix modes can say; Windows keeps it as given.
bool KeepsAccessLists() {
  static const bool keeps = [] {
    const std::string probe = "C:\\access list probe.txt";
    security::Descriptor d(kInstalledFileAccess);
    HANDLE f =
        CreateFileA(probe.c_str(), GENERIC_WRITE, 0, d.attributes(), CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    bool same = AccessOf(probe) == Meant(kInstalledFileAccess);
    DeleteFileA(probe.c_str());
    return same;
  }();
  return keeps;
}

// Whether giving an existing file a new access list shows (Wine's file modes may not follow).
bool ChangesExistingAccessLists() {
  static const bool changes = [] {
    const std::string probe = "C:\\access list probe.txt";
    security::Descriptor open_to_all("D:P(A;;0x1f01ff;;;WD)");
    HANDLE f = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, open_to_all.attributes(), CREATE_ALWAYS,
                           0, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    security::Apply(probe, kInstalledFileAccess);
    PSECURITY_DESCRIPTOR sd = nullptr;
    PACL dacl = nullptr;
    bool everyone = true;
    if (GetNamedSecurityInfoA(probe.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &sd) == ERROR_SUCCESS) {
      everyone = false;
      for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (GetAce(dacl, i, reinterpret_cast<void**>(&ace)) &&
            IsWellKnownSid(&ace->SidStart, WinWorldSid))
          everyone = true;
      }
      LocalFree(sd);
    }
    DeleteFileA(probe.c_str());
    return !everyone;
  }();
  return changes;
}

// Who, besides SYSTEM, Administrators and the owner, appears in a path's access list: anyone at
// all, or with `users` only Users (and the owner-rights entry) holding none of the `forbidden`
// rights on the path itself.
std::string Strangers(const std::string& path, bool users, DWORD forbidden) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                            &dacl, nullptr, &sd) != ERROR_SUCCESS)
    return "<unreadable>";
  std::string out;
  if (!dacl) out = "<no access list: everyone may do anything>";
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
    PSID sid = &ace->SidStart;
    if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || IsWellKnownSid(sid, WinLocalSystemSid) ||
        IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || EqualSid(sid, owner))
      continue;
    if (users &&
        (IsWellKnownSid(sid, WinBuiltinUsersSid) ||
         IsWellKnownSid(sid, WinCreatorOwnerRightsSid)) &&
        ((ace->Header.AceFlags & INHERIT_ONLY_ACE) || !(ace->Mask & forbidden)))
      continue;
    char* text = nullptr;
    ConvertSidToStringSidA(sid, &text);
    char mask[16];
    wsprintfA(mask, ":%lx ", static_cast<unsigned long>(ace->Mask));
    out += std::string(text ? text : "?") + mask;
    LocalFree(text);
  }
  LocalFree(sd);
  return out;
}

// Rights that change a file or what a folder holds; users may add files to a staging folder.
constexpr DWORD kChangeRights =
    DELETE | WRITE_DAC | WRITE_OWNER | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD;
constexpr DWORD kChangeRightsButAdding = kChangeRights & ~FILE_ADD_FILE;

// Only Administrators, SYSTEM and the owner may change it (Users, when `users_forbidden` is
// given, may do the rest), and where the system keeps access lists, it has exactly `sddl`.
void ExpectProtected(const std::string& path, const char* sddl, DWORD users_forbidden = 0) {
  EXPECT_EQ(Strangers(path, users_forbidden != 0, users_forbidden), "") << path;
  if (KeepsAccessLists()) {
    EXPECT_EQ(AccessOf(path), Meant(sddl)) << path;
  }
}

// A junction-like link to a folder, or false where the file system or the system cannot make one.
bool MakeFolderLink(const std::string& link, const std::string& target) {
  using Create = BOOLEAN(WINAPI*)(LPCSTR, LPCSTR, DWORD);
  auto create = reinterpret_cast<Create>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA")));
  if (!create || !create(link.c_str(), target.c_str(), 0x1 | 0x2)) return false;
  DWORD a = GetFileAttributesA(link.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

class Install : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("PATH", (kPath1 + ";C:\\windows\\system32;C:\\windows").c_str());
    testing::RemoveTree("C:\\kestrane");
    testing::RemoveTree("C:\\kestrane.moved-1");
    testing::RemoveTree(kSetup);
    testing::RemoveTree("C:\\inst");
    CreateDirectoryA("C:\\inst", nullptr);
    CreateDirectoryA(kPath1.c_str(), nullptr);
    for (const auto& f : InstalledFiles())
      WriteFile(kSetup + f.source, std::string("new ") + f.source);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    programs = SpecialFolder(CSIDL_PROGRAMS);
    desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    DeleteFileA((programs + kConverterLink).c_str());
    DeleteFileA((programs + kUninstallerLink).c_str());
    RemoveDirectoryA((programs + kStartMenuFolder).c_str());
    DeleteFileA((desktop + kDesktopLink).c_str());
  }
  std::string programs, desktop;
};

TEST_F(Install, LaysTheTreeShortcutsAndRegistration) {
  EXPECT_EQ(RunInstallSequence(true, kSetup), std::vector<std::string>{});

  auto tree = Snapshot("C:\\kestrane");
  std::vector<std::string> names;
  for (const auto& [name, content] : tree) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"GDIPLUS.DLL",
                                             "INTLDATE.DLL",
                                             "PELLUM.dll",
                                             "PPTVIEW.exe",
                                             "PPVWINTL.DLL",
                                             "SAEXT.DLL",
                                             "UNICOWS.DLL",
                                             "comdlg32.ocx",
                                             "kestrane.exe",
                                             "kestrane.exe.manifest",
                                             "msvbvm60.dll",
                                             "temp",
                                             "tools",
                                             "tools\\Advpack.dll",
                                             "tools\\IExpress.exe",
                                             "tools\\W95inf16.dll",
                                             "tools\\makecab.exe",
                                             "tools\\mcab.exe",
                                             "tools\\w95inf32.dll",
                                             "tools\\wextract",
                                             "tools\\wextract\\wextract1.dat",
                                             "tools\\wextract\\wextract2.dat",
                                             "tools\\wextract\\wextract3.dat",
                                             "tools\\wextract\\wextract4.dat",
                                             "tools\\wextract\\wextract5.dat",
                                             "tools\\wextract\\wextract6.dat"}));
  EXPECT_EQ(tree["PELLUM.dll"], "new \\pellum.exe");
  EXPECT_EQ(tree["kestrane.exe.manifest"], "new \\kestrane.man");
  EXPECT_EQ(tree["tools\\wextract\\wextract4.dat"], "new \\wextract4.exe");
  EXPECT_EQ(ReadFile(kPath1 + "\\kestrane_uninstall.exe"), "new \\kestrane_uninstall.exe");
  EXPECT_EQ(ReadFile(kPath1 + "\\kestrane_uninstall.exe.manifest"), "new \\kestrane_uninstall.man");

  const std::pair<const char*, std::string> values[] = {
      {"DisplayName", "kestrane (1.0)"},
      {"DisplayVersion", "1.0"},
      {"Publisher", "Tamsworth"},
      {"UninstallString", "\"" + kPath1 + "\\kestrane_uninstall.exe\""},
  };
  for (const auto& [name, data] : values) EXPECT_EQ(RegString(name), data) << name;
  EXPECT_EQ(RegString("HelpLink").rfind("http", 0), 0u);

  EXPECT_EQ(LinkTarget(programs + kConverterLink), "C:\\kestrane\\kestrane.exe");
  EXPECT_EQ(LinkTarget(programs + kUninstallerLink), kPath1 + "\\kestrane_uninstall.exe");
  EXPECT_EQ(LinkTarget(desktop + kDesktopLink), "C:\\kestrane\\kestrane.exe");
}

TEST_F(Install, AReinstallReplacesEveryFileAndStillSucceeds) {
  RunInstallSequence(false, kSetup);
  EXPECT_FALSE(FileExists(desktop + kDesktopLink));
  for (const auto& f : InstalledFiles())
    WriteFile(kSetup + f.source, std::string("newer ") + f.source);
  EXPECT_EQ(RunInstallSequence(true, kSetup), std::vector<std::string>{});
  EXPECT_EQ(ReadFile("C:\\kestrane\\kestrane.exe"), "newer \\kestrane.exe");
  EXPECT_EQ(ReadFile("C:\\kestrane\\tools\\mcab.exe"), "newer \\mcab.exe");
  EXPECT_TRUE(FileExists(desktop + kDesktopLink));
}

TEST_F(Install, NamesExactlyWhatCouldNotBeInstalled) {
  RunInstallSequence(false, kSetup);
  // The converter is running (its file is in use) and the setup folder lacks two files.
  AutoFileHandle in_use(CreateFileA("C:\\kestrane\\kestrane.exe", GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(in_use);
  DeleteFileA((kSetup + "\\SAEXT.DLL").c_str());
  DeleteFileA((kSetup + "\\wextract5.exe").c_str());
  DeleteFileA("C:\\kestrane\\SAEXT.DLL");
  EXPECT_EQ(RunInstallSequence(false, kSetup),
            (std::vector<std::string>{"C:\\kestrane\\tools\\wextract\\wextract5.dat",
                                      "C:\\kestrane\\SAEXT.DLL", "C:\\kestrane\\kestrane.exe"}));
  EXPECT_FALSE(FileExists("C:\\kestrane\\SAEXT.DLL"));
  EXPECT_EQ(ReadFile("C:\\kestrane\\tools\\wextract\\wextract5.dat"), "new \\wextract5.exe");
}

TEST(SetRegistryValueTest, KeepsThePresentTypeAndRefusesOversizedValues) {
  const std::string key = "SOFTWARE\\kestrane test key";
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
  EXPECT_FALSE(SetRegistryValue(HKEY_LOCAL_MACHINE, key, "DisplayName", "x"));  // no key yet
  CreateRegistryKey(HKEY_LOCAL_MACHINE, key);
  RegKey k;
  ASSERT_EQ(k.Open(HKEY_LOCAL_MACHINE, key.c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
  DWORD seven = 7;
  RegSetValueExA(k.get(), "DisplayVersion", 0, REG_DWORD, reinterpret_cast<BYTE*>(&seven), 4);
  std::string big(2000, 'x');
  RegSetValueExA(k.get(), "Big", 0, REG_SZ, reinterpret_cast<const BYTE*>(big.c_str()), 2001);

  EXPECT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, key, "DisplayVersion", "1.0"));
  DWORD type = 0, number = 0, size = 4;
  RegQueryValueExA(k.get(), "DisplayVersion", nullptr, &type, reinterpret_cast<BYTE*>(&number),
                   &size);
  EXPECT_EQ(type, DWORD(REG_DWORD));
  EXPECT_EQ(number, 1u);

  EXPECT_FALSE(SetRegistryValue(HKEY_LOCAL_MACHINE, key, "Big", "small"));
  char data[4096];
  size = sizeof data;
  RegQueryValueExA(k.get(), "Big", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  EXPECT_EQ(size, 2001u);

  EXPECT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, key, "Fresh", "text"));
  size = sizeof data;
  RegQueryValueExA(k.get(), "Fresh", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(size, 5u);
  k.Close();
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
}

// Values of other types than text or DWORD get data of the form their type has, never text bytes
// under a type that means something else.
TEST(SetRegistryValueTest, WritesWellFormedDataForEveryOtherType) {
  const std::string key = "SOFTWARE\\kestrane test key";
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
  CreateRegistryKey(HKEY_LOCAL_MACHINE, key);
  RegKey k;
  ASSERT_EQ(k.Open(HKEY_LOCAL_MACHINE, key.c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
  const BYTE old[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  for (auto [name, type] : {std::pair<const char*, DWORD>{"List", REG_MULTI_SZ},
                            {"Wide", REG_QWORD},
                            {"Raw", REG_BINARY},
                            {"Expand", REG_EXPAND_SZ}})
    ASSERT_TRUE(k.Write(name, type, old, type == REG_MULTI_SZ || type == REG_EXPAND_SZ ? 2 : 8));
  auto read = [&](const char* name, DWORD* type) {
    BYTE data[64] = {};
    DWORD size = sizeof data;
    RegQueryValueExA(k.get(), name, nullptr, type, data, &size);
    return std::string(reinterpret_cast<char*>(data), size);
  };
  DWORD type = 0;
  for (const char* name : {"List", "Wide", "Raw", "Expand"})
    EXPECT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, key, name, "2.5")) << name;
  EXPECT_EQ(read("List", &type), std::string("2.5\0\0", 5));
  EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
  EXPECT_EQ(read("Wide", &type), std::string("\2\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(type, DWORD(REG_QWORD));
  EXPECT_EQ(read("Raw", &type), std::string("2.5\0", 4));
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(read("Expand", &type), std::string("2.5\0", 4));
  EXPECT_EQ(type, DWORD(REG_EXPAND_SZ));
  k.Close();
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
}

TEST(Probe, CreatesAnEmptyProbeFileOrRefuses) {
  testing::RemoveTree("C:\\probe");
  CreateDirectoryA("C:\\probe", nullptr);
  WriteFile("C:\\probe\\temp.tmp", "old contents");
  SetEnvironmentVariableA("PATH", "C:\\probe;C:\\windows");
  EXPECT_TRUE(ProbeWriteAccess());
  bool ok = false;
  EXPECT_EQ(ReadFile("C:\\probe\\temp.tmp", &ok), "");
  EXPECT_TRUE(ok);
  SetEnvironmentVariableA("PATH", "C:\\no such folder;C:\\windows");
  EXPECT_FALSE(ProbeWriteAccess());
  SetEnvironmentVariableA("PATH", "");
  EXPECT_FALSE(ProbeWriteAccess());
  testing::RemoveTree("C:\\probe");
}

// What setup leaves is protected from every user but Administrators and SYSTEM; where the
// converter stages its files, users may add files, and nowhere else.
TEST_F(Install, ProtectsWhatItInstallsAndLetsUsersStageOnly) {
  ASSERT_EQ(RunInstallSequence(false, kSetup), std::vector<std::string>{});
  for (const char* folder : {"C:\\kestrane", "C:\\kestrane\\tools", "C:\\kestrane\\temp"})
    ExpectProtected(folder, kStagingFolderAccess, kChangeRightsButAdding);
  ExpectProtected("C:\\kestrane\\tools\\wextract", kProgramFolderAccess, kChangeRights);
  for (const char* file :
       {"C:\\kestrane\\PELLUM.dll", "C:\\kestrane\\kestrane.exe", "C:\\kestrane\\PPTVIEW.exe",
        "C:\\kestrane\\tools\\IExpress.exe", "C:\\kestrane\\tools\\wextract\\wextract3.dat"})
    ExpectProtected(file, kInstalledFileAccess, kChangeRights);
  ExpectProtected(kPath1 + "\\kestrane_uninstall.exe", kInstalledFileAccess, kChangeRights);
  EXPECT_EQ(ReadFile("C:\\kestrane\\PELLUM.dll"), "new \\pellum.exe");
}

// Someone made the root before setup ran, open to everyone, with a packager of their own in it.
TEST_F(Install, TakesOverARootThatSomeoneElseMade) {
  security::Descriptor open_to_all("D:P(A;OICI;0x1f01ff;;;WD)");
  ASSERT_TRUE(CreateDirectoryA("C:\\kestrane", open_to_all.attributes()));
  ASSERT_TRUE(CreateDirectoryA("C:\\kestrane\\tools", open_to_all.attributes()));
  WriteFile("C:\\kestrane\\tools\\IExpress.exe", "planted packager");
  security::Apply("C:\\kestrane\\tools\\IExpress.exe", "D:P(A;;0x1f01ff;;;WD)");
  EXPECT_EQ(RunInstallSequence(false, kSetup), std::vector<std::string>{});
  EXPECT_EQ(ReadFile("C:\\kestrane\\tools\\IExpress.exe"), "new \\IExpress.exe");
  if (!ChangesExistingAccessLists()) GTEST_SKIP() << "existing files keep their access here";
  ExpectProtected("C:\\kestrane", kStagingFolderAccess, kChangeRightsButAdding);
  ExpectProtected("C:\\kestrane\\tools", kStagingFolderAccess, kChangeRightsButAdding);
  ExpectProtected("C:\\kestrane\\tools\\IExpress.exe", kInstalledFileAccess, kChangeRights);
}

// Another user made the root before setup ran, with a packager of their own in it: the whole
// folder is moved aside, untouched, and the tree is made anew.
TEST_F(Install, MovesAsideARootThatAnotherUserOwns) {
  ASSERT_TRUE(CreateDirectoryA("C:\\kestrane", nullptr));
  WriteFile("C:\\kestrane\\tools\\IExpress.exe", "planted packager");
  if (!testfs::GiveToAnotherAccount("C:\\kestrane")) GTEST_SKIP() << "no second account here";
  EXPECT_EQ(RunInstallSequence(false, kSetup), std::vector<std::string>{});
  EXPECT_EQ(ReadFile("C:\\kestrane\\tools\\IExpress.exe"), "new \\IExpress.exe");
  EXPECT_TRUE(security::OwnedByAdministrators("C:\\kestrane"));
  EXPECT_EQ(ReadFile("C:\\kestrane.moved-1\\tools\\IExpress.exe"), "planted packager");
}

// A file that setup replaces may have become a second name of some other file: setup removes the
// name and writes a new file, never through the link.
TEST_F(Install, AReinstallNeverWritesThroughAHardLink) {
  ASSERT_EQ(RunInstallSequence(false, kSetup), std::vector<std::string>{});
  WriteFile("C:\\inst\\victim.txt", "someone's file");
  DeleteFileA("C:\\kestrane\\PPTVIEW.exe");
  if (!CreateHardLinkA("C:\\kestrane\\PPTVIEW.exe", "C:\\inst\\victim.txt", nullptr))
    GTEST_SKIP() << "no hard links here";
  EXPECT_EQ(RunInstallSequence(false, kSetup), std::vector<std::string>{});
  EXPECT_EQ(ReadFile("C:\\inst\\victim.txt"), "someone's file");
  EXPECT_EQ(ReadFile("C:\\kestrane\\PPTVIEW.exe"), "new \\PPTVIEW.exe");
}

// A root that is a link to another folder is not followed: nothing is written through it.
TEST_F(Install, RefusesARootThatLinksElsewhere) {
  testing::RemoveTree("C:\\elsewhere");
  CreateDirectoryA("C:\\elsewhere", nullptr);
  if (!MakeFolderLink("C:\\kestrane", "C:\\elsewhere")) GTEST_SKIP() << "no folder links here";
  auto missing = RunInstallSequence(false, kSetup);
  ASSERT_FALSE(missing.empty());
  EXPECT_NE(missing.front().find("cannot be made safe"), std::string::npos) << missing.front();
  EXPECT_TRUE(testing::Snapshot("C:\\elsewhere").empty());
  RemoveDirectoryA("C:\\kestrane");
  testing::RemoveTree("C:\\elsewhere");
}

// Starts an uninstaller and waits until the copy that does the work is done. Its exit code.
DWORD RunUninstaller(const std::string& exe, const std::string& args) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string cmd = "\"" + exe + "\" " + args;
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return 255;
  WaitForSingleObject(pi.hProcess, 30000);
  DWORD code = 255;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  // The copy that does the work holds this mutex until it is done.
  for (int i = 0; i < 300; ++i) {
    HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, "kestrane-uninstall-running");
    if (!m) break;
    CloseHandle(m);
    Sleep(100);
  }
  Sleep(300);
  return code;
}

// The private folders the uninstaller's copies ran from (they go when Windows next starts).
// The uninstaller's elevated copies: in the Windows folder's temporary folder, or, as `user_temp`
// says, in the user's own %TEMP%, where the user could rename or replace them.
std::vector<std::string> CopyFolders(bool user_temp = false) {
  char temp[MAX_PATH];
  if (user_temp) {
    GetTempPathA(MAX_PATH, temp);
  } else {
    GetWindowsDirectoryA(temp, MAX_PATH);
    lstrcatA(temp, "\\Temp\\");
  }
  std::vector<std::string> found;
  WIN32_FIND_DATAA fd;
  AutoFindHandle find(FindFirstFileA((std::string(temp) + "kestrane-uninstall-*").c_str(), &fd));
  for (bool more = find.valid(); more; more = FindNextFileA(find.get(), &fd))
    found.push_back(std::string(temp) + fd.cFileName);
  return found;
}

// Install, leave what a conversion could leave plus a file of the user's, uninstall silently.
TEST_F(Install, UninstallRemovesOnlyWhatTheProductMade) {
  CopyFileA((OwnFolder() + "\\kestrane_uninstall.exe").c_str(),
            (kSetup + "\\kestrane_uninstall.exe").c_str(), FALSE);
  ASSERT_EQ(RunInstallSequence(true, kSetup), std::vector<std::string>{});
  WriteFile("C:\\kestrane\\my notes.txt", "mine");
  WriteFile("C:\\kestrane\\temp\\temp.exe", "left by an interrupted conversion");
  WriteFile("C:\\kestrane\\temp\\~pk3A7.tmp", "the packager's scratch, stopped half-way");
  SaveSetting("kestrane", "kestrane", "icon", "3");
  for (const auto& f : CopyFolders()) testing::RemoveTree(f);
  for (const auto& f : CopyFolders(true)) testing::RemoveTree(f);

  EXPECT_EQ(RunUninstaller(kPath1 + "\\kestrane_uninstall.exe", "/S"), 0u);

  auto tree = Snapshot("C:\\kestrane");
  EXPECT_EQ(tree, (std::map<std::string, std::string>{{"my notes.txt", "mine"}}));
  EXPECT_FALSE(FileExists(kPath1 + "\\kestrane_uninstall.exe"));
  EXPECT_FALSE(FileExists(kPath1 + "\\kestrane_uninstall.exe.manifest"));
  EXPECT_FALSE(FileExists(programs + kConverterLink));
  EXPECT_FALSE(FileExists(programs + kUninstallerLink));
  EXPECT_EQ(GetFileAttributesA((programs + kStartMenuFolder).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(FileExists(desktop + kDesktopLink));
  EXPECT_EQ(RegString("DisplayName"), "<absent>");
  EXPECT_EQ(GetSetting("kestrane", "kestrane", "icon"), "");
  // The elevated copy ran from a folder that only Administrators and SYSTEM may change, in a
  // folder that the user may not rename things in either.
  EXPECT_TRUE(CopyFolders(true).empty());
  auto folders = CopyFolders();
  ASSERT_EQ(folders.size(), 1u);
  ExpectProtected(folders[0], security::kAdminsOnly);
}

// Started from anywhere else (here: a copy beside the setup files), the uninstaller still removes
// the installed one and leaves the file it was started from alone.
TEST_F(Install, UninstallRemovesTheInstalledUninstallerNotItsOwnFile) {
  CopyFileA((OwnFolder() + "\\kestrane_uninstall.exe").c_str(),
            (kSetup + "\\kestrane_uninstall.exe").c_str(), FALSE);
  ASSERT_EQ(RunInstallSequence(false, kSetup), std::vector<std::string>{});
  EXPECT_EQ(RunUninstaller(kSetup + "\\kestrane_uninstall.exe", "/S"), 0u);
  EXPECT_FALSE(FileExists(kPath1 + "\\kestrane_uninstall.exe"));
  EXPECT_TRUE(FileExists(kSetup + "\\kestrane_uninstall.exe"));
}

// A desktop link of that name that the user pointed elsewhere is the user's.
TEST_F(Install, UninstallKeepsADesktopLinkThatIsNotOurs) {
  CopyFileA((OwnFolder() + "\\kestrane_uninstall.exe").c_str(),
            (kSetup + "\\kestrane_uninstall.exe").c_str(), FALSE);
  ASSERT_EQ(RunInstallSequence(true, kSetup), std::vector<std::string>{});
  WriteFile("C:\\inst\\other.exe", "the user's own program");
  {
    ScopedCoInit com;
    ASSERT_TRUE(MakeShortcut(desktop + kDesktopLink, "C:\\inst\\other.exe"));
  }
  EXPECT_EQ(RunUninstaller(kPath1 + "\\kestrane_uninstall.exe", "/S"), 0u);
  EXPECT_EQ(LinkTarget(desktop + kDesktopLink), "C:\\inst\\other.exe");
  EXPECT_FALSE(FileExists(programs + kConverterLink));
  DeleteFileA((desktop + kDesktopLink).c_str());
}

// Only the copy in its own private folder may do the work: started as the installed program with
// the internal switch and a path of someone's choosing, it does nothing.
TEST_F(Install, TheInternalSwitchWorksOnlyFromTheUninstallersOwnCopy) {
  CopyFileA((OwnFolder() + "\\kestrane_uninstall.exe").c_str(),
            (kSetup + "\\kestrane_uninstall.exe").c_str(), FALSE);
  ASSERT_EQ(RunInstallSequence(false, kSetup), std::vector<std::string>{});
  WriteFile("C:\\inst\\victim.txt", "someone's file");
  WriteFile("C:\\inst\\victim.txt.manifest", "someone's file");
  EXPECT_NE(
      RunUninstaller(kPath1 + "\\kestrane_uninstall.exe", "/continue 0 1 \"C:\\inst\\victim.txt\""),
      0u);
  EXPECT_EQ(ReadFile("C:\\inst\\victim.txt"), "someone's file");
  EXPECT_EQ(ReadFile("C:\\inst\\victim.txt.manifest"), "someone's file");
  EXPECT_TRUE(FileExists("C:\\kestrane\\kestrane.exe"));
  EXPECT_TRUE(FileExists(kPath1 + "\\kestrane_uninstall.exe"));
}

// A user who replaced a tree folder by a link to another folder does not make the elevated
// uninstaller delete there.
TEST_F(Install, UninstallDoesNotFollowALinkInTheTree) {
  CopyFileA((OwnFolder() + "\\kestrane_uninstall.exe").c_str(),
            (kSetup + "\\kestrane_uninstall.exe").c_str(), FALSE);
  ASSERT_EQ(RunInstallSequence(false, kSetup), std::vector<std::string>{});
  testing::RemoveTree("C:\\elsewhere");
  WriteFile("C:\\elsewhere\\makecab.exe", "not ours");
  WriteFile("C:\\elsewhere\\view.sed", "not ours either");
  testing::RemoveTree("C:\\kestrane\\tools");
  if (!MakeFolderLink("C:\\kestrane\\tools", "C:\\elsewhere"))
    GTEST_SKIP() << "no folder links here";
  RunUninstaller(kPath1 + "\\kestrane_uninstall.exe", "/S");
  EXPECT_EQ(ReadFile("C:\\elsewhere\\makecab.exe"), "not ours");
  EXPECT_EQ(ReadFile("C:\\elsewhere\\view.sed"), "not ours either");
  RemoveDirectoryA("C:\\kestrane\\tools");
  testing::RemoveTree("C:\\elsewhere");
}

}  // namespace
}  // namespace kestrane
