#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/tree_layout.h"

namespace kestrane {
namespace {

TEST(DwordFromText, TakesTheLeadingNumberRoundingHalvesToEven) {
  const std::pair<const char*, unsigned long> cases[] = {
      {"1.0", 1}, {"1.00.0001", 1},     {"2.5", 2},    {"3.5", 4}, {"0.5", 0},
      {"1.5", 2}, {"42abc", 42},        {"  7", 7},    {"", 0},    {"abc", 0},
      {".5", 0},  {"1e3", 1000},        {"2.4999", 2}, {"+3", 3},  {"-", 0},
      {"1e", 1},  {"-1", 0xFFFFFFFFul},
  };
  for (const auto& [text, number] : cases) EXPECT_EQ(DwordFromText(text), number) << text;
}

TEST(Layout, InstallsEveryDeliveredFileOnceUnderItsInstalledName) {
  std::set<std::string> sources, targets;
  for (const auto& f : InstalledFiles()) {
    EXPECT_TRUE(sources.insert(f.source).second) << f.source;
    EXPECT_TRUE(targets.insert(std::to_string(int(f.base)) + f.name).second) << f.name;
  }
  EXPECT_EQ(InstalledFiles().size(), 25u);
  EXPECT_EQ(InstalledFiles().front().source, std::string("\\Advpack.dll"));
  EXPECT_EQ(InstalledFiles().back().name, std::string("\\kestrane_uninstall.exe.manifest"));
}

// What Add/Remove Programs and the Start-menu link name must be where the file is: a 32-bit setup
// writing to the system folder of a 64-bit Windows lands in the 32-bit one.
TEST(WhereFileLands, NamesTheThirtyTwoBitSystemFolderOnlyUnderWow64) {
  const std::string sys = "C:\\WINDOWS\\system32", wow = "C:\\WINDOWS\\SysWOW64";
  EXPECT_EQ(WhereFileLands("C:\\WINDOWS\\system32\\kestrane_uninstall.exe", sys, wow),
            "C:\\WINDOWS\\SysWOW64\\kestrane_uninstall.exe");
  EXPECT_EQ(WhereFileLands("c:\\windows\\System32\\kestrane_uninstall.exe", sys, wow),
            "C:\\WINDOWS\\SysWOW64\\kestrane_uninstall.exe");
  EXPECT_EQ(WhereFileLands("C:\\WINDOWS\\system32\\wbem\\kestrane_uninstall.exe", sys, wow),
            "C:\\WINDOWS\\SysWOW64\\wbem\\kestrane_uninstall.exe");
  // Folders that WOW64 leaves alone, other folders, and a 32-bit Windows keep the text.
  EXPECT_EQ(WhereFileLands("C:\\WINDOWS\\system32\\drivers\\etc\\x.exe", sys, wow),
            "C:\\WINDOWS\\system32\\drivers\\etc\\x.exe");
  EXPECT_EQ(WhereFileLands("C:\\WINDOWS\\system32x\\u.exe", sys, wow),
            "C:\\WINDOWS\\system32x\\u.exe");
  EXPECT_EQ(WhereFileLands("D:\\tools\\kestrane_uninstall.exe", sys, wow),
            "D:\\tools\\kestrane_uninstall.exe");
  EXPECT_EQ(WhereFileLands("C:\\WINDOWS\\system32\\kestrane_uninstall.exe", sys, ""),
            "C:\\WINDOWS\\system32\\kestrane_uninstall.exe");
}

TEST(TreeAccess, OnlyTheFoldersOfStagedFilesLetUsersAddFiles) {
  ASSERT_EQ(TreeFolders().size(), 4u);
  for (size_t i = 0; i < TreeFolders().size(); ++i) {
    std::string access = TreeFolderAccess(i);
    SCOPED_TRACE(TreeFolders()[i]);
    EXPECT_EQ(access.rfind("O:BAD:P(", 0), 0u);  // owned by Administrators, nothing inherited
    bool staging = std::string(TreeFolders()[i]) != ":\\kestrane\\tools\\wextract";
    EXPECT_EQ(access.find(";;0x100002;;;BU)") != std::string::npos, staging);
  }
  for (const char* staged : StagedFiles()) {
    std::string folder(staged, std::string(staged).find_last_of('\\'));
    bool found = false;
    for (size_t i = 0; i < TreeFolders().size(); ++i)
      if (folder == TreeFolders()[i])
        found = std::string(TreeFolderAccess(i)).find("0x100002;;;BU") != std::string::npos;
    EXPECT_TRUE(found) << staged;
  }
  // What setup installs: no right for users beyond reading and running.
  const std::string file = kInstalledFileAccess;
  EXPECT_NE(file.find("(A;;0x1200a9;;;BU)"), std::string::npos);
  EXPECT_EQ(file.find("BU)"), file.rfind("BU)"));
}

}  // namespace
}  // namespace kestrane
