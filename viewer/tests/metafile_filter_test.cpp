// Metafile pictures lose the records that name files or reach drivers, and nothing else.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/metafile_filter.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes* b, uint32_t v) {
  for (int i = 0; i < 4; i++) b->push_back(uint8_t(v >> (8 * i)));
}
void Put16(Bytes* b, uint32_t v) {
  for (int i = 0; i < 2; i++) b->push_back(uint8_t(v >> (8 * i)));
}
uint32_t Get32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

constexpr uint32_t kHeader = 1, kEof = 14, kRectangle = 43, kComment = 70;
constexpr uint32_t kSetIcmProfileW = 113, kCreateColorSpaceW = 122, kGlsRecord = 102;
constexpr uint32_t kNamedEscape = 110, kSetIcmMode = 98;

void EmfRecord(Bytes* b, uint32_t type, size_t body) {
  Put32(b, type);
  Put32(b, uint32_t(8 + body));
  b->resize(b->size() + body, 0x41);
}

// A header, the given records, an end record.
Bytes Emf(const std::vector<uint32_t>& types) {
  Bytes b;
  Put32(&b, kHeader);
  Put32(&b, 108);
  b.resize(108, 0);
  for (int i = 0; i < 4; i++) b[40 + i] = uint8_t(0x464D4520u >> (8 * i));
  for (uint32_t t : types) EmfRecord(&b, t, 16);
  EmfRecord(&b, kEof, 12);
  for (int i = 0; i < 4; i++) b[48 + i] = uint8_t(b.size() >> (8 * i));
  b[52] = uint8_t(types.size() + 2);
  return b;
}

std::vector<uint32_t> EmfTypes(const Bytes& b) {
  std::vector<uint32_t> types;
  for (size_t at = 0; at + 8 <= b.size(); at += Get32(b, at + 4)) types.push_back(Get32(b, at));
  return types;
}

TEST(MetafileFilter, EnhancedKeepsDrawingAndDropsFileAndDeviceRecords) {
  Bytes emf = Emf({kSetIcmMode, kRectangle, kSetIcmProfileW, kCreateColorSpaceW, kComment,
                   kGlsRecord, kNamedEscape, kRectangle});
  Bytes out;
  size_t dropped = 0;
  ASSERT_TRUE(viewer::FilterEnhancedMetafile(emf.data(), emf.size(), &out, &dropped));
  EXPECT_EQ(dropped, 5u);
  EXPECT_EQ(EmfTypes(out),
            (std::vector<uint32_t>{kHeader, kRectangle, kComment, kRectangle, kEof}));
  EXPECT_EQ(Get32(out, 48), out.size());  // the header's size and record count follow
  EXPECT_EQ(Get32(out, 52), 5u);
  // Nothing to drop: the same bytes.
  Bytes plain = Emf({kRectangle});
  Put32(&plain, 0);  // past the end record: not part of the picture
  ASSERT_TRUE(viewer::FilterEnhancedMetafile(plain.data(), plain.size(), &out));
  EXPECT_EQ(out, Bytes(plain.begin(), plain.end() - 4));
}

// A header, two font records (a face that is there and one that is not, both with a stored
// average width), a third without a width, an end record.
Bytes EmfWithFonts() {
  Bytes b = Emf({});
  b.resize(b.size() - 20);  // the end record goes last again below
  auto font = [&](const char16_t* face, uint32_t width) {
    Bytes r;
    Put32(&r, 82);  // EMR_EXTCREATEFONTINDIRECTW
    Put32(&r, 8 + 4 + 92);
    Put32(&r, 1);                    // object index
    Put32(&r, uint32_t(-56));        // height
    Put32(&r, width);                // average width
    r.resize(r.size() + 12 + 8, 0);  // escapement, orientation, weight, flags
    for (size_t i = 0; i < 32; i++) Put16(&r, face && *face ? *face++ : 0);
    b.insert(b.end(), r.begin(), r.end());
  };
  font(u"Arial", 27);
  font(u"Gone Sans", 27);
  font(u"Gone Sans", 0);
  EmfRecord(&b, kEof, 12);
  for (int i = 0; i < 4; i++) b[48 + i] = uint8_t(b.size() >> (8 * i));
  b[52] = 5;
  return b;
}

