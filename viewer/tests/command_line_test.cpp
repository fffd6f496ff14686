#include <gtest/gtest.h>

#include "app/command_line.h"

namespace {

using viewer::Command;
using viewer::ParseCommandLine;

TEST(CommandLine, LauncherFormsQuotedAndUnquoted) {
  // The launcher's form, with the viewer's path quoted, and the older unquoted form whose path
  // may hold spaces.
  for (const char* line : {"\"C:\\Program Files\\show\\PPTVIEW.EXE\" /S view.ppt",
                           "C:\\Program Files\\show\\PPTVIEW.EXE /S view.ppt",
                           "C:\\pkg\\PPTVIEW.EXE /s view.ppt", "PPTVIEW /S view.ppt"}) {
    SCOPED_TRACE(line);
    Command c = ParseCommandLine(line);
    EXPECT_EQ(c.mode, Command::kShow);
    EXPECT_EQ(c.file, "view.ppt");
  }
}

TEST(CommandLine, FileNamesWithSpacesAndWithoutSwitch) {
  Command c = ParseCommandLine("PPTVIEW.EXE /S \"my talk.ppt\"");
  EXPECT_EQ(c.file, "my talk.ppt");
  c = ParseCommandLine("PPTVIEW.EXE /S my talk.ppt");
  EXPECT_EQ(c.file, "my talk.ppt");
  c = ParseCommandLine("\"PPTVIEW.EXE\" deck.pps");
  EXPECT_EQ(c.mode, Command::kShow);
  EXPECT_EQ(c.file, "deck.pps");
  EXPECT_EQ(ParseCommandLine("\"C:\\a b\\PPTVIEW.EXE\"").mode, Command::kChoose);
  EXPECT_EQ(ParseCommandLine("PPTVIEW.EXE /S").mode, Command::kChoose);
}

TEST(CommandLine, RenderSwitch) {
  Command c = ParseCommandLine("PPTVIEW.EXE /R out 800 \"a b.ppt\"");
  EXPECT_EQ(c.mode, Command::kRender);
  EXPECT_EQ(c.folder, "out");
  EXPECT_EQ(c.width, 800);
  EXPECT_EQ(c.file, "a b.ppt");
  EXPECT_EQ(ParseCommandLine("PPTVIEW.EXE /R out 640").file, "view.ppt");
  EXPECT_EQ(ParseCommandLine("PPTVIEW.EXE /R out").mode, Command::kBad);
  EXPECT_EQ(ParseCommandLine("PPTVIEW.EXE /R out 12x").mode, Command::kBad);
  EXPECT_EQ(ParseCommandLine("PPTVIEW.EXE /R out 0").mode, Command::kBad);
  EXPECT_EQ(ParseCommandLine("PPTVIEW.EXE /R out 99999999999").mode, Command::kBad);
}

}  // namespace
