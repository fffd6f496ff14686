#include "ppt/pp40.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <string>
#include <vector>

#include "ppt/charsets.h"
#include "ppt/pp40_zones.h"
#include "ppt/records.h"

namespace ppt::detail {
namespace pp4 {
namespace {

// The stream's head: a signature as a little-endian word, the version, where the zone table
// lies, how many zones it lists and which zone holds the document's information.
constexpr uint32_t kSignature = 0x0BADDEED;
constexpr uint32_t kVersion = 4;
constexpr size_t kHeadSize = 24, kTableAt = 8, kZoneCountAt = 12, kDocInfoAt = 22;
// Each zone: its length, whose top two bits are flags, then where it begins.
constexpr size_t kZoneEntrySize = 8;
constexpr uint32_t kLengthMask = 0x3FFFFFFF;

// The document's information: the page's rectangle (left, top, right, bottom, from its centre),
// then the numbers of the zones that lead to the rest.
constexpr size_t kPageBoxAt = 8, kFirstZonesAt = 34, kMoreZonesAt = 74, kDocInfoSize = 106;
constexpr size_t kRootZone = 0, kMasterZone = 2, kPicturesZone = 5, kRulersZone = 6,
                 kSchemesZone = 7, kColorsZone = 8, kFontsZone = 11, kZoneSlots = 13;
// The root names the slide list; the list's entries name the slides.
constexpr size_t kSlideListAt = 6, kSlideListHead = 16, kSlideEntrySize = 16, kSlideEntryZone = 12;
// A slide names the zone of its content, beside its transition's and its notes'.
constexpr size_t kSlideTransitionAt = 4, kSlideContentAt = 8;
// A transition: its effect, speed and the time the slide stays on screen in milliseconds.
constexpr size_t kTransitionSpeedAt = 4, kAdvanceAt = 8, kTransitionSize = 24;
constexpr int32_t kMaxAdvanceMs = 24 * 3600 * 1000;
// A slide's content: its texts, frames, the frames that hold its title and body, whether the
// master's objects show beneath it, its scheme, the formats and polygons its frames use.
constexpr size_t kContentTextAt = 0, kContentFramesAt = 4, kTitleFrameAt = 14, kBodyFrameAt = 16,
                 kContentFlagsAt = 18, kSchemeAt = 20, kFormatsAt = 30, kPolygonsAt = 34,
                 kContentSize = 38;
constexpr uint8_t kShowsMaster = 0x01;

// Lists of fixed-size entries: a head with the count and the entries' size, then each entry
// behind a word that is zero when the entry is unused.
constexpr size_t kListHead = 18, kListCountAt = 6, kListEntrySizeAt = 12, kListMarkSize = 2;
constexpr size_t kMaxListEntries = 4096;
// A font entry holds its face name; the other lists hold the number of a zone.
constexpr size_t kFontEntrySize = 64, kFaceAt = 18, kFaceSize = 32, kZoneEntry = 4;
// A scheme: eight colours, each a word then red, green and blue in the high bytes of words.
constexpr size_t kSchemeColorsAt = 54, kColorEntrySize = 8, kColorRgbAt = 2;
// The document's colours: a menu zone that names the table, whose entries are marked used.
constexpr size_t kColorTableAt = 4, kColorMenuSize = 48, kColorCountAt = 6, kColorTableHead = 8;
// A ruler: the rest and first-line margins of five levels, then its tab stops.
constexpr size_t kRulerTabCountAt = 24, kRulerTabsAt = 26;
constexpr int32_t kMaxIndent = 1 << 16;
constexpr size_t kMaxTabs = 64;
// A picture: its definition names a description, which names the zone of the metafile.
constexpr size_t kPictureDescAt = 20, kPictureDefSize = 24, kPictureDataAt = 18,
                 kPictureDescSize = 20;

// Bounds on what a crafted file can make the reader build.
constexpr int32_t kMaxSlideSide = 1000000;
constexpr size_t kMaxSlides = 10000, kMaxShapes = 2000, kMaxTotalShapes = 200000;
constexpr size_t kMaxTotalChars = size_t(16) << 20, kMaxWork = size_t(2) << 20;

int16_t I16At(const uint8_t* p) {
  return int16_t(Le16(p));
}

// The entries of a list zone by their place in it; null where unused.
std::vector<const uint8_t*> ReadList(ByteReader r, size_t entry_size) {
  std::vector<const uint8_t*> out;
  if (!r.Has(kListHead) || Le16(r.here() + kListEntrySizeAt) != entry_size) return out;
  size_t n = std::min<size_t>(Le16(r.here() + kListCountAt), kMaxListEntries);
  r.Skip(kListHead);
  for (size_t i = 0; i < n && r.Has(kListMarkSize + entry_size); i++) {
    out.push_back(Le16(r.here()) ? r.here() + kListMarkSize : nullptr);
    r.Skip(kListMarkSize + entry_size);
  }
  return out;
}

Rgb ColorAt(const uint8_t* p) {
  return Rgb{p[kColorRgbAt + 1], p[kColorRgbAt + 3], p[kColorRgbAt + 5]};
}

}  // namespace

bool Zones::Open(const uint8_t* doc, size_t size) {
  if (size < kHeadSize) return false;
  doc_ = doc;
  size_t table = Le32(doc + kTableAt), n = Le16(doc + kZoneCountAt);
  doc_info_ = Le16(doc + kDocInfoAt);
  if (table > size || (size - table) / kZoneEntrySize < n) return false;
  zones_.resize(n);
  for (size_t i = 0; i < n; i++) {
    const uint8_t* e = doc + table + i * kZoneEntrySize;
    size_t length = Le32(e) & kLengthMask, begin = Le32(e + 4);
    if (begin <= size && length <= size - begin) zones_[i] = Range{begin, length};
  }
  return true;
}

ByteReader Zones::Reader(uint32_t id) const {
  if (id >= zones_.size()) return ByteReader(nullptr, 0);
  return ByteReader(doc_ + zones_[id].begin, zones_[id].length);
}

bool Palette::Known(int number) const {
  return (number >= 0 && number < kSchemeSlots) ||
         (number >= 0 && size_t(number) < defined.size() && defined[size_t(number)]);
}

Rgb Palette::Color(int number, Rgb fallback) const {
  if (number >= 0 && number < kSchemeSlots) return scheme[number];
  return Known(number) ? custom[size_t(number)] : fallback;
}

namespace {

// What the whole document holds that each slide draws on.
struct Document {
  Zones zones;
  int32_t left = -2880, top = -2160;  // the page's corner in stored coordinates
  uint32_t slots[kZoneSlots] = {};
  std::vector<std::string> faces;
  std::vector<Ruler> rulers;
  std::vector<Palette> schemes;  // by scheme number; the document's colours in each
  std::vector<bool> has_scheme;
  std::vector<int> picture_blips;  // blip index by picture number, -1 when none
};

void ReadDocInfo(ByteReader info, Document* d, Presentation* out) {
  if (!info.Has(kDocInfoSize)) return;
  const uint8_t* p = info.here();
  int32_t l = I16At(p + kPageBoxAt), t = I16At(p + kPageBoxAt + 2);
  int32_t r = I16At(p + kPageBoxAt + 4), b = I16At(p + kPageBoxAt + 6);
  if (r > l && b > t && r - l <= kMaxSlideSide && b - t <= kMaxSlideSide) {
    d->left = l;
    d->top = t;
    out->width = r - l;
    out->height = b - t;
  }
  for (size_t i = 0; i < 5; i++) d->slots[i] = Le32(p + kFirstZonesAt + 4 * i);
  for (size_t i = 5; i < kZoneSlots; i++) d->slots[i] = Le32(p + kMoreZonesAt + 4 * (i - 5));
}

void ReadFaces(Document* d) {
  for (const uint8_t* e : ReadList(d->zones.Reader(d->slots[kFontsZone]), kFontEntrySize)) {
    std::u16string face;
    for (size_t i = 0; e && i < kFaceSize && e[kFaceAt + i]; i++)
      face += FromWindows1252(e[kFaceAt + i]);
    d->faces.push_back(ToUtf8(face));
  }
}

void ReadRulers(Document* d) {
  for (const uint8_t* e : ReadList(d->zones.Reader(d->slots[kRulersZone]), kZoneEntry)) {
    Ruler ruler;
    ByteReader r = e ? d->zones.Reader(Le32(e)) : ByteReader(nullptr, 0);
    if (r.Has(kRulerTabsAt)) {
      const uint8_t* p = r.here();
      for (int i = 0; i < kLevels; i++) {
        ruler.rest[i] = std::clamp<int32_t>(I16At(p + 4 * i), 0, kMaxIndent);
        ruler.first[i] = std::clamp<int32_t>(I16At(p + 4 * i + 2), 0, kMaxIndent);
      }
      size_t n = std::min<size_t>(Le16(p + kRulerTabCountAt), kMaxTabs);
      r.Skip(kRulerTabsAt);
      // Stops are kept as decimal, right, centre and left ones.
      static const TabStop::Kind kKinds[] = {TabStop::kDecimal, TabStop::kRight, TabStop::kCenter,
                                             TabStop::kLeft};
      for (size_t i = 0; i < n && r.Has(4); i++) {
        TabStop t;
        t.position = std::clamp<int>(r.I16(), 0, kMaxIndent);
        uint16_t kind = r.U16();
        t.kind = kind < std::size(kKinds) ? kKinds[kind] : TabStop::kLeft;
        ruler.tabs.push_back(t);
      }
      std::sort(ruler.tabs.begin(), ruler.tabs.end(),
                [](const TabStop& a, const TabStop& b) { return a.position < b.position; });
    }
    d->rulers.push_back(ruler);
  }
}

// The document's own colours, then each scheme with them.
void ReadColors(Document* d) {
  Palette base;
  ByteReader menu = d->zones.Reader(d->slots[kColorsZone]);
  if (menu.Has(kColorMenuSize)) {
    ByteReader table = d->zones.Reader(Le32(menu.here() + kColorTableAt));
    if (table.Has(kColorTableHead)) {
      size_t n = size_t(Le16(table.here() + kColorCountAt)) + 1;
      table.Skip(kColorTableHead);
      for (size_t i = 0; i < n && table.Has(kColorEntrySize); i++) {
        base.custom.push_back(ColorAt(table.here()));
        base.defined.push_back(Le16(table.here()) != 0);
        table.Skip(kColorEntrySize);
      }
    }
  }
  for (const uint8_t* e : ReadList(d->zones.Reader(d->slots[kSchemesZone]), kZoneEntry)) {
    Palette p = base;
    ByteReader r = e ? d->zones.Reader(Le32(e)) : ByteReader(nullptr, 0);
    bool ok = r.Has(kSchemeColorsAt + kSchemeSlots * kColorEntrySize);
    for (int i = 0; ok && i < kSchemeSlots; i++)
      p.scheme[i] = ColorAt(r.here() + kSchemeColorsAt + size_t(i) * kColorEntrySize);
    d->schemes.push_back(std::move(p));
    d->has_scheme.push_back(ok);
  }
  if (d->schemes.empty()) {
    d->schemes.push_back(base);
    d->has_scheme.push_back(false);
  }
}

// Metafiles, where they lie in the stream.
void ReadPictures(Document* d, Presentation* out) {
  ByteReader main = d->zones.Reader(d->slots[kPicturesZone]);
  if (!main.Has(4)) return;
  for (const uint8_t* e : ReadList(d->zones.Reader(Le32(main.here())), kZoneEntry)) {
    d->picture_blips.push_back(-1);
    ByteReader def = e ? d->zones.Reader(Le32(e)) : ByteReader(nullptr, 0);
    if (!def.Has(kPictureDefSize)) continue;
    ByteReader desc = d->zones.Reader(Le32(def.here() + kPictureDescAt));
    if (!desc.Has(kPictureDescSize)) continue;
    uint32_t data = Le16(desc.here() + kPictureDataAt);
    if (d->zones.Length(data) == 0) continue;
    Blip b;
    b.type = Blip::kWmf;
    b.source = Blip::kDocument;
    b.offset = d->zones.Offset(data);
    b.length = d->zones.Length(data);
    d->picture_blips.back() = int(out->blips.size());
    out->blips.push_back(b);
  }
}

struct Content {
  uint32_t texts = 0, frames = 0, formats = 0, polygons = 0;
  int title = -1, body = -1;
  bool shows_master = false;
  size_t scheme = 0;
};

// How the slide comes on: the transition's speed, and the time after which it moves on by
// itself (negative: on a click).
void ReadTransition(const Document& d, uint32_t slide, Slide* out) {
  ByteReader s = d.zones.Reader(slide);
  if (!s.Has(kSlideTransitionAt + 4)) return;
  ByteReader t = d.zones.Reader(Le32(s.here() + kSlideTransitionAt));
  if (!t.Has(kTransitionSize)) return;
  static const Transition::Speed kSpeeds[] = {Transition::kSlow, Transition::kMedium,
                                              Transition::kFast};
  uint16_t speed = Le16(t.here() + kTransitionSpeedAt);
  if (speed < std::size(kSpeeds)) out->transition.speed = kSpeeds[speed];
  int32_t advance = int32_t(Le32(t.here() + kAdvanceAt));
  if (advance >= 0) {
    out->auto_advance = true;
    out->advance_ms = std::min(advance, kMaxAdvanceMs);
  }
}

bool ReadContent(const Document& d, uint32_t slide, Content* c) {
  ByteReader s = d.zones.Reader(slide);
  if (!s.Has(kSlideContentAt + 4)) return false;
  ByteReader r = d.zones.Reader(Le32(s.here() + kSlideContentAt));
  if (!r.Has(kContentSize)) return false;
  const uint8_t* p = r.here();
  c->texts = Le32(p + kContentTextAt);
  c->frames = Le32(p + kContentFramesAt);
  c->title = I16At(p + kTitleFrameAt);
  c->body = I16At(p + kBodyFrameAt);
  c->shows_master = p[kContentFlagsAt] & kShowsMaster;
  c->scheme = Le16(p + kSchemeAt);
  c->formats = Le32(p + kFormatsAt);
  c->polygons = Le32(p + kPolygonsAt);
  return true;
}

}  // namespace
}  // namespace pp4

namespace {

const pp4::Palette& SchemeOf(const pp4::Document& d, size_t n) {
  return n < d.schemes.size() && d.has_scheme[n] ? d.schemes[n] : d.schemes[0];
}

pp4::FrameSource SourceOf(const pp4::Document& d, const pp4::Content& c, size_t* work_left) {
  pp4::FrameSource s;
  s.frames = d.zones.Reader(c.frames);
  s.formats = d.zones.Reader(c.formats);
  s.polygons = d.zones.Reader(c.polygons);
  s.texts = pp4::ReadTexts(d.zones.Reader(c.texts), work_left);
  s.title = c.title;
  s.body = c.body;
  return s;
}

}  // namespace

bool IsPowerPoint4(const uint8_t* doc, size_t size) {
  return doc && size >= pp4::kHeadSize && Le32(doc) == pp4::kSignature &&
         Le32(doc + 4) == pp4::kVersion;
}

LoadError LoadPowerPoint4(const uint8_t* doc, size_t size, Presentation* out) {
  using namespace pp4;
  Document d;
  if (!IsPowerPoint4(doc, size) || !d.zones.Open(doc, size)) return LoadError::kDamaged;
  ReadDocInfo(d.zones.Reader(d.zones.doc_info()), &d, out);
  ByteReader root = d.zones.Reader(d.slots[kRootZone]);
  if (!root.Has(kSlideListAt + 4)) return LoadError::kDamaged;
  ByteReader list = d.zones.Reader(Le32(root.here() + kSlideListAt));
  if (!list.Has(kSlideListHead)) return LoadError::kDamaged;
  ReadFaces(&d);
  ReadRulers(&d);
  ReadColors(&d);
  ReadPictures(&d, out);
  Content master;
  const bool has_master = ReadContent(d, d.slots[kMasterZone], &master);
  size_t n = Le16(list.here()), chars_left = kMaxTotalChars, total = 0, work_left = kMaxWork;
  const FrameSource master_source = has_master ? SourceOf(d, master, &work_left) : FrameSource();
  list.Skip(kSlideListHead);
  for (size_t i = 0; i < n && list.Has(kSlideEntrySize) && out->slides.size() < kMaxSlides; i++) {
    const uint32_t zone = Le32(list.here() + kSlideEntryZone);
    list.Skip(kSlideEntrySize);
    Slide slide;
    slide.slide_id = uint32_t(i + 1);
    Content c;
    const bool read = ReadContent(d, zone, &c);
    const Palette& palette = SchemeOf(d, read ? c.scheme : 0);
    slide.background.kind = Fill::kSolid;
    slide.background.color = palette.scheme[kBackgroundSlot];
    FrameContext context;
    context.left = d.left;
    context.top = d.top;
    context.picture_blips = &d.picture_blips;
    context.text = TextContext{&d.faces, &d.rulers, &palette, &chars_left};
    context.max_shapes = std::min(kMaxShapes, kMaxTotalShapes - total);
    context.slide_number = int(i + 1);
    context.work_left = &work_left;
    ReadTransition(d, zone, &slide);
    if (read && has_master && c.shows_master)
      ReadFrames(master_source, context, true, &slide.shapes);
    if (read) ReadFrames(SourceOf(d, c, &work_left), context, false, &slide.shapes);
    for (size_t k = 0; k < slide.shapes.size(); k++) slide.shapes[k].id = uint32_t(k + 1);
    total += slide.shapes.size();
    out->slides.push_back(std::move(slide));
  }
  return out->slides.empty() ? LoadError::kDamaged : LoadError::kNone;
}

}  // namespace ppt::detail
