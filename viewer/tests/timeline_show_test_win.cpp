// The viewer playing the animations of PowerPoint 2002 and later, under Wine: emphasis and exit
// effects on their clicks, effects that start together or by themselves, trigger shapes and
// motion paths, seen on the screen.
#include "viewer/tests/show_driver_win.h"

namespace {

using namespace showtest;
using deck::tl::Effect;
using deck::tl::Group;

constexpr uint32_t kFirst = 0x420, kSecond = 0x421;
constexpr COLORREF kWhite = RGB(255, 255, 255), kYellow = RGB(255, 255, 0);

// One white slide (then a second one) with yellow boxes at x 1000 and 3000 and a timeline.
deck::DeckSpec TimelineDeck(const deck::Bytes& root) {
  deck::DeckSpec spec = Deck(2);
  spec.slides[0].background = 0xFFFFFF;
  spec.slides[0].text.clear();
  spec.slides[0].shapes = {Button(1000, 2500), Button(3000, 2500)};
  spec.slides[0].slide_records.push_back(deck::tl::Ppt10Tags(root));
  return spec;
}

COLORREF At(HWND w, int32_t x, int32_t y) {
  POINT p = SlidePoint(w, x, y);
  return ScreenPixel(p.x, p.y);
}

bool WaitPixel(HWND w, int32_t x, int32_t y, COLORREF want, int timeout_ms = 5000) {
  auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (Clock::now() < end) {
    if (At(w, x, y) == want) return true;
    Sleep(20);
  }
  return false;
}

struct Show {
  Folder folder;
  std::unique_ptr<Viewer> viewer;
  HWND w = nullptr;
  explicit Show(const deck::Bytes& root) {
    folder.Write("view.ppt", deck::Build(TimelineDeck(root)));
    viewer.reset(new Viewer(folder));
    w = viewer->Window();
    // The window may show before its first slide is drawn: wait for the slide's white.
    if (w) {
      EXPECT_TRUE(WaitPixel(w, 200, 200, kWhite));
    }
  }
  ~Show() {
    if (w) PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(viewer->ExitCode(), 0);
  }
};

TEST(TimelineShowWine, EmphasisThenExitPlayOnTheirClicks) {
  using namespace deck::tl;
  Show s(Root({MainSequence(
      {Group({Effect(kClick, kEmphasis, 1, {FillTo(kFirst, 0, 0, 255, 300)})}),
       Group({Effect(kClick, kExit, 10,
                     {Filter(kFirst, "fade", true, 300), SetVisible(kFirst, false)})})})}));
  ASSERT_TRUE(s.w);
  EXPECT_EQ(At(s.w, 1500, 2800), kYellow);
  EXPECT_EQ(Viewer::Key(s.w, VK_SPACE), 1);
  EXPECT_TRUE(WaitFor(s.w, viewer::kQueryAnimating, 0));
  EXPECT_TRUE(WaitPixel(s.w, 1500, 2800, RGB(0, 0, 255)));  // changed fill, kept after
  EXPECT_EQ(At(s.w, 3500, 2800), kYellow);                  // the other box is untouched
  EXPECT_EQ(Viewer::Key(s.w, VK_SPACE), 1);
  EXPECT_TRUE(WaitFor(s.w, viewer::kQueryBuildStep, 2));
  EXPECT_TRUE(WaitFor(s.w, viewer::kQueryAnimating, 0));
  EXPECT_TRUE(WaitPixel(s.w, 1500, 2800, kWhite));  // gone
  EXPECT_EQ(Viewer::Key(s.w, VK_SPACE), 2);         // then the next slide
}

TEST(TimelineShowWine, WithPreviousPairAppearsTogether) {
  using namespace deck::tl;
  Show s(Root({MainSequence({Group({Effect(kClick, kEntrance, 1, {SetVisible(kFirst, true)}),
                                    Effect(kWith, kEntrance, 1, {SetVisible(kSecond, true)})})})}));
  ASSERT_TRUE(s.w);
  EXPECT_EQ(At(s.w, 1500, 2800), kWhite);
  EXPECT_EQ(At(s.w, 3500, 2800), kWhite);
  EXPECT_EQ(Viewer::Key(s.w, VK_SPACE), 1);
  EXPECT_TRUE(WaitFor(s.w, viewer::kQueryBuildStep, 1));
  EXPECT_TRUE(WaitPixel(s.w, 1500, 2800, kYellow));
  EXPECT_EQ(At(s.w, 3500, 2800), kYellow);
}

TEST(TimelineShowWine, AfterPreviousStartsByItselfAfterItsDelay) {
  using namespace deck::tl;
  // No timings in the show settings: after-previous effects still follow on their own.
  Show s(Root(
      {MainSequence({Group({Effect(kClick, kEntrance, 1, {SetVisible(kFirst, true)}),
                            Effect(kAfter, kEntrance, 1, {SetVisible(kSecond, true)}, 400)})})}));
  ASSERT_TRUE(s.w);
  EXPECT_EQ(Viewer::Key(s.w, VK_SPACE), 1);
  auto clicked = Clock::now();
  EXPECT_TRUE(WaitPixel(s.w, 1500, 2800, kYellow));
  EXPECT_TRUE(WaitFor(s.w, viewer::kQueryBuildStep, 2, 5000));
  EXPECT_GE(Clock::now() - clicked, std::chrono::milliseconds(350));
  EXPECT_TRUE(WaitPixel(s.w, 3500, 2800, kYellow));
}

TEST(TimelineShowWine, TriggerShapeClickPlaysItsSequence) {
  using namespace deck::tl;
  Show s(Root(
      {MainSequence({Group({Effect(kClick, kEntrance, 1, {SetVisible(kFirst, true)})})}),
       Interactive(kSecond, {Effect(kClick, kEmphasis, 1, {FillTo(kSecond, 0, 128, 0, 200)})})}));
  ASSERT_TRUE(s.w);
  EXPECT_EQ(At(s.w, 1500, 2800), kWhite);
  // Over the trigger the pointer is a hand, as over a link.
  POINT on = SlidePoint(s.w, 3500, 2800);
  SetCursorPos(on.x, on.y);
  EXPECT_TRUE(WaitFor(s.w, viewer::kQueryPointer, 1, 3000));
  ClickSlide(s.w, 3500, 2800);  // on the trigger: its effect, not the main sequence's
  EXPECT_TRUE(WaitFor(s.w, viewer::kQueryAnimating, 0));
  EXPECT_TRUE(WaitPixel(s.w, 3500, 2800, RGB(0, 128, 0)));
  EXPECT_EQ(At(s.w, 1500, 2800), kWhite);
  ClickSlide(s.w, 300, 4000);  // elsewhere: the main sequence's next step
  EXPECT_TRUE(WaitPixel(s.w, 1500, 2800, kYellow));
  EXPECT_EQ(At(s.w, 3500, 2800), RGB(0, 128, 0));
}

TEST(TimelineShowWine, MotionPathMovesTheShapeThroughIntermediateFrames) {
  using namespace deck::tl;
  // Half the slide's width to the right over 1.5 s: from x 1000..2000 to 3880..4880.
  Show s(Root({MainSequence(
      {Group({Effect(kClick, kPath, 0, {Motion(kFirst, "M 0 0 L 0.5 0 E", 1500)})})})}));
  ASSERT_TRUE(s.w);
  const LRESULT frames = Query(s.w, viewer::kQueryFrames);
  PostMessageA(s.w, WM_KEYDOWN, VK_SPACE, 0);
  ASSERT_TRUE(WaitFor(s.w, viewer::kQueryAnimating, 1, 2000));
  // Somewhere between the ends the shape passes by: x 2700 lies on neither end's box.
  bool seen_between = WaitPixel(s.w, 2700, 2600, kYellow, 2000);
  EXPECT_TRUE(WaitFor(s.w, viewer::kQueryAnimating, 0, 5000));
  EXPECT_GT(Query(s.w, viewer::kQueryFrames), frames + 2);
  EXPECT_TRUE(seen_between);
  EXPECT_TRUE(WaitPixel(s.w, 4500, 2600, kYellow));
  EXPECT_EQ(At(s.w, 1500, 2600), kWhite);
  EXPECT_EQ(At(s.w, 2700, 2600), kWhite);
}

}  // namespace
