// What the parser reads for the show: builds, transitions, action settings and text links,
// hyperlinks, embedded sounds and the show type, on built decks and on real files.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "ppt/presentation.h"
#include "viewer/tests/deck_builder.h"
#include "viewer/tests/corpus.h"

namespace {

ppt::Presentation LoadSpec(const deck::DeckSpec& deck_plan) {
  deck::Bytes b = deck::Build(deck_plan);
  ppt::Presentation p;
  EXPECT_EQ(ppt::Load(b.data(), b.size(), &p), ppt::LoadError::kNone);
  return p;
}

// The shapes a slide holds beyond the background's: the builder's own text box comes first.
const ppt::Shape* ShapeAt(const ppt::Slide& s, int32_t left) {
  for (const ppt::Shape& sh : s.shapes)
    if (sh.anchor.left == left) return &sh;
  return nullptr;
}

TEST(ShowRecordsBuilds, OrderTimingLevelsAfterEffectAndDirection) {
  deck::DeckSpec deck_plan;
  deck_plan.slides.push_back({0xFFFFFF, "builds"});
  deck::ShapeSpec a = deck::SmallBox(100, "one\rtwo\rthree");
  a.levels = {0, 1, 0};
  a.anim.on = true;
  a.anim.order = 2;
  a.anim.build_type = 3;  // by second-level paragraphs
  a.anim.after = 1;
  a.anim.dim = 0xFE0000FF;  // red as an explicit colour
  a.anim.reverse = true;
  a.anim.effect = 12;
  a.anim.direction = 5;
  deck::ShapeSpec b = deck::SmallBox(1000);
  b.anim.on = true;
  b.anim.order = 1;
  b.anim.automatic = true;
  b.anim.delay_ms = 1500;
  b.anim.after = 2;
  deck::ShapeSpec plain = deck::SmallBox(2000);
  deck::ShapeSpec none = deck::SmallBox(3000);
  none.anim.on = true;
  none.anim.build_type = 0;  // stored, but no build
  deck_plan.slides[0].shapes = {a, b, plain, none};
  ppt::Presentation p = LoadSpec(deck_plan);
  ASSERT_EQ(p.slides.size(), 1u);
  const ppt::Slide& s = p.slides[0];
  const ppt::Shape* sa = ShapeAt(s, 100);
  const ppt::Shape* sb = ShapeAt(s, 1000);
  ASSERT_TRUE(sa && sb && ShapeAt(s, 2000) && ShapeAt(s, 3000));
  EXPECT_TRUE(sa->build.animated);
  EXPECT_EQ(sa->build.order, 2);
  EXPECT_FALSE(sa->build.automatic);
  EXPECT_EQ(sa->build.by_level, 2);
  EXPECT_TRUE(sa->build.reverse);
  EXPECT_EQ(sa->build.after, ppt::Build::kDim);
  EXPECT_EQ(sa->build.dim_color, (ppt::Rgb{255, 0, 0}));
  EXPECT_EQ(sa->build.effect, 12);
  EXPECT_EQ(sa->build.direction, 5);
  ASSERT_EQ(sa->text.paragraphs.size(), 3u);
  EXPECT_EQ(sa->text.paragraphs[1].level, 1);
  EXPECT_TRUE(sb->build.animated);
  EXPECT_TRUE(sb->build.automatic);
  EXPECT_EQ(sb->build.delay_ms, 1500);
  EXPECT_EQ(sb->build.by_level, 0);  // no text: the shape at once
  EXPECT_EQ(sb->build.after, ppt::Build::kHide);
  EXPECT_FALSE(ShapeAt(s, 2000)->build.animated);
  EXPECT_FALSE(ShapeAt(s, 3000)->build.animated);
}

TEST(ShowRecordsBuilds, AGroupsBuildAndLinkAreItsShapes) {
  deck::DeckSpec deck_plan;
  deck_plan.slides.push_back({0xFFFFFF, ""});
  deck::ShapeSpec g = deck::SmallBox(400);
  g.group = true;
  g.anim.on = true;
  g.anim.order = 3;
  g.has_click = true;
  g.click.action = 3;
  g.click.jump = 6;
  deck_plan.slides[0].shapes = {g};
  ppt::Presentation p = LoadSpec(deck_plan);
  ASSERT_EQ(p.slides[0].shapes.size(), 1u);
  const ppt::Shape& s = p.slides[0].shapes[0];
  EXPECT_TRUE(s.build.animated);
  EXPECT_EQ(s.build.order, 3);
  EXPECT_GT(s.build.together, 0);
  EXPECT_EQ(s.click.kind, ppt::Action::kEndShow);
}

TEST(ShowRecordsTransitions, EffectDirectionSpeedSoundAndAdvance) {
  deck::DeckSpec deck_plan;
  deck_plan.slides = {{0xFFFFFF, "a"}, {0xFFFFFF, "b"}, {0xFFFFFF, "c"}};
  deck_plan.sounds.push_back({7, "chime", deck::Bytes{'R', 'I', 'F', 'F', 1, 2, 3}});
  deck_plan.slides[0].effect = 10;  // wipe
  deck_plan.slides[0].direction = 2;
  deck_plan.slides[0].speed = 0;
  deck_plan.slides[0].sound_id = 7;
  deck_plan.slides[0].loop_sound = true;
  deck_plan.slides[1].effect = 23;  // smooth fade
  deck_plan.slides[1].advance_ms = 2500;
  deck_plan.slides[1].stop_sound = true;
  deck_plan.slides[1].sound_id = 99;  // not in the collection
  ppt::Presentation p = LoadSpec(deck_plan);
  ASSERT_EQ(p.slides.size(), 3u);
  const ppt::Transition& t0 = p.slides[0].transition;
  EXPECT_EQ(t0.effect, 10);
  EXPECT_EQ(t0.direction, 2);
  EXPECT_EQ(t0.speed, ppt::Transition::kSlow);
  ASSERT_EQ(t0.sound, 0);
  EXPECT_TRUE(t0.loop_sound);
  EXPECT_TRUE(t0.manual);
  const ppt::Transition& t1 = p.slides[1].transition;
  EXPECT_EQ(t1.effect, 23);
  EXPECT_EQ(t1.speed, ppt::Transition::kFast);
  EXPECT_EQ(t1.sound, -1);
  EXPECT_TRUE(t1.stop_sound);
  EXPECT_TRUE(p.slides[1].auto_advance);
  EXPECT_EQ(p.slides[1].advance_ms, 2500);
  EXPECT_EQ(p.slides[2].transition.effect, 0);  // none stored: a cut
}

TEST(ShowRecordsLinks, JumpsSlidesWebAndRefusedTargets) {
  deck::DeckSpec deck_plan;
  for (int i = 0; i < 4; i++) deck_plan.slides.push_back({0xFFFFFF, "s"});
  deck_plan.hyperlinks = {{1, "", "259,4,Slide 4"},
                          {2, "https://example.com/a?b=c", ""},
                          {3, "C:\\Windows\\system32\\calc.exe", ""},
                          {4, "mailto:someone@example.com", ""},
                          {5, "file:///etc/passwd", ""},
                          {6, "HTTP://EXAMPLE.COM", ""}};
  std::vector<deck::ShapeSpec>& shapes = deck_plan.slides[0].shapes;
  auto add = [&](int32_t left, deck::LinkSpec l) {
    deck::ShapeSpec s = deck::SmallBox(left);
    s.has_click = true;
    s.click = l;
    shapes.push_back(s);
  };
  add(100, {3, 1});
  add(200, {3, 2});
  add(300, {3, 3});
  add(400, {3, 4});
  add(550, {3, 5});
  add(600, {3, 6});
  add(700, {4, 0, 7, 1});
  add(800, {4, 0, 8, 2});
  add(900, {4, 0, 0xA, 3});
  add(1000, {4, 0, 8, 4});
  add(1100, {4, 0, 8, 5});
  add(1200, {2, 0});  // run a program
  add(1300, {1, 0});  // a macro
  add(1400, {4, 0, 8, 6});
  add(1500, {4, 0, 8, 42});  // a link that is not in the list
  deck::ShapeSpec over = deck::SmallBox(1600);
  over.has_over = true;
  over.over = {3, 1};
  shapes.push_back(over);
  ppt::Presentation p = LoadSpec(deck_plan);
  const ppt::Slide& s = p.slides[0];
  auto kind = [&](int32_t left) { return ShapeAt(s, left)->click.kind; };
  EXPECT_EQ(kind(100), ppt::Action::kNext);
  EXPECT_EQ(kind(200), ppt::Action::kPrevious);
  EXPECT_EQ(kind(300), ppt::Action::kFirst);
  EXPECT_EQ(kind(400), ppt::Action::kLast);
  EXPECT_EQ(kind(550), ppt::Action::kLastViewed);
  EXPECT_EQ(kind(600), ppt::Action::kEndShow);
  ASSERT_EQ(kind(700), ppt::Action::kSlide);
  EXPECT_EQ(ShapeAt(s, 700)->click.slide_id, 259u);
  EXPECT_EQ(ShapeAt(s, 700)->click.slide_number, 4);
  ASSERT_EQ(kind(800), ppt::Action::kWeb);
  EXPECT_EQ(ShapeAt(s, 800)->click.url, "https://example.com/a?b=c");
  EXPECT_EQ(kind(900), ppt::Action::kRefused);
  EXPECT_EQ(kind(1000), ppt::Action::kWeb);
  EXPECT_EQ(kind(1100), ppt::Action::kRefused);
  EXPECT_EQ(kind(1200), ppt::Action::kRefused);
  EXPECT_EQ(kind(1300), ppt::Action::kRefused);
  EXPECT_EQ(kind(1400), ppt::Action::kWeb);
  EXPECT_EQ(kind(1500), ppt::Action::kNone);
  EXPECT_EQ(ShapeAt(s, 1600)->click.kind, ppt::Action::kNone);
  EXPECT_EQ(ShapeAt(s, 1600)->over.kind, ppt::Action::kNext);
}

TEST(ShowRecordsLinks, TextRunsCarryTheirLinks) {
  deck::DeckSpec deck_plan;
  deck_plan.slides.push_back({0xFFFFFF, ""});
  deck_plan.slides.push_back({0xFFFFFF, ""});
  // Hyperlink 2 names no target at all (an anchor of a web page the file came from).
  deck_plan.hyperlinks = {{1, "http://example.com", ""}, {2, "", ""}};
  // An empty paragraph between them: splitting runs must not take away its font.
  deck::ShapeSpec t = deck::SmallBox(100, "Go home\r\rSee the site now");
  t.levels = {0, 0, 0};
  t.text_links.push_back({0, 2, {3, 3}, false});          // "Go"
  t.text_links.push_back({17, 21, {4, 0, 8, 1}, false});  // "site"
  t.text_links.push_back({22, 25, {3, 1}, true});         // "now", on mouse over
  t.text_links.push_back({5, 5, {3, 1}, false});          // empty: left out
  t.text_links.push_back({3, 7, {4, 0, 7, 2}, false});    // "home", to a slide it does not name
  deck_plan.slides[0].shapes = {t};
  ppt::Presentation p = LoadSpec(deck_plan);
  const ppt::Shape* s = ShapeAt(p.slides[0], 100);
  ASSERT_TRUE(s);
  ASSERT_EQ(s->text_links.size(), 4u);
  EXPECT_EQ(s->text_links[0].click.kind, ppt::Action::kFirst);
  EXPECT_EQ(s->text_links[1].click.kind, ppt::Action::kWeb);
  EXPECT_EQ(s->text_links[2].over.kind, ppt::Action::kNext);
  EXPECT_FALSE(s->text_links[3].click.link());  // drawn as a link, does nothing
  ASSERT_EQ(s->text.paragraphs.size(), 3u);
  const ppt::Paragraph& empty = s->text.paragraphs[1];
  ASSERT_EQ(empty.runs.size(), 1u);
  EXPECT_TRUE(empty.runs[0].text.empty());
  EXPECT_EQ(empty.runs[0].size, s->text.paragraphs[0].runs.at(0).size);
  std::string linked[4], all;
  for (const ppt::Paragraph& para : s->text.paragraphs)
    for (const ppt::Run& r : para.runs) {
      all += ppt::ToUtf8(r.text);
      if (r.link >= 0 && r.link < 4) linked[r.link] += ppt::ToUtf8(r.text);
    }
  EXPECT_EQ(all, "Go homeSee the site now");  // splitting keeps every character
  EXPECT_EQ(linked[0], "Go");
  EXPECT_EQ(linked[1], "site");
  EXPECT_EQ(linked[2], "now");
  EXPECT_EQ(linked[3], "home");
  // Linked words take the scheme's hyperlink colour, and its followed-link colour once followed.
  const ppt::Rgb hyperlink{0x00, 0x99, 0x99}, followed{0x99, 0xCC, 0x00};
  for (const ppt::Paragraph& para : s->text.paragraphs)
    for (const ppt::Run& r : para.runs) {
      if (r.link >= 0) {
        EXPECT_TRUE(r.color == hyperlink);
      }
    }
  for (const ppt::TextLink& l : s->text_links) EXPECT_TRUE(l.followed_color == followed);
}

TEST(ShowRecordsSounds, CollectionByIdAndReferences) {
  deck::DeckSpec deck_plan;
  deck_plan.slides.push_back({0xFFFFFF, ""});
  deck::Bytes wav{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  deck_plan.sounds = {{3, "applause", wav}, {5, "drum", deck::Bytes(5000, 7)}, {3, "again", wav}};
  deck::ShapeSpec s = deck::SmallBox(100);
  s.anim.on = true;
  s.anim.sound_id = 5;
  s.has_click = true;
  s.click = {3, 1, 0xFF, 0, 3};
  deck_plan.slides[0].shapes = {s};
  ppt::Presentation p = LoadSpec(deck_plan);
  ASSERT_EQ(p.sounds.size(), 2u);  // a repeated id keeps the first
  EXPECT_EQ(p.sounds[0].id, 3u);
  EXPECT_EQ(p.sounds[0].name, "applause");
  EXPECT_EQ(p.sounds[0].data, wav);
  EXPECT_EQ(p.sounds[1].data.size(), 5000u);
  const ppt::Shape* sh = ShapeAt(p.slides[0], 100);
  EXPECT_EQ(sh->build.sound, 1);
  EXPECT_EQ(sh->click.sound, 0);
}

TEST(ShowRecordsShowType, KioskLoopNoAnimationTimings) {
  deck::DeckSpec deck_plan;
  deck_plan.slides.push_back({0xFFFFFF, ""});
  deck_plan.kiosk = true;
  deck_plan.no_animation = true;
  ppt::Presentation p = LoadSpec(deck_plan);
  EXPECT_TRUE(p.show.kiosk);
  EXPECT_TRUE(p.show.no_animation);
  EXPECT_FALSE(p.show.loop);
  EXPECT_FALSE(p.show.use_timings);
  deck_plan.kiosk = deck_plan.no_animation = false;
  deck_plan.loop = deck_plan.use_timings = true;
  p = LoadSpec(deck_plan);
  EXPECT_FALSE(p.show.kiosk);
  EXPECT_FALSE(p.show.no_animation);
  EXPECT_TRUE(p.show.loop);
  EXPECT_TRUE(p.show.use_timings);
}

TEST(ShowRecordsHostile, TruncatedAndOversizedRecordsAreSafe) {
  // Every byte of a deck carrying all the show records cut off or flipped: never a crash.
  deck::DeckSpec deck_plan;
  deck_plan.slides.push_back({0xFFFFFF, "x"});
  deck_plan.slides[0].effect = 5;
  deck_plan.hyperlinks = {{1, "http://a.b", "1,1,x"}};
  deck_plan.sounds = {{1, "s", deck::Bytes(40, 1)}};
  deck::ShapeSpec s = deck::SmallBox(100, "ab\rcd");
  s.levels = {0, 0};
  s.anim.on = true;
  s.has_click = true;
  s.click = {4, 0, 8, 1};
  s.text_links.push_back({0, 0xFFFFFFFF, {3, 1}, false});
  deck_plan.slides[0].shapes = {s};
  deck::Bytes good = deck::Build(deck_plan);
  ppt::Presentation p;
  ASSERT_EQ(ppt::Load(good.data(), good.size(), &p), ppt::LoadError::kNone);
  ASSERT_EQ(p.slides.size(), 1u);
  for (size_t i = 512; i < good.size(); i += 7) {
    deck::Bytes bad = good;
    bad[i] ^= 0xFF;
    ppt::Load(bad.data(), bad.size(), &p);
  }
}

// A real deck whose slides carry action settings, hyperlinks on text and show-info records.
TEST(ShowRecordsCorpus, RealDeckCarriesItsLinksAndTransitions) {
  deck::Bytes b;
  if (!corpus::Read("42520.ppt", &b)) GTEST_SKIP() << "corpus file not present";
  ppt::Presentation p;
  ASSERT_EQ(ppt::Load(b.data(), b.size(), &p), ppt::LoadError::kNone);
  int links = 0, text_links = 0, transitions = 0, web = 0, slides = 0;
  for (const ppt::Slide& s : p.slides) {
    if (s.transition.effect != 0 || s.transition.direction != 0) transitions++;
    for (const ppt::Shape& sh : s.shapes) {
      links += sh.click.link() || sh.over.link();
      text_links += int(sh.text_links.size());
      for (const ppt::Action* a : {&sh.click, &sh.over}) {
        web += a->kind == ppt::Action::kWeb;
        slides += a->kind == ppt::Action::kSlide;
      }
    }
  }
  EXPECT_GE(links, 19);
  EXPECT_GE(transitions, 1);
  // Its links name "index.php" alone: a file beside the deck, which a package never opens.
  EXPECT_EQ(web, 0);
  EXPECT_EQ(slides, 0);
  (void)text_links;
}

}  // namespace
