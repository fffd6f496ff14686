// Animations of PowerPoint 2002 and later: the time-node tree read from decks built here and from
// real files, the sequences and steps it becomes, and how the show plays them.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

#include "ppt/presentation.h"
#include "ppt/timeline.h"
#include "show/build_steps.h"
#include "show/frames.h"
#include "show/navigator.h"
#include "viewer/tests/deck_builder.h"

namespace {

namespace tn = ppt::time_node;
using deck::tl::Effect;
using deck::tl::Group;

constexpr uint32_t kFirst = 0x420, kSecond = 0x421, kThird = 0x422;

// A deck of one slide with three boxes (ids kFirst.. at x 100, 1100, 2100) and a timeline.
ppt::Presentation Deck(const deck::Bytes& root, bool use_timings = false, bool legacy = false) {
  deck::DeckSpec spec;
  spec.use_timings = use_timings;
  deck::SlideSpec slide{0xFFFFFF, ""};
  slide.shapes = {deck::SmallBox(100, "one\rtwo\rthree"), deck::SmallBox(1100),
                  deck::SmallBox(2100)};
  if (legacy) {
    slide.shapes[2].anim.on = true;  // the older build record, which the timeline overrides
  }
  slide.slide_records.push_back(deck::tl::Ppt10Tags(root));
  spec.slides.push_back(slide);
  deck::Bytes b = deck::Build(spec);
  ppt::Presentation p;
  EXPECT_EQ(ppt::Load(b.data(), b.size(), &p), ppt::LoadError::kNone);
  return p;
}

size_t IndexOf(const ppt::Slide& s, uint32_t id) {
  for (size_t i = 0; i < s.shapes.size(); i++)
    if (s.shapes[i].id == id) return i;
  return SIZE_MAX;
}

// The tree of a typical slide: click 1 fades the first box in with the second box wiping in
// with it; after that the third box spins by itself after 300 ms; click 2 takes the second box
// away.
deck::Bytes TypicalTree() {
  using namespace deck::tl;
  return Root({MainSequence(
      {Group({Effect(kClick, kEntrance, 10,
                     {SetVisible(kFirst, true), Filter(kFirst, "fade", false, 500)}),
              Effect(kWith, kEntrance, 22,
                     {SetVisible(kSecond, true), Filter(kSecond, "wipe(down)", false, 400)}),
              Effect(kAfter, kEmphasis, 8, {Spin(kThird, 360, 1000)}, 300)}),
       Group({Effect(kClick, kExit, 10,
                     {Filter(kSecond, "fade", true, 500), SetVisible(kSecond, false)})})})});
}

// --- the tree as stored ------------------------------------------------------------------------

TEST(TimelineTree, NodesPropertiesConditionsAndBehaviours) {
  deck::Bytes root = TypicalTree();
  ppt::TimeNode tree;
  // The builder's record: header, then the body the reader takes.
  ASSERT_TRUE(ppt::ReadTimeNodes(root.data() + 8, root.size() - 8, &tree));
  EXPECT_EQ(tree.node_type, tn::kTimingRoot);
  ASSERT_EQ(tree.children.size(), 1u);
  const ppt::TimeNode& main = tree.children[0];
  EXPECT_EQ(main.node_type, tn::kMainSequence);
  EXPECT_EQ(main.type, 1);  // sequential
  ASSERT_EQ(main.children.size(), 2u);
  ASSERT_EQ(main.children[0].begin.size(), 1u);
  EXPECT_EQ(main.children[0].begin[0].delay, -1);  // waits for the click
  const ppt::TimeNode& fade = main.children[0].children[0].children[0];
  EXPECT_EQ(fade.preset_class, tn::kEntrance);
  EXPECT_EQ(fade.preset_id, 10);
  EXPECT_EQ(fade.node_type, tn::kClickEffect);
  ASSERT_EQ(fade.children.size(), 2u);
  const ppt::TimeBehavior& set = fade.children[0].behavior;
  EXPECT_EQ(set.kind, ppt::TimeBehavior::kSet);
  EXPECT_EQ(set.value, "visible");
  ASSERT_EQ(set.attributes.size(), 1u);
  EXPECT_EQ(set.attributes[0], "style.visibility");
  EXPECT_EQ(set.target.shape_id, kFirst);
  const ppt::TimeNode& filter = fade.children[1];
  EXPECT_EQ(filter.behavior.kind, ppt::TimeBehavior::kEffect);
  EXPECT_EQ(filter.behavior.value, "fade");
  EXPECT_FALSE(filter.behavior.out);
  EXPECT_EQ(filter.duration, 500);
  const ppt::TimeNode& spin = main.children[0].children[0].children[2];
  EXPECT_EQ(spin.begin[0].delay, 300);
  EXPECT_EQ(spin.children[0].behavior.kind, ppt::TimeBehavior::kRotation);
  EXPECT_DOUBLE_EQ(spin.children[0].behavior.by, 360);
}

TEST(TimelineTree, SequencesStartsDelaysDurationsAndTargets) {
  ppt::Presentation p = Deck(TypicalTree());
  ASSERT_EQ(p.slides.size(), 1u);
  const ppt::Timeline& t = p.slides[0].timeline;
  ASSERT_TRUE(t.present);
  ASSERT_EQ(t.sequences.size(), 1u);
  const std::vector<ppt::TimedEffect>& e = t.sequences[0].effects;
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[0].start, tn::kClickEffect);
  EXPECT_EQ(e[0].target.shape_id, kFirst);
  EXPECT_EQ(e[0].duration_ms, 500);
  EXPECT_EQ(e[1].start, tn::kWithPrevious);
  EXPECT_EQ(e[1].preset_id, 22);
  EXPECT_EQ(e[2].start, tn::kAfterPrevious);
  EXPECT_EQ(e[2].delay_ms, 300);
  EXPECT_EQ(e[2].duration_ms, 1000);  // the delay comes before it, not in it
  EXPECT_EQ(e[2].preset_class, tn::kEmphasis);
  EXPECT_EQ(e[3].preset_class, tn::kExit);
  EXPECT_EQ(e[3].target.shape_id, kSecond);
}

