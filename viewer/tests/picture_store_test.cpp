// Pictures are located when a presentation is opened and read only when asked for: what one
// slide shows costs nothing for another, a damaged picture costs only itself, and what is held at
// once stays within the store's limit.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "ppt/cfb.h"
#include "ppt/picture_store.h"
#include "ppt/presentation.h"
#include "viewer/tests/blip_records.h"
#include "viewer/tests/deck_builder.h"

namespace {

using deck::Bytes;
using ppt::LoadError;

Bytes Pattern(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; i++) b[i] = uint8_t((i * 7 + seed) % 251);
  return b;
}

Bytes Get(const ppt::Presentation& p, int i) {
  ppt::PictureBytes b = p.Picture(i);
  return Bytes(b.data, b.data + b.size);
}

// `count` slides; slide i (zero-based) shows the pictures listed for it.
deck::DeckSpec Slides(size_t count, const std::vector<std::vector<int>>& pictures) {
  deck::DeckSpec spec;
  for (size_t i = 0; i < count; i++) {
    deck::SlideSpec s;
    s.text = "Slide " + std::to_string(i + 1);
    spec.slides.push_back(s);
  }
  spec.slide_pictures = pictures;
  return spec;
}

TEST(LazyPictures, PictureOfSlideNineIsNotReadForSlideOne) {
  for (bool own_stream : {true, false}) {
    SCOPED_TRACE(own_stream ? "picture stream" : "inside the document");
    deck::DeckSpec spec = Slides(10, {{1}, {}, {}, {}, {}, {}, {}, {}, {2}});
    const Bytes png = Pattern(9000, 1), emf = Pattern(20000, 2);
    spec.pictures = {deck::BitmapBlip(png), deck::EmfBlip(emf, uint32_t(emf.size()))};
    spec.picture_stream = own_stream;
    const Bytes file = deck::Build(spec);
    ppt::Presentation p;
    ASSERT_EQ(ppt::Load(file.data(), file.size(), &p), LoadError::kNone);
    ASSERT_EQ(p.slides.size(), 10u);
    ASSERT_TRUE(p.store);
    // Opening the presentation reads no picture at all.
    EXPECT_EQ(p.store->reads(0) + p.store->reads(1), 0u);
    ASSERT_EQ(p.slides[0].shapes.back().picture, 0);
    ASSERT_EQ(p.slides[8].shapes.back().picture, 1);
    EXPECT_EQ(Get(p, 0), png);
    EXPECT_EQ(p.store->reads(1), 0u);
    EXPECT_EQ(Get(p, 1), emf);
    EXPECT_EQ(Get(p, 1), emf);
    EXPECT_EQ(p.store->reads(1), 1u) << "a decompressed picture is kept for the next use";
  }
}

