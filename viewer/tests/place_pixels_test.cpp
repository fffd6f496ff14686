// Pictures placed turned or mirrored: which source pixel lands where, and what lies outside.
#include <gtest/gtest.h>

#include <vector>

#include "paint/place_pixels.h"

namespace {

using paint::Affine;

// A w × h picture whose pixel (x, y) is opaque with blue x, green y and red 7.
std::vector<uint8_t> Marked(int w, int h) {
  std::vector<uint8_t> p(size_t(w * h * 4));
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      uint8_t* q = &p[size_t((y * w + x) * 4)];
      q[0] = uint8_t(x * 10);
      q[1] = uint8_t(y * 10);
      q[2] = 7;
      q[3] = 255;
    }
  return p;
}

const uint8_t* Px(const std::vector<uint8_t>& p, int w, int x, int y) {
  return &p[size_t((y * w + x) * 4)];
}

// Upright, mirrored either way, and turned by a quarter: every pixel lands whole where the map
// takes it.
TEST(PlacePixels, WholePixelsLandWhereTheMapTakesThem) {
  const int w = 4, h = 3;
  const std::vector<uint8_t> src = Marked(w, h);
  struct Case {
    Affine m;
    int dw, dh;
    int (*x)(int, int), (*y)(int, int);  // where source pixel (x, y) lands
  } cases[] = {
      {{1, 0, 0, 1, 0, 0}, w, h, [](int x, int) { return x; }, [](int, int y) { return y; }},
      {{-1, 0, 0, 1, w, 0}, w, h, [](int x, int) { return 3 - x; }, [](int, int y) { return y; }},
      {{1, 0, 0, -1, 0, h}, w, h, [](int x, int) { return x; }, [](int, int y) { return 2 - y; }},
      // a quarter turn clockwise on screen: the top row becomes the right column
      {{0, 1, -1, 0, h, 0}, h, w, [](int, int y) { return 2 - y; }, [](int x, int) { return x; }},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> dst(size_t(c.dw * c.dh * 4), 99);
    paint::PlacePixels(src.data(), w, h, c.m, dst.data(), c.dw, c.dh);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        const uint8_t* got = Px(dst, c.dw, c.x(x, y), c.y(x, y));
        EXPECT_EQ(got[0], x * 10) << x << "," << y;
        EXPECT_EQ(got[1], y * 10) << x << "," << y;
        EXPECT_EQ(got[3], 255) << x << "," << y;
      }
  }
}

// Beyond the picture nothing is painted; its edge fades over a pixel; a map that flattens the
// picture paints nothing at all.
TEST(PlacePixels, OutsideThePictureIsTransparent) {
  const std::vector<uint8_t> src = Marked(2, 2);
  std::vector<uint8_t> dst(size_t(6 * 6 * 4), 99);
  paint::PlacePixels(src.data(), 2, 2, Affine{1, 0, 0, 1, 2, 2}, dst.data(), 6, 6);
  EXPECT_EQ(Px(dst, 6, 0, 0)[3], 0);
  EXPECT_EQ(Px(dst, 6, 5, 5)[3], 0);
  EXPECT_EQ(Px(dst, 6, 2, 2)[3], 255);
  // Half a pixel along, the picture covers half of the pixel at its edge.
  paint::PlacePixels(src.data(), 2, 2, Affine{1, 0, 0, 1, 2.5, 2}, dst.data(), 6, 6);
  EXPECT_NEAR(Px(dst, 6, 2, 2)[3], 128, 1);
  EXPECT_EQ(Px(dst, 6, 3, 2)[3], 255);
  paint::PlacePixels(src.data(), 2, 2, Affine{1, 1, 1, 1, 0, 0}, dst.data(), 6, 6);
  for (size_t i = 0; i < dst.size(); i++) ASSERT_EQ(dst[i], 0) << i;
}

TEST(PlacePixels, InvertUndoesTheMap) {
  const Affine m{0.8, 0.6, -0.6, 0.8, 10, -4};
  Affine back;
  ASSERT_TRUE(paint::Invert(m, &back));
  const double x = 3, y = 7;
  const double tx = m.a * x + m.c * y + m.e, ty = m.b * x + m.d * y + m.f;
  EXPECT_NEAR(back.a * tx + back.c * ty + back.e, x, 1e-9);
  EXPECT_NEAR(back.b * tx + back.d * ty + back.f, y, 1e-9);
  EXPECT_FALSE(paint::Invert(Affine{1, 2, 2, 4, 0, 0}, &back));
}

}  // namespace