TEST(TimelineTree, RepeatsParagraphTargetsAndTriggers) {
  using namespace deck::tl;
  deck::Bytes root = Root(
      {MainSequence(
           {Group({Effect(kClick, kEntrance, 1, {SetVisible(kFirst, true, 4, 8)})}),
            Group({Effect(
                kClick, kEmphasis, 8,
                {Behavior(
                    deck::Box(0xF12F, {deck::Rec(0xF138, deck::Words({1, FloatBits(90), 0, 0, 0})),
                                       Common(kThird, {"r"})}),
                    200, 0, 3)})})}),
       Interactive(kThird, {Effect(kClick, kExit, 1, {SetVisible(kSecond, false)})})});
  ppt::Presentation p = Deck(root);
  const ppt::Timeline& t = p.slides[0].timeline;
  ASSERT_EQ(t.sequences.size(), 2u);
  EXPECT_FALSE(t.sequences[0].interactive);
  const ppt::TimedEffect& by_para = t.sequences[0].effects[0];
  EXPECT_EQ(by_para.target.first_char, 4);
  EXPECT_EQ(by_para.target.last_char, 7);
  EXPECT_EQ(t.sequences[0].effects[1].duration_ms, 600);  // three runs of 200 ms
  EXPECT_TRUE(t.sequences[1].interactive);
  EXPECT_EQ(t.sequences[1].trigger.shape_id, kThird);
  ASSERT_EQ(t.sequences[1].effects.size(), 1u);
  EXPECT_EQ(t.sequences[1].effects[0].preset_class, tn::kExit);

  // "one\rtwo\rthree": characters 4..7, stored as 4 up to 8, are the second paragraph.
  std::vector<show::BuildStep> steps = show::BuildSteps(p.slides[0]);
  ASSERT_EQ(steps.size(), 2u);
  ASSERT_EQ(steps[0].timed.size(), 1u);
  EXPECT_EQ(steps[0].timed[0].first, 1);
  EXPECT_EQ(steps[0].timed[0].last, 1);
  std::vector<show::ShapeView> v = show::ViewAfter(p.slides[0], steps, 0);
  size_t first = IndexOf(p.slides[0], kFirst);
  ASSERT_EQ(v[first].paragraphs.size(), 3u);
  EXPECT_EQ(v[first].paragraphs[0], show::ShapeView::kShown);
  EXPECT_EQ(v[first].paragraphs[1], show::ShapeView::kHidden);
}

