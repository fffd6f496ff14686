#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "ppt/loader.h"
#include "text/symbol_faces.h"

namespace ppt::detail {

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
    if (entity.len > 2 && ReadBlip(at, entity.len - 2, index_.OffsetOf(at), index_.size(), &blip)) {
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

// Builds one text body from its characters and its paragraph and character runs. The builder's
// state is the walk's: where it is in each kind of run, the paragraph being built with its
// properties, and the automatic numbers counted so far.
class TextBuilder {
 public:
  TextBuilder(const Loader& loader, const RawText& text, const Context& ctx, TextBody* body)
      : loader_(loader), text_(text), ctx_(ctx), body_(body) {
    if (text.has_style)
      ReadStyleRuns(text.style.body, text.style.len, text.chars.size(), &para_runs_, &char_runs_);
    namespace tt = text_type;
    type_ = text.type >= 0 && text.type <= tt::kQuarterBody ? text.type : tt::kOther;
    // Centred titles take the title's styles, centred, half and quarter bodies the body's.
    base_ = (type_ == tt::kTitle || type_ == tt::kCenterTitle) ? tt::kTitle
            : (type_ == tt::kBody || type_ >= tt::kCenterBody) ? tt::kBody
            : type_ == tt::kNotes                              ? tt::kNotes
                                                               : tt::kOther;
    for (const Field& f : text.fields) fields_[f.pos] = &f;
    p_left_ = para_runs_.empty() ? UINT32_MAX : para_runs_[0].count;
    c_left_ = char_runs_.empty() ? UINT32_MAX : char_runs_[0].count;
    level_ = para_runs_.empty() ? 0 : para_runs_[0].level;
  }

  void Build() {
    StartParagraph();
    cp_ = CharStyle();
    // Far more than a slide can show; bounds the work a hostile file can ask of the renderer.
    const size_t shown = std::min<size_t>(text_.chars.size(), kMaxShownChars);
    for (size_t i = 0; i < shown; i++) {
      char16_t ch = text_.chars[i];
      if (ch == u'\r') {
        FinishParagraph();
        Advance();
        StartParagraph();
        cp_ = CharStyle();
        continue;
      }
      // A character takes the run it lies in: the style is read before moving past it.
      if (c_left_ != UINT32_MAX || ci_ < char_runs_.size()) cp_ = CharStyle();
      FirstChar();
      if (!AddField(uint32_t(i), ch)) AddText(std::u16string(1, ch));
      Advance();
    }
    FinishParagraph();
  }

 private:
  static constexpr size_t kMaxShownChars = 65536;
  static constexpr uint8_t kSymbolCharset = 2;  // a font whose characters are pictures
  static constexpr int kLevels = 5;

  // Built-in defaults, then the document's and the master's styles of the base type, then those
  // of the specific type.
  void StyleAt(int level, ParaProps* pp, CharProps* cp) const {
    level = std::min(std::max(level, 0), kLevels - 1);
    *pp = ParaProps();
    *cp = CharProps();
    cp->size = base_ == 0 ? 44 : base_ == 1 ? (level == 0 ? 32 : level == 1 ? 28 : 24) : 18;
    cp->color = base_ == 0 ? 0x03000000 : 0x01000000;
    pp->align = base_ == 0 ? 1 : 0;
    pp->Overlay(loader_.doc_tabs_);
    const LevelStyles* styles = ctx_.styles ? ctx_.styles : loader_.doc_styles_;
    const LevelStyles* chain[] = {&loader_.doc_styles_[base_], &styles[base_], &styles[type_]};
    for (const LevelStyles* ls : chain) {
      if (!ls->present) continue;
      pp->Overlay(ls->para[level]);
      cp->Overlay(ls->chars[level]);
    }
  }

  // Moves one character on in the paragraph and character runs.
  void Advance() {
    if (--p_left_ == 0 && pi_ < para_runs_.size()) {
      pi_++;
      p_left_ = pi_ < para_runs_.size() ? para_runs_[pi_].count : UINT32_MAX;
    }
    if (--c_left_ == 0 && ci_ < char_runs_.size()) {
      ci_++;
      c_left_ = ci_ < char_runs_.size() ? char_runs_[ci_].count : UINT32_MAX;
    }
  }

  void StartParagraph() {
    para_ = Paragraph();
    para_ext_ = nullptr;
    para_started_ = false;
    level_ = pi_ < para_runs_.size() ? std::min<int>(para_runs_[pi_].level, kLevels - 1) : level_;
    ParaProps base_pp;
    CharProps base_cp;
    StyleAt(level_, &base_pp, &base_cp);
    pp_ = base_pp;
    if (pi_ < para_runs_.size()) pp_.Overlay(para_runs_[pi_].para);
    para_.level = level_;
    para_.align = pp_.align <= 3 ? Paragraph::Align(pp_.align) : Paragraph::kLeft;
    para_.left_margin = pp_.left_margin;
    para_.indent = pp_.indent;
    if (pp_.default_tab > 0) para_.default_tab = pp_.default_tab;
    std::vector<std::pair<int16_t, uint16_t>> tabs = pp_.tabs;
    // The text's own ruler: its margins per level, tab stops and tab size.
    const Ruler& ruler = text_.ruler;
    if (text_.has_ruler) {
      if (ruler.has_margin[level_]) para_.left_margin = ruler.margin[level_];
      if (ruler.has_indent[level_]) para_.indent = ruler.indent[level_];
      if (ruler.has_default_tab && ruler.default_tab > 0) para_.default_tab = ruler.default_tab;
      if (ruler.has_tabs) tabs = ruler.tabs;
    }
    for (const auto& t : tabs)
      para_.tabs.push_back(TabStop{t.first, TabStop::Kind(std::min<uint16_t>(t.second, 3))});
    std::sort(para_.tabs.begin(), para_.tabs.end(),
              [](const TabStop& a, const TabStop& b) { return a.position < b.position; });
    SetBullet();
    para_.line_spacing = pp_.line_spacing;
    para_.space_before = pp_.space_before;
    para_.space_after = pp_.space_after;
  }

  void SetBullet() {
    const std::vector<Font>& fonts = loader_.fonts_;
    para_.bullet = pp_.bullet_flags & ParaProps::kHasBullet;
    if (pp_.bullet_char >= 0x20) para_.bullet_char = pp_.bullet_char;
    const bool has_font =
        (pp_.bullet_flags & ParaProps::kBulletHasFont) && pp_.bullet_font < fonts.size();
    bool symbol_font = has_font && fonts[pp_.bullet_font].charset == kSymbolCharset;
    if (symbol_font || (para_.bullet_char >= 0xF000 && para_.bullet_char <= 0xF0FF)) {
      // The face's own table where there is one; otherwise what such bullets mostly are.
      const char16_t shown =
          has_font ? text::SymbolToUnicode(text::SymbolFaceOf(fonts[pp_.bullet_font].name),
                                           para_.bullet_char)
                   : 0;
      para_.bullet_char = shown && shown != u' ' ? shown : SymbolBullet(uint8_t(para_.bullet_char));
      para_.bullet_from_symbols = true;
    } else if (has_font) {
      para_.bullet_font = fonts[pp_.bullet_font].name;
      para_.bullet_charset = fonts[pp_.bullet_font].charset;
      para_.bullet_pitch_family = fonts[pp_.bullet_font].pitch_family;
    }
    para_.bullet_size = (pp_.bullet_flags & ParaProps::kBulletHasSize) && pp_.bullet_size != 0 &&
                                pp_.bullet_size >= -4000
                            ? pp_.bullet_size
                            : 100;
  }

  CharProps CharStyle() const {
    ParaProps unused;
    CharProps c;
    StyleAt(level_, &unused, &c);
    if (ci_ < char_runs_.size()) c.Overlay(char_runs_[ci_].chars);
    return c;
  }

  ppt::Run RunOf() const {
    const std::vector<Font>& fonts = loader_.fonts_;
    ppt::Run run;
    if (cp_.font < fonts.size()) {
      run.font = fonts[cp_.font].name;
      run.pitch_family = fonts[cp_.font].pitch_family;
      run.charset = fonts[cp_.font].charset;
    }
    run.size = cp_.size > 0 && cp_.size < 4000 ? cp_.size : 18;
    run.bold = cp_.bold;
    run.italic = cp_.italic;
    run.underline = cp_.underline;
    run.shadow = cp_.shadow;
    run.emboss = cp_.emboss;
    run.shadow_color = ctx_.scheme[2];
    run.escapement = std::max<int>(-100, std::min<int>(100, cp_.position));
    run.color = loader_.TextColor(cp_.color, ctx_);
    return run;
  }

  static bool SameLook(const ppt::Run& a, const ppt::Run& b) {
    return a.font == b.font && a.size == b.size && a.bold == b.bold && a.italic == b.italic &&
           a.underline == b.underline && a.shadow == b.shadow && a.emboss == b.emboss &&
           a.escapement == b.escapement && a.color == b.color;
  }

  // Characters inserted as symbols lie in the private range and show in the run's symbol face.
  void AddText(const std::u16string& s) {
    ppt::Run run = RunOf();
    const std::vector<Font>& fonts = loader_.fonts_;
    if ((cp_.mask & CharProps::kSymbolFont) && cp_.symbol_font < fonts.size() && s.size() == 1 &&
        text::InSymbolPrivateRange(s[0])) {
      run.font = fonts[cp_.symbol_font].name;
      run.pitch_family = fonts[cp_.symbol_font].pitch_family;
      run.charset = fonts[cp_.symbol_font].charset;
    }
    if (para_.runs.empty() || !SameLook(para_.runs.back(), run)) para_.runs.push_back(run);
    para_.runs.back().text += s;
  }

  // The field standing in for the character at `pos`, if any: what it shows goes in instead.
  bool AddField(uint32_t pos, char16_t ch) {
    auto field = fields_.find(pos);
    if (field == fields_.end()) return false;
    std::u16string shows = loader_.FieldText(*field->second, ctx_);
    Field::Kind kind = field->second->kind;
    body_->fields |= kind == Field::kSlideNumber ? TextBody::kSlideNumberField
                     : kind == Field::kDateTime || kind == Field::kGenericDate
                         ? TextBody::kDateField
                         : TextBody::kHeaderFooterField;
    if (shows.empty() && ch != u'*') return false;
    AddText(shows);
    return true;
  }

  // What the paragraph takes from its first character: the bullet's colour and its extension.
  void FirstChar() {
    if (para_started_) return;
    para_started_ = true;
    para_.bullet_color = loader_.TextColor(
        (pp_.mask & ParaProps::kBulletColor) && (pp_.bullet_flags & ParaProps::kBulletHasColor)
            ? pp_.bullet_color
            : cp_.color,
        ctx_);
    if (cp_.extension < text_.extensions.size()) para_ext_ = &text_.extensions[cp_.extension];
  }

  void FinishParagraph() {
    FirstChar();
    // An empty paragraph keeps its font, so its line is as tall as the author saw it.
    if (para_.runs.empty()) para_.runs.push_back(RunOf());
    bool has_text = false;
    for (const ppt::Run& r : para_.runs) has_text |= !r.text.empty();
    if (has_text) Number();
    body_->paragraphs.push_back(para_);
  }

  // Automatic numbers count on through paragraphs of one level; a paragraph of that level
  // without a number, or one of a shallower level, starts the count again.
  void Number() {
    const std::vector<int>& bullet_blips = loader_.bullet_blips_;
    bool numbered = para_.bullet && para_ext_ && para_ext_->has_autonumber && para_ext_->autonumber;
    int& n = counters_[level_];
    if (numbered) {
      int start = para_ext_->has_scheme ? para_ext_->start : 1;
      n = n > 0 ? n + 1 : std::max(1, start);
      para_.bullet_text = AutoNumberText(para_ext_->has_scheme ? para_ext_->scheme : 3, n);
    } else if (para_.bullet && para_ext_ && para_ext_->blip >= 0 &&
               size_t(para_ext_->blip) < bullet_blips.size()) {
      para_.bullet_blip = bullet_blips[size_t(para_ext_->blip)];
      n = 0;
    } else {
      n = 0;
    }
    for (int deeper = level_ + 1; deeper < kLevels; deeper++) counters_[deeper] = 0;
  }

  const Loader& loader_;
  const RawText& text_;
  const Context& ctx_;
  TextBody* body_;
  std::vector<StyleRun> para_runs_, char_runs_;
  int type_ = 0, base_ = 0;
  std::map<uint32_t, const Field*> fields_;  // by the position of the character they stand in for
  size_t pi_ = 0, ci_ = 0;
  uint32_t p_left_ = UINT32_MAX, c_left_ = UINT32_MAX;
  Paragraph para_;
  ParaProps pp_;
  CharProps cp_;
  int level_ = 0;
  const ParaExtension* para_ext_ = nullptr;
  bool para_started_ = false;  // its first character's props have been seen
  int counters_[kLevels] = {0, 0, 0, 0, 0};
};

void Loader::BuildText(const RawText& text, const Context& ctx, TextBody* body) {
  if (text.chars.empty()) return;
  if (slide_chars_ + text.chars.size() > kMaxSlideChars) {
    text_cut_ = true;
    return;
  }
  if (!budget_.Spend(1 + text.chars.size() * cost::kTextChar)) return;
  slide_chars_ += text.chars.size();
  TextBuilder(*this, text, ctx, body).Build();
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
}  // namespace ppt::detail