TEST(MetafileFilter, FontsOfMissingFacesLoseTheirStoredWidth) {
  Bytes emf = EmfWithFonts(), out;
  viewer::MetafileFonts arial_only;
  arial_only.genuine = [](const char16_t* face, size_t n, void*) {
    return std::u16string(face, n) == u"Arial";
  };
  ASSERT_TRUE(viewer::FilterEnhancedMetafile(emf.data(), emf.size(), &out, nullptr, &arial_only));
  const size_t first = 108, record = 104, width_at = 16;
  EXPECT_EQ(Get32(out, first + width_at), 27u) << "a face that is there keeps its width";
  EXPECT_EQ(Get32(out, first + record + width_at), 0u);
  EXPECT_EQ(Get32(out, first + 2 * record + width_at), 0u);
  // Without a way to tell, the fonts stay as stored.
  ASSERT_TRUE(viewer::FilterEnhancedMetafile(emf.data(), emf.size(), &out));
  EXPECT_EQ(Get32(out, first + record + width_at), 27u);
  EXPECT_EQ(out.size(), emf.size());
}

// Text in a symbol face the system cannot draw: an equation's Greek letters in Symbol.
TEST(MetafileFilter, SymbolFaceTextBecomesItsUnicodeCharacters) {
  Bytes b = Emf({});
  b.resize(b.size() - 20);
  auto record = [&](uint32_t type, const Bytes& body) {
    Put32(&b, type);
    Put32(&b, uint32_t(8 + body.size()));
    b.insert(b.end(), body.begin(), body.end());
  };
  auto font = [&](uint32_t handle, const char16_t* face) {
    Bytes r;
    Put32(&r, handle);
    Put32(&r, uint32_t(-56));
    Put32(&r, 20);                   // average width
    r.resize(r.size() + 12 + 8, 0);  // escapement, orientation, weight, flags
    r[4 + 23] = 2;                   // symbol character set
    for (size_t i = 0; i < 32; i++) Put16(&r, face && *face ? *face++ : 0);
    record(82, r);
  };
  // A text record: bounds, mode, scales, reference point, count, offsets, options, box, then
  // the text and one advance per character.
  auto text = [&](uint32_t type, const std::u16string& t) {
    const bool wide = type == 84;
    Bytes r(68, 0);
    const size_t text_at = 76, text_bytes = (t.size() * (wide ? 2 : 1) + 3) / 4 * 4;
    for (int i = 0; i < 4; i++) {
      r[36 + i] = uint8_t(t.size() >> (8 * i));
      r[40 + i] = uint8_t(text_at >> (8 * i));
      r[64 + i] = uint8_t((text_at + text_bytes) >> (8 * i));
    }
    Bytes chars;
    for (char16_t c : t) wide ? Put16(&chars, c) : chars.push_back(uint8_t(c));
    chars.resize(text_bytes, 0);
    r.insert(r.end(), chars.begin(), chars.end());
    for (size_t i = 0; i < t.size(); i++) Put32(&r, 30 + uint32_t(i));
    record(type, r);
  };
  auto select = [&](uint32_t handle) {
    Bytes r;
    Put32(&r, handle);
    record(37, r);
  };
  font(1, u"Arial");
  font(2, u"Symbol");
  select(2);
  text(83, u"a+p");  // bytes: alpha, plus, pi
  record(33, {});    // saved with Symbol in use
  select(1);
  text(84, u"a");
  Bytes back;
  Put32(&back, uint32_t(-1));
  record(34, back);
  text(84, u"\uF062");  // beta, as a private-range code
  EmfRecord(&b, kEof, 12);
  for (int i = 0; i < 4; i++) b[48 + i] = uint8_t(b.size() >> (8 * i));

  viewer::MetafileFonts fonts;
  fonts.symbols_drawn = [](const char16_t*, size_t, void*) { return false; };
  fonts.unicode_face = u"DejaVu Sans";
  Bytes out;
  ASSERT_TRUE(viewer::FilterEnhancedMetafile(b.data(), b.size(), &out, nullptr, &fonts));
  EXPECT_EQ(Get32(out, 48), out.size());
  std::vector<std::pair<uint32_t, size_t>> recs;  // type, offset
  for (size_t at = 0; at + 8 <= out.size(); at += Get32(out, at + 4))
    recs.push_back({Get32(out, at), at});
  auto face_at = [&](size_t at) {
    std::u16string f;
    for (size_t i = 0; i < 32 && (out[at + 40 + 2 * i] | out[at + 41 + 2 * i]); i++)
      f.push_back(char16_t(out[at + 40 + 2 * i] | out[at + 41 + 2 * i] << 8));
    return f;
  };
  EXPECT_EQ(face_at(recs[1].second), u"Arial");
  EXPECT_EQ(face_at(recs[2].second), u"DejaVu Sans");
  EXPECT_EQ(out[recs[2].second + 35], 1) << "any character set";
  auto wide_text = [&](size_t at) {
    std::u16string t;
    const size_t n = Get32(out, at + 44), off = Get32(out, at + 48);
    for (size_t i = 0; i < n; i++)
      t.push_back(char16_t(out[at + off + 2 * i] | out[at + off + 2 * i + 1] << 8));
    return t;
  };
  ASSERT_EQ(recs[4].first, 84u) << "the bytes' record became one of UTF-16";
  EXPECT_EQ(wide_text(recs[4].second), u"\u03B1+\u03C0");
  const size_t dx = Get32(out, recs[4].second + 72);
  EXPECT_EQ(Get32(out, recs[4].second + dx + 8), 32u) << "advances carried over";
  EXPECT_EQ(wide_text(recs[7].second), u"a") << "Arial's text stays";
  EXPECT_EQ(wide_text(recs[9].second), u"\u03B2") << "Symbol back in use after the restore";

  // Text said to lie within the record's own fields is left alone, fields and all.
  size_t last = 0;
  for (size_t at = 0; at + 8 <= b.size(); at += Get32(b, at + 4))
    if (Get32(b, at) == 84) last = at;
  for (int i = 0; i < 4; i++) b[last + 48 + i] = 0;
  ASSERT_TRUE(viewer::FilterEnhancedMetafile(b.data(), b.size(), &out, nullptr, &fonts));
  Bytes again;
  EXPECT_TRUE(viewer::FilterEnhancedMetafile(out.data(), out.size(), &again));
  EXPECT_EQ(Get32(out, out.size() - 20 - Get32(b, last + 4)), 84u);
}

