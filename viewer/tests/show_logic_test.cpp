// The show's portable logic: build steps and what they leave on screen, where keys, clicks,
// links and timings take the show, and the frames of transitions and build effects.
#include <gtest/gtest.h>

#include <set>

#include "show/build_steps.h"
#include "show/frames.h"
#include "show/navigator.h"

namespace {

ppt::Shape TextShape(std::vector<int> levels, int by_level = 1) {
  ppt::Shape s;
  for (size_t i = 0; i < levels.size(); i++) {
    ppt::Paragraph p;
    p.level = levels[i];
    ppt::Run r;
    r.text = u"para " + std::u16string(1, char16_t(u'A' + i));
    p.runs.push_back(r);
    s.text.paragraphs.push_back(p);
  }
  s.build.animated = true;
  s.build.by_level = by_level;
  return s;
}

ppt::Shape Animated(int order, bool automatic = false, int delay = 0) {
  ppt::Shape s;
  s.build.animated = true;
  s.build.order = order;
  s.build.automatic = automatic;
  s.build.delay_ms = delay;
  return s;
}

// --- build steps ------------------------------------------------------------------------------

TEST(ShowBuildSteps, OrderParagraphLevelsAndReverse) {
  ppt::Slide slide;
  slide.shapes.push_back(ppt::Shape());  // not animated
  slide.shapes.push_back(Animated(2));
  ppt::Shape text = TextShape({0, 1, 1, 0, 2});
  text.build.order = 1;
  slide.shapes.push_back(text);
  std::vector<show::BuildStep> steps = show::BuildSteps(slide);
  // Level-1 build: [A, B, C] and [D, E], then the shape of order 2.
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[0].items[0].shape, 2u);
  EXPECT_EQ(steps[0].items[0].first, 0);
  EXPECT_EQ(steps[0].items[0].last, 2);
  EXPECT_EQ(steps[1].items[0].first, 3);
  EXPECT_EQ(steps[1].items[0].last, 4);
  EXPECT_EQ(steps[2].items[0].shape, 1u);
  EXPECT_EQ(steps[2].items[0].first, -1);

  slide.shapes[2].build.by_level = 2;  // every paragraph but the level-3 one on its own
  EXPECT_EQ(show::BuildSteps(slide).size(), 5u);
  slide.shapes[2].build.reverse = true;
  steps = show::BuildSteps(slide);
  EXPECT_EQ(steps[0].items[0].first, 3);               // the last group first
  EXPECT_TRUE(show::BuildSteps(slide, true).empty());  // a show without animation
}

TEST(ShowBuildSteps, EmptyParagraphsNeverTakeAClickAndGroupsBuildTogether) {
  ppt::Slide slide;
  ppt::Shape text = TextShape({0, 0, 0});
  text.text.paragraphs[1].runs[0].text = u"  ";
  slide.shapes.push_back(text);
  ppt::Shape g1 = Animated(1), g2 = Animated(1);
  g1.build.together = g2.build.together = 7;
  slide.shapes.push_back(g1);
  slide.shapes.push_back(g2);
  std::vector<show::BuildStep> steps = show::BuildSteps(slide);
  ASSERT_EQ(steps.size(), 3u);  // two text steps, one for the group
  EXPECT_EQ(steps[1].items[0].last, 2);
  EXPECT_EQ(steps[2].items.size(), 2u);
}

TEST(ShowBuildSteps, ViewHidesDimsAndHidesAfter) {
  ppt::Slide slide;
  slide.shapes.push_back(ppt::Shape());
  ppt::Shape text = TextShape({0, 0, 0});
  text.build.after = ppt::Build::kDim;
  text.build.dim_color = ppt::Rgb{1, 2, 3};
  slide.shapes.push_back(text);
  ppt::Shape hide = Animated(5);
  hide.build.after = ppt::Build::kHide;
  slide.shapes.push_back(hide);
  ppt::Shape flash = Animated(6);
  flash.build.effect = 14;
  slide.shapes.push_back(flash);
  std::vector<show::BuildStep> steps = show::BuildSteps(slide);
  ASSERT_EQ(steps.size(), 5u);
  using V = show::ShapeView;
  auto v = show::ViewAfter(slide, steps, 0);
  EXPECT_EQ(v[0].state, V::kShown);
  EXPECT_EQ(v[1].paragraphs, (std::vector<uint8_t>{V::kHidden, V::kHidden, V::kHidden}));
  EXPECT_EQ(v[2].state, V::kHidden);
  v = show::ViewAfter(slide, steps, 2);
  EXPECT_EQ(v[1].paragraphs, (std::vector<uint8_t>{V::kDimmed, V::kShown, V::kHidden}));
  EXPECT_EQ(v[1].dim, (ppt::Rgb{1, 2, 3}));
  v = show::ViewAfter(slide, steps, 4);
  EXPECT_EQ(v[1].paragraphs, (std::vector<uint8_t>{V::kDimmed, V::kDimmed, V::kDimmed}));
  EXPECT_EQ(v[2].state, V::kShown);  // hidden only once the next step plays
  v = show::ViewAfter(slide, steps, 5);
  EXPECT_EQ(v[2].state, V::kHidden);
  EXPECT_EQ(v[3].state, V::kHidden);  // a flash is gone once it has played
  v = show::ViewAfter(slide, steps, 99);
  EXPECT_EQ(v[3].state, V::kHidden);
}

