#include <gtest/gtest.h>

#include <set>

#include "text/font_substitutes.h"

namespace {

// What a Debian test machine has: the metric-compatible faces, no Microsoft ones.
const std::set<std::string> kDebian = {"Liberation Sans", "Liberation Serif", "Liberation Mono",
                                       "Carlito",         "Caladea",          "DejaVu Sans",
                                       "Tahoma"};

std::string Choose(const std::string& face, uint8_t pitch_family = 0x20, uint8_t charset = 0,
                   const std::set<std::string>& have = kDebian) {
  return text::ChooseFace(face, pitch_family, charset,
                          [&](const std::string& f) { return have.count(f) != 0; });
}

TEST(FontSubstitutes, MissingFacesGetTheirMetricCompatibleReplacement) {
  struct Case {
    const char* face;
    const char* shown;
  } cases[] = {{"Arial", "Liberation Sans"},
               {"arial", "Liberation Sans"},
               {"Times New Roman", "Liberation Serif"},
               {"Courier New", "Liberation Mono"},
               {"Calibri", "Carlito"},
               {"Cambria", "Caladea"},
               {"Helvetica", "Liberation Sans"},
               {"Verdana", "DejaVu Sans"},
               {"Comic Sans MS", "DejaVu Sans"},
               {"Georgia", "Liberation Serif"}};
  for (const Case& c : cases) EXPECT_EQ(Choose(c.face), c.shown) << c.face;
}

TEST(FontSubstitutes, InstalledFacesStayAndUnknownOnesFollowTheirFamily) {
  std::set<std::string> windows = kDebian;
  windows.insert({"Arial", "Calibri"});
  EXPECT_EQ(Choose("Arial", 0x20, 0, windows), "Arial");
  EXPECT_EQ(Choose("Calibri", 0x20, 0, windows), "Calibri");
  // Calibri missing but Carlito too: the next look-alike there is.
  std::set<std::string> bare = {"Arial"};
  EXPECT_EQ(Choose("Calibri", 0x20, 0, bare), "Arial");
  EXPECT_EQ(Choose("No Such Face", 0x20), "Liberation Sans");   // swiss
  EXPECT_EQ(Choose("No Such Face", 0x10), "Liberation Serif");  // roman
  EXPECT_EQ(Choose("No Such Face", 0x30), "Liberation Mono");   // modern
  EXPECT_EQ(Choose("No Such Face", 0x01), "Liberation Mono");   // fixed pitch
  EXPECT_EQ(Choose("", 0x10), "Liberation Serif");
  // The name says more than a family byte written wrong.
  EXPECT_EQ(Choose("Luxi Sans", 0x10), "Liberation Sans");
  EXPECT_EQ(Choose("Microsoft Sans Serif", 0x10), "Liberation Sans");
  EXPECT_EQ(Choose("Bitstream Vera Serif", 0x20), "Liberation Serif");
  EXPECT_EQ(Choose("Luxi Mono", 0x20), "Liberation Mono");
  // East Asian faces are left to the system's font linking.
  EXPECT_EQ(Choose("MS PGothic", 0x20, 128), "MS PGothic");
  // Nothing at all installed: the face as named.
  EXPECT_EQ(Choose("Calibri", 0x20, 0, {}), "Calibri");
}

}  // namespace
