// Timelines of decks PowerPoint saved itself (viewer/tests/decks): what is asserted here was read
// off their records by hand, not taken from the reader.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ppt/presentation.h"
#include "ppt/timeline.h"
#include "show/build_steps.h"

namespace {

namespace tn = ppt::time_node;

ppt::Presentation Load(const std::string& name) {
  const std::string path = std::string(KESTRANE_TEST_DECKS) + "/" + name;
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  ppt::Presentation p;
  EXPECT_FALSE(data.empty()) << path;
  EXPECT_EQ(ppt::Load(data.data(), data.size(), &p), ppt::LoadError::kNone) << path;
  return p;
}

const ppt::Slide* SlideById(const ppt::Presentation& p, uint32_t id) {
  for (const ppt::Slide& s : p.slides)
    if (s.slide_id == id) return &s;
  ADD_FAILURE() << "no slide " << id;
  return nullptr;
}

bool OnSlide(const ppt::Slide& s, uint32_t shape) {
  for (const ppt::Shape& sh : s.shapes)
    if (sh.id == shape) return true;
  return false;
}

struct Expected {
  int start, preset_class, preset_id, preset_subtype;
  uint32_t shape;
};

// The slide's one sequence is the main one and holds `want`, every target a shape of the slide.
void ExpectMain(const ppt::Slide& s, const std::vector<Expected>& want) {
  ASSERT_TRUE(s.timeline.present);
  ASSERT_EQ(s.timeline.sequences.size(), 1u);
  const ppt::TimedSequence& seq = s.timeline.sequences[0];
  EXPECT_FALSE(seq.interactive);
  ASSERT_EQ(seq.effects.size(), want.size());
  for (size_t i = 0; i < want.size(); i++) {
    const ppt::TimedEffect& e = seq.effects[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(e.start, want[i].start);
    EXPECT_EQ(e.preset_class, want[i].preset_class);
    EXPECT_EQ(e.preset_id, want[i].preset_id);
    EXPECT_EQ(e.preset_subtype, want[i].preset_subtype);
    EXPECT_EQ(e.target.shape_id, want[i].shape);
    EXPECT_TRUE(OnSlide(s, e.target.shape_id));
    for (const ppt::TimeBehavior& b : e.behaviors) EXPECT_EQ(b.target.shape_id, want[i].shape);
  }
}

TEST(SavedDecks, AfterPreviousChainsStartWithTheSlide) {
  ppt::Presentation p = Load("52244.ppt");
  ASSERT_EQ(p.slides.size(), 2u);
  // Fly in from the right, then a box outwards, each after the previous; the first group
  // begins with the main sequence rather than on a click.
  const ppt::Slide* first = SlideById(p, 831);
  const ppt::Slide* second = SlideById(p, 832);
  ASSERT_TRUE(first && second);
  ExpectMain(*first, {{tn::kAfterPrevious, tn::kEntrance, 2, 2, 2051},
                      {tn::kAfterPrevious, tn::kEntrance, 4, 32, 2055}});
  ExpectMain(*second, {{tn::kAfterPrevious, tn::kEntrance, 2, 2, 3080},
                       {tn::kAfterPrevious, tn::kEntrance, 4, 32, 3078}});
  const std::vector<ppt::TimedEffect>& e = first->timeline.sequences[0].effects;
  EXPECT_EQ(e[0].duration_ms, 500);
  EXPECT_EQ(e[1].duration_ms, 500);
  // The second waits on the first through the chain, not through a delay of its own.
  EXPECT_EQ(e[1].delay_ms, 0);
  bool wipe = false;
  for (const ppt::TimeBehavior& b : e[1].behaviors)
    wipe |= b.kind == ppt::TimeBehavior::kEffect && b.value == "box(out)";
  EXPECT_TRUE(wipe);

  // The slides keep build records for older viewers; the timeline is what plays: two steps
  // that start by themselves, each with its effect.
  for (const ppt::Slide* s : {first, second}) {
    int built = 0;
    for (const ppt::Shape& sh : s->shapes) built += sh.build.animated;
    EXPECT_EQ(built, 2);
    std::vector<show::BuildStep> steps = show::BuildSteps(*s);
    ASSERT_EQ(steps.size(), 2u);
    for (const show::BuildStep& step : steps) {
      EXPECT_TRUE(step.automatic);
      ASSERT_EQ(step.timed.size(), 1u);
      EXPECT_EQ(step.timed[0].kind, tn::kEntrance);
    }
  }
}

TEST(SavedDecks, ClickEntrancesFollowTheTimelineOrder) {
  ppt::Presentation p = Load("41246-2.ppt");
  ASSERT_EQ(p.slides.size(), 16u);
  const ppt::Slide* one = SlideById(p, 280);
  const ppt::Slide* five = SlideById(p, 269);
  ASSERT_TRUE(one && five);
  ExpectMain(*one, {{tn::kClickEffect, tn::kEntrance, 2, 8, 89093}});
  ExpectMain(*five, {{tn::kClickEffect, tn::kEntrance, 2, 8, 62471},
                     {tn::kClickEffect, tn::kEntrance, 2, 8, 62472},
                     {tn::kClickEffect, tn::kEntrance, 15, 0, 62474},
                     {tn::kClickEffect, tn::kEntrance, 2, 8, 62475},
                     {tn::kClickEffect, tn::kEntrance, 2, 8, 62473}});
  EXPECT_EQ(five->timeline.sequences[0].effects[2].duration_ms, 1000);
  std::vector<show::BuildStep> steps = show::BuildSteps(*five);
  ASSERT_EQ(steps.size(), 5u);
  for (const show::BuildStep& step : steps) {
    EXPECT_FALSE(step.automatic);
    EXPECT_EQ(step.timed.size(), 1u);
  }

  // A slide saved without a timeline plays its build records: five clicks, one shape each.
  const ppt::Slide* builds = SlideById(p, 266);
  ASSERT_TRUE(builds);
  EXPECT_FALSE(builds->timeline.present);
  steps = show::BuildSteps(*builds);
  ASSERT_EQ(steps.size(), 5u);
  for (const show::BuildStep& step : steps) {
    EXPECT_TRUE(step.timed.empty());
    EXPECT_EQ(step.items.size(), 1u);
  }
}

TEST(SavedDecks, SoundPlaysAfterTheSlideStarts) {
  ppt::Presentation p = Load("sound.ppt");
  ASSERT_EQ(p.slides.size(), 1u);
  const ppt::Slide& s = p.slides[0];
  ExpectMain(s, {{tn::kAfterPrevious, 6, 1, 0, 4098}});
  const ppt::TimedEffect& e = s.timeline.sequences[0].effects[0];
  ASSERT_EQ(e.behaviors.size(), 1u);
  EXPECT_EQ(e.behaviors[0].kind, ppt::TimeBehavior::kCommand);
  EXPECT_EQ(e.behaviors[0].value, "playFrom(0.0)");
  EXPECT_EQ(e.duration_ms, 906);
}

}  // namespace