TEST(LazyPictures, DamagedPictureCostsOnlyItself) {
  const Bytes emf = Pattern(30000, 3);
  const Bytes garbage(400, 0x5A);
  Bytes bad_offset = deck::BitmapBlip(Pattern(5000, 4));
  bad_offset[4] = 0xFF;  // claims far more bytes than the file has
  bad_offset[5] = 0xFF;
  bad_offset[6] = 0xFF;
  struct Case {
    const char* what;
    Bytes blip;
    bool own_stream;
  } cases[] = {
      {"deflate data is garbage", deck::EmfBlip(emf, uint32_t(emf.size()), &garbage), true},
      {"not a picture record", Bytes(64, 0x33), true},
      {"stored inside the document, garbage", deck::EmfBlip(emf, uint32_t(emf.size()), &garbage),
       false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    deck::DeckSpec spec = Slides(4, {{1}, {2}, {3}, {4}});
    spec.pictures = {deck::BitmapBlip(Pattern(5000, 5)), deck::EmfBlip(emf, uint32_t(emf.size())),
                     c.blip, bad_offset};
    spec.picture_stream = c.own_stream;
    const Bytes file = deck::Build(spec);
    ppt::Presentation p;
    ASSERT_EQ(ppt::Load(file.data(), file.size(), &p), LoadError::kNone);
    ASSERT_EQ(p.slides.size(), 4u);
    EXPECT_EQ(Get(p, 0), Pattern(5000, 5));
    EXPECT_EQ(Get(p, 1), emf);
    EXPECT_FALSE(p.Picture(2).ok());
    // A record running past its stream keeps what the stream holds of it.
    EXPECT_TRUE(p.Picture(3).ok());
    for (int i = 0; i < 4; i++) EXPECT_EQ(p.slides[size_t(i)].shapes.back().picture, i);
  }
}

TEST(LazyPictures, MemoryLimitHoldsOverThreeHundredPicturesOfFourMegabytes) {
  // Four megabytes each once decompressed, a few kilobytes in the file.
  const size_t kPicture = 4u << 20, kCount = 300;
  deck::DeckSpec spec;
  Bytes raw(kPicture, 0);
  raw[0] = 0x2A;
  const Bytes blip = deck::EmfBlip(raw, uint32_t(raw.size()));
  for (size_t i = 0; i < kCount; i++) {
    spec.pictures.push_back(blip);
    spec.slides.push_back(deck::SlideSpec());
    spec.slide_pictures.push_back({int(i + 1)});
  }
  spec.picture_stream = true;
  const Bytes file = deck::Build(spec);
  ppt::LoadOptions options;
  ppt::Presentation p;
  ASSERT_EQ(ppt::Load(file.data(), file.size(), &p, options), LoadError::kNone);
  ASSERT_EQ(p.blips.size(), kCount);
  size_t peak = 0;
  for (size_t i = 0; i < kCount; i++) {
    ppt::PictureBytes b = p.Picture(int(i));
    ASSERT_EQ(b.size, kPicture) << i;
    EXPECT_EQ(b.data[0], 0x2A);
    peak = std::max(peak, p.store->cached_bytes());
  }
  EXPECT_LE(peak, options.max_total_blip_bytes);
  EXPECT_GE(peak, options.max_total_blip_bytes - kPicture) << "the cache is used, not bypassed";
  // The most recent are still there; the first ones were given up and are read again.
  p.Picture(int(kCount - 1));
  EXPECT_EQ(p.store->reads(int(kCount - 1)), 1u);
  p.Picture(0);
  EXPECT_EQ(p.store->reads(0), 2u);
}

TEST(LazyPictures, PicturesInScatteredSectorsReadAlike) {
  deck::DeckSpec spec = Slides(3, {{1, 2}});
  const Bytes png = Pattern(70000, 6), emf = Pattern(50000, 7);
  spec.pictures = {deck::BitmapBlip(png), deck::EmfBlip(emf, uint32_t(emf.size()))};
  spec.picture_stream = true;
  for (bool scattered : {false, true}) {
    SCOPED_TRACE(scattered ? "scattered" : "in one run");
    spec.scattered = scattered;
    const Bytes file = deck::Build(spec);
    ppt::Presentation p;
    ASSERT_EQ(ppt::Load(file.data(), file.size(), &p), LoadError::kNone);
    ASSERT_EQ(p.slides.size(), 3u);
    ppt::PictureBytes b = p.Picture(0);
    EXPECT_EQ(Bytes(b.data, b.data + b.size), png);
    // In one run the bytes are the file's own; scattered they had to be gathered.
    bool in_file = b.data >= file.data() && b.data < file.data() + file.size();
    EXPECT_EQ(in_file, !scattered);
    EXPECT_EQ(Get(p, 1), emf);
  }
}

TEST(CompoundStreams, RangesAcrossSectors) {
  Bytes a = Pattern(5000, 8), c = Pattern(9000, 9);
  for (bool scattered : {false, true}) {
    Bytes file = deck::CompoundFile({{"A", a}, {"Small", Bytes(100, 1)}, {"C", c}}, scattered);
    ppt::CompoundFile cf;
    ASSERT_TRUE(cf.Open(file.data(), file.size()));
    ppt::StreamReader r;
    ASSERT_TRUE(cf.Stream("c", &r));
    EXPECT_EQ(r.size(), c.size());
    Bytes part(1500);
    ASSERT_EQ(r.Read(1000, part.size(), part.data()), part.size());
    EXPECT_TRUE(std::equal(part.begin(), part.end(), c.begin() + 1000));
    EXPECT_EQ(r.Read(8500, 1000, part.data()), 500u) << "a read stops at the stream's end";
    EXPECT_EQ(r.Read(9000, 10, part.data()), 0u);
    // Within one sector a range is always in one piece; across sectors only when they follow.
    EXPECT_NE(r.Contiguous(520, 100), nullptr);
    EXPECT_EQ(r.Contiguous(1000, 1500) != nullptr, !scattered);
    EXPECT_EQ(r.Contiguous(8000, 2000), nullptr);
    ASSERT_TRUE(cf.Stream("Small", &r));
    EXPECT_EQ(r.Read(0, 200, part.data()), 100u);
    EXPECT_FALSE(cf.Stream("missing", &r));
  }
}

}  // namespace
