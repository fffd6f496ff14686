#include <gtest/gtest.h>

#include <set>

#include "text/font_substitutes.h"

namespace {

// What a Debian test machine has: the metric-compatible faces and DejaVu, no Microsoft ones.
const std::set<std::string> kDebian = {"Liberation Sans", "Liberation Serif", "Liberation Mono",
                                       "Carlito",         "Caladea",          "DejaVu Sans",
                                       "DejaVu Serif",    "DejaVu Sans Mono", "Tahoma"};

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
               {"Trebuchet MS", "DejaVu Sans"},
               {"Georgia", "DejaVu Serif"},
               {"Book Antiqua", "DejaVu Serif"}};
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
  // Faces of no known likeness take the generic face of their kind: DejaVu where it is
  // installed, as documents are laid out there, else Windows' core faces.
  EXPECT_EQ(Choose("No Such Face", 0x20), "DejaVu Sans");       // swiss
  EXPECT_EQ(Choose("No Such Face", 0x10), "DejaVu Serif");      // roman
  EXPECT_EQ(Choose("No Such Face", 0x30), "DejaVu Sans Mono");  // modern
  EXPECT_EQ(Choose("No Such Face", 0x01), "DejaVu Sans Mono");  // fixed pitch
  EXPECT_EQ(Choose("", 0x10), "DejaVu Serif");
  const std::set<std::string> core = {"Arial", "Times New Roman", "Courier New"};
  EXPECT_EQ(Choose("No Such Face", 0x20, 0, core), "Arial");
  EXPECT_EQ(Choose("No Such Face", 0x10, 0, core), "Times New Roman");
  EXPECT_EQ(Choose("No Such Face", 0x30, 0, core), "Courier New");
  EXPECT_EQ(Choose("Book Antiqua", 0x10, 0, core), "Times New Roman");
  // The name says more than a family byte written wrong.
  EXPECT_EQ(Choose("Luxi Sans", 0x10), "DejaVu Sans");
  EXPECT_EQ(Choose("Microsoft Sans Serif", 0x10), "DejaVu Sans");
  EXPECT_EQ(Choose("Bitstream Vera Serif", 0x20), "DejaVu Serif");
  EXPECT_EQ(Choose("Luxi Mono", 0x20), "DejaVu Sans Mono");
  // East Asian faces are left to the system's font linking.
  EXPECT_EQ(Choose("MS PGothic", 0x20, 128), "MS PGothic");
  // Nothing at all installed: the face as named.
  EXPECT_EQ(Choose("Calibri", 0x20, 0, {}), "Calibri");
}

}  // namespace