// --- navigation ---------------------------------------------------------------------------------

ppt::Presentation Deck(int slides) {
  ppt::Presentation p;
  for (int i = 0; i < slides; i++) {
    ppt::Slide s;
    s.slide_id = uint32_t(256 + i);
    p.slides.push_back(s);
  }
  return p;
}

TEST(ShowNavigator, StepsBeforeSlidesAndBackwards) {
  ppt::Presentation p = Deck(3);
  for (int i = 0; i < 3; i++) p.slides[0].shapes.push_back(Animated(i));
  show::Navigator n(p);
  EXPECT_EQ(n.slide(), 0u);
  EXPECT_EQ(n.Click().kind, show::Change::kStep);
  EXPECT_EQ(n.Next().kind, show::Change::kStep);
  EXPECT_EQ(n.Previous().kind, show::Change::kStep);  // back a step
  EXPECT_EQ(n.step(), 1u);
  EXPECT_EQ(n.Next().kind, show::Change::kStep);
  EXPECT_EQ(n.Next().kind, show::Change::kStep);
  EXPECT_EQ(n.slide(), 0u);
  show::Change c = n.Next();
  EXPECT_EQ(c.kind, show::Change::kSlide);
  EXPECT_EQ(c.from, 0u);
  EXPECT_EQ(n.slide(), 1u);
  c = n.Previous();  // back onto a slide whose builds have all played
  EXPECT_EQ(n.slide(), 0u);
  EXPECT_FALSE(c.forward);
  EXPECT_EQ(n.step(), 3u);
  n.Last();
  EXPECT_EQ(n.Next().kind, show::Change::kEndScreen);
  EXPECT_TRUE(n.at_end());
  EXPECT_EQ(n.Previous().kind, show::Change::kSlide);
  n.Next();
  EXPECT_EQ(n.Click().kind, show::Change::kQuit);
}

TEST(ShowNavigator, KeysTypedNumbersBlankScreensAndHiddenSlides) {
  ppt::Presentation p = Deck(5);
  p.slides[1].hidden = true;
  show::Navigator n(p);
  auto key = [&](unsigned k, bool ctrl = false) { return n.Key(show::CommandForKey(k, ctrl)); };
  EXPECT_EQ(key('H').kind, show::Change::kSlide);  // the hidden slide that follows
  EXPECT_EQ(n.slide(), 1u);
  key(show::vk::kRight);
  EXPECT_EQ(n.slide(), 2u);
  key(show::vk::kLeft);
  EXPECT_EQ(n.slide(), 0u);  // hidden slides are skipped going back
  key('4');
  EXPECT_EQ(n.slide(), 0u);
  key(show::vk::kReturn);
  EXPECT_EQ(n.slide(), 3u);
  key('9');
  key(show::vk::kReturn);  // no slide 9: stays
  EXPECT_EQ(n.slide(), 3u);
  key(show::vk::kNumpad0 + 2);
  key(show::vk::kReturn);
  EXPECT_EQ(n.slide(), 1u);  // typed numbers reach hidden slides too
  key(show::vk::kEnd);
  EXPECT_EQ(n.slide(), 4u);
  key(show::vk::kHome);
  EXPECT_EQ(n.slide(), 0u);
  EXPECT_EQ(key('B').kind, show::Change::kBlank);
  EXPECT_EQ(n.blank(), 1);
  EXPECT_EQ(key(show::vk::kComma).kind, show::Change::kBlank);
  EXPECT_EQ(n.blank(), 2);
  EXPECT_EQ(key(show::vk::kSpace).kind, show::Change::kBlank);  // a key ends the blank first
  EXPECT_EQ(n.blank(), 0);
  EXPECT_EQ(n.slide(), 0u);
  EXPECT_EQ(key(show::vk::kCancel, false).kind, show::Change::kNothing);
  EXPECT_EQ(key(show::vk::kCancel, true).kind, show::Change::kQuit);
  EXPECT_EQ(key(show::vk::kEscape).kind, show::Change::kQuit);
  EXPECT_EQ(key(show::vk::kMinus).kind, show::Change::kQuit);
}