TEST(MetafileFilter, MalformedEnhancedMetafilesAreRefused) {
  Bytes good = Emf({kRectangle});
  Bytes out;
  Bytes no_end(good.begin(), good.end() - 20);
  EXPECT_FALSE(viewer::FilterEnhancedMetafile(no_end.data(), no_end.size(), &out));
  Bytes cut(good.begin(), good.end() - 3);
  EXPECT_FALSE(viewer::FilterEnhancedMetafile(cut.data(), cut.size(), &out));
  Bytes odd = good;
  odd[108 + 4] = 22;  // a record size that is no multiple of four
  EXPECT_FALSE(viewer::FilterEnhancedMetafile(odd.data(), odd.size(), &out));
  Bytes zero = good;
  for (int i = 0; i < 4; i++) zero[108 + 4 + i] = 0;  // a record of no size: would never end
  EXPECT_FALSE(viewer::FilterEnhancedMetafile(zero.data(), zero.size(), &out));
  Bytes second_header = Emf({kHeader});
  EXPECT_FALSE(viewer::FilterEnhancedMetafile(second_header.data(), second_header.size(), &out));
  Bytes unsigned_header = good;
  unsigned_header[40] = 0;
  EXPECT_FALSE(
      viewer::FilterEnhancedMetafile(unsigned_header.data(), unsigned_header.size(), &out));
}

constexpr uint16_t kMetaEscape = 0x0626, kMetaRectangle = 0x041B;

void WmfRecord(Bytes* b, uint16_t function, size_t words) {
  Put32(b, uint32_t(words));
  Put16(b, function);
  b->resize(b->size() + (words - 3) * 2, 0x42);
}

Bytes Wmf(const std::vector<uint16_t>& functions, bool end = true, uint16_t version = 0x0300) {
  Bytes b;
  Put16(&b, 1);  // in memory
  Put16(&b, 9);  // header words
  Put16(&b, version);
  Put32(&b, 0);  // size: set below
  Put16(&b, 0);
  Put32(&b, 7);
  Put16(&b, 0);
  for (uint16_t f : functions) WmfRecord(&b, f, f == kMetaEscape ? 12 : 7);
  if (end) WmfRecord(&b, 0, 3);
  for (int i = 0; i < 4; i++) b[6 + i] = uint8_t((b.size() / 2) >> (8 * i));
  return b;
}

