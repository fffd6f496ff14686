// The whole journey of a user, through the real programs of the setup folder: install, convert
// the bundled sample presentation in the wizard, run the package and watch the show to its end.
// Asserts at every hand-over and saves a screenshot of each page and each slide.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <setupapi.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <map>
#include <set>
#include <string>

#include "common/scoped_win.h"
#include "common/files_win.h"
#include "tests/driver/driver_win.h"
#include "tests/win/tree_fixture_win.h"

namespace kestrane {
namespace {

using namespace driver;
using testing::LinkTarget;
using testing::Snapshot;

const std::string kDownload = "C:\\Downloads\\kestrane-1.0";
const std::string kDeck = "C:\\My Presentations\\kestrane tour.ppt";
const std::string kOutput = "C:\\My Shows\\kestrane tour.exe";

void Step(const char* what) {
  fprintf(stderr, "journey: %s\n", what);
  fflush(stderr);
}

std::string Special(int csidl) {
  char path[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::set<std::string> TempEntries() {
  std::set<std::string> out;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((std::string(temp) + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do out.insert(fd.cFileName);
  while (FindNextFileA(h, &fd));
  FindClose(h);
  return out;
}

std::string Resource(const std::string& file, LPCSTR name, LPCSTR type) {
  std::string bytes;
  HMODULE m = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (HRSRC r = m ? FindResourceA(m, name, type) : nullptr)
    bytes.assign(static_cast<const char*>(LockResource(LoadResource(m, r))), SizeofResource(m, r));
  if (m) FreeLibrary(m);
  return bytes;
}

UINT CALLBACK CollectEntry(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR) {
  if (notification == SPFILENOTIFY_FILEINCABINET) {
    auto* info = reinterpret_cast<FILE_IN_CABINET_INFO_A*>(param1);
    static_cast<std::set<std::string>*>(context)->insert(info->NameInCabinet);
    return FILEOP_SKIP;
  }
  return NO_ERROR;
}

// The names in the cabinet that a package carries.
std::set<std::string> PackedNames(const std::string& package) {
  std::set<std::string> names;
  const std::string cabinet = Resource(package, "CABINET", MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (cabinet.empty()) return names;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string path = std::string(temp) + "journey-package.cab";
  testing::WriteFile(path, cabinet);
  SetupIterateCabinetA(path.c_str(), 0, CollectEntry, &names);
  DeleteFileA(path.c_str());
  return names;
}

// Running processes by name (upper case), with their parents.
std::multimap<std::string, std::pair<DWORD, DWORD>> Processes() {
  std::multimap<std::string, std::pair<DWORD, DWORD>> out;
  AutoCloseHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 pe{};
  pe.dwSize = sizeof pe;
  for (BOOL ok = Process32First(snap.get(), &pe); ok; ok = Process32Next(snap.get(), &pe)) {
    std::string name = pe.szExeFile;
    CharUpperA(name.data());
    out.emplace(name, std::make_pair(pe.th32ProcessID, pe.th32ParentProcessID));
  }
  return out;
}

void CopyFolder(const std::string& from, const std::string& to) {
  SHCreateDirectoryExA(nullptr, to.c_str(), nullptr);
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((from + "\\*").c_str(), &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << from;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      CopyFileA((from + "\\" + fd.cFileName).c_str(), (to + "\\" + fd.cFileName).c_str(), FALSE);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
}

TEST(Journey, FromSetupToTheLastSlide) {
  // A user unpacks the download and runs setup.
  const char* delivery = getenv("KESTRANE_DELIVERY_WIN");
  const char* sample = getenv("KESTRANE_SAMPLE_WIN");
  ASSERT_TRUE(delivery && sample) << "run through CTest or scripts/demo";
  testing::RemoveTree("C:\\kestrane");
  testing::RemoveTree("C:\\Downloads");
  testing::RemoveTree("C:\\My Shows");
  CopyFolder(delivery, kDownload);
  SHCreateDirectoryExA(nullptr, "C:\\My Presentations", nullptr);
  SHCreateDirectoryExA(nullptr, "C:\\My Shows", nullptr);
  ASSERT_TRUE(CopyFileA(sample, kDeck.c_str(), FALSE));
  const std::string deck_bytes = testing::ReadFile(kDeck);

  {
    Process setup;
    Step("setup");
    ASSERT_TRUE(setup.Start(kDownload + "\\setup.exe"));
    HWND welcome = WaitTopWindow(setup.pid(), "kestrane 1.0 Setup", "");
    ASSERT_TRUE(welcome);
    WaitUntil([&] { return Visible(welcome); });
    SaveScreenshot(welcome, "01-setup-welcome");
    Click(ReadyChild(welcome, "Button", "Install"));
    Step("install clicked");
    HWND finish = WaitTopWindow(setup.pid(), "kestrane Setup", "", 60s);
    ASSERT_TRUE(finish);
    WaitUntil([&] { return Visible(finish); });
    SaveScreenshot(finish, "02-setup-finish");
    EXPECT_TRUE(
        ChildByText(finish, "Static",
                    "kestrane version 1.0 has been successfully installed on your computer."));
    HWND run = ChildByText(finish, "Button", "&Run kestrane");
    Click(run);
    WaitUntil([&] { return SendMessageA(run, BM_GETCHECK, 0, 0) == BST_UNCHECKED; });
    Click(ChildByText(finish, "Button", "OK"));
    ASSERT_TRUE(setup.WaitExit());
  }
  const auto installed = Snapshot("C:\\kestrane");
  EXPECT_EQ(installed.size(), 26u);
  EXPECT_EQ(installed.count("tools\\wextract\\wextract1.dat"), 1u);

  // The Start-menu shortcut leads to the converter.
  const std::string converter = LinkTarget(Special(CSIDL_PROGRAMS) + "\\kestrane\\kestrane.lnk");
  ASSERT_EQ(converter, "C:\\kestrane\\kestrane.exe");
  {
    Process wizard;
    Step("converter");
    ASSERT_TRUE(wizard.Start(converter));
    HWND main = WaitTopWindow(wizard.pid(), "kestrane", "");
    ASSERT_TRUE(main);
    WaitUntil([&] { return Visible(main); });
    auto edits = Children(main, "Edit");
    ASSERT_GE(edits.size(), 2u);
    SetText(edits[0], kDeck);
    SetText(edits[1], kOutput);
    HWND make = ChildByText(main, "Button", "Make &EXE");
    ASSERT_TRUE(WaitUntil([&] { return Enabled(make); }));
    SaveScreenshot(main, "03-wizard-selection");
    Click(make);
    Step("make clicked");
    HWND finish_button = ChildByText(main, "Button", "Finish");
    ASSERT_TRUE(WaitUntil([&] { return Visible(finish_button); }, 120s));
    SaveScreenshot(main, "04-wizard-result");
    EXPECT_TRUE(ChildByText(main, "Static", "kestrane tour.ppt"));
    Click(finish_button);
    EXPECT_TRUE(wizard.WaitExit());
  }
  ASSERT_TRUE(FileExists(kOutput));
  EXPECT_EQ(Snapshot("C:\\kestrane"), installed) << "the conversion left something in the tree";
  EXPECT_EQ(testing::ReadFile(kDeck), deck_bytes);

  // The package: the stub's icon and exactly the files of the directive.
  EXPECT_EQ(
      Resource(kOutput, MAKEINTRESOURCEA(1), RT_GROUP_ICON),
      Resource("C:\\kestrane\\tools\\wextract\\wextract1.dat", MAKEINTRESOURCEA(1), RT_GROUP_ICON));
  EXPECT_EQ(PackedNames(kOutput),
            (std::set<std::string>{"GDIPLUS.DLL", "INTLDATE.DLL", "PPTVIEW.EXE", "PPVWINTL.DLL",
                                   "view.ppt", "SAEXT.DLL", "view.exe", "UNICOWS.DLL",
                                   "view.exe.manifest", "msvbvm60.dll"}));

  // Someone runs the package: it unpacks, the launcher starts the viewer, the show plays.
  const auto temp_before = TempEntries();
  Process package;
  Step("package");
  ASSERT_TRUE(package.Start(kOutput, "", "C:\\My Shows"));
  HWND show = WaitTopWindow(0, "", "PPTVIEW.SlideShow", 60s);
  Step("show window found?");
  ASSERT_TRUE(show);
  EXPECT_FALSE(TopWindows(0, "TunaTunaTuna", "").empty()) << "the launcher's marker window";
  {
    const auto running = Processes();
    auto launcher = running.find("VIEW.EXE"), viewer = running.find("PPTVIEW.EXE");
    ASSERT_NE(launcher, running.end());
    ASSERT_NE(viewer, running.end());
    EXPECT_EQ(launcher->second.second, package.pid()) << "the package starts the launcher";
    EXPECT_EQ(viewer->second.second, launcher->second.first) << "the launcher starts the viewer";
  }
  int slides = 0;
  for (; slides < 60 && IsWindow(show); ++slides) {
    Sleep(700);
    char name[32];
    wsprintfA(name, "05-show-%02d", slides + 1);
    Step(name);
    SaveScreenshot(show, name);
    Key(show, VK_RIGHT);
  }
  EXPECT_GE(slides, 3);
  Step("waiting for the package to end");
  ASSERT_TRUE(package.WaitExit(60s));
  EXPECT_EQ(package.ExitCode(), 0u);
  Sleep(500);
  EXPECT_EQ(TempEntries(), temp_before) << "the unpacking folder must be gone";
  EXPECT_TRUE(Processes().count("PPTVIEW.EXE") == 0 && Processes().count("VIEW.EXE") == 0);
  EXPECT_EQ(Snapshot("C:\\kestrane"), installed) << "the show changed the working tree";
}

}  // namespace
}  // namespace kestrane