TEST(ShowNavigator, LinksJumpAndResolveSlides) {
  ppt::Presentation p = Deck(5);
  p.slides[0].shapes.push_back(Animated(1));
  show::Navigator n(p);
  ppt::Action a;
  a.kind = ppt::Action::kSlide;
  a.slide_id = 259;
  EXPECT_EQ(n.Follow(a).kind, show::Change::kSlide);
  EXPECT_EQ(n.slide(), 3u);
  a.slide_id = 999;  // unknown id: the number decides
  a.slide_number = 2;
  n.Follow(a);
  EXPECT_EQ(n.slide(), 1u);
  a.kind = ppt::Action::kLastViewed;
  n.Follow(a);
  EXPECT_EQ(n.slide(), 3u);
  n.Follow(a);
  EXPECT_EQ(n.slide(), 1u);
  a.kind = ppt::Action::kFirst;
  n.Follow(a);
  a.kind = ppt::Action::kNext;  // a link to the next slide skips the builds left
  n.Follow(a);
  EXPECT_EQ(n.slide(), 1u);
  a.kind = ppt::Action::kWeb;
  a.url = "https://example.com";
  show::Change c = n.Follow(a);
  EXPECT_EQ(c.kind, show::Change::kOpenWeb);
  EXPECT_EQ(c.url, "https://example.com");
  a.kind = ppt::Action::kRefused;
  EXPECT_EQ(n.Follow(a).kind, show::Change::kNothing);
  a.kind = ppt::Action::kEndShow;
  EXPECT_EQ(n.Follow(a).kind, show::Change::kQuit);
}

TEST(ShowNavigator, KioskIgnoresClicksAndKeysButLoopsOnTimings) {
  ppt::Presentation p = Deck(2);
  p.show.kiosk = true;
  for (auto& s : p.slides) {
    s.auto_advance = true;
    s.advance_ms = 300;
  }
  show::Navigator n(p);
  EXPECT_EQ(n.Click().kind, show::Change::kNothing);
  EXPECT_EQ(n.Key(show::CommandForKey(show::vk::kSpace, false)).kind, show::Change::kNothing);
  EXPECT_EQ(n.AdvanceDelay(), 300);  // a kiosk always runs on timings
  n.Next();
  EXPECT_EQ(n.Next().kind, show::Change::kSlide);  // loops, no end screen
  EXPECT_EQ(n.slide(), 0u);
  EXPECT_EQ(n.Key(show::CommandForKey(show::vk::kEscape, false)).kind, show::Change::kQuit);
}

TEST(ShowNavigator, TimedStepsAndAdvanceOnlyWithTimings) {
  ppt::Presentation p = Deck(2);
  p.slides[0].shapes.push_back(Animated(1, true, 700));
  p.slides[0].shapes.push_back(Animated(2));
  p.slides[0].auto_advance = true;
  p.slides[0].advance_ms = 2000;
  {
    show::Navigator n(p);
    EXPECT_EQ(n.StepDelay(), -1);
    EXPECT_EQ(n.AdvanceDelay(), -1);
  }
  p.show.use_timings = true;
  show::Navigator n(p);
  EXPECT_EQ(n.StepDelay(), 700);
  n.Next();
  EXPECT_EQ(n.StepDelay(), -1);  // the second build waits for a click
  EXPECT_EQ(n.AdvanceDelay(), -1);
  n.Next();
  EXPECT_EQ(n.AdvanceDelay(), 2000);
}

// --- frames -------------------------------------------------------------------------------------

// Pixels of a frame as sources: which picture each pixel of a w x h frame comes from.
std::vector<int> Paint(const show::Frame& f, int w, int h) {
  std::vector<int> px(size_t(w * h), f.base);
  for (const show::Blit& b : f.blits)
    for (int y = 0; y < b.dh; y++)
      for (int x = 0; x < b.dw; x++) {
        int tx = b.dx + x, ty = b.dy + y;
        if (tx >= 0 && ty >= 0 && tx < w && ty < h) px[size_t(ty * w + tx)] = b.src;
      }
  return px;
}

double Share(const std::vector<int>& px, int src) {
  size_t n = 0;
  for (int v : px) n += v == src;
  return double(n) / px.size();
}

