#include "ppt/text.h"

#include <algorithm>
#include <string>

namespace ppt {

namespace {

// Character property masks beyond the ones kept (CharProps' own bits name the rest; the style
// word that follows uses the same bit positions as the mask).
namespace cf {
constexpr uint32_t kAnyStyle = 0x3EB7;  // bold .. emboss and the extension: one style word
constexpr uint32_t kExtensionShift = 10;
constexpr uint32_t kExtensionBits = 0xF;
constexpr uint32_t kPp10Extension = 0x100000;
constexpr uint32_t kEastAsianFont = 0x200000, kAnsiFont = 0x400000;
}  // namespace cf

// A colour whose index byte says "undefined" gives no colour: the styles beneath decide.
constexpr uint32_t kUndefinedColorIndex = 0xFF;
bool UndefinedColor(uint32_t color) {
  return (color >> 24) == kUndefinedColorIndex;
}

// Paragraph property masks not kept (ParaProps names the rest).
namespace pf {
constexpr uint32_t kBulletFlags = ParaProps::kHasBullet | ParaProps::kBulletHasFont |
                                  ParaProps::kBulletHasColor | ParaProps::kBulletHasSize;
constexpr uint32_t kFontAlign = 0x10000;
constexpr uint32_t kWrapFlags = 0xE0000;  // character wrap, word wrap, overflow
constexpr uint32_t kTextDirection = 0x200000;
constexpr uint32_t kKept = 0x7DFF | ParaProps::kDefaultTab | ParaProps::kTabStops;
}  // namespace pf

// Ruler masks: the tab size, the level count, the tab stops, then one bit per level for each
// level's margin and indent.
namespace ruler {
constexpr uint32_t kDefaultTab = 0x1, kLevelCount = 0x2, kTabStops = 0x4;
constexpr uint32_t kFirstMargin = 0x8, kFirstIndent = 0x100;
constexpr int kLevels = 5;
}  // namespace ruler

// Extended paragraph properties (picture bullets and automatic numbers), then the extended
// character properties and the special info that follow each entry.
namespace pf9 {
constexpr uint32_t kBulletBlip = 0x800000, kBulletScheme = 0x1000000;
constexpr uint32_t kBulletHasAutoNumber = 0x2000000;
constexpr uint32_t kCharPp10RunId = 0x100000;
constexpr uint32_t kSpelling = 0x1, kLanguage = 0x2, kAltLanguage = 0x4, kBidi = 0x20;
constexpr uint32_t kPp10Extension = 0x40, kSmartTags = 0x200;
constexpr size_t kMaxEntries = 64;
}  // namespace pf9

}  // namespace

void CharProps::Overlay(const CharProps& o) {
  if (o.mask & kBold) bold = o.bold;
  if (o.mask & kItalic) italic = o.italic;
  if (o.mask & kUnderline) underline = o.underline;
  if (o.mask & kShadow) shadow = o.shadow;
  if (o.mask & kEmboss) emboss = o.emboss;
  if (o.mask & kExtension) extension = o.extension;
  if (o.mask & kPosition) position = o.position;
  if (o.mask & kFont) font = o.font;
  if (o.mask & kSize) size = o.size;
  if (o.mask & kColor) color = o.color;
  if (o.mask & kSymbolFont) symbol_font = o.symbol_font;
  mask |= o.mask;
}

void ParaProps::Overlay(const ParaProps& o) {
  for (uint32_t bit = 1; bit & pf::kBulletFlags; bit <<= 1)
    if (o.mask & bit) bullet_flags = uint16_t((bullet_flags & ~bit) | (o.bullet_flags & bit));
  if (o.mask & kBulletChar) bullet_char = o.bullet_char;
  if (o.mask & kBulletFont) bullet_font = o.bullet_font;
  if (o.mask & kBulletSize) bullet_size = o.bullet_size;
  if (o.mask & kBulletColor) bullet_color = o.bullet_color;
  if (o.mask & kAlign) align = o.align;
  if (o.mask & kLeftMargin) left_margin = o.left_margin;
  if (o.mask & kIndent) indent = o.indent;
  if (o.mask & kLineSpacing) line_spacing = o.line_spacing;
  if (o.mask & kSpaceBefore) space_before = o.space_before;
  if (o.mask & kSpaceAfter) space_after = o.space_after;
  if (o.mask & kDefaultTab) default_tab = o.default_tab;
  if (o.mask & kTabStops) tabs = o.tabs;
  mask |= o.mask;
}

bool ReadCharProps(ByteReader& r, CharProps* out) {
  uint32_t m = r.U32();
  CharProps c;
  if (m & cf::kAnyStyle) {
    uint16_t style = r.U16();
    c.bold = style & CharProps::kBold;
    c.italic = style & CharProps::kItalic;
    c.underline = style & CharProps::kUnderline;
    c.shadow = style & CharProps::kShadow;
    c.emboss = style & CharProps::kEmboss;
    c.extension = uint8_t((style >> cf::kExtensionShift) & cf::kExtensionBits);
  }
  if (m & CharProps::kFont) c.font = r.U16();
  if (m & cf::kEastAsianFont) r.U16();
  if (m & cf::kAnsiFont) r.U16();
  if (m & CharProps::kSymbolFont) c.symbol_font = r.U16();
  if (m & CharProps::kSize) c.size = r.U16();
  if (m & CharProps::kColor) {
    c.color = r.U32();
    if (UndefinedColor(c.color)) m &= ~uint32_t(CharProps::kColor);
  }
  if (m & CharProps::kPosition) c.position = r.I16();
  if (m & cf::kPp10Extension) r.U32();
  c.mask = m & (CharProps::kBold | CharProps::kItalic | CharProps::kUnderline | CharProps::kShadow |
                CharProps::kEmboss | CharProps::kExtension | CharProps::kFont | CharProps::kSize |
                CharProps::kColor | CharProps::kPosition | CharProps::kSymbolFont);
  *out = c;
  return r.ok();
}

namespace {

// More stops than a ruler can hold mean a damaged count: read what the record really has.
constexpr uint16_t kMaxTabs = 256;

void ReadTabs(ByteReader& r, std::vector<std::pair<int16_t, uint16_t>>* tabs) {
  uint16_t n = r.U16();
  tabs->clear();
  for (uint16_t i = 0; i < n && r.ok(); i++) {
    int16_t pos = r.I16();
    uint16_t kind = r.U16();
    if (r.ok() && i < kMaxTabs) tabs->push_back({pos, kind});
  }
}

}  // namespace

bool ReadParaProps(ByteReader& r, ParaProps* out) {
  uint32_t m = r.U32();
  ParaProps p;
  if (m & pf::kBulletFlags) p.bullet_flags = r.U16();
  if (m & ParaProps::kBulletChar) p.bullet_char = r.U16();
  if (m & ParaProps::kBulletFont) p.bullet_font = r.U16();
  if (m & ParaProps::kBulletSize) p.bullet_size = r.I16();
  if (m & ParaProps::kBulletColor) {
    p.bullet_color = r.U32();
    if (UndefinedColor(p.bullet_color)) m &= ~uint32_t(ParaProps::kBulletColor);
  }
  if (m & ParaProps::kAlign) p.align = r.U16();
  if (m & ParaProps::kLineSpacing) p.line_spacing = r.I16();
  if (m & ParaProps::kSpaceBefore) p.space_before = r.I16();
  if (m & ParaProps::kSpaceAfter) p.space_after = r.I16();
  if (m & ParaProps::kLeftMargin) p.left_margin = r.I16();
  if (m & ParaProps::kIndent) p.indent = r.I16();
  if (m & ParaProps::kDefaultTab) p.default_tab = r.U16();
  if (m & ParaProps::kTabStops) ReadTabs(r, &p.tabs);
  if (m & pf::kFontAlign) r.U16();
  if (m & pf::kWrapFlags) r.U16();
  if (m & pf::kTextDirection) r.U16();
  p.mask = m & pf::kKept;
  *out = p;
  return r.ok();
}

bool ReadRuler(const uint8_t* data, size_t size, Ruler* out) {
  ByteReader r(data, size);
  uint32_t m = r.U32();
  Ruler ruler;
  if (m & ruler::kLevelCount) r.U16();
  if (m & ruler::kDefaultTab) {
    ruler.has_default_tab = true;
    ruler.default_tab = r.U16();
  }
  if (m & ruler::kTabStops) {
    ruler.has_tabs = true;
    ReadTabs(r, &ruler.tabs);
  }
  for (int level = 0; level < ruler::kLevels; level++) {
    if (m & (ruler::kFirstMargin << level)) {
      ruler.has_margin[level] = true;
      ruler.margin[level] = r.I16();
    }
    if (m & (ruler::kFirstIndent << level)) {
      ruler.has_indent[level] = true;
      ruler.indent[level] = r.I16();
    }
  }
  if (!r.ok()) return false;
  *out = ruler;
  return true;
}

void ReadParaExtensions(const uint8_t* data, size_t size, std::vector<ParaExtension>* out) {
  ByteReader r(data, size);
  // Each entry: paragraph props, character props, then special info; only the first is used.
  while (r.Has(12) && out->size() < pf9::kMaxEntries) {
    ParaExtension e;
    uint32_t pm = r.U32();
    if (pm & pf9::kBulletBlip) e.blip = r.I16();
    if (pm & pf9::kBulletHasAutoNumber) {
      e.has_autonumber = true;
      e.autonumber = r.U16() != 0;
    }
    if (pm & pf9::kBulletScheme) {
      e.has_scheme = true;
      e.scheme = r.U16();
      e.start = r.I16();
    }
    uint32_t cm = r.U32();
    if (cm & pf9::kCharPp10RunId) r.U32();
    uint32_t sm = r.U32();
    if (sm & pf9::kSpelling) r.U16();
    if (sm & pf9::kLanguage) r.U16();
    if (sm & pf9::kAltLanguage) r.U16();
    if (sm & pf9::kPp10Extension) r.U16();
    if (sm & pf9::kBidi) r.U32();
    if (sm & pf9::kSmartTags) {
      uint32_t n = r.U32();
      if (n > size) break;
      r.Skip(size_t(n) * 4);
    }
    if (!r.ok()) break;
    out->push_back(e);
  }
}

namespace {

std::u16string Roman(int n, bool upper) {
  static const struct {
    int value;
    const char* lower;
  } kDigits[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"},
                 {90, "xc"},  {50, "l"},   {40, "xl"}, {10, "x"},   {9, "ix"},
                 {5, "v"},    {4, "iv"},   {1, "i"}};
  std::u16string s;
  for (const auto& d : kDigits)
    for (; n >= d.value; n -= d.value)
      for (const char* c = d.lower; *c; c++) s += char16_t(upper ? *c - 'a' + 'A' : *c);
  return s;
}

// a..z, then aa..zz as PowerPoint counts on.
std::u16string Letters(int n, bool upper) {
  char16_t c = char16_t((upper ? 'A' : 'a') + (n - 1) % 26);
  return std::u16string(size_t((n - 1) / 26 + 1), c);
}

std::u16string Arabic(int n) {
  std::u16string s;
  for (char c : std::to_string(n)) s += char16_t(c);
  return s;
}

}  // namespace

std::u16string AutoNumberText(uint16_t scheme, int n) {
  n = std::max(1, std::min(n, 32767));
  enum Style { kLower, kUpper, kNumber, kRomanLower, kRomanUpper, kCircled, kCircledBlack };
  enum Frame { kPeriod, kParenRight, kParens, kPlain };
  static const struct {
    Style style;
    Frame frame;
  } kSchemes[] = {
      {kLower, kPeriod},          {kUpper, kPeriod},      {kNumber, kParenRight},
      {kNumber, kPeriod},         {kRomanLower, kParens}, {kRomanLower, kParenRight},
      {kRomanLower, kPeriod},     {kRomanUpper, kPeriod}, {kLower, kParens},
      {kLower, kParenRight},      {kUpper, kParens},      {kUpper, kParenRight},
      {kNumber, kParens},         {kNumber, kPlain},      {kRomanUpper, kParens},
      {kRomanUpper, kParenRight}, {kNumber, kPlain},      {kNumber, kPeriod},
      {kCircled, kPlain},         {kCircled, kPlain},     {kCircledBlack, kPlain},
  };
  auto e = scheme < sizeof(kSchemes) / sizeof(kSchemes[0]) ? kSchemes[scheme]
                                                           : kSchemes[3];  // 1. otherwise
  std::u16string body;
  switch (e.style) {
    case kLower:
    case kUpper:
      body = Letters(n, e.style == kUpper);
      break;
    case kRomanLower:
    case kRomanUpper:
      body = Roman(n, e.style == kRomanUpper);
      break;
    case kCircled:
      body = n <= 20 ? std::u16string(1, char16_t(0x2460 + n - 1)) : Arabic(n);
      break;
    case kCircledBlack:
      body = n <= 10 ? std::u16string(1, char16_t(0x2776 + n - 1)) : Arabic(n);
      break;
    default:
      body = Arabic(n);
  }
  switch (e.frame) {
    case kPeriod:
      return body + u".";
    case kParenRight:
      return body + u")";
    case kParens:
      return u"(" + body + u")";
    default:
      return body;
  }
}

void ReadMasterStyle(const uint8_t* data, size_t size, int instance, LevelStyles* out) {
  ByteReader r(data, size);
  int levels = r.U16();
  for (int i = 0; i < levels && i < 5 && r.ok(); i++) {
    int level = i;
    if (instance >= 5) level = r.U16();
    ParaProps p;
    CharProps c;
    if (!ReadParaProps(r, &p) || !ReadCharProps(r, &c)) break;
    if (level < 0 || level >= 5) continue;
    out->para[level].Overlay(p);
    out->chars[level].Overlay(c);
    out->present = true;
  }
  // What a deeper level leaves unsaid it takes from the level above it.
  for (int i = 1; i < 5; i++) {
    ParaProps p = out->para[i - 1];
    p.Overlay(out->para[i]);
    out->para[i] = p;
    CharProps c = out->chars[i - 1];
    c.Overlay(out->chars[i]);
    out->chars[i] = c;
  }
}

void ReadStyleRuns(const uint8_t* data, size_t size, size_t text_len, std::vector<StyleRun>* paras,
                   std::vector<StyleRun>* chars) {
  ByteReader r(data, size);
  const size_t total = text_len + 1;
  size_t covered = 0;
  while (covered < total && r.Has(10)) {
    StyleRun run;
    run.count = r.U32();
    run.level = r.U16();
    if (!ReadParaProps(r, &run.para) || run.count == 0) break;
    covered += run.count;
    paras->push_back(run);
  }
  covered = 0;
  while (covered < total && r.Has(8)) {
    StyleRun run;
    run.count = r.U32();
    if (!ReadCharProps(r, &run.chars) || run.count == 0) break;
    covered += run.count;
    chars->push_back(run);
  }
}

}  // namespace ppt
