#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/handle_win.h"
#include "common/system_win.h"
#include "installer/install_win.h"
#include "installer/layout.h"
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

class Install : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("PATH", (kPath1 + ";C:\\windows\\system32;C:\\windows").c_str());
    testing::RemoveTree("C:\\kestrane");
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

// Install, leave what a conversion could leave plus a file of the user's, uninstall silently.
TEST_F(Install, UninstallRemovesOnlyWhatTheProductMade) {
  CopyFileA((OwnFolder() + "\\kestrane_uninstall.exe").c_str(),
            (kSetup + "\\kestrane_uninstall.exe").c_str(), FALSE);
  ASSERT_EQ(RunInstallSequence(true, kSetup), std::vector<std::string>{});
  WriteFile("C:\\kestrane\\my notes.txt", "mine");
  WriteFile("C:\\kestrane\\temp\\temp.exe", "left by an interrupted conversion");
  SaveSetting("kestrane", "kestrane", "icon", "3");

  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string cmd = "\"" + kPath1 + "\\kestrane_uninstall.exe\" /S";
  ASSERT_TRUE(
      CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  WaitForSingleObject(pi.hProcess, 30000);
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
}

}  // namespace
}  // namespace kestrane
