#include "ppt/text.h"

namespace ppt {

void CharProps::Overlay(const CharProps& o) {
  if (o.mask & kBold) bold = o.bold;
  if (o.mask & kItalic) italic = o.italic;
  if (o.mask & kUnderline) underline = o.underline;
  if (o.mask & kFont) font = o.font;
  if (o.mask & kSize) size = o.size;
  if (o.mask & kColor) color = o.color;
  mask |= o.mask;
}

void ParaProps::Overlay(const ParaProps& o) {
  const uint32_t flag_bits = kHasBullet | kBulletHasFont | kBulletHasColor | kBulletHasSize;
  for (uint32_t bit = 1; bit & flag_bits; bit <<= 1)
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
  mask |= o.mask;
}

bool ReadCharProps(ByteReader& r, CharProps* out) {
  uint32_t m = r.U32();
  CharProps c;
  if (m & 0x3EB7) {
    uint16_t style = r.U16();
    c.bold = style & 1;
    c.italic = style & 2;
    c.underline = style & 4;
  }
  if (m & 0x10000) c.font = r.U16();
  if (m & 0x200000) r.U16();  // East Asian font
  if (m & 0x400000) r.U16();  // ANSI font
  if (m & 0x800000) r.U16();  // symbol font
  if (m & 0x20000) c.size = r.U16();
  if (m & 0x40000) c.color = r.U32();
  if (m & 0x80000) r.U16();  // super/subscript
  if (m & 0x100000) r.U32();
  c.mask = m & (CharProps::kBold | CharProps::kItalic | CharProps::kUnderline | CharProps::kFont |
                CharProps::kSize | CharProps::kColor);
  *out = c;
  return r.ok();
}

bool ReadParaProps(ByteReader& r, ParaProps* out) {
  uint32_t m = r.U32();
  ParaProps p;
  if (m & 0xF) p.bullet_flags = r.U16();
  if (m & 0x80) p.bullet_char = r.U16();
  if (m & 0x10) p.bullet_font = r.U16();
  if (m & 0x40) p.bullet_size = r.I16();
  if (m & 0x20) p.bullet_color = r.U32();
  if (m & 0x800) p.align = r.U16();
  if (m & 0x1000) p.line_spacing = r.I16();
  if (m & 0x2000) p.space_before = r.I16();
  if (m & 0x4000) p.space_after = r.I16();
  if (m & 0x100) p.left_margin = r.I16();
  if (m & 0x400) p.indent = r.I16();
  if (m & 0x8000) r.U16();  // default tab size
  if (m & 0x100000) {
    uint16_t n = r.U16();
    r.Skip(size_t(n) * 4);
  }
  if (m & 0x10000) r.U16();   // font alignment
  if (m & 0xE0000) r.U16();   // wrap flags
  if (m & 0x200000) r.U16();  // text direction
  p.mask = m & 0x7DFF;
  *out = p;
  return r.ok();
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
