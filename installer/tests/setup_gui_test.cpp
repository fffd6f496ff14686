#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <string>

#include "common/reg_key_win.h"
#include "common/scoped_win.h"
#include "common/environment_win.h"
#include "common/files_win.h"
#include "common/shell_folders_win.h"
#include "installer/install_win.h"
#include "common/tree_layout.h"
#include "tests/driver/driver_win.h"
#include "tests/win/tree_fixture_win.h"

namespace kestrane {
namespace {

using namespace driver;
using testing::ReadFile;
using testing::WriteFile;

const std::string kSetupFolder = "C:\\setup folder";
const std::string kPath1 = "C:\\inst\\system32";

class Setup : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("PATH", (kPath1 + ";C:\\windows\\system32;C:\\windows").c_str());
    for (const char* dir : {"C:\\kestrane", "C:\\inst"}) testing::RemoveTree(dir);
    testing::RemoveTree(kSetupFolder);
    CreateDirectoryA("C:\\inst", nullptr);
    CreateDirectoryA(kPath1.c_str(), nullptr);
    for (const auto& f : InstalledFiles()) WriteFile(kSetupFolder + f.source, f.source);
    CopyFileA((OwnFolder() + "\\setup.exe").c_str(), (kSetupFolder + "\\setup.exe").c_str(), FALSE);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    DeleteFileA((SpecialFolder(CSIDL_DESKTOPDIRECTORY) + kDesktopLink).c_str());
  }

  // Starts setup, presses Install and waits for the finish window.
  HWND InstallUpToFinish(bool desktop) {
    EXPECT_TRUE(setup.Start(kSetupFolder + "\\setup.exe"));
    HWND welcome = WaitTopWindow(setup.pid(), "kestrane 1.0 Setup", "");
    if (!welcome) return nullptr;
    WaitUntil([&] { return Visible(welcome); });
    HWND box = ChildByText(welcome, "Button", "Add a &shortcut on Windows desktop");
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    if (!desktop) {
      Click(box);
      WaitUntil([&] { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_UNCHECKED; });
    }
    SaveScreenshot(welcome, "setup-welcome");
    Click(ReadyChild(welcome, "Button", "Install"));
    HWND finish = WaitTopWindow(setup.pid(), "kestrane Setup", "", 30s);
    if (finish) WaitUntil([&] { return Visible(finish); });
    return finish;
  }

  Process setup;
};

TEST_F(Setup, InstallsAndFinishesWithoutStartingTheConverter) {
  HWND finish = InstallUpToFinish(true);
  ASSERT_TRUE(finish);
  SaveScreenshot(finish, "setup-finish");
  EXPECT_TRUE(ChildByText(
      finish, "Static", "kestrane version 1.0 has been successfully installed on your computer."));
  HWND run = ChildByText(finish, "Button", "&Run kestrane");
  ASSERT_TRUE(run);
  Click(run);
  WaitUntil([&] { return SendMessageA(run, BM_GETCHECK, 0, 0) == BST_UNCHECKED; });
  Click(ChildByText(finish, "Button", "OK"));
  ASSERT_TRUE(setup.WaitExit());

  EXPECT_EQ(ReadFile("C:\\kestrane\\PELLUM.dll"), "\\pellum.exe");
  EXPECT_EQ(ReadFile("C:\\kestrane\\tools\\wextract\\wextract6.dat"), "\\wextract6.exe");
  EXPECT_EQ(ReadFile(kPath1 + "\\kestrane_uninstall.exe"), "\\kestrane_uninstall.exe");
  bool probe = false;
  EXPECT_EQ(ReadFile(kPath1 + "\\temp.tmp", &probe), "");
  EXPECT_TRUE(probe);
  EXPECT_TRUE(FileExists(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + kDesktopLink));
  RegKey key;
  EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, kUninstallKey), ERROR_SUCCESS);
}