TEST(MetafileFilter, WindowsMetafilesLoseTheirEscapes) {
  Bytes wmf = Wmf({kMetaRectangle, kMetaEscape, kMetaRectangle, kMetaEscape});
  Bytes out;
  size_t dropped = 0;
  ASSERT_TRUE(viewer::FilterWindowsMetafile(wmf.data(), wmf.size(), &out, &dropped));
  EXPECT_EQ(dropped, 2u);
  EXPECT_EQ(out, Wmf({kMetaRectangle, kMetaRectangle}));
  // Without its end record: given one, as players expect.
  Bytes open = Wmf({kMetaRectangle}, false);
  ASSERT_TRUE(viewer::FilterWindowsMetafile(open.data(), open.size(), &out));
  EXPECT_EQ(out, Wmf({kMetaRectangle}));
  Bytes cut(wmf.begin(), wmf.end() - 8);
  cut.resize(cut.size() - 1);
  EXPECT_FALSE(viewer::FilterWindowsMetafile(cut.data(), cut.size(), &out));
  // The first version's metafiles go on as the third's, records untouched.
  Bytes first = Wmf({kMetaRectangle, kMetaEscape}, true, 0x0100);
  ASSERT_TRUE(viewer::FilterWindowsMetafile(first.data(), first.size(), &out));
  EXPECT_EQ(out, Wmf({kMetaRectangle}));
  Bytes zero = Wmf({kMetaRectangle});
  for (int i = 0; i < 4; i++) zero[18 + i] = 0;
  EXPECT_FALSE(viewer::FilterWindowsMetafile(zero.data(), zero.size(), &out));
}

// A metafile of one bitmap record: `params` before the bitmap's header, then the header with
// its depth and colour count, then as many table entries as the depth implies.
Bytes BitmapWmf(uint16_t function, const Bytes& params, uint16_t bits, uint32_t used) {
  Bytes b = Wmf({}, false);
  b.resize(18);
  Bytes rec = params;
  Put32(&rec, 40);
  Put32(&rec, 4);
  Put32(&rec, 2);
  Put16(&rec, 1);
  Put16(&rec, bits);
  for (int i = 0; i < 4; i++) Put32(&rec, 0);
  Put32(&rec, used);
  Put32(&rec, 0);
  rec.resize(rec.size() + (bits <= 8 ? 4u << bits : 0) + 16, 0);
  Put32(&b, uint32_t(3 + rec.size() / 2));
  Put16(&b, function);
  b.insert(b.end(), rec.begin(), rec.end());
  WmfRecord(&b, 0, 3);
  for (int i = 0; i < 4; i++) b[6 + i] = uint8_t((b.size() / 2) >> (8 * i));
  return b;
}

uint32_t ColoursUsed(const Bytes& wmf, size_t params) {
  const size_t at = 18 + 6 + params + 32;
  return uint32_t(wmf[at]) | uint32_t(wmf[at + 1]) << 8 | uint32_t(wmf[at + 2]) << 16 |
         uint32_t(wmf[at + 3]) << 24;
}

TEST(MetafileFilter, BitmapsStateTheColourTableTheirDepthImplies) {
  struct Case {
    const char* what;
    uint16_t function;
    size_t params;
    int usage_at;  // where the colour usage sits, -1 without one
    uint16_t usage, bits;
    uint32_t used, expect;
  } cases[] = {
      {"stretched 8-bit blit", 0x0B41, 20, -1, 0, 8, 0, 256},
      {"1-bit mask", 0x0B41, 20, -1, 0, 1, 0, 2},
      {"4-bit blit", 0x0940, 16, -1, 0, 4, 0, 16},
      {"stretched bitmap in colours", 0x0F43, 22, 4, 0, 8, 0, 256},
      {"palette indices: no table of its own", 0x0F43, 22, 4, 1, 8, 0, 0},
      {"a count already stated", 0x0B41, 20, -1, 0, 8, 17, 17},
      {"true colour: no table", 0x0B41, 20, -1, 0, 24, 0, 0},
      {"pattern brush", 0x0142, 4, 2, 0, 1, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes params(c.params, 0);
    if (c.usage_at >= 0) params[size_t(c.usage_at)] = uint8_t(c.usage);
    Bytes wmf = BitmapWmf(c.function, params, c.bits, c.used), out;
    ASSERT_TRUE(viewer::FilterWindowsMetafile(wmf.data(), wmf.size(), &out));
    ASSERT_EQ(out.size(), wmf.size());
    EXPECT_EQ(ColoursUsed(out, c.params), c.expect);
  }
  // A record too short for the header it names is left alone.
  Bytes shortened = Wmf({0x0B41});
  Bytes out;
  ASSERT_TRUE(viewer::FilterWindowsMetafile(shortened.data(), shortened.size(), &out));
  EXPECT_EQ(out, shortened);
}

}  // namespace
