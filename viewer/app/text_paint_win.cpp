// Text with GDI: fonts are measured for the portable layout, which decides where every piece
// goes; this file only measures and paints.
#include <algorithm>
#include <cmath>

#include "app/fonts_win.h"
#include "app/paint_util_win.h"
#include "app/render_win.h"
#include "text/layout.h"
#include "text/symbol_faces.h"

namespace viewer {

namespace {
// The em height text is measured at; hinting leaves widths at this size as designed.
constexpr double kDesignPx = 512;
// Gaps between two pieces of a line, as shares of the text size: wider than a word break's, a
// tab's that holds two stretches of text apart.
constexpr double kWordGap = 0.1, kStretchGap = 1.0;
// The size a face is asked for when only its characters matter.
constexpr double kProbePx = 32;
}  // namespace

HFONT SlideRenderer::Font(const text::Font& f) {
  std::string face = mapper_->Resolve(f.face, f.pitch_family, f.charset);
  int height_px = std::max(1, int(std::lround(f.size)));
  std::string key = face + "|" + std::to_string(height_px) + "|" + char('0' + f.bold) +
                    char('0' + f.italic) + char('0' + f.underline) + std::to_string(f.charset);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second.get();
  LOGFONTW lf{};
  lf.lfHeight = -height_px;
  lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = f.italic;
  lf.lfUnderline = f.underline;
  lf.lfCharSet = f.charset == SYMBOL_CHARSET ? DEFAULT_CHARSET : f.charset;
  lf.lfOutPrecision = OUT_TT_PRECIS;
  lf.lfQuality = ANTIALIASED_QUALITY;
  lf.lfPitchAndFamily = f.pitch_family;
  std::wstring w = WideUtf8(face);
  wcsncpy(lf.lfFaceName, w.c_str(), LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectW(&lf);
  fonts_[key] = AutoFont(font);
  return font;
}

namespace {

std::wstring WideOf(const std::u16string& s) {
  return std::wstring(s.begin(), s.end());
}

bool HasGlyphs(HDC dc, const std::wstring& t) {
  std::vector<WORD> glyphs(t.size());
  if (GetGlyphIndicesW(dc, t.c_str(), int(t.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) ==
      GDI_ERROR)
    return true;  // cannot tell: keep the face the file names
  return std::find(glyphs.begin(), glyphs.end(), WORD(0xFFFF)) == glyphs.end();
}

ppt::Rgb Mix(const ppt::Rgb& a, const ppt::Rgb& b, int percent_b) {
  auto m = [&](uint8_t x, uint8_t y) {
    return uint8_t((x * (100 - percent_b) + y * percent_b) / 100);
  };
  return ppt::Rgb{m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

}  // namespace

// Bullets taken from symbol fonts become Unicode arrows, boxes and ticks, which the text's own
// face often lacks (Windows links no fallback for them): then a face that has them draws them.
// When no face has the character, one that looks like it stands in. A face made to stand in for
// the symbol faces draws their characters first where it is installed: its squares, arrows and
// ticks have the symbol faces' sizes, where a text face's fill the whole em.
HFONT SlideRenderer::BulletFont(HDC dc, const text::Font& f, std::wstring* t, bool from_symbols) {
  if (from_symbols)
    for (const std::string& face : FontMapper::SymbolStandIns()) {
      if (!mapper_->Installed(face)) continue;
      text::Font other = f;
      other.face = face;
      other.charset = DEFAULT_CHARSET;
      other.pitch_family = 0;
      other.bold = other.italic = false;
      HFONT font = Font(other);
      ScopedSelect try_it(dc, font);
      if (HasGlyphs(dc, *t)) return font;
    }
  HFONT own = Font(f);
  std::wstring lookalike = *t;
  for (wchar_t& ch : lookalike)
    if (char16_t other = text::SymbolLookalike(char16_t(ch))) ch = wchar_t(other);
  for (const std::wstring& candidate : {*t, lookalike}) {
    {
      ScopedSelect sel(dc, own);
      if (HasGlyphs(dc, candidate)) {
        *t = candidate;
        return own;
      }
    }
    for (const std::string& face : FontMapper::UnicodeFaces()) {
      text::Font other = f;
      other.face = face;
      other.charset = DEFAULT_CHARSET;
      other.pitch_family = 0;
      HFONT font = Font(other);
      ScopedSelect try_it(dc, font);
      if (HasGlyphs(dc, candidate)) {
        *t = candidate;
        return font;
      }
    }
    if (lookalike == *t) break;
  }
  return own;
}

// Text in a symbol face the machine lacks shows its Unicode characters in a face that has them;
// so does text in a face of that name that lacks its characters (some systems' own "Symbol"
// maps Greek at its Unicode places only, so the symbol codes come out as empty boxes).
const ppt::TextBody& SlideRenderer::WithSymbols(const ppt::TextBody& body, ppt::TextBody* mapped) {
  auto draws = [&](const std::string& face, const std::u16string& t) {
    if (!mapper_->Installed(face)) return false;
    text::Font f;
    f.face = face;
    f.charset = SYMBOL_CHARSET;
    f.size = kProbePx;
    kestrane::WindowDC dc(nullptr);
    ScopedSelect sel(dc.get(), Font(f));
    return HasGlyphs(dc.get(), WideOf(t));
  };
  return text::MapSymbolRuns(body, draws, mapper_->UnicodeFace(), mapped) ? *mapped : body;
}

namespace {

// Whether a build state keeps a paragraph back: it keeps its place but paints nothing.
bool Unbuilt(const std::vector<uint8_t>* states, size_t paragraph) {
  return states && paragraph < states->size() && (*states)[paragraph] == show::ShapeView::kHidden;
}

int Px(double v) {
  return int(std::lround(v));
}

void PutText(HDC dc, int x, int y, const std::wstring& t, const INT* dx = nullptr) {
  ExtTextOutW(dc, x, y, 0, nullptr, t.c_str(), UINT(t.size()), dx);
}

// Whole-pixel steps between letters that add up to the laid-out advances, the rounding spread
// over the run rather than gathered at its end.
std::vector<INT> Steps(const std::vector<double>& advances) {
  std::vector<INT> dx;
  dx.reserve(advances.size());
  double at = 0;
  long placed = 0;
  for (double a : advances) {
    at += a;
    const long next = std::lround(at);
    dx.push_back(INT(next - placed));
    placed = next;
  }
  return dx;
}

}  // namespace

text::Measurer SlideRenderer::MeasurerFor(HDC dc) {
  return [this, dc](const text::Font& f, const std::u16string& s16) {
    text::Metrics m;
    // Measured untransformed: Wine gives a turned shape's text no extent at all when the turn
    // leaves the matrix's x scale near zero (a quarter turn), and the layout wants logical units.
    XFORM turned{1, 0, 0, 1, 0, 0};
    const bool advanced = GetGraphicsMode(dc) == GM_ADVANCED;
    if (advanced) {
      GetWorldTransform(dc, &turned);
      ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
    }
    struct Restore {
      HDC dc;
      bool advanced;
      const XFORM& x;
      ~Restore() {
        if (advanced) SetWorldTransform(dc, &x);
      }
    } restore{dc, advanced, turned};
    // Measured at a size where hinting no longer rounds widths, then scaled: lines break where
    // they do at any size (as the author saw them), not where a small window's whole pixels
    // push them.
    text::Font design = f;
    design.size = kDesignPx;
    const double k = f.size / kDesignPx;
    ScopedSelect sel(dc, Font(design));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    m.ascent = tm.tmAscent * k;
    m.descent = tm.tmDescent * k;
    if (s16.empty()) return m;
    std::wstring w = WideOf(s16);
    std::vector<INT> ends(w.size(), 0);
    INT fit = 0;
    SIZE whole{};
    GetTextExtentExPointW(dc, w.c_str(), int(w.size()), INT_MAX, &fit, ends.data(), &whole);
    int prev = 0;
    for (INT e : ends) {
      m.advances.push_back(std::max(0, e - prev) * k);
      prev = e;
    }
    return m;
  };
}

void SlideRenderer::DrawText(const ShapeContext& c, const ppt::Shape& shape, const RECT& box) {
  ppt::TextBody mapped;
  const ppt::TextBody& body = WithSymbols(shape.text, &mapped);
  if (c.text)
    for (const ppt::Paragraph& p : body.paragraphs) {
      for (const ppt::Run& run : p.runs) *c.text += ppt::ToUtf8(run.text);
      *c.text += "\n";
    }
  const bool turned = body.flow != ppt::TextBody::kHorizontal;
  double w = box.right - box.left, h = box.bottom - box.top;
  text::Box tb;
  tb.width = std::max(1.0, turned ? h : w);
  tb.height = turned ? w : h;
  tb.units_per_point = 8 * scale_;
  text::Layout layout = text::LayOut(body, tb, MeasurerFor(c.dc));

  ScopedSaveDC saved(c.dc);
  double left = box.left, top = box.top;
  if (turned) {
    // Lines run down (or up) the box: lay them out across its height, then turn them about
    // the box's centre.
    double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0;
    left = cx - tb.width / 2;
    top = cy - tb.height / 2;
    float sn = body.flow == ppt::TextBody::kDown ? 1.f : -1.f;
    XFORM x{0, sn, -sn, 0, float(cx + sn * cy), float(cy - sn * cx)};
    SetGraphicsMode(c.dc, GM_ADVANCED);
    ModifyWorldTransform(c.dc, &x, MWT_LEFTMULTIPLY);
  }
  SetTextAlign(c.dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
  SetBkMode(c.dc, TRANSPARENT);
  for (const text::Bullet& b : layout.bullets)
    if (!Unbuilt(c.paragraphs, b.paragraph))
      DrawBullet(c.dc, b, Px(left + b.x), Px(top + b.baseline));
  for (const text::Line& line : layout.lines) {
    if (Unbuilt(c.paragraphs, line.paragraph)) continue;
    for (const text::Piece& pc : line.pieces)
      DrawPiece(c, pc, Px(left + pc.x), Px(top + pc.baseline));
    if (!c.lines) continue;
    // A bullet opens its paragraph's first line: the line, as seen, starts there.
    const text::Bullet* bullet = nullptr;
    for (const text::Bullet& b : layout.bullets)
      if (b.paragraph == line.paragraph && std::fabs(b.baseline - line.baseline) < 0.5 &&
          (b.blip >= 0 || b.text.find_first_not_of(u' ') != std::u16string::npos))
        bullet = &b;
    ReportLine(c, line, bullet, left, top);
  }
}

void SlideRenderer::ReportLine(const ShapeContext& c, const text::Line& line,
                               const text::Bullet* bullet, double left, double top) {
  // Stretches of a line that tabs hold far apart are reported apart, as a PDF's text lines are;
  // a shorter gap is a word break.
  std::vector<const text::Piece*> stretch;
  std::string words;
  double end = -1e9;
  for (const text::Piece& pc : line.pieces) {
    const double gap = pc.x - end;
    if (!stretch.empty() && gap > pc.font.size * kStretchGap) {
      ReportStretch(c, stretch, words, bullet, left, top, end);
      stretch.clear();
      words.clear();
      bullet = nullptr;
    } else if (!stretch.empty() && gap > pc.font.size * kWordGap) {
      words += ' ';
    }
    stretch.push_back(&pc);
    words += ppt::ToUtf8(pc.text);
    end = pc.x + pc.width;
  }
  if (!stretch.empty()) ReportStretch(c, stretch, words, bullet, left, top, line.x + line.width);
}

void SlideRenderer::ReportStretch(const ShapeContext& c,
                                  const std::vector<const text::Piece*>& pieces,
                                  const std::string& words, const text::Bullet* bullet, double left,
                                  double top, double end) {
  LineBox lb;
  lb.text = words;
  if (lb.text.find_first_not_of(" \t") == std::string::npos) return;
  if (bullet && bullet->blip < 0) lb.text = ppt::ToUtf8(bullet->text) + " " + lb.text;
  // The stretch's corners through whatever turns the shape and its text.
  XFORM x{1, 0, 0, 1, 0, 0};
  if (GetGraphicsMode(c.dc) == GM_ADVANCED) GetWorldTransform(c.dc, &x);
  // Vertically the letters' extent, as a PDF's text boxes give it, not the line's spacing.
  text::Measurer measure = MeasurerFor(c.dc);
  double t = 1e9, b = -1e9;
  for (const text::Piece* pc : pieces) {
    text::Metrics m = measure(pc->font, u"");
    t = std::min(t, top + pc->baseline - m.ascent);
    b = std::max(b, top + pc->baseline + m.descent);
  }
  // From the first letter: blanks that open the stretch are no ink.
  double ink = pieces.front()->x;
  for (const text::Piece* pc : pieces) {
    size_t blanks = 0;
    while (blanks < pc->text.size() && (pc->text[blanks] == u' ' || pc->text[blanks] == u'\t'))
      blanks++;
    if (blanks == pc->text.size()) continue;
    text::Metrics m = measure(pc->font, pc->text.substr(0, blanks));
    ink = pc->x;
    for (double a : m.advances) ink += a;
    break;
  }
  if (bullet) ink = std::min(ink, bullet->x);
  const double l = left + ink, r = left + end;
  const double xs[2] = {l, r}, ys[2] = {t, b};
  double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
  for (double px : xs)
    for (double py : ys) {
      double dx = px * x.eM11 + py * x.eM21 + x.eDx, dy = px * x.eM12 + py * x.eM22 + x.eDy;
      x0 = std::min(x0, dx);
      y0 = std::min(y0, dy);
      x1 = std::max(x1, dx);
      y1 = std::max(y1, dy);
    }
  lb.box = RECT{Px(x0), Px(y0), Px(x1), Px(y1)};
  c.lines->push_back(std::move(lb));
}

void SlideRenderer::DrawBullet(HDC dc, const text::Bullet& b, int x, int baseline) {
  if (b.blip >= 0) {
    int size = std::max(1, Px(b.size));
    RECT r{x, baseline - size, x + size, baseline};
    DrawImage(dc, b.blip, r);
    return;
  }
  std::wstring t = WideOf(b.text);
  ScopedSelect sel(dc, BulletFont(dc, b.font, &t, b.from_symbols));
  SetTextColor(dc, Ref(b.color));
  PutText(dc, x, baseline, t);
}

void SlideRenderer::DrawPiece(const ShapeContext& c, const text::Piece& pc, int x, int y) {
  HDC dc = c.dc;
  ScopedSelect sel(dc, Font(pc.font));
  std::wstring t = WideOf(pc.text);
  const ppt::Run& run = *pc.run;
  ppt::Rgb color = run.color;
  if (run.link >= 0 && c.followed && c.text_links && size_t(run.link) < c.text_links->size() &&
      c.followed->count({c.index, run.link}))
    color = (*c.text_links)[size_t(run.link)].followed_color;
  int off = std::max(1, Px(pc.font.size / 20));
  if (run.emboss) {
    // Raised letters: a light edge up-left, a dark one down-right, the face in between.
    SetTextColor(dc, Ref(Mix(color, ppt::Rgb{255, 255, 255}, 60)));
    PutText(dc, x - off, y - off, t);
    SetTextColor(dc, Ref(Mix(color, ppt::Rgb{0, 0, 0}, 60)));
    PutText(dc, x + off, y + off, t);
  } else if (run.shadow) {
    SetTextColor(dc, Ref(run.shadow_color));
    PutText(dc, x + off, y + off, t);
  }
  SetTextColor(dc, Ref(color));
  // Justified blanks are wider than the font's: place the piece's own width exactly.
  if (!t.empty() && t.find_first_not_of(L' ') == std::wstring::npos) {
    std::vector<INT> dx(t.size(), std::max(0, Px(pc.width / double(t.size()))));
    PutText(dc, x, y, t, dx.data());
  } else {
    // Each letter where the layout measured it.
    std::vector<INT> dx = Steps(MeasurerFor(dc)(pc.font, pc.text).advances);
    PutText(dc, x, y, t, dx.size() == t.size() ? dx.data() : nullptr);
  }
  if (c.links && run.link >= 0) {
    const int h = std::max(1, Px(pc.font.size));
    c.links->push_back(
        {c.index, run.link, RECT{x, y - h, x + Px(pc.width), y + std::max(1, h / 4)}});
  }
}

}  // namespace viewer
