// The decoded pictures a show keeps: those of the slides around the one on screen, within the
// limit, and the next slides' prepared in order.
#include <gtest/gtest.h>

#include "app/picture_budget.h"

namespace {

using viewer::PictureBudget;

// `count` slides, slide i showing picture i in a frame; slide 0 also has picture `count` as its
// background.
ppt::Presentation OnePicturePerSlide(size_t count) {
  ppt::Presentation p;
  p.blips.resize(count + 1);
  for (size_t i = 0; i < count; i++) {
    ppt::Slide s;
    ppt::Shape frame;
    frame.picture = int(i);
    s.shapes.push_back(frame);
    p.slides.push_back(s);
  }
  p.slides[0].background.kind = ppt::Fill::kPicture;
  p.slides[0].background.blip = int(count);
  return p;
}

std::vector<size_t> Order(size_t n) {
  std::vector<size_t> o;
  for (size_t i = 0; i < n; i++) o.push_back(i);
  return o;
}

TEST(PictureBudget, WhatEachSlideShows) {
  ppt::Presentation p = OnePicturePerSlide(3);
  ppt::Shape filled;
  filled.fill.kind = ppt::Fill::kPicture;
  filled.fill.blip = 1;
  p.slides[2].shapes.push_back(filled);
  ppt::Shape broken;
  broken.picture = 99;  // no such picture
  p.slides[2].shapes.push_back(broken);
  PictureBudget b(p, 100);
  EXPECT_EQ(b.PicturesOf(0), (std::vector<int>{3, 0}));
  EXPECT_EQ(b.PicturesOf(2), (std::vector<int>{2, 1}));
  EXPECT_TRUE(b.PicturesOf(7).empty());
  EXPECT_TRUE(b.Framed(1));
  EXPECT_FALSE(b.Framed(3)) << "a background is no picture frame";
}

TEST(PictureBudget, PrefetchTakesTheNextSlidesOnly) {
  // On slide 1, the picture of slide 9 is neither decoded nor prepared.
  ppt::Presentation p = OnePicturePerSlide(10);
  PictureBudget b(p, 1000);
  std::vector<size_t> order = Order(10);
  std::set<int> tried;
  b.SetCurrent(0);
  b.Kept(0, 10);
  b.Kept(10, 10);
  std::vector<int> prepared;
  for (int next; (next = b.Upcoming(order, 0, viewer::kPrefetchSlides, tried)) >= 0;) {
    prepared.push_back(next);
    tried.insert(next);
  }
  EXPECT_EQ(prepared, (std::vector<int>{1, 2}));
  // The show's order, not the file's, says what comes next; hidden slides are not in it.
  tried.clear();
  EXPECT_EQ(b.Upcoming({0, 8, 3}, 0, 1, tried), 8);
  EXPECT_EQ(b.Upcoming({0, 8, 3}, 2, 1, tried), -1) << "nothing after the last slide";
}

TEST(PictureBudget, FarSlidesGiveWayAndTheCurrentOneNever) {
  ppt::Presentation p = OnePicturePerSlide(300);
  const size_t kImage = 4u << 20;  // a decoded picture of a megapixel
  PictureBudget b(p, viewer::kDecodedPictureBudget);
  std::set<int> held;
  size_t peak = 0;
  // A whole show, each slide decoded as it comes, the next prepared while it is on screen.
  for (size_t s = 0; s < 300; s++) {
    b.SetCurrent(s);
    for (int pic : {int(s), s + 1 < 300 ? int(s + 1) : int(s)}) {
      if (b.Holds(pic)) continue;
      b.Kept(pic, kImage);
      held.insert(pic);
      for (int victim : b.Overflow(pic)) {
        EXPECT_NE(victim, int(s)) << "the slide on screen keeps its picture";
        b.Dropped(victim);
        held.erase(victim);
      }
      peak = std::max(peak, b.held_bytes());
    }
    EXPECT_TRUE(b.Holds(int(s)));
  }
  EXPECT_LE(peak, viewer::kDecodedPictureBudget);
  EXPECT_LT(held.size(), size_t(20));
  // The far slides went first: what is left are the last slides'.
  EXPECT_TRUE(b.Holds(299) && b.Holds(298));
  EXPECT_FALSE(b.Holds(0));
  // Nothing is prepared while the held pictures fill the limit.
  b.Kept(5000, viewer::kDecodedPictureBudget);
  EXPECT_EQ(b.Upcoming(Order(300), 10, 2, {}), -1);
}

TEST(PictureBudget, TheCurrentSlideMayNeedMoreThanTheLimit) {
  ppt::Presentation p = OnePicturePerSlide(2);
  ppt::Shape second;
  second.picture = 1;
  p.slides[0].shapes.push_back(second);
  PictureBudget b(p, 100);
  b.SetCurrent(0);
  b.Kept(0, 80);
  b.Kept(1, 80);
  EXPECT_TRUE(b.Overflow().empty()) << "both are on screen";
  b.SetCurrent(1);
  EXPECT_EQ(b.Overflow(), (std::vector<int>{0}));
}

}  // namespace
