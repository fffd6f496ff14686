#include <gtest/gtest.h>

#include "app/fonts_win.h"

namespace {

TEST(FontsWine, MissingFacesGetAnInstalledLookAlike) {
  viewer::FontMapper m;
  // Faces a presentation names but the machine lacks still end up as installed ones, of the
  // same class where the file says which class it is.
  for (const char* face : {"Calibri", "Cambria", "Helvetica", "Garamond", "No Such Face 123"}) {
    SCOPED_TRACE(face);
    std::string got = m.Resolve(face, FF_SWISS | VARIABLE_PITCH, ANSI_CHARSET);
    EXPECT_TRUE(m.Installed(got)) << got;
  }
  std::string serif = m.Resolve("No Such Serif", FF_ROMAN | VARIABLE_PITCH, ANSI_CHARSET);
  EXPECT_TRUE(m.Installed(serif));
  EXPECT_NE(serif, m.Resolve("No Such Sans", FF_SWISS | VARIABLE_PITCH, ANSI_CHARSET));
  EXPECT_TRUE(m.Installed(m.Resolve("", FF_MODERN | FIXED_PITCH, ANSI_CHARSET)));
  // An installed face is kept as it is.
  EXPECT_EQ(m.Resolve(serif, FF_SWISS, ANSI_CHARSET), serif);
}

TEST(FontsWine, OfficeFacesShowInMetricCompatibleOnes) {
  // The test machine's prefix holds the metric-compatible faces; a real Windows the originals.
  viewer::FontMapper m;
  struct Case {
    const char* face;
    const char* replacement;
  } cases[] = {{"Arial", "Liberation Sans"},
               {"Times New Roman", "Liberation Serif"},
               {"Courier New", "Liberation Mono"},
               {"Calibri", "Carlito"},
               {"Cambria", "Caladea"}};
  for (const Case& c : cases) {
    std::string got = m.Resolve(c.face, FF_DONTCARE, ANSI_CHARSET);
    EXPECT_TRUE(got == c.face || got == c.replacement) << c.face << " -> " << got;
  }
}

TEST(FontsWine, OnlyAFacesOwnOutlinesAreGenuine) {
  viewer::FontMapper m;
  // A face the machine has is drawn with its own outlines; a face it lacks gets a stand-in's
  // (and "Arial" is Liberation Sans on a machine without it).
  const std::string serif = m.Resolve("No Such Serif", FF_ROMAN | VARIABLE_PITCH, ANSI_CHARSET);
  EXPECT_TRUE(m.Genuine(std::u16string(serif.begin(), serif.end()))) << serif;
  EXPECT_FALSE(m.Genuine(u"No Such Face 123"));
  EXPECT_FALSE(m.Genuine(u""));
  EXPECT_EQ(m.Genuine(u"Arial"), m.Resolve("Arial", FF_DONTCARE, ANSI_CHARSET) == "Arial");
}

}  // namespace