TEST(TimelineTree, MotionPathStrings) {
  auto pts = ppt::ParseMotionPath("M 0 0 L 0.25 0.1 E");
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_DOUBLE_EQ(pts[1].x, 0.25);
  EXPECT_DOUBLE_EQ(pts[1].y, 0.1);
  // Relative moves add up; curves pass through their control points; what follows E is left.
  pts = ppt::ParseMotionPath("m 0.1 0.1 l 0.1 0 C 0.3 0 0.3 0.2 0.4 0.2 E L 9 9");
  ASSERT_EQ(pts.size(), 5u);
  EXPECT_DOUBLE_EQ(pts[1].x, 0.2);
  EXPECT_DOUBLE_EQ(pts[4].x, 0.4);
  EXPECT_DOUBLE_EQ(pts[4].y, 0.2);
  EXPECT_TRUE(ppt::ParseMotionPath("").empty());
  EXPECT_TRUE(ppt::ParseMotionPath("E").empty());
  for (const auto& q : ppt::ParseMotionPath("M 1e999 -1e999 L nan x 5 E")) {
    EXPECT_TRUE(std::isfinite(q.x));
    EXPECT_LE(std::fabs(q.x), 100);
  }
}

TEST(TimelineTree, HostileTreesAreBounded) {
  // Nested far deeper than any real tree: read down to the bound, no further.
  deck::Bytes node = Effect(deck::tl::kClick, 1, 1, {deck::tl::SetVisible(kFirst, true)});
  for (int i = 0; i < 200; i++) node = deck::Box(0xF144, {deck::tl::NodeAtom(0), node});
  ppt::TimeNode tree;
  ppt::ReadTimeNodes(node.data() + 8, node.size() - 8, &tree);
  int depth = 0;
  for (const ppt::TimeNode* n = &tree; !n->children.empty(); n = &n->children[0]) depth++;
  EXPECT_LT(depth, 40);
  // Random and cut bytes: nothing read past the end (the sanitizers watch), no crash.
  deck::Bytes good = TypicalTree();
  std::mt19937 rng(7);
  for (int round = 0; round < 300; round++) {
    deck::Bytes b = good;
    for (int k = 0; k < 8; k++) b[rng() % b.size()] = uint8_t(rng());
    size_t cut = rng() % b.size();
    ppt::Timeline t;
    ppt::ReadTimeline(b.data(), cut, &t);
    ppt::ReadTimeNodes(b.data(), b.size(), &tree);
    ppt::Sequences(tree);
  }
}

// --- steps and what they leave on screen -------------------------------------------------------

TEST(TimelineSteps, WithPreviousJoinsAfterPreviousStartsByItself) {
  ppt::Presentation p = Deck(TypicalTree());
  const ppt::Slide& s = p.slides[0];
  std::vector<show::BuildStep> steps = show::BuildSteps(s);
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_FALSE(steps[0].automatic);
  EXPECT_EQ(steps[0].timed.size(), 2u);  // fade and wipe together
  EXPECT_EQ(steps[0].effect, show::fx::kFade);
  EXPECT_EQ(steps[0].duration_ms, 500);
  EXPECT_TRUE(steps[1].automatic);
  EXPECT_TRUE(steps[1].always);
  EXPECT_EQ(steps[1].delay_ms, 300);
  EXPECT_TRUE(show::Tweened(steps[1]));
  EXPECT_FALSE(steps[2].automatic);

  const size_t a = IndexOf(s, kFirst), b = IndexOf(s, kSecond), c = IndexOf(s, kThird);
  auto v = show::ViewAfter(s, steps, 0);
  EXPECT_EQ(v[a].state, show::ShapeView::kHidden);
  EXPECT_EQ(v[b].state, show::ShapeView::kHidden);
  EXPECT_EQ(v[c].state, show::ShapeView::kShown);  // only emphasised: there from the start
  v = show::ViewAfter(s, steps, 1);
  EXPECT_EQ(v[a].state, show::ShapeView::kShown);
  EXPECT_EQ(v[b].state, show::ShapeView::kShown);
  EXPECT_DOUBLE_EQ(v[c].rotate, 0);
  v = show::ViewAfter(s, steps, 2);
  EXPECT_DOUBLE_EQ(v[c].rotate, 360);  // emphasis stays as it ends
  v = show::ViewAfter(s, steps, 3);
  EXPECT_EQ(v[b].state, show::ShapeView::kHidden);  // exit
  EXPECT_EQ(v[a].state, show::ShapeView::kShown);
  // While the spin plays, the shape is part of the way round.
  v = show::ViewDuring(s, steps, 1, 0.25);
  EXPECT_DOUBLE_EQ(v[c].rotate, 90);
}

