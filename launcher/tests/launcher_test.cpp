#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "common/scoped_win.h"
#include "common/environment_win.h"
#include "tests/win/tree_fixture_win.h"

namespace kestrane {
namespace {

using Clock = std::chrono::steady_clock;
using testing::ReadFile;
using testing::WriteFile;

struct Outcome {
  DWORD exit_code = 0;
  std::chrono::milliseconds took{};
};

// Starts the launcher from `folder` with that folder as current directory, as a package does.
AutoCloseHandle Start(const std::string& folder) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string cmd = "\"" + folder + "\\view.exe\"";
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                      &pi))
    return AutoCloseHandle();
  CloseHandle(pi.hThread);
  return AutoCloseHandle(pi.hProcess);
}

Outcome Wait(const AutoCloseHandle& process, Clock::time_point start) {
  Outcome r;
  EXPECT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
  GetExitCodeProcess(process.get(), &r.exit_code);
  r.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  return r;
}

class Launcher : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::RemoveTree(root);
    Lay(folder, true, true);
    SetEnvironmentVariableA("KESTRANE_FAKE_VIEWER_MS", "1500");
  }
  void TearDown() override { testing::RemoveTree(root); }

  void Lay(const std::string& dir, bool presentation, bool viewer) {
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA(dir.c_str(), nullptr);
    CopyFileA((OwnFolder() + "\\pellum.exe").c_str(), (dir + "\\view.exe").c_str(), FALSE);
    if (viewer)
      CopyFileA((OwnFolder() + "\\fake_viewer.exe").c_str(), (dir + "\\PPTVIEW.EXE").c_str(),
                FALSE);
    if (presentation) WriteFile(dir + "\\view.ppt", "deck");
  }
  std::string Record(const std::string& dir) { return ReadFile(dir + "\\viewer_ran.txt"); }

  const std::string root = "C:\\launcher test";
  const std::string folder = root + "\\IXP000.TMP";
};

TEST_F(Launcher, LastsExactlyAsLongAsTheViewer) {
  auto start = Clock::now();
  auto p = Start(folder);
  ASSERT_TRUE(p);
  Outcome r = Wait(p, start);
  EXPECT_GE(r.took, std::chrono::milliseconds(1400));
  std::string rec = Record(folder);
  EXPECT_NE(rec.find("cmd=\"" + folder + "\\PPTVIEW.EXE\" /S view.ppt\n"), std::string::npos)
      << rec;
  EXPECT_NE(rec.find("cwd=" + folder + "\n"), std::string::npos) << rec;
  EXPECT_NE(rec.find("finished"), std::string::npos) << "launcher ended before the viewer";
  EXPECT_FALSE(FindWindowA(nullptr, "TunaTunaTuna"));
}

// A viewer that lasts far longer than any start of a program takes, even emulated: a launcher
// that ended well before it did not wait for one.
constexpr char kLongViewerMs[] = "20000";
constexpr auto kWellBeforeTheViewer = std::chrono::milliseconds(12000);

TEST_F(Launcher, EndsAtOnceWithoutAPresentationAndStartsNothing) {
  SetEnvironmentVariableA("KESTRANE_FAKE_VIEWER_MS", kLongViewerMs);
  DeleteFileA((folder + "\\view.ppt").c_str());
  CreateDirectoryA((folder + "\\view.ppt").c_str(), nullptr);  // a folder does not count
  auto start = Clock::now();
  auto p = Start(folder);
  ASSERT_TRUE(p);
  Outcome r = Wait(p, start);
  EXPECT_LT(r.took, kWellBeforeTheViewer);
  EXPECT_EQ(Record(folder), "");
}

TEST_F(Launcher, EndsWhenTheViewerIsMissing) {
  DeleteFileA((folder + "\\PPTVIEW.EXE").c_str());
  auto start = Clock::now();
  auto p = Start(folder);
  ASSERT_TRUE(p);
  Outcome r = Wait(p, start);
  EXPECT_LT(r.took, kWellBeforeTheViewer);
}

TEST_F(Launcher, AQueuedCloseRequestEndsItWhileTheViewerGoesOn) {
  SetEnvironmentVariableA("KESTRANE_FAKE_VIEWER_MS", kLongViewerMs);
  auto start = Clock::now();
  auto p = Start(folder);
  ASSERT_TRUE(p);
  // Post close requests as a converter starting up does, from the moment the marker exists.
  std::atomic<bool> stop{false};
  std::thread closer([&] {
    while (!stop) {
      if (HWND marker = FindWindowA(nullptr, "TunaTunaTuna")) PostMessageA(marker, WM_CLOSE, 0, 0);
      Sleep(1);
    }
  });
  Outcome r = Wait(p, start);
  stop = true;
  closer.join();
  EXPECT_LT(r.took, kWellBeforeTheViewer);
  std::string rec;
  for (int i = 0; i < 50 && (rec = Record(folder)).find("cmd=") == std::string::npos; ++i)
    Sleep(100);
  EXPECT_NE(rec.find("cmd="), std::string::npos) << "the viewer was started";
  EXPECT_EQ(rec.find("finished"), std::string::npos) << "the viewer goes on after the launcher";
  // Let the viewer finish before the folder is removed.
  for (int i = 0; i < 300 && Record(folder).find("finished") == std::string::npos; ++i) Sleep(100);
}

TEST_F(Launcher, AFolderWithBlanksRunsTheViewerAndNothingElse) {
  const std::string blanks = root + "\\my show";
  Lay(blanks, true, true);
  // With an unquoted path Windows would try "C:\launcher test\my.exe" first.
  CopyFileA((OwnFolder() + "\\fake_viewer.exe").c_str(), (root + "\\my.exe").c_str(), FALSE);
  CopyFileA((OwnFolder() + "\\fake_viewer.exe").c_str(), (root + "\\launcher.exe").c_str(), FALSE);
  SetEnvironmentVariableA("KESTRANE_FAKE_VIEWER_MS", "0");
  auto start = Clock::now();
  auto p = Start(blanks);
  ASSERT_TRUE(p);
  Wait(p, start);
  std::string rec = Record(blanks);
  EXPECT_NE(rec.find("exe=" + blanks + "\\PPTVIEW.EXE"), std::string::npos) << rec;
  EXPECT_EQ(rec.find("my.exe"), std::string::npos) << rec;
  EXPECT_EQ(rec.find("launcher.exe"), std::string::npos) << rec;
}

}  // namespace
}  // namespace kestrane
