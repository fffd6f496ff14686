#include "ppt/pp95_text.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "ppt/charsets.h"
#include "ppt/run_cursor.h"
#include "text/symbol_faces.h"

namespace ppt::detail::pp95 {
namespace {

// What the strings of a text's content hold, by their reference numbers.
constexpr uint32_t kRefCharRuns = 0x2F, kRefParaRuns = 0x30, kRefChars = 0x35;

// Character formats: the face's number, size, style bits, a colour as the later format writes
// it, and how far the baseline moves, in percent of the size.
constexpr size_t kCharFaceAt = 0, kCharSizeAt = 4, kCharStyleAt = 8, kCharColorAt = 10,
                 kCharFormatSize = 14, kEscapementAt = 16, kEscapementEnd = 20;
constexpr uint16_t kBold = 0x0001, kItalic = 0x0002, kUnderline = 0x0004, kShadow = 0x0010,
                   kEmboss = 0x0200;
constexpr uint32_t kMaxTextSize = 4000;  // points
constexpr int32_t kMaxEscapement = 100;  // percent

// Paragraph formats: the bullet (switches, colour, character, face, size), the outline level,
// the alignment and the spacing of lines and paragraphs.
constexpr size_t kBulletFlagsAt = 0, kBulletColorAt = 2, kBulletCharAt = 6, kBulletFaceAt = 8,
                 kBulletSizeAt = 12, kLevelAt = 24, kAlignAt = 28, kAlignEnd = 30,
                 kLineSpacingAt = 32, kSpaceBeforeAt = 36, kSpaceAfterAt = 40, kSpacingEnd = 44;
constexpr uint16_t kHasBullet = 0x0001, kBulletHasFace = 0x0004, kBulletHasColor = 0x0010,
                   kBulletHasSize = 0x0040;
constexpr uint8_t kFollowsText = 0xFD;  // a bullet colour index: the first character's colour
constexpr int16_t kMinBulletSize = 25, kMaxBulletSize = 400;  // percent
// Spacing is a percentage of the line, or, below zero, points.
constexpr int32_t kMaxSpacingPercent = 10000, kMaxSpacingPoints = 4000;
constexpr int32_t kMasterUnitsPerPoint = 8;

// A font entry's logical font: character set, pitch and family, and the face's name.
constexpr size_t kCharsetAt = 23, kPitchFamilyAt = 27, kFaceAt = 28, kFaceSize = 32;
constexpr uint8_t kSymbolCharset = 2;
constexpr size_t kMaxFaces = 256;  // the number a font entry takes is one byte

constexpr size_t kMaxRulers = 16;
constexpr int32_t kMaxIndent = 1 << 16;
constexpr size_t kMaxRuns = 100000;

// A run of a style string: how many characters it covers, and its format's body.
struct StyleRun {
  uint32_t count = 0;
  const uint8_t* format = nullptr;
  size_t size = 0;
};

std::vector<StyleRun> ReadRuns(const Rec& runs) {
  std::vector<StyleRun> out;
  Rec s;
  if (!Find(runs, rt95::kString, &s)) return out;
  ByteReader br = s.reader();
  while (br.Has(4 + kHeaderSize) && out.size() < kMaxRuns) {
    StyleRun r;
    r.count = br.U32();
    Kids k(br.here(), br.left());
    Rec f;
    if (!k.Next(&f)) break;
    r.format = f.body;
    r.size = f.len;
    br.Skip(kHeaderSize + f.len);
    out.push_back(r);
  }
  return out;
}

void ApplyCharFormat(const StyleRun* f, const TextContext& c, Run* r) {
  const Face* face =
      &c.faces.Of(f && f->size >= kCharFormatSize ? Le16(f->format + kCharFaceAt) : UINT32_MAX);
  r->font = face->name;
  r->charset = face->charset;
  r->pitch_family = face->pitch_family;
  if (!f || f->size < kCharFormatSize) {
    r->color = c.scheme.slots[c.slot];
    return;
  }
  const uint8_t* p = f->format;
  uint32_t size = Le32(p + kCharSizeAt);
  if (size >= 1 && size <= kMaxTextSize) r->size = int(size);
  uint16_t style = Le16(p + kCharStyleAt);
  r->bold = style & kBold;
  r->italic = style & kItalic;
  r->underline = style & kUnderline;
  r->shadow = style & kShadow;
  r->emboss = style & kEmboss;
  r->color = c.scheme.Color(p + kCharColorAt, c.slot);
  if (f->size >= kEscapementEnd)
    r->escapement = std::clamp(int32_t(Le32(p + kEscapementAt)), -kMaxEscapement, kMaxEscapement);
}

// A spacing as the paragraph keeps it: percent, or master units below zero.
int Spacing(int32_t stored) {
  if (stored >= 0) return std::min(stored, kMaxSpacingPercent);
  return -std::min(-int64_t(stored), int64_t(kMaxSpacingPoints)) * kMasterUnitsPerPoint;
}

void ApplyBullet(const uint8_t* f, const TextContext& c, Paragraph* p) {
  const uint16_t flags = Le16(f + kBulletFlagsAt);
  p->bullet = flags & kHasBullet;
  if (!p->bullet) return;
  const uint8_t code = uint8_t(Le16(f + kBulletCharAt));
  if (code >= 0x20) p->bullet_char = FromWindows1252(code);
  const uint16_t face_id = Le16(f + kBulletFaceAt);
  if ((flags & kBulletHasFace) && c.faces.Has(face_id)) {
    const Face& face = c.faces.Of(face_id);
    // A symbol face's character is shown as the Unicode one it pictures.
    const char16_t shown = text::SymbolToUnicode(text::SymbolFaceOf(face.name), code);
    if (shown && shown != u' ') {
      p->bullet_char = shown;
      p->bullet_from_symbols = true;
    } else if (face.charset == kSymbolCharset) {
      p->bullet_char = 0x2022;
      p->bullet_from_symbols = true;
    } else {
      p->bullet_font = face.name;
      p->bullet_charset = face.charset;
      p->bullet_pitch_family = face.pitch_family;
    }
  }
  const int16_t size = int16_t(Le16(f + kBulletSizeAt));
  if ((flags & kBulletHasSize) && size >= kMinBulletSize && size <= kMaxBulletSize)
    p->bullet_size = size;
}

// Whether the paragraph's bullet takes the colour the format stores; if not, its first
// character's.
bool BulletColored(const StyleRun* f) {
  return f && f->size >= kSpacingEnd && (Le16(f->format + kBulletFlagsAt) & kBulletHasColor) &&
         f->format[kBulletColorAt + 3] != kFollowsText;
}

void ApplyParaFormat(const StyleRun* f, const TextContext& c, Paragraph* p) {
  if (!f || f->size < kAlignEnd) return;
  const uint8_t* b = f->format;
  uint8_t level = b[kLevelAt];
  if (level < kLevels) {
    p->level = level;
    p->left_margin = c.ruler.margin[level];
    p->indent = c.ruler.indent[level];
  }
  static const Paragraph::Align kAlign[] = {Paragraph::kLeft, Paragraph::kCenter, Paragraph::kRight,
                                            Paragraph::kJustify};
  uint16_t a = Le16(b + kAlignAt);
  if (a < std::size(kAlign)) p->align = kAlign[a];
  if (f->size < kSpacingEnd) return;
  ApplyBullet(b, c, p);
  if (BulletColored(f)) p->bullet_color = c.scheme.Color(b + kBulletColorAt, c.slot);
  p->line_spacing = Spacing(int32_t(Le32(b + kLineSpacingAt)));
  p->space_before = Spacing(int32_t(Le32(b + kSpaceBeforeAt)));
  p->space_after = Spacing(int32_t(Le32(b + kSpaceAfterAt)));
}

void BuildParagraphs(const std::u16string& chars, std::vector<StyleRun> char_runs,
                     std::vector<StyleRun> para_runs, const TextContext& c, TextBody* body) {
  RunCursor<StyleRun> cf(std::move(char_runs)), pf(std::move(para_runs));
  Paragraph p;
  const StyleRun* pformat = pf.At(0);
  ApplyParaFormat(pformat, c, &p);
  Run run;
  const StyleRun* current = nullptr;
  bool started = false;
  for (size_t i = 0; i <= chars.size(); i++) {
    bool end = i == chars.size() || chars[i] == u'\r';
    const StyleRun* f = cf.At(i);
    if (!started || (f != current && !end)) {
      if (started && !run.text.empty()) p.runs.push_back(run);
      run = Run();
      ApplyCharFormat(f, c, &run);
      current = f;
      started = true;
    }
    if (!end) {
      run.text += chars[i];
      continue;
    }
    // An empty paragraph keeps its run: its size sets the line's height.
    p.runs.push_back(run);
    if (!BulletColored(pformat)) p.bullet_color = p.runs.front().color;
    body->paragraphs.push_back(std::move(p));
    p = Paragraph();
    pformat = pf.At(i + 1);
    ApplyParaFormat(pformat, c, &p);
    run.text.clear();
  }
}

}  // namespace

Faces::Faces(const Rec& document) {
  first_.name = "Arial";
  Rec env, fonts;
  if (!Find(document, rt95::kEnvironment, &env) || !Find(env, rt95::kFonts, &fonts)) return;
  // Each entry is followed by the number runs name it by.
  Kids k(fonts);
  Rec r;
  Face pending;
  bool have = false, first = true;
  while (k.Next(&r)) {
    if (r.type == rt95::kFont) {
      // The entry holds its atom as bytes of its own.
      Kids in(r.body, r.len);
      Rec atom;
      have = in.Next(&atom) && atom.type == rt95::kFontAtom && atom.len >= kFaceAt + kFaceSize;
      if (!have) continue;
      pending = Face();
      for (size_t i = 0; i < kFaceSize && atom.body[kFaceAt + i]; i++)
        pending.name += char(atom.body[kFaceAt + i]);
      pending.charset = atom.body[kCharsetAt];
      pending.pitch_family = atom.body[kPitchFamilyAt];
      have = !pending.name.empty();
      if (have && first) first_ = pending;
      first = false;
    } else if (r.type == rt95::kFontId && have) {
      const size_t id = r.ref & 0xFF;
      if (by_id_.size() <= id) by_id_.resize(std::min(id + 1, kMaxFaces));
      by_id_[id] = pending;
      have = false;
    }
  }
}

const Face& Faces::Of(uint32_t id) const {
  return Has(id) ? by_id_[id] : first_;
}

std::vector<Ruler> ReadRulers(const Rec& document) {
  std::vector<Ruler> out;
  Rec env, list;
  if (!Find(document, rt95::kEnvironment, &env) || !Find(env, rt95::kRulers, &list)) return out;
  Kids k(list);
  Rec entry, ruler;
  while (k.Next(&entry) && out.size() < kMaxRulers) {
    if (entry.type != rt95::kRulerEntry) continue;
    Ruler r;
    if (Find(entry, rt95::kRuler, &ruler)) {
      ByteReader br = ruler.reader();
      for (int i = 0; i < kLevels && br.Has(8); i++) {
        r.margin[i] = std::clamp(br.I32(), 0, kMaxIndent);
        r.indent[i] = std::clamp(br.I32(), 0, kMaxIndent);
      }
    }
    out.push_back(r);
  }
  return out;
}

bool ReadTextContent(const Rec& content, const TextContext& context, TextBody* body) {
  std::u16string chars;
  std::vector<StyleRun> char_runs, para_runs;
  Kids parts(content);
  Rec part;
  while (parts.Next(&part)) {
    if (part.type == rt95::kString && part.ref == kRefChars) {
      chars.clear();
      for (size_t i = 0; i < part.len; i++) chars += FromWindows1252(part.body[i]);
    } else if (part.type == rt95::kStyleRuns && part.ref == kRefCharRuns) {
      char_runs = ReadRuns(part);
    } else if (part.type == rt95::kStyleRuns && part.ref == kRefParaRuns) {
      para_runs = ReadRuns(part);
    }
  }
  if (chars.empty()) return false;
  BuildParagraphs(chars, std::move(char_runs), std::move(para_runs), context, body);
  return true;
}

}  // namespace ppt::detail::pp95