TEST(TimelineSteps, TheTimelineDecidesOverOlderBuildRecords) {
  ppt::Presentation p = Deck(TypicalTree(), false, true);
  const ppt::Slide& s = p.slides[0];
  ASSERT_TRUE(s.shapes[IndexOf(s, kThird)].build.animated);
  std::vector<show::BuildStep> steps = show::BuildSteps(s);
  ASSERT_EQ(steps.size(), 3u);
  // The third box is only spun, never built in: it is there before the first click.
  EXPECT_EQ(show::ViewAfter(s, steps, 0)[IndexOf(s, kThird)].state, show::ShapeView::kShown);
  EXPECT_TRUE(show::BuildSteps(s, true).empty());  // a show without animation
}

TEST(TimelineSteps, EntrancesAndExitsDrawnWithTheBuildEffects) {
  using namespace deck::tl;
  struct Case {
    int cls, preset, subtype;
    const char* filter;
    int effect, direction;
  };
  const Case cases[] = {
      {kEntrance, 22, 4, "wipe(up)", show::fx::kWipe, 1},
      {kEntrance, 3, 10, "blinds(horizontal)", show::fx::kBlinds, 1},
      {kEntrance, 21, 4, "wheel(4)", show::fx::kWheel, 4},
      {kEntrance, 16, 21, "barn(inVertical)", show::fx::kSplit, 3},
      {kEntrance, 2, 8, nullptr, show::fx::kFly, 0},       // fly in from the left
      {kEntrance, 23, 16, nullptr, show::fx::kFly, 16},    // zoom in
      {kEntrance, 1, 0, nullptr, show::fx::kCut, 0},       // appear
      {kEntrance, 77, 0, "ripple(3)", show::fx::kCut, 0},  // unknown: appears at its moment
      {kExit, 2, 8, nullptr, show::fx::kFade, 0},          // flying out fades
      {kExit, 18, 6, "strips(downRight)", show::fx::kStrips, 7},
  };
  std::vector<deck::Bytes> groups;
  for (const Case& c : cases) {
    std::vector<deck::Bytes> b{SetVisible(kFirst, c.cls == kEntrance)};
    if (c.filter) b.push_back(Filter(kFirst, c.filter, c.cls == kExit, 500));
    groups.push_back(Group({Effect(kClick, c.cls, c.preset, b, 0, c.subtype)}));
  }
  ppt::Presentation p = Deck(Root({MainSequence(groups)}));
  std::vector<show::BuildStep> steps = show::BuildSteps(p.slides[0]);
  ASSERT_EQ(steps.size(), std::size(cases));
  for (size_t i = 0; i < steps.size(); i++) {
    EXPECT_EQ(steps[i].effect, cases[i].effect) << i;
    EXPECT_EQ(steps[i].direction, cases[i].direction) << i;
    EXPECT_FALSE(show::Tweened(steps[i])) << i;
  }
}

