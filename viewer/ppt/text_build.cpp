#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "ppt/loader.h"

namespace ppt {
namespace detail {

namespace {
// Text booleans: the box grows to fit its text; the text shrinks to fit its box.
constexpr int kFitShapeToTextBit = 1;
constexpr int kFitTextToShapeBit = 0;
}  // namespace

Footers ReadFooters(const Record& container, Footers f) {
  Children c(container);
  Record r;
  while (c.Next(&r)) {
    if (r.type == rt::kHeadersFootersAtom && r.len >= 4) {
      int16_t format = int16_t(Le16(r.body));
      uint16_t flags = Le16(r.body + 2);
      f.date = (flags & 0x1) && (flags & 0x6);
      f.today = flags & 0x2;
      f.date_format = format;
      f.number = flags & 0x8;
      f.footer = flags & 0x20;
    } else if (r.type == rt::kCString) {
      std::u16string text;
      for (size_t i = 0; i + 1 < r.len; i += 2) text += char16_t(Le16(r.body + i));
      if (r.inst == 0) f.date_text = text;
      if (r.inst == 1) f.header_text = text;
      if (r.inst == 2) f.footer_text = text;
    }
  }
  return f;
}

void MapTextFrame(const Properties& props, TextBody* body) {
  body->wrap = props.Get(prop::kWrapText, 0) != 2;
  // Top, middle, bottom; the same centred across; then baseline variants of top and bottom.
  static const struct {
    TextBody::Anchor anchor;
    bool centered;
  } kAnchors[] = {{TextBody::kTop, false},  {TextBody::kMiddle, false}, {TextBody::kBottom, false},
                  {TextBody::kTop, true},   {TextBody::kMiddle, true},  {TextBody::kBottom, true},
                  {TextBody::kTop, false},  {TextBody::kBottom, false}, {TextBody::kTop, true},
                  {TextBody::kBottom, true}};
  uint32_t a = props.Get(prop::kAnchorText, 0);
  if (a < sizeof(kAnchors) / sizeof(kAnchors[0])) {
    body->anchor = kAnchors[a].anchor;
    body->centered = kAnchors[a].centered;
  }
  // Text shrinks only where the box says it fits its text; a box that grows to fit it never
  // needs to.
  body->fit_shape = props.Flag(prop::kTextBooleans, kFitShapeToTextBit) == 1;
  body->shrink_to_fit =
      !body->fit_shape && props.Flag(prop::kTextBooleans, kFitTextToShapeBit) == 1;
  uint32_t flow = props.Get(prop::kTextFlow, 0);
  uint32_t turn = props.Get(prop::kFontRotation, 0);
  if (flow == 1 || flow == 3 || flow == 5 || (flow == 0 && turn == 1))
    body->flow = TextBody::kDown;
  else if (flow == 2 || (flow == 0 && turn == 3))
    body->flow = TextBody::kUp;
}

// Pictures bullets are drawn with, kept apart from the picture store in the document's tags.
void Loader::ReadBulletPictures(const Record& doc_tags) {
  Record data, collection;
  if (!FindPpt9Tag(doc_tags, &data) || !FindChild(data, rt::kBlipCollection9, &collection)) return;
  Children c(collection);
  Record entity;
  while (c.Next(&entity) && bullet_blips_.size() < 1000) {
    if (entity.type != rt::kBlipEntity9) continue;
    Blip blip;
    const uint8_t* at = entity.body + 2;
    if (entity.len > 2 && ReadBlip(at, entity.len - 2, uint64_t(at - doc_), doc_size_, &blip)) {
      blip.source = Blip::kDocument;
      bullet_blips_.push_back(int(out_->blips.size()));
      out_->blips.push_back(std::move(blip));
    } else {
      bullet_blips_.push_back(-1);
    }
  }
}

std::u16string Loader::FieldText(const Field& f, const Context& ctx) const {
  const Footers* footers = ctx.footers;
  switch (f.kind) {
    case Field::kSlideNumber:
      if (!footers || footers->slide_number <= 0) return u"";
      {
        std::string n = std::to_string(footers->slide_number);
        return std::u16string(n.begin(), n.end());
      }
    case Field::kDateTime:
      return FormatDateTime(f.format, now_);
    case Field::kGenericDate:
      if (footers && !footers->today && !footers->date_text.empty()) return footers->date_text;
      return FormatDateTime(footers ? footers->date_format : 0, now_);
    case Field::kHeader:
      return footers ? footers->header_text : u"";
    case Field::kFooter:
      return footers ? footers->footer_text : u"";
  }
  return u"";
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
  if (slide_chars_ + text.chars.size() > kMaxSlideChars) {
    text_cut_ = true;
    return;
  }
  if (!budget_.Spend(1 + text.chars.size() * cost::kTextChar)) return;
  slide_chars_ += text.chars.size();
  std::vector<StyleRun> para_runs, char_runs;
  if (text.has_style)
    ReadStyleRuns(text.style.body, text.style.len, text.chars.size(), &para_runs, &char_runs);
  namespace tt = text_type;
  int type = text.type >= 0 && text.type <= tt::kQuarterBody ? text.type : tt::kOther;
  // Centred titles take the title's styles, centred, half and quarter bodies the body's.
  int base = (type == tt::kTitle || type == tt::kCenterTitle) ? tt::kTitle
             : (type == tt::kBody || type >= tt::kCenterBody) ? tt::kBody
             : type == tt::kNotes                             ? tt::kNotes
                                                              : tt::kOther;
  auto style_at = [&](int level, ParaProps* pp, CharProps* cp) {
    level = std::min(std::max(level, 0), 4);
    *pp = ParaProps();
    *cp = CharProps();
    // Built-in defaults, then the document's and the master's styles of the base type, then those
    // of the specific type.
    cp->size = base == 0 ? 44 : base == 1 ? (level == 0 ? 32 : level == 1 ? 28 : 24) : 18;
    cp->color = base == 0 ? 0x03000000 : 0x01000000;
    pp->align = base == 0 ? 1 : 0;
    pp->Overlay(doc_tabs_);
    const LevelStyles* styles = ctx.styles ? ctx.styles : doc_styles_;
    const LevelStyles* chain[] = {&doc_styles_[base], &styles[base], &styles[type]};
    for (const LevelStyles* ls : chain) {
      if (!ls->present) continue;
      pp->Overlay(ls->para[level]);
      cp->Overlay(ls->chars[level]);
    }
  };
  // Fields by the position of the character they stand in for.
  std::map<uint32_t, const Field*> fields;
  for (const Field& f : text.fields) fields[f.pos] = &f;

  size_t pi = 0, ci = 0;
  uint32_t p_left = para_runs.empty() ? UINT32_MAX : para_runs[0].count;
  uint32_t c_left = char_runs.empty() ? UINT32_MAX : char_runs[0].count;
  Paragraph para;
  ParaProps pp;
  CharProps cp;
  int level = para_runs.empty() ? 0 : para_runs[0].level;
  const ParaExtension* para_ext = nullptr;
  bool para_started = false;  // its first character's props have been seen
  // Automatic numbers count on through paragraphs of one level; a paragraph of that level
  // without a number, or one of a shallower level, starts the count again.
  int counters[5] = {0, 0, 0, 0, 0};
  auto start_para = [&]() {
    para = Paragraph();
    para_ext = nullptr;
    para_started = false;
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
    if (pp.default_tab > 0) para.default_tab = pp.default_tab;
    std::vector<std::pair<int16_t, uint16_t>> tabs = pp.tabs;
    // The text's own ruler: its margins per level, tab stops and tab size.
    const Ruler& ruler = text.ruler;
    if (text.has_ruler) {
      if (ruler.has_margin[level]) para.left_margin = ruler.margin[level];
      if (ruler.has_indent[level]) para.indent = ruler.indent[level];
      if (ruler.has_default_tab && ruler.default_tab > 0) para.default_tab = ruler.default_tab;
      if (ruler.has_tabs) tabs = ruler.tabs;
    }
    for (const auto& t : tabs)
      para.tabs.push_back(TabStop{t.first, TabStop::Kind(std::min<uint16_t>(t.second, 3))});
    std::sort(para.tabs.begin(), para.tabs.end(),
              [](const TabStop& a, const TabStop& b) { return a.position < b.position; });
    para.bullet = pp.bullet_flags & 1;
    if (pp.bullet_char >= 0x20) para.bullet_char = pp.bullet_char;
    const bool has_font = (pp.bullet_flags & 2) && pp.bullet_font < fonts_.size();
    bool symbol_font = has_font && fonts_[pp.bullet_font].charset == 2;
    if (symbol_font || (para.bullet_char >= 0xF000 && para.bullet_char <= 0xF0FF)) {
      para.bullet_char = SymbolBullet(uint8_t(para.bullet_char));
    } else if (has_font) {
      para.bullet_font = fonts_[pp.bullet_font].name;
      para.bullet_charset = fonts_[pp.bullet_font].charset;
      para.bullet_pitch_family = fonts_[pp.bullet_font].pitch_family;
    }
    para.bullet_size = (pp.bullet_flags & 8) && pp.bullet_size != 0 && pp.bullet_size >= -4000
                           ? pp.bullet_size
                           : 100;
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
  auto run_of = [&]() {
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
    run.shadow = cp.shadow;
    run.emboss = cp.emboss;
    run.shadow_color = ctx.scheme[2];
    run.escapement = std::max<int>(-100, std::min<int>(100, cp.position));
    run.color = TextColor(cp.color, ctx);
    return run;
  };
  auto same = [](const ppt::Run& a, const ppt::Run& b) {
    return a.font == b.font && a.size == b.size && a.bold == b.bold && a.italic == b.italic &&
           a.underline == b.underline && a.shadow == b.shadow && a.emboss == b.emboss &&
           a.escapement == b.escapement && a.color == b.color;
  };
  auto add_text = [&](const std::u16string& s) {
    ppt::Run run = run_of();
    if (para.runs.empty() || !same(para.runs.back(), run)) para.runs.push_back(run);
    para.runs.back().text += s;
  };
  auto first_char = [&]() {
    if (para_started) return;
    para_started = true;
    para.bullet_color = TextColor(
        (pp.mask & ParaProps::kBulletColor) && (pp.bullet_flags & 4) ? pp.bullet_color : cp.color,
        ctx);
    if (cp.extension < text.extensions.size()) para_ext = &text.extensions[cp.extension];
  };
  auto finish_para = [&]() {
    first_char();
    // An empty paragraph keeps its font, so its line is as tall as the author saw it.
    if (para.runs.empty()) para.runs.push_back(run_of());
    bool numbered = para.bullet && para_ext && para_ext->has_autonumber && para_ext->autonumber;
    bool has_text = false;
    for (const ppt::Run& r : para.runs) has_text |= !r.text.empty();
    if (has_text) {
      int& n = counters[level];
      if (numbered) {
        int start = para_ext->has_scheme ? para_ext->start : 1;
        n = n > 0 ? n + 1 : std::max(1, start);
        para.bullet_text = AutoNumberText(para_ext->has_scheme ? para_ext->scheme : 3, n);
      } else if (para.bullet && para_ext && para_ext->blip >= 0 &&
                 size_t(para_ext->blip) < bullet_blips_.size()) {
        para.bullet_blip = bullet_blips_[size_t(para_ext->blip)];
        n = 0;
      } else {
        n = 0;
      }
      for (int deeper = level + 1; deeper < 5; deeper++) counters[deeper] = 0;
    }
    body->paragraphs.push_back(para);
  };
  start_para();
  cp = char_style();
  // Far more than a slide can show; bounds the work a hostile file can ask of the renderer.
  const size_t shown = std::min<size_t>(text.chars.size(), 65536);
  for (size_t i = 0; i < shown; i++) {
    char16_t ch = text.chars[i];
    if (ch == u'\r') finish_para();
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
      continue;
    }
    if (c_left != UINT32_MAX || ci < char_runs.size()) cp = char_style();
    first_char();
    auto field = fields.find(uint32_t(i));
    if (field != fields.end()) {
      std::u16string shows = FieldText(*field->second, ctx);
      Field::Kind kind = field->second->kind;
      body->fields |= kind == Field::kSlideNumber ? TextBody::kSlideNumberField
                      : kind == Field::kDateTime || kind == Field::kGenericDate
                          ? TextBody::kDateField
                          : TextBody::kHeaderFooterField;
      if (!shows.empty() || ch == u'*') {
        add_text(shows);
        continue;
      }
    }
    add_text(std::u16string(1, ch));
  }
  finish_para();
}

// A master's date, number or footer placeholder, filled for the slide when it shows it. Text
// around a field (a "Page *" or "(*)") stays as the master has it.
bool Loader::FooterText(const Context& ctx, Shape* s) {
  if (!ctx.footers) return false;
  const Footers& f = *ctx.footers;
  std::u16string text;
  if (s->placeholder == 0x07 && f.date) {
    if (f.today && (s->text.fields & TextBody::kDateField)) return true;
    text = f.today ? FormatDateTime(f.date_format, now_) : f.date_text;
    if (text.empty()) return false;
  } else if (s->placeholder == 0x08 && f.number) {
    if (s->text.fields & TextBody::kSlideNumberField) return true;
    for (char c : std::to_string(f.slide_number)) text += char16_t(c);
  } else if (s->placeholder == 0x09 && f.footer && !f.footer_text.empty()) {
    if (s->text.fields & TextBody::kHeaderFooterField) return true;
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
