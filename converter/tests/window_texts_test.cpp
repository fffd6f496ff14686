#include "converter/window_texts.h"

#include <gtest/gtest.h>

namespace kestrane {
namespace {

TEST(SupportMail, JoinsUserSystemAndProcessorUnencoded) {
  EXPECT_EQ(
      SupportMailLink("jdoe", "Windows_NT", "x86 Family 6 Model 15 Stepping 11, GenuineIntel"),
      "mailto:support@example.com?Subject=kestrane version 1.0 (jdoe; Windows_NTx86 Family "
      "6 Model 15 Stepping 11, GenuineIntel)");
  EXPECT_EQ(SupportMailLink("", "Windows_NT", ""),
            "mailto:support@example.com?Subject=kestrane version 1.0 (; Windows_NT)");
}

TEST(PresentationField, OnlyBlanksLeaveNothing) {
  EXPECT_FALSE(HasPresentationText(""));
  EXPECT_FALSE(HasPresentationText("    "));
  EXPECT_TRUE(HasPresentationText("\t"));
  EXPECT_TRUE(HasPresentationText("\xA0"));  // a no-break space is not a blank
  EXPECT_TRUE(HasPresentationText("  a  "));
}

TEST(ViewCommand, QuotesThePathSoCommasStayInIt) {
  EXPECT_EQ(ViewCommand("D:\\shows\\talk.exe"), "explorer.exe /select,\"D:\\shows\\talk.exe\"");
  EXPECT_EQ(ViewCommand("D:\\a, b\\talk.exe"), "explorer.exe /select,\"D:\\a, b\\talk.exe\"");
}

}  // namespace
}  // namespace kestrane
