#include "app/render_win.h"

#include <wincodec.h>

#include <algorithm>
#include <cmath>

#include "app/fonts_win.h"
#include "app/paint_util_win.h"

namespace viewer {

HFONT SlideRenderer::Font(const ppt::Run& run, int height_px) {
  std::string face = mapper_->Resolve(run.font, run.pitch_family, run.charset);
  std::string key = face + "|" + std::to_string(height_px) + "|" + char('0' + run.bold) +
                    char('0' + run.italic) + char('0' + run.underline) +
                    std::to_string(run.charset);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  LOGFONTW lf{};
  lf.lfHeight = -std::max(1, height_px);
  lf.lfWeight = run.bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = run.italic;
  lf.lfUnderline = run.underline;
  lf.lfCharSet = run.charset == SYMBOL_CHARSET ? DEFAULT_CHARSET : run.charset;
  lf.lfOutPrecision = OUT_TT_PRECIS;
  lf.lfQuality = ANTIALIASED_QUALITY;
  lf.lfPitchAndFamily = run.pitch_family;
  std::wstring w = WideUtf8(face);
  wcsncpy(lf.lfFaceName, w.c_str(), LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectW(&lf);
  fonts_[key] = font;
  return font;
}

namespace {

struct Piece {
  const ppt::Run* run;
  std::wstring text;
  HFONT font;
  int width = 0, ascent = 0, descent = 0;
  bool space = false, brk = false;
};

struct Line {
  std::vector<Piece> pieces;
  int width = 0;  // without trailing blanks
  int ascent = 0, descent = 0;
  int height = 0;  // with line spacing
  int used = 0;    // with trailing blanks
};

bool BreaksAnywhere(wchar_t c) {
  return c >= 0x2E80 && c < 0xFF00;
}

}  // namespace

void SlideRenderer::DrawText(HDC dc, const ppt::Shape& s, const RECT& box, std::string* text) {
  struct Para {
    std::vector<Line> lines;
    int first_x = 0, rest_x = 0, bullet_x = 0;
    int before = 0, after = 0;
    const ppt::Paragraph* p;
  };
  std::vector<Para> paras;
  int total = 0;
  const int avail_all = s.text.wrap ? std::max(1, int(box.right - box.left)) : INT32_MAX / 4;
  for (const ppt::Paragraph& p : s.text.paragraphs) {
    Para para;
    para.p = &p;
    para.bullet_x = Len(std::max(0, p.indent));
    para.rest_x = Len(std::max(0, p.left_margin));
    para.first_x = p.bullet ? std::max(para.rest_x, para.bullet_x) : Len(std::max(0, p.indent));
    if (p.bullet && !p.runs.empty()) {
      // Text that would start under its bullet starts after it.
      const ppt::Run& br = p.runs[0];
      SelectObject(dc,
                   Font(br, Len(br.size * 8.0 * std::min(400, std::max(25, p.bullet_size)) / 100)));
      SIZE sz{};
      wchar_t bc = wchar_t(p.bullet_char);
      GetTextExtentPoint32W(dc, &bc, 1, &sz);
      para.first_x = std::max(para.first_x, int(para.bullet_x + sz.cx + Len(br.size * 8.0 / 4)));
    }
    std::vector<Piece> pieces;
    std::string plain;
    for (const ppt::Run& run : p.runs) {
      HFONT font = Font(run, Len(run.size * 8.0));
      SelectObject(dc, font);
      TEXTMETRICW tm;
      GetTextMetricsW(dc, &tm);
      plain += ppt::ToUtf8(run.text);
      auto flush = [&](std::wstring& cur, bool space) {
        if (cur.empty()) return;
        Piece pc{&run, cur, font};
        SIZE sz{};
        GetTextExtentPoint32W(dc, cur.c_str(), int(cur.size()), &sz);
        pc.width = sz.cx;
        pc.ascent = tm.tmAscent;
        pc.descent = tm.tmDescent;
        pc.space = space;
        pieces.push_back(pc);
        cur.clear();
      };
      std::wstring cur;
      bool cur_space = false;
      for (char16_t ch16 : run.text) {
        wchar_t ch = wchar_t(ch16);
        if (ch == 0x0B) {
          flush(cur, cur_space);
          Piece br{&run, L"", font};
          br.brk = true;
          br.ascent = tm.tmAscent;
          br.descent = tm.tmDescent;
          pieces.push_back(br);
          continue;
        }
        if (ch == L'\t') ch = L' ';
        if (ch < 0x20) continue;
        bool sp = ch == L' ';
        if (!cur.empty() && (sp != cur_space || BreaksAnywhere(ch))) flush(cur, cur_space);
        cur_space = sp;
        cur += ch;
        if (BreaksAnywhere(ch)) flush(cur, cur_space);
      }
      flush(cur, cur_space);
    }
    if (text) *text += plain + "\n";
    // Greedy line filling.
    Line line;
    auto finish = [&]() {
      para.lines.push_back(line);
      line = Line();
    };
    int x_start = para.first_x;
    for (size_t i = 0; i < pieces.size(); i++) {
      Piece& pc = pieces[i];
      int avail = avail_all - (para.lines.empty() ? x_start : para.rest_x);
      line.ascent = std::max(line.ascent, pc.ascent);
      line.descent = std::max(line.descent, pc.descent);
      if (pc.brk) {
        finish();
        continue;
      }
      int used = line.used;
      if (!pc.space && used + pc.width > avail && line.width > 0) {
        finish();
        line.ascent = pc.ascent;
        line.descent = pc.descent;
        used = 0;
      }
      if (!pc.space && pc.width > avail && pc.text.size() > 1 && used == 0) {
        // A word longer than the line: break it between characters.
        SelectObject(dc, pc.font);
        INT fit_count = 0;
        SIZE whole{};
        GetTextExtentExPointW(dc, pc.text.c_str(), int(pc.text.size()), avail, &fit_count, nullptr,
                              &whole);
        size_t fit = std::min(std::max<size_t>(size_t(fit_count), 1), pc.text.size() - 1);
        Piece rest = pc;
        rest.text = pc.text.substr(fit);
        pc.text.resize(fit);
        SIZE a{}, b{};
        GetTextExtentPoint32W(dc, pc.text.c_str(), int(pc.text.size()), &a);
        GetTextExtentPoint32W(dc, rest.text.c_str(), int(rest.text.size()), &b);
        pc.width = a.cx;
        rest.width = b.cx;
        pieces.insert(pieces.begin() + i + 1, rest);
        line.pieces.push_back(pieces[i]);
        line.width = line.used = used + pieces[i].width;
        finish();
        continue;
      }
      if (line.pieces.empty() && pc.space && !para.lines.empty()) continue;  // leading blanks
      line.pieces.push_back(pc);
      line.used = used + pc.width;
      if (!pc.space) line.width = line.used;
    }
    if (line.ascent == 0 && !p.runs.empty()) {
      SelectObject(dc, Font(p.runs[0], Len(p.runs[0].size * 8.0)));
      TEXTMETRICW tm;
      GetTextMetricsW(dc, &tm);
      line.ascent = tm.tmAscent;
      line.descent = tm.tmDescent;
    } else if (line.ascent == 0) {
      line.ascent = Len(18 * 8 * 0.9);
      line.descent = Len(18 * 8 * 0.25);
    }
    finish();
    int size_px = Len((p.runs.empty() ? 18 : p.runs[0].size) * 8.0);
    auto spacing = [&](int v) { return v >= 0 ? size_px * v / 100 : Len(-v); };
    for (Line& l : para.lines) {
      int natural = l.ascent + l.descent;
      // A percentage is of a single line, which is 1.2 times the text size; spacing tighter than
      // the font's own line height would make lines touch, so it is not applied.
      int em = std::max(1, l.ascent + l.descent) * 100 / 115;
      l.height = p.line_spacing >= 0 ? em * 12 * p.line_spacing / 1000 : Len(-p.line_spacing);
      l.height = std::max(l.height, natural);
      total += l.height;
    }
    if (!paras.empty()) para.before = spacing(p.space_before);
    para.after = spacing(p.space_after);
    total += para.before + (&p != &s.text.paragraphs.back() ? para.after : 0);
    paras.push_back(std::move(para));
  }
  int y = box.top;
  int room = box.bottom - box.top;
  if (s.text.anchor == ppt::TextBody::kMiddle) y += (room - total) / 2;
  if (s.text.anchor == ppt::TextBody::kBottom) y += room - total;
  SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
  SetBkMode(dc, TRANSPARENT);
  for (const Para& para : paras) {
    y += para.before;
    // A paragraph that a build has not brought yet keeps its place but paints nothing.
    const size_t pi = size_t(&para - paras.data());
    const bool unbuilt = paragraph_states_ && pi < paragraph_states_->size() &&
                         (*paragraph_states_)[pi] == show::ShapeView::kHidden;
    for (size_t li = 0; li < para.lines.size(); li++) {
      const Line& l = para.lines[li];
      if (unbuilt) {
        y += l.height;
        continue;
      }
      int start = li == 0 ? para.first_x : para.rest_x;
      int avail = (box.right - box.left) - start;
      int x = box.left + start;
      if (para.p->align == ppt::Paragraph::kCenter) x += (avail - l.width) / 2;
      if (para.p->align == ppt::Paragraph::kRight) x += avail - l.width;
      int base = y + l.height - l.descent;
      if (li == 0 && para.p->bullet && !para.p->runs.empty() && !l.pieces.empty()) {
        ppt::Run br = para.p->runs[0];
        int size_px = Len(br.size * 8.0 * std::min(400, std::max(25, para.p->bullet_size)) / 100);
        SelectObject(dc, Font(br, size_px));
        SetTextColor(dc, Ref(para.p->bullet_color));
        wchar_t bc = wchar_t(para.p->bullet_char);
        int bx = para.p->align == ppt::Paragraph::kLeft || para.p->align == ppt::Paragraph::kJustify
                     ? box.left + para.bullet_x
                     : x - Len(br.size * 8.0 * 0.6);
        ExtTextOutW(dc, bx, base, 0, nullptr, &bc, 1, nullptr);
      }
      for (const Piece& pc : l.pieces) {
        SelectObject(dc, pc.font);
        SetTextColor(dc, Ref(pc.run->color));
        ExtTextOutW(dc, x, base, 0, nullptr, pc.text.c_str(), UINT(pc.text.size()), nullptr);
        if (link_areas_ && pc.run->link >= 0)
          link_areas_->push_back({shape_index_, pc.run->link,
                                  RECT{x, base - l.ascent, x + pc.width, base + l.descent}});
        x += pc.width;
      }
      y += l.height;
    }
    y += para.after;
  }
}

}  // namespace viewer
