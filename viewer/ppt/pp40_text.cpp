// The text of PowerPoint 4 frames: characters with their runs of character and paragraph
// formats, laid over the ruler the text names.
#include <algorithm>
#include <iterator>
#include <string>

#include "ppt/charsets.h"
#include "ppt/pp40_zones.h"
#include "ppt/run_cursor.h"

namespace ppt::detail::pp4 {
namespace {

// A text's head: its ruler, its layout switches, its box (at 8), the formats of its first character
// and paragraph, then the count of its characters, which follow padded to an even length.
constexpr size_t kRulerAt = 0, kFlagsAt = 2, kCharsCountAt = 54, kTextHead = 58;
constexpr size_t kZoneHead = 14;
// Each list of runs: a tag, the characters it covers, its entries' size and their count.
constexpr size_t kRunsHead = 12, kRunsSizeAt = 6, kRunsCountAt = 8;
constexpr uint16_t kCharRunSize = 16, kParaRunSize = 28;
// Layout switches: the vertical anchor in the top bits; text not centred as a block, wrapped,
// and the frame sized to its text.
constexpr uint8_t kAnchorShift = 6, kNotCentred = 0x20, kWrap = 0x02, kFitFrame = 0x01;
// A character format: face number, size, style bits, colour number and raise.
constexpr size_t kFaceAt = 0, kSizeAt = 2, kStyleAt = 4, kColorAt = 6, kRaiseAt = 8;
constexpr uint16_t kBold = 0x01, kItalic = 0x02, kUnderline = 0x04, kEmboss = 0x08, kShadow = 0x10;
constexpr int kMaxTextSize = 4000;  // points
// A paragraph format: bullet switch, colour and character, then the bullet's face and size,
// the outline level, alignment and spacing.
constexpr size_t kBulletFlagsAt = 0, kBulletColorAt = 1, kBulletCharAt = 2, kBulletFaceAt = 4,
                 kBulletSizeAt = 6, kLevelAt = 12, kAlignAt = 14, kLineSpacingAt = 16,
                 kBeforeAt = 18, kAfterAt = 20;
constexpr uint8_t kHasBullet = 0x01, kNoColor = 0xFF, kNoChar = 0xFF;
// Spacing below zero is in points; master units are eight to the point.
constexpr int kUnitsPerPoint = 8, kMaxSpacing = 5000;
constexpr size_t kMaxRuns = 100000;
constexpr char16_t kParagraphEnd = u'\r';
constexpr uint8_t kNumberField = '#';

// A run of a format list: the characters it covers and the format itself.
struct Span {
  uint32_t count = 0;
  const uint8_t* format = nullptr;
};

std::vector<Span> ReadSpans(ByteReader r, size_t count, size_t entry) {
  std::vector<Span> out;
  for (size_t i = 0; i < count && i < kMaxRuns && r.Has(entry); i++) {
    Span s;
    s.count = Le32(r.here());
    s.format = r.here() + 4;
    r.Skip(entry);
    out.push_back(s);
  }
  return out;
}

// The format of the span in force at character `at`; null past the last span.
const uint8_t* FormatAt(RunCursor<Span>* spans, size_t at) {
  const Span* s = spans->At(at);
  return s ? s->format : nullptr;
}

// A run list's entries, when its head declares the entry size this reader knows.
bool ReadRunList(ByteReader* r, uint16_t entry, ByteReader* out, size_t* count) {
  if (!r->Has(kRunsHead)) return false;
  const uint8_t* head = r->here();
  uint32_t n = Le32(head + kRunsCountAt);
  if (Le16(head + kRunsSizeAt) != entry) return false;
  r->Skip(kRunsHead);
  size_t fits = r->left() / entry;
  *count = std::min<size_t>(n, fits);
  *out = ByteReader(r->here(), *count * entry);
  r->Skip(*count * entry);
  return n <= fits;
}

int16_t I16At(const uint8_t* p) {
  return int16_t(Le16(p));
}

std::string FaceOf(const TextContext& c, int number) {
  if (number >= 0 && size_t(number) < c.faces->size() && !(*c.faces)[size_t(number)].empty())
    return (*c.faces)[size_t(number)];
  return "Arial";
}

void ApplyCharFormat(const uint8_t* f, const TextContext& c, Run* r) {
  r->font = FaceOf(c, f ? I16At(f + kFaceAt) : -1);
  r->color = c.palette->scheme[kTextSlot];
  if (!f) return;
  int size = I16At(f + kSizeAt);
  if (size >= 1 && size <= kMaxTextSize) r->size = size;
  uint16_t style = Le16(f + kStyleAt);
  r->bold = style & kBold;
  r->italic = style & kItalic;
  r->underline = style & kUnderline;
  r->emboss = style & kEmboss;
  r->shadow = style & kShadow;
  r->shadow_color = c.palette->scheme[kShadowSlot];
  r->color = c.palette->Color(I16At(f + kColorAt), r->color);
  r->escapement = std::clamp<int>(I16At(f + kRaiseAt), -100, 100);
}

int Spacing(int16_t v) {
  return v >= 0 ? std::min<int>(v, kMaxSpacing) : std::max(v * kUnitsPerPoint, -kMaxSpacing);
}

void ApplyParaFormat(const uint8_t* f, const TextContext& c, const Ruler& ruler,
                     const Run& first_run, Paragraph* p) {
  p->tabs = ruler.tabs;
  p->default_tab = ruler.default_tab;
  p->left_margin = ruler.rest[0];
  p->indent = ruler.first[0];
  if (!f) return;
  int level = Le16(f + kLevelAt) & 0xFF;
  if (level < kLevels) {
    p->level = level;
    p->left_margin = ruler.rest[level];
    p->indent = ruler.first[level];
  }
  static const Paragraph::Align kAlign[] = {Paragraph::kLeft, Paragraph::kCenter, Paragraph::kRight,
                                            Paragraph::kJustify};
  uint16_t a = Le16(f + kAlignAt);
  if (a < std::size(kAlign)) p->align = kAlign[a];
  int16_t line = I16At(f + kLineSpacingAt);
  if (line != 0) p->line_spacing = Spacing(line);
  p->space_before = Spacing(I16At(f + kBeforeAt));
  p->space_after = Spacing(I16At(f + kAfterAt));
  if (!(f[kBulletFlagsAt] & kHasBullet) || f[kBulletCharAt] == kNoChar) return;
  p->bullet = true;
  p->bullet_char = FromWindows1252(f[kBulletCharAt]);
  int face = I16At(f + kBulletFaceAt);
  if (face >= 0) p->bullet_font = FaceOf(c, face);
  p->bullet_color = f[kBulletColorAt] == kNoColor
                        ? first_run.color
                        : c.palette->Color(f[kBulletColorAt], first_run.color);
  int size = I16At(f + kBulletSizeAt);
  if (size > 0) p->bullet_size = size;
}

}  // namespace

std::vector<StoredText> ReadTexts(ByteReader zone, size_t* work_left) {
  std::vector<StoredText> out;
  zone.Skip(kZoneHead);
  while (zone.Has(kTextHead + 1) && out.size() < kMaxRuns && *work_left > 0) {
    --*work_left;
    const uint8_t* head = zone.here();
    StoredText t;
    t.ruler = I16At(head + kRulerAt);
    t.flags = head[kFlagsAt];
    uint32_t n = Le32(head + kCharsCountAt);
    zone.Skip(kTextHead);
    if (!zone.Has(n)) break;
    t.chars = ByteReader(zone.here(), n);
    zone.Skip(n + (n & 1));
    bool whole = ReadRunList(&zone, kCharRunSize, &t.char_runs, &t.char_run_count) &&
                 ReadRunList(&zone, kParaRunSize, &t.para_runs, &t.para_run_count);
    out.push_back(t);
    if (!whole) break;
  }
  return out;
}

bool BuildText(const StoredText& text, const TextContext& c, int slide_number, TextBody* body) {
  size_t n = std::min(text.chars.left(), *c.chars_left);
  if (n == 0) return false;
  *c.chars_left -= n;
  Ruler ruler;
  if (text.ruler >= 0 && size_t(text.ruler) < c.rulers->size())
    ruler = (*c.rulers)[size_t(text.ruler)];
  const uint8_t* chars = text.chars.here();
  RunCursor<Span> cf(ReadSpans(text.char_runs, text.char_run_count, kCharRunSize));
  RunCursor<Span> pf(ReadSpans(text.para_runs, text.para_run_count, kParaRunSize));
  uint8_t anchor = text.flags >> kAnchorShift;
  body->anchor = anchor == 1 ? TextBody::kMiddle : anchor == 2 ? TextBody::kBottom : TextBody::kTop;
  body->centered = !(text.flags & kNotCentred);
  body->wrap = text.flags & kWrap;
  body->fit_shape = text.flags & kFitFrame;
  body->face_lines = true;

  Paragraph p;
  Run run;
  const uint8_t* current = nullptr;
  bool started = false, para_open = false;
  for (size_t i = 0; i <= n; i++) {
    bool end = i == n || chars[i] == kParagraphEnd;
    const uint8_t* f = FormatAt(&cf, i);
    // A paragraph's break takes the format of the text before it, but an empty paragraph's
    // sets the blank line's height.
    if (!started || (f != current && (!end || run.text.empty()))) {
      if (started && !run.text.empty()) p.runs.push_back(run);
      run = Run();
      ApplyCharFormat(f, c, &run);
      current = f;
      started = true;
    }
    if (!para_open) {
      ApplyParaFormat(FormatAt(&pf, i), c, ruler, run, &p);
      para_open = true;
    }
    if (!end && slide_number > 0 && chars[i] == kNumberField && i + 1 < n &&
        chars[i + 1] == kNumberField) {
      for (char ch : std::to_string(slide_number)) run.text += char16_t(ch);
      body->fields |= TextBody::kSlideNumberField;
      i++;
      continue;
    }
    if (!end) {
      run.text += FromWindows1252(chars[i]);
      continue;
    }
    p.runs.push_back(run);
    body->paragraphs.push_back(std::move(p));
    p = Paragraph();
    run.text.clear();
    para_open = false;
  }
  return true;
}

}  // namespace ppt::detail::pp4
