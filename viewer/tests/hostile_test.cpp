// Presentations from strangers that would make a careless reader work without end: each must be
// shown or refused, and the work the loader did stays within its budget.
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <iterator>

#include "ppt/cfb.h"
#include "ppt/presentation.h"
#include "viewer/tests/hostile_decks.h"
#include "viewer/tests/corpus.h"

namespace {

using ppt::LoadError;

std::u16string AllText(const ppt::Slide& s) {
  std::u16string t;
  for (const ppt::Shape& sh : s.shapes)
    for (const ppt::Paragraph& p : sh.text.paragraphs)
      for (const ppt::Run& r : p.runs) t += r.text;
  return t;
}

// Shown, within the budget: every slide read is the one the file names, whole or cut short.
void ExpectShownWithinBudget(const hostile::Bytes& file, const char16_t* text,
                             ppt::Presentation* p) {
  ppt::LoadOptions options;
  ASSERT_EQ(ppt::Load(file.data(), file.size(), p, options), LoadError::kNone);
  ASSERT_FALSE(p->slides.empty());
  // Compared quietly: a failure would otherwise print megabytes of text.
  if (text) {
    EXPECT_TRUE(AllText(p->slides[0]) == text);
  }
  EXPECT_LE(p->work, options.max_work);
}

TEST(Hostile, EditsReapplyingOneDirectoryAreReadOnce) {
  ppt::Presentation p;
  ExpectShownWithinBudget(hostile::ManyEditsOneDirectory(), u"edited", &p);
  EXPECT_EQ(p.slides.size(), 1u);
  // One directory's entries, once: the same directory named again changes nothing.
  EXPECT_LT(p.work, 2 * 250000u);
  EXPECT_FALSE(p.cut_short);
}

TEST(Hostile, OneSlideNamedTenThousandTimes) {
  ppt::Presentation p;
  ExpectShownWithinBudget(hostile::OneSlideManyTimes(), u"again", &p);
  EXPECT_TRUE(p.cut_short);
  EXPECT_LT(p.slides.size(), 10000u);
  for (const ppt::Slide& s : p.slides) EXPECT_LE(s.shapes.size(), 1u);
}

TEST(Hostile, OutlineTextReferredToThousandsOfTimes) {
  ppt::Presentation p;
  ExpectShownWithinBudget(hostile::ManyOutlineRefs(), nullptr, &p);
  // The first boxes show the whole text; the rest are dropped once the slide holds as much text
  // as a slide may show.
  ASSERT_FALSE(p.slides[0].shapes.empty());
  size_t shown = 0;
  for (const ppt::Shape& sh : p.slides[0].shapes) {
    std::u16string t;
    for (const ppt::Paragraph& para : sh.text.paragraphs)
      for (const ppt::Run& r : para.runs) t += r.text;
    if (!t.empty()) {
      EXPECT_EQ(t.size(), 65536u);
      EXPECT_TRUE(t.substr(0, 3) == u"abc");
      shown++;
    }
  }
  EXPECT_GE(shown, 1u);
  EXPECT_LE(shown, 4u);
  EXPECT_TRUE(p.cut_short);
}

TEST(Hostile, MillionDeletedShapesOnEverySlidesMaster) {
  ppt::Presentation p;
  // The master alone spends the budget: the first slide is shown with what was read of it.
  ExpectShownWithinBudget(hostile::DeletedShapesOnMaster(), nullptr, &p);
  EXPECT_TRUE(p.cut_short);
  EXPECT_EQ(p.slides.size(), 1u);
}

TEST(Hostile, SmallBudgetStopsCleanlyAndShowsWhatWasRead) {
  deck::DeckSpec spec;
  for (int i = 0; i < 50; i++) spec.slides.push_back({0x0000FF, "slide"});
  deck::Bytes file = deck::Build(spec);
  ppt::Presentation whole, part;
  ASSERT_EQ(ppt::Load(file.data(), file.size(), &whole), LoadError::kNone);
  EXPECT_EQ(whole.slides.size(), 50u);
  EXPECT_FALSE(whole.cut_short);
  ppt::LoadOptions options;
  options.max_work = whole.work / 2;
  ASSERT_EQ(ppt::Load(file.data(), file.size(), &part, options), LoadError::kNone);
  EXPECT_TRUE(part.cut_short);
  EXPECT_GT(part.slides.size(), 0u);
  EXPECT_LT(part.slides.size(), 50u);
  // Whole slides up to the last one read, which may have been cut short itself.
  for (size_t i = 0; i + 1 < part.slides.size(); i++) EXPECT_EQ(AllText(part.slides[i]), u"slide");
  // Too little to reach the first slide: refused as damaged, not shown empty.
  options.max_work = 1;
  EXPECT_EQ(ppt::Load(file.data(), file.size(), &part, options), LoadError::kDamaged);
}

TEST(Hostile, RealDecksStayWellWithinTheDefaultBudget) {
  const std::string dir = corpus::Dir();
  DIR* d = opendir(dir.c_str());
  if (!d) GTEST_SKIP() << "no corpus at " << dir;
  ppt::LoadOptions options;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name.size() < 4 || name.substr(name.size() - 4) != ".ppt") continue;
    std::ifstream f(dir + "/" + name, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
    ppt::Presentation p;
    ppt::Load(bytes.data(), bytes.size(), &p, options);
    EXPECT_FALSE(p.cut_short) << name;
    EXPECT_LT(p.work, options.max_work / 16) << name;
  }
  closedir(d);
}