TEST(TimelineSteps, EntrancesHiddenOrDimmedAfterTheirAnimation) {
  using namespace deck::tl;
  ppt::Presentation p = Deck(Root({MainSequence(
      {Group({Effect(kClick, kEntrance, 10,
                     {SetVisible(kFirst, true), Filter(kFirst, "fade", false, 300),
                      SetVisible(kFirst, false)}),
              Effect(kWith, kEntrance, 1,
                     {SetVisible(kSecond, true), FillTo(kSecond, 128, 128, 128, 1)})})})}));
  const ppt::Slide& s = p.slides[0];
  std::vector<show::BuildStep> steps = show::BuildSteps(s);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_TRUE(show::Tweened(steps[0]));  // painted as it plays: the picture after lacks it
  auto v = show::ViewDuring(s, steps, 0, 0.5);
  EXPECT_EQ(v[IndexOf(s, kFirst)].state, show::ShapeView::kShown);  // while it plays
  v = show::ViewAfter(s, steps, 1);
  EXPECT_EQ(v[IndexOf(s, kFirst)].state, show::ShapeView::kHidden);
  EXPECT_EQ(v[IndexOf(s, kSecond)].state, show::ShapeView::kShown);
  EXPECT_TRUE(v[IndexOf(s, kSecond)].fill_set);
  EXPECT_EQ(v[IndexOf(s, kSecond)].fill, (ppt::Rgb{128, 128, 128}));
}

TEST(TimelineSteps, EmphasisMotionAndPoses) {
  using namespace deck::tl;
  ppt::Presentation p = Deck(Root({MainSequence(
      {Group({Effect(kClick, kEmphasis, 6, {Grow(kFirst, 150, 500)}),
              Effect(kWith, kEmphasis, 1, {FillTo(kSecond, 255, 0, 0, 500)})}),
       Group({Effect(kClick, kPath, 0, {Motion(kThird, "M 0 0 L 0.25 0.1 E", 1000)})})})}));
  const ppt::Slide& s = p.slides[0];
  std::vector<show::BuildStep> steps = show::BuildSteps(s);
  ASSERT_EQ(steps.size(), 2u);
  const size_t a = IndexOf(s, kFirst), b = IndexOf(s, kSecond), c = IndexOf(s, kThird);
  auto v = show::ViewAfter(s, steps, 1);
  EXPECT_DOUBLE_EQ(v[a].sx, 1.5);
  EXPECT_TRUE(v[b].fill_set);
  EXPECT_EQ(v[b].fill, (ppt::Rgb{255, 0, 0}));
  ppt::Shape grown = show::Posed(s.shapes[a], v[a], p.width, p.height);
  EXPECT_EQ(grown.anchor.width(), 1200);
  EXPECT_EQ((grown.anchor.left + grown.anchor.right) / 2, 500);  // about its centre
  // Halfway along the path, then at its end.
  v = show::ViewDuring(s, steps, 1, 0.5);
  EXPECT_NEAR(v[c].dx, 0.125, 1e-9);
  EXPECT_NEAR(v[c].dy, 0.05, 1e-9);
  v = show::ViewAfter(s, steps, 2);
  ppt::Shape moved = show::Posed(s.shapes[c], v[c], p.width, p.height);
  EXPECT_EQ(moved.anchor.left, 2100 + 1440);
  EXPECT_EQ(moved.anchor.top, 2500 + 432);
  EXPECT_EQ(moved.anchor.width(), 800);
  // A turn into a quarter keeps the shape's proportions: such shapes keep their anchor turned.
  ppt::Shape wide = s.shapes[c];
  wide.anchor = ppt::Rect{0, 0, 1000, 200};
  show::ShapeView turned;
  turned.rotate = 90;
  ppt::Shape t = show::Posed(wide, turned, p.width, p.height);
  EXPECT_EQ(t.rotation, 90);
  EXPECT_EQ(t.anchor.width(), 200);
  EXPECT_EQ(t.anchor.height(), 1000);
  turned.rotate = 180;
  EXPECT_EQ(show::Posed(wide, turned, p.width, p.height).anchor.width(), 1000);
  // A hostile file's corners far apart: sizes held at the range's edge, poses stay finite.
  wide.anchor = ppt::Rect{-1734950668, -2000000000, 1114457595, 2000000000};
  EXPECT_EQ(wide.anchor.width(), INT32_MAX);
  turned.sx = 3;
  ppt::Shape huge = show::Posed(wide, turned, p.width, p.height);
  EXPECT_LE(huge.anchor.left, huge.anchor.right);
}

