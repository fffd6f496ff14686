#include "packager/directive.h"

#include <gtest/gtest.h>

#include "converter/texts.h"

namespace kestrane {
namespace {

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

const std::string kWritten = FillDirectiveMarkers(kDirectiveTemplate, "C", "C") + "\r\n";

TEST(Directive, ReadsTheConvertersDirective) {
  std::string error;
  auto d = ReadDirective(kWritten, &error);
  ASSERT_TRUE(d) << error;
  EXPECT_EQ(d->target, "C:\\kestrane\\temp\\temp.exe");
  EXPECT_EQ(d->title, "kestrane");
  EXPECT_EQ(d->program, "view.exe");
  EXPECT_EQ(d->post_program, "");  // "<None>"
  EXPECT_EQ(d->show_window, 0);
  EXPECT_EQ(d->reboot_mode, 'N');
  EXPECT_EQ(d->install_prompt, "");
  EXPECT_EQ(d->finish_message, "");
  std::vector<std::string> names, paths;
  for (const auto& f : d->files) {
    names.push_back(f.name);
    paths.push_back(f.Path());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"GDIPLUS.DLL", "INTLDATE.DLL", "PPTVIEW.EXE",
                                             "PPVWINTL.DLL", "view.ppt", "SAEXT.DLL", "view.exe",
                                             "UNICOWS.DLL", "view.exe.manifest", "msvbvm60.dll"}));
  EXPECT_EQ(paths[4], "C:\\kestrane\\view.ppt");
}

TEST(Directive, FollowsIniConventions) {
  // Lower-case names, LF line ends, comments, blanks around '=', a quoted folder without a
  // trailing backslash, "%%" for a percent sign, several folders.
  const std::string text =
      "; made by hand\n"
      "[options]\n"
      "targetname = \"D:\\out dir\\talk.exe\"\n"
      "friendlyname=%title% (100%%)\n"
      "applaunched=\"run me.exe\" /S %arg%\n"
      "postinstallcmd=after.cmd\n"
      "showinstallprogramwindow=3\n"
      "sourcefiles=Folders\n"
      "[STRINGS]\n"
      "Title=\"Quarterly Talk\"\n"
      "ARG=view.ppt\n"
      "[folders]\n"
      "Here=\"E:\\stage\"\n"
      "There=E:\\more\\\n"
      "[here]\n"
      "run me.exe=\n"
      "\"after.cmd\"=\n"
      "[there]\n"
      "view.ppt=\n";
  std::string error;
  auto d = ReadDirective(text, &error);
  ASSERT_TRUE(d) << error;
  EXPECT_EQ(d->target, "D:\\out dir\\talk.exe");
  EXPECT_EQ(d->title, "Quarterly Talk (100%)");
  EXPECT_EQ(d->program, "\"run me.exe\" /S view.ppt");
  EXPECT_EQ(d->post_program, "after.cmd");
  EXPECT_EQ(d->show_window, 3);
  ASSERT_EQ(d->files.size(), 3u);
  EXPECT_EQ(d->files[0].Path(), "E:\\stage\\run me.exe");
  EXPECT_EQ(d->files[1].Path(), "E:\\stage\\after.cmd");
  EXPECT_EQ(d->files[2].Path(), "E:\\more\\view.ppt");
}

TEST(Directive, RefusesWhatWouldBuildAWrongPackage) {
  const struct {
    std::string text;
    std::string reason;
  } cases[] = {
      {Replace(kWritten, "FriendlyName=kestrane\r\n", ""), "undefined reference %FriendlyName%"},
      {Replace(kWritten, "%FILE3%=", "%FILE33%="), "undefined reference %FILE33%"},
      {Replace(kWritten, "TargetName=%TargetName%", "TargetName=%TargetName"), "unclosed"},
      {Replace(kWritten, "FILE3=\"PPVWINTL.DLL\"", "FILE3=\"gdiplus.dll\""),
       "two files are named \"gdiplus.dll\""},
      {Replace(kWritten, "AppLaunched=view.exe", "AppLaunched=cmd.exe /c del"),
       "AppLaunched names \"cmd.exe\""},
      {Replace(kWritten, "PostInstallCmd=<None>", "PostInstallCmd=other.exe"),
       "PostInstallCmd names \"other.exe\""},
      {Replace(kWritten, "FILE4=\"view.ppt\"", "FILE4=\"..\\view.ppt\""), "not a plain file name"},
      {Replace(kWritten, "FILE4=\"view.ppt\"", "FILE4=\"C:view.ppt\""), "not a plain file name"},
      {Replace(kWritten, "FILE4=\"view.ppt\"", "FILE4=\"con.ppt\""), "not a plain file name"},
      {Replace(kWritten, "TargetName=C:\\kestrane\\temp\\temp.exe", "TargetName="),
       "TargetName is missing or empty"},
      {Replace(kWritten, "[Options]", "[Choices]"), "section [Options] is missing"},
      {Replace(kWritten, "[SourceFiles0]", "[SourceFiles1]"), "section [SourceFiles0] is missing"},
      {Replace(kWritten, "RebootMode=N", "RebootMode=A"), "RebootMode A is not supported"},
      {Replace(kWritten, "ShowInstallProgramWindow=0", "ShowInstallProgramWindow=7"),
       "ShowInstallProgramWindow must be"},
      {Replace(kWritten, "DisplayLicense=\r\n", "DisplayLicense=C:\\eula.txt\r\n"),
       "DisplayLicense is not supported"},
      {Replace(kWritten, "[Strings]", "[Strings"), "unclosed section name"},
      {"TargetName=x\r\n[Options]\r\n", "text before the first section"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(ReadDirective(c.text, &error)) << c.reason;
    EXPECT_NE(error.find(c.reason), std::string::npos) << "got: " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace kestrane