TEST(HostileContainer, FatClaimingMoreSectorsThanTheFileHolds) {
  deck::DeckSpec spec;
  spec.slides = {{0x0000FF, "still here"}};
  hostile::Bytes file = hostile::ClaimsMoreSectors(deck::Build(spec));
  ppt::CompoundFile cf;
  ASSERT_TRUE(cf.Open(file.data(), file.size()));
  const size_t sectors = file.size() / hostile::kSectorSize;
  // No table holds more entries than the file has sectors (and one sector's worth of slack).
  EXPECT_LE(cf.TableEntries(), 2 * (sectors + hostile::kSectorSize / 4));
  ppt::Presentation p;
  ASSERT_EQ(ppt::Load(file.data(), file.size(), &p), LoadError::kNone);
  ASSERT_EQ(p.slides.size(), 1u);
  EXPECT_EQ(AllText(p.slides[0]), u"still here");
}

TEST(HostileContainer, ChainLoopingBackEndsAtTheFirstRepeat) {
  // A large stream whose second sector leads back to its first: what is read ends there instead
  // of repeating the two sectors up to the declared size.
  deck::Bytes big(8 * hostile::kSectorSize);
  for (size_t i = 0; i < big.size(); i++) big[i] = uint8_t(i / hostile::kSectorSize);
  deck::Bytes file = deck::CompoundFile({{"Big", big}});
  ppt::CompoundFile cf;
  ASSERT_TRUE(cf.Open(file.data(), file.size()));
  std::vector<uint8_t> whole;
  ASSERT_TRUE(cf.Read("Big", &whole));
  ASSERT_EQ(whole.size(), big.size());
  // Sector 0 is the FAT (one sector of 128 entries); the stream's first two sectors follow the
  // directory, which takes one sector: sectors 2 and 3.
  uint32_t first = 0;
  for (uint32_t s = 1; s < 16 && !first; s++)
    if (file[(s + 1) * hostile::kSectorSize] == 0 && file[(s + 2) * hostile::kSectorSize] == 1)
      first = s;
  ASSERT_NE(first, 0u);
  hostile::Set32(file, hostile::kSectorSize + (first + 1) * 4, first);
  ppt::CompoundFile looped;
  ASSERT_TRUE(looped.Open(file.data(), file.size()));
  std::vector<uint8_t> part;
  ASSERT_TRUE(looped.Read("Big", &part));
  EXPECT_EQ(part.size(), 2 * hostile::kSectorSize);
}

}  // namespace