TEST(TimelineSteps, TriggerClicksPlayTheirSequenceAndStepBack) {
  using namespace deck::tl;
  ppt::Presentation p =
      Deck(Root({MainSequence({Group({Effect(kClick, kEntrance, 1, {SetVisible(kFirst, true)})})}),
                 Interactive(kThird, {Effect(kClick, kExit, 1, {SetVisible(kSecond, false)}),
                                      Effect(kAfter, kEmphasis, 8, {Spin(kSecond, 90, 200)})})}));
  const ppt::Slide& s = p.slides[0];
  show::Navigator nav(p);
  ASSERT_TRUE(nav.HasTriggers());
  EXPECT_EQ(nav.steps().size(), 1u);
  // A click beside the trigger does nothing; on it, the exit plays as the next step.
  EXPECT_EQ(nav.Trigger(10, 10).kind, show::Change::kNothing);
  show::Change c = nav.Trigger(2500, 2900);
  EXPECT_EQ(c.kind, show::Change::kStep);
  EXPECT_EQ(nav.step(), 1u);
  EXPECT_EQ(nav.View()[IndexOf(s, kSecond)].state, show::ShapeView::kHidden);
  EXPECT_EQ(nav.View()[IndexOf(s, kFirst)].state, show::ShapeView::kHidden);  // main: waits
  // The after-previous spin follows by itself, even without timings.
  EXPECT_EQ(nav.StepDelay(), 0);
  nav.Next();
  nav.Next();
  EXPECT_EQ(nav.View()[IndexOf(s, kFirst)].state, show::ShapeView::kShown);
  nav.Previous();
  nav.Previous();
  nav.Previous();
  EXPECT_EQ(nav.step(), 0u);
  EXPECT_EQ(nav.View()[IndexOf(s, kSecond)].state, show::ShapeView::kShown);
}

// --- real files --------------------------------------------------------------------------------

std::string CorpusDir() {
  const char* env = getenv("KESTRANE_PPT_CORPUS");
  return env ? env : "/work/shared/corpus/ppt";
}

bool LoadCorpus(const std::string& name, std::vector<uint8_t>* bytes, ppt::Presentation* p) {
  std::ifstream f(CorpusDir() + "/" + name, std::ios::binary);
  if (!f) return false;
  bytes->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return ppt::Load(bytes->data(), bytes->size(), p) == ppt::LoadError::kNone;
}

TEST(TimelineCorpus, EmptyTimingRootsOfRealFiles) {
  // Saved by PowerPoint 2002 or later: every slide has a timing root, none an animation. The
  // show steps through nothing, and the slides' shapes keep the ids the timeline would name.
  std::vector<uint8_t> bytes;
  ppt::Presentation p;
  if (!LoadCorpus("42520.ppt", &bytes, &p)) GTEST_SKIP() << "no corpus";
  ASSERT_EQ(p.slides.size(), 19u);
  for (const ppt::Slide& s : p.slides) {
    EXPECT_TRUE(s.timeline.present);
    EXPECT_TRUE(s.timeline.sequences.empty());
    EXPECT_TRUE(show::BuildSteps(s).empty());
    EXPECT_TRUE(show::TriggerSequences(s).empty());
    for (const ppt::Shape& sh : s.shapes) EXPECT_NE(sh.id, 0u);
  }
  ppt::Presentation q;
  if (!LoadCorpus("table_test.ppt", &bytes, &q)) GTEST_SKIP() << "no corpus";
  ASSERT_EQ(q.slides.size(), 1u);
  EXPECT_TRUE(q.slides[0].timeline.present);
  // Cells of a table are shapes of a group: the group's id reaches them.
  size_t grouped = 0;
  for (const ppt::Shape& sh : q.slides[0].shapes) grouped += !sh.groups.empty();
  EXPECT_GT(grouped, 0u);
}

TEST(TimelineCorpus, EveryFileLoadsWithItsTimeline) {
  // Whatever the corpus holds, reading timelines never fails a file that loaded before.
  for (const char* name : {"slide_master.ppt", "SampleShow.ppt", "54332b.ppt"}) {
    std::vector<uint8_t> bytes;
    ppt::Presentation p;
    if (!LoadCorpus(name, &bytes, &p)) continue;
    for (const ppt::Slide& s : p.slides)
      for (const show::BuildStep& step : show::BuildSteps(s))
        for (const show::TimedItem& t : step.timed) EXPECT_LT(t.shape, s.shapes.size());
  }
}

}  // namespace
