// Every program that may start from a user's folder, started from a "Downloads" folder that holds
// DLLs named like the system libraries it loads after its start, as an attacker would leave them:
// none of them may load.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/reg_key_win.h"
#include "common/scoped_win.h"
#include "common/environment_win.h"
#include "tests/win/files_win.h"

namespace kestrane {
namespace {

const std::string kRoot = "C:\\plantedtest";
const std::string kDownloads = kRoot + "\\Downloads";
const std::string kMarker = kRoot + "\\planted-loaded.txt";

using testfs::RemoveTree;
using testfs::Slurp;

struct WindowSearch {
  DWORD pid;
  bool found;
};

BOOL CALLBACK FindVisible(HWND w, LPARAM param) {
  auto* s = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == s->pid && IsWindowVisible(w)) s->found = true;
  return TRUE;
}

struct Ran {
  bool started = false, showed_window = false, ended = false;
  DWORD exit_code = 0;
};

// Wine prefers its own copy of a system library to any file; told to prefer files for this
// program, it loads a planted one wherever the program looks a library up by name, as Windows
// would. Only names that Wine's own libraries do not import at load time are planted: Windows'
// do not import them either, so on Windows too they can only come in later.
class Planted : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveTree(kRoot);
    CreateDirectoryA(kRoot.c_str(), nullptr);
    CreateDirectoryA(kDownloads.c_str(), nullptr);
    SetEnvironmentVariableA("KESTRANE_PLANTED", kMarker.c_str());
  }
  void TearDown() override {
    if (!overrides_.empty()) RegDeleteKeyA(HKEY_CURRENT_USER, overrides_.c_str());
    SetEnvironmentVariableA("KESTRANE_PLANTED", nullptr);
    RemoveTree(kRoot);
  }

  // Puts `program` into the Downloads folder as `as`, with the planted libraries beside it.
  void Plant(const char* program, const std::string& as, const std::vector<const char*>& dlls) {
    ASSERT_TRUE(
        CopyFileA((OwnFolder() + "\\" + program).c_str(), (kDownloads + "\\" + as).c_str(), FALSE))
        << program;
    overrides_ = "Software\\Wine\\AppDefaults\\" + as + "\\DllOverrides";
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, overrides_.c_str()), ERROR_SUCCESS);
    for (const char* dll : dlls) {
      ASSERT_TRUE(CopyFileA((OwnFolder() + "\\planted.dll").c_str(),
                            (kDownloads + "\\" + dll).c_str(), FALSE));
      std::string name(dll);
      name.resize(name.rfind('.'));
      RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>("native,builtin"), 15);
    }
  }

  // Runs the program from the Downloads folder, as from a double click there. One that shows a
  // window and then waits for the user is ended a moment after its window appeared.
  Ran Run(const std::string& as, const std::string& args) {
    Ran r;
    const std::string path = kDownloads + "\\" + as;
    std::string line = "\"" + path + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    r.started = CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                               kDownloads.c_str(), &si, &pi) != FALSE;
    if (!r.started) return r;
    for (int waited = 0; waited < 60000; waited += 100) {
      if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) {
        r.ended = true;
        break;
      }
      WindowSearch search{pi.dwProcessId, false};
      EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
      if (search.found) {
        r.showed_window = true;
        Sleep(1500);  // painted, themed, idle: what it loads for its window has been loaded
        break;
      }
    }
    if (!r.ended) {
      TerminateProcess(pi.hProcess, 999);
      WaitForSingleObject(pi.hProcess, 10000);
    }
    GetExitCodeProcess(pi.hProcess, &r.exit_code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return r;
  }

  std::string overrides_;
};

TEST_F(Planted, TheViewerDrawsWithTheSystemsLibrariesOnly) {
  Plant("PPTVIEW.EXE", "PPTVIEW.EXE", {"msimg32.dll", "windowscodecs.dll", "uxtheme.dll"});
  ASSERT_TRUE(CopyFileA((OwnFolder() + "\\kestrane-tour.ppt").c_str(),
                        (kDownloads + "\\view.ppt").c_str(), FALSE));
  const std::string slides = kRoot + "\\slides";
  CreateDirectoryA(slides.c_str(), nullptr);
  Ran r = Run("PPTVIEW.EXE", "/R " + slides + " 320 view.ppt");
  ASSERT_TRUE(r.started);
  EXPECT_TRUE(r.ended);
  EXPECT_EQ(r.exit_code, 0u);
  EXPECT_NE(GetFileAttributesA((slides + "\\slide-001.png").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Slurp(kMarker), "");
}

TEST_F(Planted, TheLauncherLoadsNothingBesideIt) {
  Plant("pellum.exe", "view.exe", {"uxtheme.dll", "dwmapi.dll"});
  ASSERT_TRUE(CopyFileA((OwnFolder() + "\\kestrane-tour.ppt").c_str(),
                        (kDownloads + "\\view.ppt").c_str(), FALSE));
  Ran r = Run("view.exe", "");  // no viewer beside it: it gives up quietly
  ASSERT_TRUE(r.started);
  EXPECT_EQ(Slurp(kMarker), "");
}

TEST_F(Planted, SetupLoadsNothingBesideIt) {
  // Run with administrator rights from a Downloads folder: what it loaded would run elevated.
  Plant("setup.exe", "setup.exe", {"uxtheme.dll", "dwmapi.dll", "cryptbase.dll"});
  Ran r = Run("setup.exe", "");
  ASSERT_TRUE(r.started);
  EXPECT_TRUE(r.showed_window);
  EXPECT_EQ(Slurp(kMarker), "");
}

TEST_F(Planted, TheUninstallerLoadsNothingBesideIt) {
  Plant("kestrane_uninstall.exe", "kestrane_uninstall.exe",
        {"uxtheme.dll", "dwmapi.dll", "cryptbase.dll"});
  Ran r = Run("kestrane_uninstall.exe", "");  // asks first; ended at its question
  ASSERT_TRUE(r.started);
  EXPECT_TRUE(r.showed_window);
  EXPECT_EQ(Slurp(kMarker), "");
}

}  // namespace
}  // namespace kestrane
