#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "common/environment_win.h"
#include "common/files_win.h"
#include "common/programs_win.h"
#include "common/settings_win.h"
#include "converter/make_exe_win.h"
#include "converter/texts.h"
#include "tests/win/tree_fixture_win.h"

namespace kestrane {
namespace {

using testing::ReadFile;
using testing::Snapshot;
using testing::WriteFile;

class RecordingWindow : public ConversionWindow {
 public:
  std::string input, output;
  std::string directive = FillDirectiveMarkers(kDirectiveTemplate, WorkingDrive(), WorkingDrive());
  std::vector<std::string> calls;

  std::string InputPath() override { return input; }
  std::string OutputPath() override { return output; }
  std::string DirectiveText() override { return directive; }
  std::string ManifestText() override { return kManifestText; }
  void ShowError(const std::string& text) override { calls.push_back("error: " + text); }
  void DisableConvertMenu() override { calls.push_back("menu off"); }
  void CoverPage() override { calls.push_back("cover"); }
  void UseResultTabOrder() override { calls.push_back("result tabs"); }
  void SetResultFileName(const std::string& name) override { calls.push_back("label6 " + name); }
  void ShowResultPanel() override { calls.push_back("result"); }
  void RestoreSelectionPage() override { calls.push_back("selection"); }
};

const std::string kTree = "C:\\kestrane";
// What the test packager writes beside itself about each run.
const char* const kCaptures[] = {"captured.sed", "captured_files.txt", "captured_args.txt",
                                 "captured_access.txt"};

class Conversion : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("PATH", "C:\\windows\\system32;C:\\windows");
    SetEnvironmentVariableA("KESTRANE_FAKE_PACKAGER", nullptr);
    // Filled as the window fills it at load, with this test's PATH (not the one before).
    window.directive = FillDirectiveMarkers(kDirectiveTemplate, WorkingDrive(), WorkingDrive());
    testing::LayInstalledTree(OwnFolder() + "\\fake_packager.exe");
    DeleteSettingSection("kestrane");
    testing::RemoveTree("C:\\talks");
    testing::RemoveTree("C:\\out");
    WriteFile("C:\\talks\\Quarterly Talk.ppt", deck);
    CreateDirectoryA("C:\\out", nullptr);
    window.input = "C:\\talks\\Quarterly Talk.ppt";
    window.output = "C:\\out\\talk.exe";
    for (const char* f : kCaptures) DeleteFileA((kTree + "\\tools\\" + f).c_str());
    installed = Snapshot(kTree);
  }
  void TearDown() override { DeleteSettingSection("kestrane"); }

  std::map<std::string, std::string> TreeWithoutCaptures() {
    auto now = Snapshot(kTree);
    for (const char* f : kCaptures) now.erase(std::string("tools\\") + f);
    return now;
  }
  std::string Captured(const char* name) { return ReadFile(kTree + "\\tools\\" + name); }

  const std::string deck = std::string("\xD0\xCF\x11\xE0 deck bytes", 15);
  RecordingWindow window;
  std::map<std::string, std::string> installed;
};

