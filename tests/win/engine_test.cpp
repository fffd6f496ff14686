#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/system_win.h"
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

class Conversion : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("PATH", "C:\\windows\\system32;C:\\windows");
    SetEnvironmentVariableA("KESTRANE_FAKE_PACKAGER", nullptr);
    testing::LayInstalledTree(OwnFolder() + "\\fake_packager.exe");
    DeleteSettingSection("kestrane");
    testing::RemoveTree("C:\\talks");
    testing::RemoveTree("C:\\out");
    WriteFile("C:\\talks\\Quarterly Talk.ppt", deck);
    CreateDirectoryA("C:\\out", nullptr);
    window.input = "C:\\talks\\Quarterly Talk.ppt";
    window.output = "C:\\out\\talk.exe";
    for (const char* f : {"captured.sed", "captured_files.txt", "captured_args.txt"})
      DeleteFileA((kTree + "\\tools\\" + f).c_str());
    installed = Snapshot(kTree);
  }
  void TearDown() override { DeleteSettingSection("kestrane"); }

  std::map<std::string, std::string> TreeWithoutCaptures() {
    auto now = Snapshot(kTree);
    for (const char* f : {"captured.sed", "captured_files.txt", "captured_args.txt"})
      now.erase(std::string("tools\\") + f);
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
                                                       {"7", "missing"},   {" 3", "missing"}};
  for (const auto& [setting, stub] : cases) {
    SCOPED_TRACE(setting ? setting : "(absent)");
    DeleteSettingSection("kestrane");
    if (setting) SaveSetting("kestrane", "kestrane", "icon", setting);
    MakeExe(window);
    EXPECT_NE(Captured("captured_files.txt").find(std::string("wextract.exe ") + stub + "\n"),
              std::string::npos);
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
