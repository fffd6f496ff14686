#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include <zlib.h>

#include "ppt/cfb.h"
#include "ppt/presentation.h"
#include "viewer/tests/blip_records.h"
#include "viewer/tests/deck_builder.h"
#include "viewer/tests/corpus.h"

namespace {

using ppt::LoadError;

LoadError LoadBytes(const deck::Bytes& b, ppt::Presentation* p) {
  return ppt::Load(b.data(), b.size(), p);
}

std::string FirstText(const ppt::Slide& s) {
  for (const ppt::Shape& sh : s.shapes)
    for (const ppt::Paragraph& p : sh.text.paragraphs)
      for (const ppt::Run& r : p.runs)
        if (!r.text.empty()) return ppt::ToUtf8(r.text);
  return "";
}

deck::DeckSpec ThreeSlides() {
  deck::DeckSpec deck_plan;
  deck_plan.slides = {{0x0000FF, "one"}, {0x00FF00, "two"}, {0xFF0000, "three"}};
  return deck_plan;
}

bool ReadFile(const std::string& path, deck::Bytes* out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  out->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return true;
}

// --- what a well-formed file yields ------------------------------------------------------------

TEST(ParserContent, SlidesBackgroundsTextAndSize) {
  deck::DeckSpec deck_plan = ThreeSlides();
  deck_plan.width = 7680;  // 16:9
  ppt::Presentation p;
  ASSERT_EQ(LoadBytes(deck::Build(deck_plan), &p), LoadError::kNone);
  EXPECT_EQ(p.width, 7680);
  EXPECT_EQ(p.height, 4320);
  ASSERT_EQ(p.slides.size(), 3u);
  EXPECT_EQ(p.slides[0].background.kind, ppt::Fill::kSolid);
  EXPECT_EQ(p.slides[0].background.color, (ppt::Rgb{255, 0, 0}));
  EXPECT_EQ(p.slides[2].background.color, (ppt::Rgb{0, 0, 255}));
  EXPECT_EQ(FirstText(p.slides[1]), "two");
  EXPECT_FALSE(p.repaired);
}

TEST(ParserContent, ShowSettingsTimingsAndHiddenSlides) {
  deck::DeckSpec deck_plan = ThreeSlides();
  deck_plan.use_timings = true;
  deck_plan.loop = true;
  deck_plan.slides[0].advance_ms = 1500;
  deck_plan.slides[1].hidden = true;
  ppt::Presentation p;
  ASSERT_EQ(LoadBytes(deck::Build(deck_plan), &p), LoadError::kNone);
  EXPECT_TRUE(p.show.use_timings);
  EXPECT_TRUE(p.show.loop);
  EXPECT_TRUE(p.slides[0].auto_advance);
  EXPECT_EQ(p.slides[0].advance_ms, 1500);
  EXPECT_FALSE(p.slides[2].auto_advance);
  EXPECT_TRUE(p.slides[1].hidden);
  EXPECT_EQ(p.ShowOrder(), (std::vector<size_t>{0, 2}));

  p.show.use_range = true;
  p.show.first = 2;
  p.show.last = 3;
  EXPECT_EQ(p.ShowOrder(), (std::vector<size_t>{2}));
  p.show.last = 99;  // a range past the end stops at the last slide
  EXPECT_EQ(p.ShowOrder(), (std::vector<size_t>{2}));
}

// --- saves and order ---------------------------------------------------------------------------

TEST(ParserSaves, IncrementalSaveUsesNewestVersionOfASlide) {
  deck::DeckSpec deck_plan = ThreeSlides();
  deck_plan.incremental = true;
  ppt::Presentation p;
  ASSERT_EQ(LoadBytes(deck::Build(deck_plan), &p), LoadError::kNone);
  ASSERT_EQ(p.slides.size(), 3u);
  EXPECT_EQ(FirstText(p.slides[0]), "edited");
  EXPECT_EQ(FirstText(p.slides[1]), "two");
  EXPECT_FALSE(p.repaired);
}

TEST(ParserSaves, SlideOrderComesFromTheSlideListNotFromStorage) {
  deck::DeckSpec deck_plan = ThreeSlides();
  deck_plan.persist_order = {2, 0, 1};
  ppt::Presentation p;
  ASSERT_EQ(LoadBytes(deck::Build(deck_plan), &p), LoadError::kNone);
  ASSERT_EQ(p.slides.size(), 3u);
  EXPECT_EQ(FirstText(p.slides[0]), "one");
  EXPECT_EQ(FirstText(p.slides[1]), "two");
  EXPECT_EQ(FirstText(p.slides[2]), "three");
}

// --- broken edit chains ------------------------------------------------------------------------

TEST(ParserBrokenChain, PointerIntoTheMiddleOfARecordIsRepaired) {
  deck::DeckSpec deck_plan = ThreeSlides();
  deck_plan.broken_pointer = true;
  deck_plan.incremental = true;
  ppt::Presentation p;
  ASSERT_EQ(LoadBytes(deck::Build(deck_plan), &p), LoadError::kNone);
  EXPECT_TRUE(p.repaired);
  ASSERT_EQ(p.slides.size(), 3u);
  EXPECT_EQ(FirstText(p.slides[0]), "edited");  // the later save still wins after repair
}

TEST(ParserBrokenChain, EditThatNamesItselfDoesNotLoopForever) {
  deck::DeckSpec deck_plan = ThreeSlides();
  deck_plan.chain_loop = true;
  ppt::Presentation p;
  EXPECT_EQ(LoadBytes(deck::Build(deck_plan), &p), LoadError::kNone);
  EXPECT_EQ(p.slides.size(), 3u);
}

// --- files that cannot be shown ----------------------------------------------------------------

TEST(ParserRefusal, EncryptedOldAndForeignFilesAreRefused) {
  ppt::Presentation p;
  deck::DeckSpec deck_plan = ThreeSlides();
  deck_plan.encrypted = true;
  EXPECT_EQ(LoadBytes(deck::Build(deck_plan), &p), LoadError::kEncrypted);
  deck_plan.encrypted = false;
  deck_plan.old_format = true;
  EXPECT_EQ(LoadBytes(deck::Build(deck_plan), &p), LoadError::kOldFormat);
  // Saved for the old version and the new at once: the new one's deck is shown.
  deck_plan.old_format = false;
  deck_plan.dual_storage = true;
  EXPECT_EQ(LoadBytes(deck::Build(deck_plan), &p), LoadError::kNone);
  EXPECT_EQ(p.slides.size(), 3u);
  EXPECT_EQ(LoadBytes(deck::Bytes{'P', 'K', 3, 4, 0, 0}, &p), LoadError::kNotCompound);
  EXPECT_EQ(LoadBytes(deck::Bytes(), &p), LoadError::kNotCompound);
  deck::Bytes doc = deck::CompoundFile({{"WordDocument", deck::Bytes(5000, 0)}});
  EXPECT_EQ(LoadBytes(doc, &p), LoadError::kNotPresentation);
  deck::Bytes garbage = deck::CompoundFile(
      {{"PowerPoint Document", deck::Bytes(300, 0xAB)}, {"Current User", deck::Bytes(8, 0)}});
  EXPECT_EQ(LoadBytes(garbage, &p), LoadError::kDamaged);
  EXPECT_TRUE(p.slides.empty());
}

// --- hostile lengths and offsets ---------------------------------------------------------------

TEST(ParserHostile, EveryTruncationIsHandled) {
  deck::Bytes full = deck::Build(ThreeSlides());
  for (size_t n = 0; n < full.size(); n += 7) {
    deck::Bytes cut(full.begin(), full.begin() + n);
    ppt::Presentation p;
    LoadBytes(cut, &p);  // any result but a crash
  }
}

TEST(ParserHostile, RandomCorruptionFinishesQuickly) {
  deck::DeckSpec deck_plan = ThreeSlides();
  deck_plan.incremental = true;
  deck::Bytes full = deck::Build(deck_plan);
  std::mt19937 rng(7);
  auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < 1500; round++) {
    deck::Bytes b = full;
    int flips = 1 + int(rng() % 8);
    for (int k = 0; k < flips; k++) {
      size_t at = rng() % b.size();
      // Favour values that make lengths, offsets and counts huge or zero.
      static const uint8_t kValues[] = {0x00, 0xFF, 0x7F, 0x80, 0xFE};
      b[at] = rng() % 2 ? kValues[rng() % 5] : uint8_t(rng());
    }
    ppt::Presentation p;
    LoadBytes(b, &p);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST(ParserHostile, CyclicSectorChainsAndHugeDeclaredSizes) {
  deck::Bytes b = deck::Build(ThreeSlides());
  // Point every FAT entry at sector 0: each chain becomes a cycle.
  for (size_t i = 512 + 4; i < 1024; i += 4) {
    b[i] = 0;
    b[i + 1] = b[i + 2] = b[i + 3] = 0;
  }
  ppt::Presentation p;
  LoadBytes(b, &p);
  // A directory entry that declares a 4 GB stream.
  deck::Bytes c = deck::Build(ThreeSlides());
  for (size_t e = 1024; e + 128 <= c.size() && e < 1024 + 512; e += 128)
    for (int j = 0; j < 4; j++) c[e + 120 + j] = 0xFF;
  LoadBytes(c, &p);
}

// --- pictures --------------------------------------------------------------------------------

TEST(ParserPictures, PictureStoreFeedsPictureShapes) {
  deck::DeckSpec deck_plan = ThreeSlides();
  const deck::Bytes png = {0x89, 'P', 'N', 'G', 1, 2, 3};
  deck::Bytes emf(5000);
  for (size_t i = 0; i < emf.size(); i++) emf[i] = uint8_t(i % 251);
  deck_plan.pictures = {deck::BitmapBlip(png), deck::EmfBlip(emf, uint32_t(emf.size()))};
  ppt::Presentation p;
  const deck::Bytes file = deck::Build(deck_plan);  // the presentation reads its pictures from here
  ASSERT_EQ(LoadBytes(file, &p), LoadError::kNone);
  ASSERT_EQ(p.blips.size(), 2u);
  auto bytes = [&](int i) {
    ppt::PictureBytes b = p.Picture(i);
    return deck::Bytes(b.data, b.data + b.size);
  };
  EXPECT_EQ(p.blips[0].type, ppt::Blip::kPng);
  EXPECT_EQ(bytes(0), png);
  EXPECT_EQ(p.blips[1].type, ppt::Blip::kEmf);
  EXPECT_EQ(bytes(1), emf);  // inflated back to the original bytes
  std::vector<int> shown;
  for (const ppt::Shape& s : p.slides[0].shapes)
    if (s.picture >= 0) shown.push_back(s.picture);
  EXPECT_EQ(shown, (std::vector<int>{0, 1}));
}

TEST(ParserPictures, CompressedPictureCannotClaimUnboundedMemory) {
  // Highly compressible data that claims 4 GB once inflated: the limit holds, and a picture too
  // large for it is not shown at all rather than cut short.
  deck::DeckSpec deck_plan = ThreeSlides();
  deck_plan.pictures = {deck::EmfBlip(deck::Bytes(1 << 20, 0), 0xFFFFFFFF)};
  ppt::LoadOptions small;
  small.max_blip_bytes = 1 << 16;
  ppt::Presentation p;
  deck::Bytes b = deck::Build(deck_plan);
  ASSERT_EQ(ppt::Load(b.data(), b.size(), &p, small), LoadError::kNone);
  ASSERT_EQ(p.blips.size(), 1u);
  EXPECT_FALSE(p.Picture(0).ok());
  small.max_blip_bytes = 2 << 20;
  ASSERT_EQ(ppt::Load(b.data(), b.size(), &p, small), LoadError::kNone);
  EXPECT_EQ(p.Picture(0).size, size_t(1) << 20);
}

// --- the public test corpus (skipped when absent) ----------------------------------------------

TEST(ParserCorpus, KnownFilesLoadAsExpected) {
  deck::Bytes b;
  if (!ReadFile(corpus::Dir() + "/incorrect_slide_order.ppt", &b)) GTEST_SKIP() << "no corpus";
  ppt::Presentation p;
  ASSERT_EQ(LoadBytes(b, &p), LoadError::kNone);
  ASSERT_EQ(p.slides.size(), 3u);
  EXPECT_EQ(FirstText(p.slides[0]), "Slide 1");
  EXPECT_EQ(FirstText(p.slides[1]), "Slide 2");
  EXPECT_EQ(FirstText(p.slides[2]), "Slide 3");

  struct Expect {
    const char* name;
    LoadError error;
    int slides;
  } cases[] = {
      {"PPT95.ppt", LoadError::kNone, 42},  // saved by PowerPoint 95
      {"Password_Protected-hello.ppt", LoadError::kEncrypted, 0},
      {"57272_corrupted_usereditatom.ppt", LoadError::kNone, 6},
      {"backgrounds.ppt", LoadError::kNone, 4},
      {"42520.ppt", LoadError::kNone, 19},
  };
  for (const Expect& e : cases) {
    SCOPED_TRACE(e.name);
    if (!ReadFile(corpus::Dir() + "/" + e.name, &b)) continue;
    EXPECT_EQ(LoadBytes(b, &p), e.error);
    EXPECT_EQ(int(p.slides.size()), e.slides);
  }
  ASSERT_TRUE(ReadFile(corpus::Dir() + "/table_test.ppt", &b));
  ASSERT_EQ(LoadBytes(b, &p), LoadError::kNone);
  EXPECT_EQ(p.width * 9, p.height * 16);
}

TEST(ParserCorpus, MastersFootersAndInheritedStyles) {
  deck::Bytes b;
  if (!ReadFile(corpus::Dir() + "/headers_footers.ppt", &b)) GTEST_SKIP() << "no corpus";
  ppt::Presentation p;
  ASSERT_EQ(LoadBytes(b, &p), LoadError::kNone);
  ASSERT_EQ(p.slides.size(), 2u);
  // The master's footer and number placeholders carry the slide's own texts.
  auto texts = [](const ppt::Slide& s) {
    std::string all;
    for (const ppt::Shape& sh : s.shapes)
      for (const ppt::Paragraph& para : sh.text.paragraphs)
        for (const ppt::Run& r : para.runs) all += ppt::ToUtf8(r.text) + "|";
    return all;
  };
  EXPECT_NE(texts(p.slides[0]).find("Global Slide Footer|"), std::string::npos);
  EXPECT_NE(texts(p.slides[0]).find("|1|"), std::string::npos);
  EXPECT_NE(texts(p.slides[1]).find("per-slide footer|"), std::string::npos);
  EXPECT_NE(texts(p.slides[1]).find("|2|"), std::string::npos);

  // Deeper outline levels take bullets from the levels above them; the title layout takes its
  // look from the title master.
  ASSERT_TRUE(ReadFile(corpus::Dir() + "/slide_master.ppt", &b));
  ASSERT_EQ(LoadBytes(b, &p), LoadError::kNone);
  ASSERT_EQ(p.slides.size(), 3u);
  const ppt::Shape* body = nullptr;
  for (const ppt::Shape& sh : p.slides[0].shapes)
    if (sh.text.paragraphs.size() == 3) body = &sh;
  ASSERT_TRUE(body);
  EXPECT_TRUE(body->text.paragraphs[2].bullet);
  EXPECT_EQ(body->text.paragraphs[2].level, 2);
  EXPECT_GT(body->text.paragraphs[2].left_margin, body->text.paragraphs[0].left_margin);
  EXPECT_EQ(p.slides[0].background.color, (ppt::Rgb{0xCC, 0xFF, 0xCC}));
  EXPECT_EQ(p.slides[2].shapes[0].text.paragraphs[0].runs[0].color, (ppt::Rgb{0x33, 0x33, 0x99}));
}

}  // namespace