TEST(ShowFrames, RevealsGrowWithProgressFromOldToNew) {
  const int w = 96, h = 72;
  for (int effect : {2, 3, 4, 5, 8, 10, 11, 13, 18, 20, 21}) {
    for (int dir : {0, 1, 2, 3}) {
      if ((effect == 11 && dir > 1)) continue;
      SCOPED_TRACE(testing::Message() << "effect " << effect << " direction " << dir);
      double last = -1;
      for (double p : {0.0, 0.25, 0.5, 0.75}) {
        show::Frame f = show::TransitionFrame(effect, dir, p, w, h, 1);
        double share = Share(Paint(f, w, h), show::kNew);
        EXPECT_GE(share + 1e-9, last);
        last = share;
        if (p == 0.0) {
          EXPECT_LT(share, 0.05);
        }
        if (p == 0.5) {
          EXPECT_GT(share, 0.1);
          EXPECT_LT(share, 0.95);
        }
      }
      EXPECT_EQ(Share(Paint(show::TransitionFrame(effect, dir, 1.0, w, h, 1), w, h), show::kNew),
                1.0);
    }
  }
}

TEST(ShowFrames, FadesShapesAndCuts) {
  show::Frame f = show::TransitionFrame(6, 0, 0.25, 100, 100, 0);  // through black
  EXPECT_EQ(f.base, show::kOld);
  EXPECT_EQ(f.blend, show::kBlack);
  EXPECT_NEAR(f.alpha, 128, 1);
  f = show::TransitionFrame(6, 0, 0.75, 100, 100, 0);
  EXPECT_EQ(f.base, show::kNew);
  EXPECT_NEAR(f.alpha, 128, 1);
  f = show::TransitionFrame(23, 0, 0.5, 100, 100, 0);
  EXPECT_EQ(f.blend, show::kNew);
  EXPECT_NEAR(f.alpha, 128, 1);
  f = show::TransitionFrame(0, 1, 0.3, 100, 100, 0);
  EXPECT_EQ(f.base, show::kBlack);  // cut through black
  for (int effect : {9, 17, 19, 26, 27}) {
    f = show::TransitionFrame(effect, effect == 9 ? 4 : 1, 0.5, 100, 100, 0);
    EXPECT_FALSE(f.shapes.empty()) << effect;
  }
  EXPECT_EQ(show::TransitionMs(0, 0, ppt::Transition::kSlow), 0);
  EXPECT_GT(show::TransitionMs(10, 0, ppt::Transition::kSlow),
            show::TransitionMs(10, 0, ppt::Transition::kFast));
  EXPECT_EQ(show::TransitionMs(99, 0, ppt::Transition::kSlow), 0);  // unknown: a cut
  std::set<int> resolved;
  for (uint32_t seed = 0; seed < 64; seed++) {
    int e = 1, d = 0;
    show::ResolveRandom(&e, &d, seed);
    EXPECT_NE(e, 1);
    resolved.insert(e);
  }
  EXPECT_GT(resolved.size(), 4u);
}

TEST(ShowFrames, FlyingShapesMoveOnlyTheirOwnPixels) {
  const int w = 40, h = 20;
  std::vector<uint32_t> before(w * h, 0xFFFFFF), after = before;
  for (int y = 5; y < 10; y++)
    for (int x = 20; x < 30; x++) after[y * w + x] = 0xFF0000;  // the shape
  after[0] = 0x00FF00;                                          // outside the area: never drawn
  show::Box area{18, 4, 14, 8};
  show::Frame f = show::BuildFrame(12, 0, 0.5, area, w, h, 0);  // fly from the left
  ASSERT_TRUE(f.moving.on);
  EXPECT_LT(f.moving.dx, 0);
  std::vector<uint32_t> out = before;
  show::ComposeMoving(before.data(), after.data(), out.data(), w, h, f.moving);
  int red = 0, min_x = w;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      if (out[y * w + x] == 0xFF0000) {
        red++;
        min_x = std::min(min_x, x);
      }
  EXPECT_EQ(red, 50);
  EXPECT_LT(min_x, 20);
  EXPECT_EQ(out[0], 0xFFFFFFu);
  // At the end the shape is where it belongs.
  f = show::BuildFrame(12, 0, 0.999, area, w, h, 0);
  out = before;
  show::ComposeMoving(before.data(), after.data(), out.data(), w, h, f.moving);
  EXPECT_EQ(out[7 * w + 20], 0xFF0000u);
  // A peek stays inside the shape's box; a zoom grows about its centre.
  f = show::BuildFrame(12, 9, 0.5, area, w, h, 0);
  out = before;
  show::ComposeMoving(before.data(), after.data(), out.data(), w, h, f.moving);
  for (int y = 0; y < area.y; y++)
    for (int x = 0; x < w; x++) EXPECT_EQ(out[y * w + x], 0xFFFFFFu);
  f = show::BuildFrame(12, 16, 0.5, area, w, h, 0);
  EXPECT_NEAR(f.moving.sx, 0.5, 1e-9);
  EXPECT_EQ(show::BuildMs(0, 0), 0);
  EXPECT_GT(show::BuildMs(12, 12), show::BuildMs(12, 0));  // crawl is slow
}

}  // namespace
