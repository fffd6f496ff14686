#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "ppt/loader.h"

namespace ppt {
namespace detail {

Footers ReadFooters(const Record& container, Footers f) {
  Children c(container);
  Record r;
  while (c.Next(&r)) {
    if (r.type == rt::kHeadersFootersAtom && r.len >= 4) {
      uint16_t flags = Le16(r.body + 2);
      f.date = (flags & 0x1) && (flags & 0x4);  // only a fixed date: today's is not known here
      f.number = flags & 0x8;
      f.footer = flags & 0x20;
    } else if (r.type == rt::kCString) {
      std::u16string text;
      for (size_t i = 0; i + 1 < r.len; i += 2) text += char16_t(Le16(r.body + i));
      if (r.inst == 0) f.date_text = text;
      if (r.inst == 2) f.footer_text = text;
    }
  }
  return f;
}

// Bullets drawn from symbol fonts, as the Unicode characters they look like.
char16_t SymbolBullet(uint8_t c) {
  switch (c) {
    case 0x6E:
      return 0x25A0;
    case 0xA7:
      return 0x25AA;
    case 0xD8:
      return 0x27A2;
    case 0x71:
      return 0x2751;
    case 0x76:
      return 0x2756;
    case 0xFC:
      return 0x2713;
    case 0x6C:
      return 0x25CF;
    case 0xE0:
      return 0x2192;
    case 0x75:
      return 0x25C6;
    case 0x77:
      return 0x2B25;
    case 0xA1:
      return 0x25CB;
    case 0x9F:
      return 0x2022;
    default:
      return 0x2022;
  }
}

void Loader::BuildText(const RawText& text, const Context& ctx, TextBody* body) {
  if (text.chars.empty()) return;
  std::vector<StyleRun> para_runs, char_runs;
  if (text.has_style)
    ReadStyleRuns(text.style.body, text.style.len, text.chars.size(), &para_runs, &char_runs);
  int type = text.type >= 0 && text.type < 9 ? text.type : 4;
  int base = (type == 0 || type == 6) ? 0 : (type == 1 || type >= 5) ? 1 : type == 2 ? 2 : 4;
  auto style_at = [&](int level, ParaProps* pp, CharProps* cp) {
    level = std::min(std::max(level, 0), 4);
    *pp = ParaProps();
    *cp = CharProps();
    // Built-in defaults, then the document's and the master's styles of the base type, then those
    // of the specific type.
    cp->size = base == 0 ? 44 : base == 1 ? (level == 0 ? 32 : level == 1 ? 28 : 24) : 18;
    cp->color = base == 0 ? 0x03000000 : 0x01000000;
    pp->align = base == 0 ? 1 : 0;
    const LevelStyles* styles = ctx.styles ? ctx.styles : doc_styles_;
    const LevelStyles* chain[] = {&doc_styles_[base], &styles[base], &styles[type]};
    for (const LevelStyles* ls : chain) {
      if (!ls->present) continue;
      pp->Overlay(ls->para[level]);
      cp->Overlay(ls->chars[level]);
    }
  };
  size_t pi = 0, ci = 0;
  uint32_t p_left = para_runs.empty() ? UINT32_MAX : para_runs[0].count;
  uint32_t c_left = char_runs.empty() ? UINT32_MAX : char_runs[0].count;
  Paragraph para;
  ParaProps pp;
  CharProps cp;
  int level = para_runs.empty() ? 0 : para_runs[0].level;
  auto start_para = [&]() {
    para = Paragraph();
    level = pi < para_runs.size() ? std::min<int>(para_runs[pi].level, 4) : level;
    ParaProps base_pp;
    CharProps base_cp;
    style_at(level, &base_pp, &base_cp);
    pp = base_pp;
    if (pi < para_runs.size()) pp.Overlay(para_runs[pi].para);
    para.level = level;
    para.align = pp.align <= 3 ? Paragraph::Align(pp.align) : Paragraph::kLeft;
    para.left_margin = pp.left_margin;
    para.indent = pp.indent;
    para.bullet = pp.bullet_flags & 1;
    if (pp.bullet_char >= 0x20) para.bullet_char = pp.bullet_char;
    bool symbol_font = (pp.bullet_flags & 2) && pp.bullet_font < fonts_.size() &&
                       fonts_[pp.bullet_font].charset == 2;
    if (symbol_font || (para.bullet_char >= 0xF000 && para.bullet_char <= 0xF0FF))
      para.bullet_char = SymbolBullet(uint8_t(para.bullet_char));
    para.bullet_size = (pp.bullet_flags & 8) && pp.bullet_size > 0 ? pp.bullet_size : 100;
    para.line_spacing = pp.line_spacing;
    para.space_before = pp.space_before;
    para.space_after = pp.space_after;
  };
  auto char_style = [&]() {
    ParaProps unused;
    CharProps c;
    style_at(level, &unused, &c);
    if (ci < char_runs.size()) c.Overlay(char_runs[ci].chars);
    return c;
  };
  start_para();
  cp = char_style();
  bool bullet_colored = false;
  auto add_char = [&](char16_t ch) {
    Rgb color = TextColor(cp.color, ctx);
    if (para.runs.empty() || para.runs.back().bold != cp.bold ||
        para.runs.back().italic != cp.italic || para.runs.back().underline != cp.underline ||
        para.runs.back().size != cp.size || !(para.runs.back().color == color) ||
        para.runs.back().font != (cp.font < fonts_.size() ? fonts_[cp.font].name : "")) {
      ppt::Run run;
      if (cp.font < fonts_.size()) {
        run.font = fonts_[cp.font].name;
        run.pitch_family = fonts_[cp.font].pitch_family;
        run.charset = fonts_[cp.font].charset;
      }
      run.size = cp.size > 0 && cp.size < 4000 ? cp.size : 18;
      run.bold = cp.bold;
      run.italic = cp.italic;
      run.underline = cp.underline;
      run.color = color;
      para.runs.push_back(run);
    }
    para.runs.back().text += ch;
  };
  // Far more than a slide can show; bounds the work a hostile file can ask of the renderer.
  const size_t shown = std::min<size_t>(text.chars.size(), 65536);
  for (size_t i = 0; i < shown; i++) {
    char16_t ch = text.chars[i];
    if (ch == u'\r') {
      if (!bullet_colored)
        para.bullet_color = TextColor(
            pp.mask & ParaProps::kBulletColor && (pp.bullet_flags & 4) ? pp.bullet_color : cp.color,
            ctx);
      body->paragraphs.push_back(para);
    }
    if (--p_left == 0 && pi < para_runs.size()) {
      pi++;
      p_left = pi < para_runs.size() ? para_runs[pi].count : UINT32_MAX;
    }
    if (--c_left == 0 && ci < char_runs.size()) {
      ci++;
      c_left = ci < char_runs.size() ? char_runs[ci].count : UINT32_MAX;
    }
    if (ch == u'\r') {
      start_para();
      cp = char_style();
      bullet_colored = false;
      continue;
    }
    if (!bullet_colored) {
      para.bullet_color = TextColor(
          (pp.mask & ParaProps::kBulletColor) && (pp.bullet_flags & 4) ? pp.bullet_color : cp.color,
          ctx);
      bullet_colored = true;
    }
    if (c_left != UINT32_MAX || ci < char_runs.size()) cp = char_style();
    add_char(ch);
  }
  if (!bullet_colored) para.bullet_color = TextColor(cp.color, ctx);
  body->paragraphs.push_back(para);
}

// A master's date, number or footer placeholder, filled for the slide when it shows it.
bool Loader::FooterText(const Context& ctx, Shape* s) {
  if (!ctx.footers) return false;
  const Footers& f = *ctx.footers;
  std::u16string text;
  if (s->placeholder == 0x07 && f.date && !f.date_text.empty()) {
    text = f.date_text;
  } else if (s->placeholder == 0x08 && f.number) {
    for (char c : std::to_string(f.slide_number)) text += char16_t(c);
  } else if (s->placeholder == 0x09 && f.footer && !f.footer_text.empty()) {
    text = f.footer_text;
  } else {
    return false;
  }
  Paragraph para;
  if (!s->text.paragraphs.empty()) para = s->text.paragraphs[0];
  ppt::Run run;
  if (!para.runs.empty()) {
    run = para.runs[0];
  } else {
    run.size = 14;
    run.color = ctx.scheme[1];
    if (!fonts_.empty()) run.font = fonts_[0].name;
  }
  run.text = text;
  para.runs.assign(1, run);
  para.bullet = false;
  s->text.paragraphs.assign(1, para);
  return true;
}
}  // namespace detail
}  // namespace ppt
