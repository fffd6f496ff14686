#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/paths.h"
#include "common/tree_layout.h"
#include "converter/texts.h"

namespace kestrane {
namespace {

struct DriveCase {
  const char* path;   // nullptr: PATH unset
  const char* drive;  // nullptr: no working drive
};

TEST(WorkingDrive, FollowsTheFirstPathEntry) {
  const DriveCase cases[] = {
      {"C:\\WINDOWS\\system32;C:\\WINDOWS", "C"},
      {"c:\\windows", "c"},
      {"D:\\tools;C:\\WINDOWS", "D"},
      {"relative\\bin;C:\\x", "relative\\bin"},
      {"\\\\server\\share\\bin", "\\\\server\\share\\bin"},
      {"", nullptr},
      {nullptr, nullptr},
      {";C:\\WINDOWS", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path ? c.path : "(unset)");
    auto drive = WorkingDrive(c.path);
    ASSERT_EQ(drive.has_value(), c.drive != nullptr);
    if (c.drive) {
      EXPECT_EQ(*drive, c.drive);
    }
  }
  EXPECT_EQ(*TreePath("C:\\WINDOWS\\system32", ":\\kestrane"), "C:\\kestrane");
  EXPECT_FALSE(TreePath("", ":\\kestrane\\tools\\view.sed"));
}

TEST(ExtensionCheck, TakesTheTextAfterTheLastDotOfTheLastComponent) {
  const std::pair<const char*, bool> cases[] = {
      {"", false},
      {"C:\\talks\\Talk.PPT", true},
      {"talk.ppt", true},
      {"talk.pps", false},
      {"talk.pptx", false},
      {"talk", false},
      {"C:\\a.ppt\\talk", false},
      {"C:\\x\\notes.doc", false},
      {"C:/x/y.Ppt", true},
      {"C:\\x\\.ppt", true},
      {"talk.ppt.", false},
  };
  for (const auto& [path, ok] : cases) EXPECT_EQ(HasPptExtension(path), ok) << path;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t pos = 0;
  for (size_t crlf; (crlf = text.find("\r\n", pos)) != std::string::npos; pos = crlf + 2)
    out.push_back(text.substr(pos, crlf - pos));
  EXPECT_EQ(pos, text.size()) << "text must end in CR LF";
  return out;
}

TEST(Directive, FillingChangesOnlyTheTargetAndSourceLines) {
  auto before = Lines(kDirectiveTemplate);
  ASSERT_EQ(before.size(), 55u);
  auto after = Lines(FillDirectiveMarkers(kDirectiveTemplate, "C", "C"));
  ASSERT_EQ(after.size(), 55u);
  for (size_t i = 0; i < 55; ++i) {
    if (i == 26)
      EXPECT_EQ(after[i], "TargetName=C:\\kestrane\\temp\\temp.exe");
    else if (i == 43)
      EXPECT_EQ(after[i], "SourceFiles0=C:\\kestrane\\");
    else
      EXPECT_EQ(after[i], before[i]) << "line " << i + 1;
  }
  EXPECT_NE(std::string(kDirectiveTemplate).find("TargetName=%TargetName%\r\n"), std::string::npos);
  // A drive that cannot be formed leaves its marker in place.
  auto partial = FillDirectiveMarkers(kDirectiveTemplate, std::nullopt, "D");
  EXPECT_NE(partial.find("TargetName=TN1\r\n"), std::string::npos);
  EXPECT_NE(partial.find("SourceFiles0=D:\\kestrane\\\r\n"), std::string::npos);
}

TEST(Manifest, IsTwentyTwoLinesAskingForCommonControlsSix) {
  auto lines = Lines(kManifestText);
  ASSERT_EQ(lines.size(), 22u);
  EXPECT_EQ(lines[0], "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>");
  EXPECT_EQ(lines[16], "            version=\"6.0.0.0\"");
  EXPECT_EQ(lines[21], "</assembly>");
  for (const auto& l : lines) EXPECT_EQ(l.find('\t'), std::string::npos);
}

TEST(ReplaceAll, ReplacesEveryOccurrenceLeftToRight) {
  EXPECT_EQ(ReplaceAll("TN1 TN1x", "TN1", "ab"), "ab abx");
  EXPECT_EQ(ReplaceAll("tn1", "TN1", "ab"), "tn1");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
}

// The converter refuses an output that is the presentation or lies in the working tree; both are
// compared after the paths were brought to their long form, so only case, separators, trailing
// backslashes and stream names remain to be seen through here.
TEST(PathComparison, SeesTheSameFileThroughCaseSeparatorsAndStreams) {
  EXPECT_TRUE(SamePath("C:\\Talks\\Q.ppt", "c:\\talks\\q.PPT"));
  EXPECT_TRUE(SamePath("C:\\Talks\\Q.ppt", "C:/Talks/Q.ppt"));
  EXPECT_TRUE(SamePath("C:\\Talks\\Q.ppt::$DATA", "C:\\Talks\\Q.ppt"));
  EXPECT_TRUE(SamePath("C:\\Talks\\Q.ppt:extra", "C:\\Talks\\Q.ppt"));
  EXPECT_TRUE(SamePath("C:\\Talks\\", "C:\\Talks"));
  EXPECT_FALSE(SamePath("C:\\Talks\\Q.ppt", "C:\\Talks\\Q.ppt.exe"));
  EXPECT_FALSE(SamePath("C:\\Talks\\Q.ppt", "D:\\Talks\\Q.ppt"));
  EXPECT_FALSE(SamePath("", "C:\\Talks\\Q.ppt"));

  EXPECT_TRUE(PathWithin("C:\\kestrane\\PELLUM.dll", "C:\\kestrane"));
  EXPECT_TRUE(PathWithin("c:\\KESTRANE\\tools\\wextract\\wextract1.dat", "C:\\kestrane\\"));
  EXPECT_TRUE(PathWithin("C:\\kestrane", "C:\\kestrane"));
  EXPECT_TRUE(PathWithin("C:\\kestrane\\view.ppt:x", "C:\\kestrane"));
  EXPECT_FALSE(PathWithin("C:\\kestrane2\\view.exe", "C:\\kestrane"));
  EXPECT_FALSE(PathWithin("C:\\kestran", "C:\\kestrane"));
  EXPECT_FALSE(PathWithin("C:\\out\\talk.exe", ""));
}

TEST(StagedFiles, AreTheSixFilesOfOneConversionInTheirRemovalOrder) {
  EXPECT_EQ(std::vector<std::string>(StagedFiles().begin(), StagedFiles().end()),
            (std::vector<std::string>{":\\kestrane\\view.exe", ":\\kestrane\\view.ppt",
                                      ":\\kestrane\\view.exe.manifest",
                                      ":\\kestrane\\tools\\view.sed", ":\\kestrane\\temp\\temp.exe",
                                      ":\\kestrane\\tools\\wextract.exe"}));
}

}  // namespace
}  // namespace kestrane