// "Run kestrane" leaves the start to the desktop's shell, so that the converter runs as the user
// signed in there; where no such shell answers, setup starts it itself.
TEST_F(Setup, RunStartsTheInstalledConverter) {
  ASSERT_TRUE(CopyFileA((OwnFolder() + "\\kestrane\\kestrane.exe").c_str(),
                        (kSetupFolder + "\\kestrane.exe").c_str(), FALSE));
  HWND finish = InstallUpToFinish(false);
  ASSERT_TRUE(finish);
  Click(ChildByText(finish, "Button", "OK"));
  ASSERT_TRUE(setup.WaitExit());
  HWND converter = WaitTopWindow(0, "kestrane", "KestraneForm", 30s);
  EXPECT_TRUE(converter);
  DWORD pid = 0;
  if (converter) GetWindowThreadProcessId(converter, &pid);
  // Started by the shell, not by the elevated setup.
  DWORD parent = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 e{};
  e.dwSize = sizeof e;
  for (BOOL more = Process32First(snap, &e); more; more = Process32Next(snap, &e))
    if (e.th32ProcessID == pid) parent = e.th32ParentProcessID;
  CloseHandle(snap);
  EXPECT_NE(parent, 0u);
  EXPECT_NE(parent, setup.pid());
  if (HANDLE p = pid ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid) : nullptr) {
    TerminateProcess(p, 0);
    WaitForSingleObject(p, 10000);
    CloseHandle(p);
  }
}

TEST_F(Setup, TheFinishWindowNamesWhatCouldNotBeInstalled) {
  // A running converter holds its file; the setup folder lacks the viewer.
  CreateDirectoryA("C:\\kestrane", nullptr);
  WriteFile("C:\\kestrane\\kestrane.exe", "running");
  AutoFileHandle in_use(CreateFileA("C:\\kestrane\\kestrane.exe", GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  DeleteFileA((kSetupFolder + "\\PPTVIEW.exe").c_str());
  HWND finish = InstallUpToFinish(false);
  ASSERT_TRUE(finish);
  SaveScreenshot(finish, "setup-finish-incomplete");
  std::string message;
  for (HWND s : Children(finish, "Static"))
    if (Text(s).find("could not be installed") != std::string::npos) message = Text(s);
  EXPECT_NE(message.find("C:\\kestrane\\kestrane.exe"), std::string::npos) << message;
  EXPECT_NE(message.find("C:\\kestrane\\PPTVIEW.exe"), std::string::npos) << message;
  EXPECT_EQ(message.find("PELLUM"), std::string::npos) << message;
  Key(ChildByText(finish, "Button", "OK"), VK_ESCAPE);
  Click(ChildByText(finish, "Button", "&Run kestrane"));
  Click(ChildByText(finish, "Button", "OK"));
  EXPECT_TRUE(setup.WaitExit());
  EXPECT_FALSE(FileExists(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + kDesktopLink));
}

TEST_F(Setup, EscapeOnTheWelcomeWindowEndsWithoutInstalling) {
  ASSERT_TRUE(setup.Start(kSetupFolder + "\\setup.exe"));
  HWND welcome = WaitTopWindow(setup.pid(), "kestrane 1.0 Setup", "");
  ASSERT_TRUE(welcome);
  WaitUntil([&] { return Visible(welcome); });
  KeyToFocus(welcome, VK_ESCAPE);
  EXPECT_TRUE(setup.WaitExit());
  EXPECT_EQ(GetFileAttributesA("C:\\kestrane"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Setup, ARefusedProbeShowsTheMessageAndInstallsNothing) {
  SetEnvironmentVariableA("PATH", "C:\\no such folder;C:\\windows\\system32;C:\\windows");
  ASSERT_TRUE(setup.Start(kSetupFolder + "\\setup.exe"));
  HWND box = WaitDialog(setup.pid());
  ASSERT_TRUE(box);
  EXPECT_EQ(Text(box), "kestrane Setup");
  EXPECT_TRUE(ChildByText(box, "Static",
                          "Please make sure you have enough privilages to run this software on "
                          "this computer and try again.\r\rSetup wil not be terminated now."));
  EXPECT_TRUE(TopWindows(setup.pid(), "kestrane 1.0 Setup", "").empty());
  Key(box, VK_RETURN);
  Click(ChildByText(box, "Button", "OK"));
  EXPECT_TRUE(setup.WaitExit());
  EXPECT_EQ(GetFileAttributesA("C:\\kestrane"), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace kestrane