TEST_F(Conversion, DeliversThePackageAndLeavesTheTreeAsInstalled) {
  const std::string beside_program = OwnFolder() + "\\view.exe";
  WriteFile(beside_program, "a user's own view.exe");
  MakeExe(window);
  EXPECT_EQ(ReadFile(beside_program), "a user's own view.exe");
  DeleteFileA(beside_program.c_str());
  EXPECT_EQ(window.calls, (std::vector<std::string>{"menu off", "cover", "result tabs",
                                                    "label6 Quarterly Talk.ppt", "result"}));
  EXPECT_EQ(Captured("captured_args.txt"), "/N\n/M\n/Q\nC:\\kestrane\\tools\\view.sed\n");
  // While the packager ran, everything it packs was staged.
  std::string seen = Captured("captured_files.txt");
  EXPECT_NE(seen.find("wextract.exe STUB1\n"), std::string::npos) << seen;
  EXPECT_EQ(seen.find("missing"), std::string::npos) << seen;
  bool ok = false;
  std::string package = ReadFile("C:\\out\\talk.exe", &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(package.rfind("STUB1", 0), 0u);
  EXPECT_NE(package.find(deck), std::string::npos);
  EXPECT_NE(package.find("LAUNCHER"), std::string::npos);
  EXPECT_EQ(TreeWithoutCaptures(), installed);
  EXPECT_EQ(ReadFile(window.input), deck);
}

TEST_F(Conversion, WritesTheDirectiveAndManifestByteForByte) {
  MakeExe(window);
  std::string expected = kDirectiveTemplate;
  expected = ReplaceAll(expected, "TargetName=TN1", "TargetName=C:\\kestrane\\temp\\temp.exe");
  expected = ReplaceAll(expected, "SourceFiles0=TN2", "SourceFiles0=C:\\kestrane\\");
  EXPECT_EQ(Captured("captured.sed"), expected + "\r\n");
  // The manifest travels inside the package, right after the launcher's bytes.
  std::string package = ReadFile("C:\\out\\talk.exe");
  EXPECT_NE(package.find(std::string("LAUNCHER") + "FILE UNICOWS.DLL" + kManifestText + "\r\n"),
            std::string::npos);
}

TEST_F(Conversion, InputChecksComeFirstAndChangeNothing) {
  WriteFile("C:\\talks\\hidden.ppt", "x");
  SetFileAttributesA("C:\\talks\\hidden.ppt", FILE_ATTRIBUTE_HIDDEN);
  CreateDirectoryA("C:\\talks\\x.ppt", nullptr);
  WriteFile("C:\\talks\\Talk.PPT", "y");
  const std::pair<const char*, const char*> cases[] = {
      {"", kMsgNotPpt},
      {"C:\\talks\\talk.pptx", kMsgNotPpt},
      {"C:\\talks\\talk", kMsgNotPpt},
      {"C:\\talks\\notes.doc", kMsgNotPpt},
      {"C:\\talks\\missing.ppt", kMsgMissing},
      {"C:\\talks\\hidden.ppt", kMsgMissing},
      {"C:\\talks\\x.ppt", kMsgMissing},
      {"C:\\talks\\*.ppt", kMsgMissing},
  };
  for (const auto& [input, message] : cases) {
    SCOPED_TRACE(input);
    window.calls.clear();
    window.input = input;
    MakeExe(window);
    EXPECT_EQ(window.calls, std::vector<std::string>{std::string("error: ") + message});
  }
  EXPECT_EQ(TreeWithoutCaptures(), installed);

  window.calls.clear();
  window.input = "C:\\talks\\Talk.PPT";
  MakeExe(window);
  EXPECT_EQ(window.calls.back(), "result");
}

TEST_F(Conversion, StagesTheStubTheIconSettingNames) {
  const std::pair<const char*, const char*> cases[] = {{nullptr, "STUB1"}, {"", "STUB1"},
                                                       {"3", "STUB3"},     {"6", "STUB6"},
                                                       {"7", nullptr},     {" 3", nullptr}};
  for (const auto& [setting, stub] : cases) {
    SCOPED_TRACE(setting ? setting : "(absent)");
    DeleteSettingSection("kestrane");
    DeleteFileA((kTree + "\\tools\\captured_files.txt").c_str());
    if (setting) SaveSetting("kestrane", "kestrane", "icon", setting);
    window.calls.clear();
    MakeExe(window);
    if (stub) {
      EXPECT_NE(Captured("captured_files.txt").find(std::string("wextract.exe ") + stub + "\n"),
                std::string::npos);
    } else {  // no stub of that number: nothing to build a package with
      EXPECT_EQ(Captured("captured_files.txt"), "");
      EXPECT_EQ(window.calls.back(), std::string("error: ") + kMsgNotCreated);
    }
  }
}

TEST_F(Conversion, APackagerThatBuildsNothingIsReportedAndAStalePackageIsNotDelivered) {
  WriteFile(kTree + "\\temp\\temp.exe", "STALE PACKAGE FROM AN INTERRUPTED RUN");
  SetEnvironmentVariableA("KESTRANE_FAKE_PACKAGER", "fail");
  MakeExe(window);
  EXPECT_EQ(window.calls, (std::vector<std::string>{"menu off", "cover", "result tabs", "selection",
                                                    std::string("error: ") + kMsgNotCreated}));
  EXPECT_FALSE(FileExists("C:\\out\\talk.exe"));
  EXPECT_EQ(TreeWithoutCaptures(), installed);  // the stale package went with the staged files
}

TEST_F(Conversion, AFailedDeliveryIsReportedAndCleanedUp) {
  window.output = "C:\\out\\locked.exe";
  WriteFile(window.output, "in use");
  HANDLE lock =
      CreateFileA(window.output.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  MakeExe(window);
  CloseHandle(lock);
  ASSERT_GE(window.calls.size(), 2u);
  EXPECT_EQ(window.calls[window.calls.size() - 2], "selection");
  EXPECT_EQ(window.calls.back(), std::string("error: ") + kMsgNotCreated);
  EXPECT_EQ(ReadFile(window.output), "in use");
  EXPECT_EQ(TreeWithoutCaptures(), installed);
}

TEST_F(Conversion, WithoutAWorkingDriveNothingIsStagedAndTheFailureIsReported) {
  SetEnvironmentVariableA("PATH", "");
  MakeExe(window);
  EXPECT_EQ(window.calls.back(), std::string("error: ") + kMsgNotCreated);
  EXPECT_EQ(TreeWithoutCaptures(), installed);
}

// The presentation is never written: not by its own name, nor by another spelling, short form
// or second name of it; and no file of the working tree can be the output.
TEST_F(Conversion, RefusesAnOutputThatIsThePresentationOrInTheTree) {
  char short_name[MAX_PATH] = "";
  GetShortPathNameA(window.input.c_str(), short_name, MAX_PATH);
  CreateHardLinkA("C:\\talks\\second name.ppt", window.input.c_str(), nullptr);
  std::vector<std::pair<std::string, const char*>> cases = {
      {window.input, kMsgOutputIsInput},
      {"c:\\TALKS\\quarterly talk.PPT", kMsgOutputIsInput},
      {"C:/talks/Quarterly Talk.ppt", kMsgOutputIsInput},
      {"C:\\talks\\..\\talks\\Quarterly Talk.ppt::$DATA", kMsgOutputIsInput},
      {"C:\\kestrane\\PELLUM.DLL", kMsgOutputInTree},
      {"c:\\Kestrane\\tools\\wextract\\wextract1.dat", kMsgOutputInTree},
      {"C:\\kestrane\\view.exe", kMsgOutputInTree},
      {"C:\\kestrane\\new folder\\x.exe", kMsgOutputInTree},
  };
  if (short_name[0] && window.input != short_name) cases.push_back({short_name, kMsgOutputIsInput});
  if (FileExists("C:\\talks\\second name.ppt"))
    cases.push_back({"C:\\talks\\second name.ppt", kMsgOutputIsInput});
  for (const auto& [output, message] : cases) {
    SCOPED_TRACE(output);
    window.calls.clear();
    window.output = output;
    MakeExe(window);
    EXPECT_EQ(window.calls, std::vector<std::string>{std::string("error: ") + message});
  }
  EXPECT_EQ(ReadFile(window.input), deck);
  EXPECT_EQ(TreeWithoutCaptures(), installed);
  EXPECT_EQ(Captured("captured_args.txt"), "");  // the packager never ran

  window.calls.clear();
  window.output = "C:\\kestrane2\\talk.exe";  // a neighbour of the tree is no part of it
  CreateDirectoryA("C:\\kestrane2", nullptr);
  MakeExe(window);
  EXPECT_EQ(window.calls.back(), "result") << ::testing::PrintToString(window.calls);
  testing::RemoveTree("C:\\kestrane2");
}

// Files that another user may have put where a conversion stages its own: none of them may reach
// a package. Read-only ones are removed and replaced; one that cannot be removed stops the
// conversion before anything is packed.
TEST_F(Conversion, NeverPacksAFileItDidNotStageItself) {
  const char* planted[] = {"view.exe", "tools\\wextract.exe", "tools\\view.sed", "view.ppt",
                           "view.exe.manifest"};
  for (const char* name : planted) {
    SCOPED_TRACE(name);
    const std::string path = kTree + "\\" + name;
    WriteFile(path, "PLANTED");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    window.calls.clear();
    MakeExe(window);
    EXPECT_EQ(window.calls.back(), "result");
    EXPECT_EQ(ReadFile("C:\\out\\talk.exe").find("PLANTED"), std::string::npos);
    EXPECT_EQ(Captured("captured.sed").find("PLANTED"), std::string::npos);
    EXPECT_EQ(TreeWithoutCaptures(), installed);
    DeleteFileA("C:\\out\\talk.exe");
  }
  for (const char* name : planted) {
    SCOPED_TRACE(std::string(name) + ", held open");
    const std::string path = kTree + "\\" + name;
    WriteFile(path, "PLANTED");
    // Stands in for a file that this user may not remove: it is held open without sharing.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    DeleteFileA((kTree + "\\tools\\captured_args.txt").c_str());
    window.calls.clear();
    MakeExe(window);
    CloseHandle(held);
    EXPECT_EQ(window.calls.back(), std::string("error: ") + kMsgNotCreated);
    EXPECT_FALSE(FileExists("C:\\out\\talk.exe"));
    EXPECT_EQ(Captured("captured_args.txt"), "");  // the packager never ran
    DeleteFileA(path.c_str());
    EXPECT_EQ(TreeWithoutCaptures(), installed);
  }
}

// An earlier, interrupted conversion's presentation is never delivered as this one's.
TEST_F(Conversion, APresentationThatCannotBeCopiedIsReportedNotReplacedByAnOldOne) {
  WriteFile(kTree + "\\view.ppt", "AN EARLIER CONVERSION'S PRESENTATION");
  HANDLE locked =
      CreateFileA(window.input.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  MakeExe(window);
  CloseHandle(locked);
  EXPECT_EQ(window.calls, (std::vector<std::string>{"menu off", "cover", "result tabs", "selection",
                                                    std::string("error: ") + kMsgNotCreated}));
  EXPECT_FALSE(FileExists("C:\\out\\talk.exe"));
  EXPECT_EQ(Captured("captured_args.txt"), "");
  EXPECT_EQ(TreeWithoutCaptures(), installed);
  EXPECT_EQ(ReadFile(window.input), deck);
}

// While staged, the files are the converting user's alone (with SYSTEM and the Administrators):
// no other user can read the presentation or change what is packed.
TEST_F(Conversion, StagedFilesAreTheConvertingUsersOnly) {
  MakeExe(window);
  ASSERT_EQ(window.calls.back(), "result");
  std::istringstream lines(Captured("captured_access.txt"));
  int checked = 0;
  for (std::string line; std::getline(lines, line);) {
    const std::string name = line.substr(0, line.find(' '));
    const std::string access = line.substr(line.find(' ') + 1);
    if (name != "view.exe" && name != "view.ppt" && name != "view.exe.manifest" &&
        name != "view.sed" && name != "wextract.exe")
      continue;  // installed by setup, under its own access lists
    SCOPED_TRACE(line);
    ++checked;
    if (access == "unreadable") continue;
    // Wine keeps only what its file modes can hold (the owner's entry and SYSTEM's); Windows keeps
    // the protected list as given. Either way nobody else may open the file.
    const std::string owner = access.substr(2, access.find("D:") - 2);
    EXPECT_NE(access.find(";;;" + owner + ")"), std::string::npos);
    for (const char* other : {";;;BU)", ";;;WD)", ";;;AU)", ";;;IU)"})
      EXPECT_EQ(access.find(other), std::string::npos);
  }
  EXPECT_EQ(checked, 5);
}

// Lets new processes of this one refuse every opener but the handle their creator got.
class ProcessesRefuseOpeners {
 public:
  ProcessesRefuseOpeners() {
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_DEFAULT, &token_)) return;
    DWORD size = 0;
    GetTokenInformation(token_, TokenDefaultDacl, nullptr, 0, &size);
    saved_.resize(size);
    if (!size || !GetTokenInformation(token_, TokenDefaultDacl, saved_.data(), size, &size)) return;
    InitializeAcl(reinterpret_cast<ACL*>(empty_), sizeof empty_, ACL_REVISION);
    TOKEN_DEFAULT_DACL none{reinterpret_cast<ACL*>(empty_)};
    active_ = SetTokenInformation(token_, TokenDefaultDacl, &none, sizeof none);
  }
  ~ProcessesRefuseOpeners() {
    if (active_) SetTokenInformation(token_, TokenDefaultDacl, saved_.data(), saved_.size());
    if (token_) CloseHandle(token_);
  }
  bool active() const { return active_; }

 private:
  HANDLE token_ = nullptr;
  std::vector<BYTE> saved_;
  alignas(DWORD) BYTE empty_[64];
  bool active_ = false;
};

// A process id names our child only while a handle to it is open; waiting by id could wait on a
// stranger, or not at all. The handle the start returned is the child's for sure.
TEST(RunAndWaitTest, WaitsOnTheProcessItStartedNotOnItsId) {
  const std::string sleeper = OwnFolder() + "\\sleeper.exe";
  std::string marker = OwnFolder() + "\\sleeper.done";
  DeleteFileA(marker.c_str());
  ProcessesRefuseOpeners refuse;
  if (!refuse.active()) GTEST_SKIP() << "the default access list of new processes is fixed here";
  // Only where a child's id is no way to it does this show anything.
  DWORD pid = 0;
  std::string probe = sleeper + " 1 " + marker;
  ASSERT_TRUE(StartProcess(probe, SW_HIDE, &pid));
  HANDLE by_id = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (by_id) {
    WaitForSingleObject(by_id, 10000);
    CloseHandle(by_id);
    DeleteFileA(marker.c_str());
    GTEST_SKIP() << "process access lists are not enforced here";
  }
  Sleep(500);
  DeleteFileA(marker.c_str());

  auto start = std::chrono::steady_clock::now();
  RunAndWait(sleeper + " 1500 " + marker, SW_SHOWNORMAL);
  EXPECT_TRUE(FileExists(marker));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1400));
  DeleteFileA(marker.c_str());
}

TEST(RunAndWaitTest, ReturnsOnlyAfterTheChildHasExited) {
  std::string marker = OwnFolder() + "\\sleeper.done";
  DeleteFileA(marker.c_str());
  auto start = std::chrono::steady_clock::now();
  RunAndWait(OwnFolder() + "\\sleeper.exe 1500 " + marker, SW_SHOWNORMAL);
  EXPECT_TRUE(FileExists(marker));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1400));
  DeleteFileA(marker.c_str());

  start = std::chrono::steady_clock::now();
  RunAndWait(OwnFolder() + "\\no-such-program.exe /x", SW_SHOWNORMAL);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace kestrane
