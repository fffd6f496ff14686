#include "text/layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace text {
namespace {

constexpr double kSingleLine = 1.2;       // a single line's height, of the text size
constexpr double kScriptScale = 2.0 / 3;  // raised and lowered text is drawn smaller
constexpr double kEpsilon = 1e-6;
constexpr int kDefaultTab = 576;       // master units: one inch
constexpr int kDefaultSize = 18;       // points, for a paragraph without any run
constexpr double kMinFitScale = 0.25;  // the least a body's text is shrunk to fit its box

// Closing punctuation that East Asian text never starts a line with, and opening punctuation it
// never ends one with.
bool NoLineStart(char16_t c) {
  static const char16_t kChars[] =
      u"!%),.:;?]}\u00A2\u00B0\u2019\u201D\u2030\u3001\u3002\u3005"
      u"\u3009\u300B\u300D\u300F\u3011\u3015\u30FC\u30FB\uFF01\uFF05"
      u"\uFF09\uFF0C\uFF0E\uFF1A\uFF1B\uFF1F\uFF3D\uFF5D";
  return std::char_traits<char16_t>::find(kChars, std::char_traits<char16_t>::length(kChars), c);
}

bool NoLineEnd(char16_t c) {
  static const char16_t kChars[] =
      u"([{\u2018\u201C\u3008\u300A\u300C\u300E\u3010\u3014\uFF08\uFF3B\uFF5B";
  return std::char_traits<char16_t>::find(kChars, std::char_traits<char16_t>::length(kChars), c);
}

bool Blank(char16_t c) {
  return c == u' ' || c == u'\t';
}

struct Char {
  char16_t ch;
  int run;  // index into the paragraph's runs
  double advance;
};

struct RunInfo {
  Font font;
  double ascent = 0, descent = 0;  // with the raise of super- and subscripts
  double size = 0;                 // the run's own size before scripts are made smaller
};

Font FontOf(const ppt::Run& r, double units_per_point, double size_scale = 1) {
  Font f;
  f.face = r.font;
  f.pitch_family = r.pitch_family;
  f.charset = r.charset;
  f.bold = r.bold;
  f.italic = r.italic;
  f.underline = r.underline;
  f.size = r.size * units_per_point * size_scale * (r.escapement ? kScriptScale : 1);
  return f;
}

double Raise(const ppt::Run& r, double units_per_point) {
  return r.size * units_per_point * std::max(-100, std::min(100, r.escapement)) / 100.0;
}

// One paragraph's characters with their advances and the lines they were broken into.
struct ParaWork {
  const ppt::Paragraph* p = nullptr;
  std::vector<Char> chars;
  std::vector<RunInfo> runs;
  RunInfo empty;  // metrics of a line without characters
  double first_x = 0, rest_x = 0, bullet_x = 0;
  bool has_bullet = false;
  Bullet bullet;
  double before = 0, after = 0;
};

struct RawLine {
  size_t para = 0, begin = 0, end = 0, trimmed = 0;
  double start = 0, width = 0;
  bool last = false, hard = false;  // last of its paragraph; ended by a line break
  double ascent = 0, descent = 0, height = 0;
};

class Engine {
 public:
  // `scale`: every text size and every spacing given as a length, shrunk by this factor.
  Engine(const ppt::TextBody& body, const Box& box, const Measurer& measure, double scale)
      : body_(body),
        box_(box),
        measure_(measure),
        mu_(box.units_per_point / 8.0),
        upp_(box.units_per_point * scale),
        scale_(scale) {}

  Layout Run() {
    for (size_t i = 0; i < body_.paragraphs.size(); i++) Prepare(i);
    for (size_t i = 0; i < paras_.size(); i++) Break(i);
    Position();
    return std::move(out_);
  }

 private:
  double Mu(double v) const { return v * mu_; }

  void Prepare(size_t index) {
    const ppt::Paragraph& p = body_.paragraphs[index];
    ParaWork w;
    w.p = &p;
    const double upp = upp_;
    for (size_t ri = 0; ri < p.runs.size(); ri++) {
      const ppt::Run& run = p.runs[ri];
      RunInfo info;
      info.font = FontOf(run, upp);
      info.size = run.size * upp;
      std::u16string kept, measured;
      for (char16_t c : run.text) {
        if (c < 0x20 && c != u'\t' && c != 0x0B) continue;
        kept += c;
        measured += c < 0x20 ? u' ' : c;
      }
      Metrics m = measure_(info.font, measured);
      double raise = Raise(run, upp);
      info.ascent = m.ascent + raise;
      info.descent = m.descent - raise;
      for (size_t k = 0; k < kept.size(); k++) {
        double adv = k < m.advances.size() ? m.advances[k] : 0;
        if (kept[k] == 0x0B || kept[k] == u'\t') adv = 0;
        w.chars.push_back(Char{kept[k], int(ri), std::max(0.0, adv)});
      }
      w.runs.push_back(info);
    }
    ppt::Run fallback;
    fallback.size = kDefaultSize;
    const ppt::Run& first = p.runs.empty() ? fallback : p.runs[0];
    w.empty.font = FontOf(first, upp);
    w.empty.size = first.size * upp;
    if (p.runs.empty() || w.runs[0].font.size <= 0 || first.text.empty()) {
      Metrics m = measure_(w.empty.font, u"");
      w.empty.ascent = m.ascent;
      w.empty.descent = m.descent;
    } else {
      w.empty.ascent = w.runs[0].ascent;
      w.empty.descent = w.runs[0].descent;
    }

    w.rest_x = Mu(std::max(0, p.left_margin));
    w.bullet_x = Mu(std::max(0, p.indent));
    w.first_x = w.bullet_x;
    w.has_bullet = p.bullet && !w.chars.empty();
    if (w.has_bullet) {
      Bullet& b = w.bullet;
      // A negative size is the bullet's own size in points rather than a share of the text's.
      double scale = p.bullet_size < 0 && first.size > 0
                         ? std::min(4000, -p.bullet_size) / double(first.size)
                         : std::min(400, std::max(25, p.bullet_size)) / 100.0;
      ppt::Run br = first;
      br.escapement = 0;
      if (!p.bullet_font.empty()) {
        br.font = p.bullet_font;
        br.charset = p.bullet_charset;
        br.pitch_family = p.bullet_pitch_family;
        if (p.bullet_text.empty()) br.bold = br.italic = false;
      }
      br.underline = false;
      b.font = FontOf(br, upp, scale);
      b.color = p.bullet_color;
      b.size = b.font.size;
      b.blip = p.bullet_blip;
      b.from_symbols = p.bullet_from_symbols;
      if (b.blip >= 0) {
        b.width = b.size;
      } else {
        b.text = p.bullet_text.empty() ? std::u16string(1, p.bullet_char) : p.bullet_text;
        Metrics m = measure_(b.font, b.text);
        for (double a : m.advances) b.width += a;
      }
      double end = w.bullet_x + b.width;
      // Text with no room before its indent follows the bullet directly, as authors saw it:
      // they type a blank after the bullet where they want one.
      w.first_x = std::max(w.rest_x, end);
    }
    const double line0 =
        body_.face_lines ? w.empty.ascent + w.empty.descent : kSingleLine * first.size * upp;
    auto spacing = [&](int v) { return v >= 0 ? line0 * v / 100.0 : Mu(-v) * scale_; };
    w.before = index > 0 ? spacing(p.space_before) : 0;
    w.after = spacing(p.space_after);
    paras_.push_back(std::move(w));
  }

  struct Stop {
    double x;
    ppt::TabStop::Kind kind;
  };
  // The next stop after x. Where the first line starts left of the paragraph's other lines (a
  // hanging indent), their start is a stop as well: "Label:<tab>text" puts the text in the
  // column that its wrapped lines keep.
  Stop NextTab(const ParaWork& w, double x) const {
    const bool hanging = w.first_x + kEpsilon < w.rest_x && w.rest_x > x + kEpsilon;
    for (const ppt::TabStop& t : w.p->tabs)
      if (Mu(t.position) > x + kEpsilon) {
        if (hanging && w.rest_x < Mu(t.position) - kEpsilon) break;
        return Stop{Mu(t.position), t.kind};
      }
    if (hanging) return Stop{w.rest_x, ppt::TabStop::kLeft};
    double d = Mu(w.p->default_tab > 0 ? w.p->default_tab : kDefaultTab);
    return Stop{(std::floor(x / d + kEpsilon) + 1) * d, ppt::TabStop::kLeft};
  }

  // Where the text after the tab at i starts. A left stop takes it; centred, right and decimal
  // stops align the text up to the next tab (trailing blanks and anything from `end` on left out)
  // on themselves, but never pull it back over what comes before the tab. Line breaking and
  // placing both ask here, so a right stop near the edge does not wrap text that fits.
  double AfterTab(const ParaWork& w, size_t i, size_t end, double x) const {
    Stop stop = NextTab(w, x);
    if (stop.kind == ppt::TabStop::kLeft) return stop.x;
    double seg = 0, blanks = 0, before_point = -1;
    for (size_t k = i + 1; k < end && w.chars[k].ch != u'\t' && w.chars[k].ch != 0x0B; k++) {
      const Char& c = w.chars[k];
      if (before_point < 0 && (c.ch == u'.' || c.ch == u',')) before_point = seg + blanks;
      if (c.ch == u' ') {
        blanks += c.advance;
        continue;
      }
      seg += blanks + c.advance;
      blanks = 0;
    }
    double lead = stop.kind == ppt::TabStop::kCenter                         ? seg / 2
                  : stop.kind == ppt::TabStop::kDecimal && before_point >= 0 ? before_point
                                                                             : seg;
    return std::max(x, stop.x - lead);
  }

  bool CanBreakBefore(const ParaWork& w, size_t i) const {
    char16_t prev = w.chars[i - 1].ch, cur = w.chars[i].ch;
    if (cur == u' ') return false;
    if (Blank(prev)) return true;
    if (BreaksAnywhere(cur) || BreaksAnywhere(prev)) return !NoLineStart(cur) && !NoLineEnd(prev);
    return prev == u'-' && !NoLineStart(cur);
  }

  void Break(size_t pi) {
    const ParaWork& w = paras_[pi];
    const size_t n = w.chars.size();
    const bool wrap = body_.wrap;
    size_t s = 0;
    bool first = true;
    for (;;) {
      double start = first ? w.first_x : w.rest_x;
      double avail = box_.width - start;
      double x = start;
      size_t i = s, last_break = SIZE_MAX;
      bool hard = false;
      for (; i < n; i++) {
        const Char& c = w.chars[i];
        if (c.ch == 0x0B) {
          hard = true;
          break;
        }
        if (i > s && CanBreakBefore(w, i)) last_break = i;
        double nx = c.ch == u'\t' ? AfterTab(w, i, n, x) : x + c.advance;
        if (wrap && c.ch != u' ' && i > s && nx - start > avail + kEpsilon) {
          if (last_break != SIZE_MAX) i = last_break;
          break;
        }
        x = nx;
      }
      RawLine l;
      l.para = pi;
      l.begin = s;
      l.end = i;
      l.hard = hard;
      l.start = start;
      lines_.push_back(l);
      if (hard) {
        s = i + 1;
      } else if (i >= n) {
        break;
      } else {
        s = i;
      }
      first = false;
    }
    lines_.back().last = true;
  }

  // x of every character of a line from its start, tabs resolved; returns the end of the text.
  double Place(const ParaWork& w, const RawLine& l, std::vector<double>* xs) const {
    xs->assign(l.end - l.begin + 1, l.start);
    double x = l.start;
    for (size_t i = l.begin; i < l.end; i++) {
      (*xs)[i - l.begin] = x;
      const Char& c = w.chars[i];
      x = c.ch == u'\t' ? AfterTab(w, i, l.trimmed, x) : x + c.advance;
    }
    (*xs)[l.end - l.begin] = x;
    return x;
  }

  void Measure(RawLine* l) {
    const ParaWork& w = paras_[l->para];
    l->trimmed = l->end;
    while (l->trimmed > l->begin && w.chars[l->trimmed - 1].ch == u' ') l->trimmed--;
    std::vector<double> xs;
    Place(w, *l, &xs);
    l->width = xs[l->trimmed - l->begin] - l->start;
    double size = 0;
    for (size_t i = l->begin; i < l->end; i++) {
      const RunInfo& r = w.runs[size_t(w.chars[i].run)];
      l->ascent = std::max(l->ascent, r.ascent);
      l->descent = std::max(l->descent, r.descent);
      size = std::max(size, r.size);
    }
    if (l->begin == l->end) {
      const RunInfo& r = l->begin > 0 ? w.runs[size_t(w.chars[l->begin - 1].run)] : w.empty;
      l->ascent = r.ascent;
      l->descent = r.descent;
      size = r.size;
    }
    int spacing = w.p->line_spacing;
    // An empty paragraph opening the text keeps a whole line whatever its spacing: the spacing
    // is between lines, and nothing comes before it.
    if (l->para == 0 && w.chars.empty() && spacing >= 0) spacing = 100;
    const double face = l->ascent + l->descent;
    if (spacing >= 0)
      l->height = (body_.face_lines ? face : std::max(kSingleLine * size, face)) * spacing / 100.0;
    else
      l->height = Mu(-spacing) * scale_;
  }

  void Position() {
    double total = 0, block = 0;
    size_t prev_para = SIZE_MAX;
    for (RawLine& l : lines_) {
      Measure(&l);
      if (l.para != prev_para) total += paras_[l.para].before;
      total += l.height;
      if (l.trimmed > l.begin) out_.ink_height = total;
      if (l.last && l.para + 1 < paras_.size()) total += paras_[l.para].after;
      prev_para = l.para;
      block = std::max(block, l.start + l.width);
    }
    out_.content_height = total;
    double y = 0;
    if (body_.anchor == ppt::TextBody::kMiddle) y = (box_.height - total) / 2;
    if (body_.anchor == ppt::TextBody::kBottom) y = box_.height - total;
    // A centred block keeps its lines' alignment among themselves and is centred as a whole.
    double room = body_.centered ? std::min(block, box_.width) : box_.width;
    double shift = body_.centered ? (box_.width - room) / 2 : 0;
    prev_para = SIZE_MAX;
    for (const RawLine& l : lines_) {
      const ParaWork& w = paras_[l.para];
      if (l.para != prev_para) y += w.before;
      bool first_line = l.para != prev_para;
      prev_para = l.para;
      Line line;
      line.paragraph = l.para;
      line.top = y;
      line.height = l.height;
      line.baseline = y + l.height - l.descent;
      double avail = room - l.start;
      double offset = shift, extra = 0;
      switch (w.p->align) {
        case ppt::Paragraph::kCenter:
          offset += (avail - l.width) / 2;
          break;
        case ppt::Paragraph::kRight:
          offset += avail - l.width;
          break;
        case ppt::Paragraph::kJustify:
          if (!l.last && !l.hard && body_.wrap) extra = avail - l.width;
          break;
        default:
          break;
      }
      Emit(w, l, offset, std::max(0.0, extra), &line);
      if (first_line && w.has_bullet) {
        Bullet b = w.bullet;
        b.x = w.bullet_x + offset;
        b.baseline = line.baseline;
        b.paragraph = line.paragraph;
        out_.bullets.push_back(b);
      }
      y += l.height;
      if (l.last) y += w.after;
      out_.lines.push_back(std::move(line));
    }
  }

  // Pieces of one run each, words and blanks apart so justification can widen the blanks.
  void Emit(const ParaWork& w, const RawLine& l, double offset, double extra, Line* line) {
    std::vector<double> xs;
    Place(w, l, &xs);
    size_t last_tab = l.begin;
    for (size_t i = l.begin; i < l.trimmed; i++)
      if (w.chars[i].ch == u'\t') last_tab = i + 1;
    size_t spaces = 0;
    for (size_t i = last_tab; i < l.trimmed; i++) spaces += w.chars[i].ch == u' ';
    double per_space = spaces ? extra / double(spaces) : 0;
    double widen = 0;  // justification added so far
    line->x = l.start + offset;
    line->width = l.width + (spaces ? extra : 0);
    for (size_t i = l.begin; i < l.trimmed;) {
      const Char& c = w.chars[i];
      if (c.ch == u'\t') {
        i++;
        continue;
      }
      bool space = c.ch == u' ';
      size_t j = i;
      Piece pc;
      pc.run = &w.p->runs[size_t(c.run)];
      pc.font = w.runs[size_t(c.run)].font;
      pc.x = xs[i - l.begin] + offset + widen;
      pc.baseline = line->baseline - Raise(*pc.run, upp_);
      while (j < l.trimmed && w.chars[j].run == c.run && w.chars[j].ch != u'\t' &&
             (w.chars[j].ch == u' ') == space) {
        pc.text += w.chars[j].ch;
        pc.width += w.chars[j].advance;
        if (space && j >= last_tab) {
          pc.width += per_space;
          widen += per_space;
        }
        j++;
      }
      line->pieces.push_back(std::move(pc));
      i = j;
    }
  }

  const ppt::TextBody& body_;
  const Box& box_;
  const Measurer& measure_;
  const double mu_;   // layout units per master unit
  const double upp_;  // layout units per point of text
  const double scale_;
  std::vector<ParaWork> paras_;
  std::vector<RawLine> lines_;
  Layout out_;
};

}  // namespace

bool BreaksAnywhere(char16_t c) {
  return (c >= 0x2E80 && c < 0xA000) || (c >= 0xAC00 && c < 0xD7B0) ||
         (c >= 0xF900 && c < 0xFB00) || (c >= 0xFF00 && c < 0xFFF0);
}

Layout LayOut(const ppt::TextBody& body, const Box& box, const Measurer& measure) {
  if (body.paragraphs.empty() || !measure) return Layout();
  Layout full = Engine(body, box, measure, 1).Run();
  // Empty paragraphs after the last text show nothing, so they never make text overflow.
  auto fits = [&](const Layout& l) { return l.ink_height <= box.height + kEpsilon; };
  if (!body.shrink_to_fit || fits(full)) return full;
  // Shrinking goes in whole percents: each step scales by the square root of room over height
  // (the height falls about as the square of the scale, lines getting both lower and fewer),
  // until a scale comes round again; the largest scale seen to fit wins. This lands a little
  // under the tightest fit, where other renderers of these files put it too.
  constexpr int kFullPercent = 100, kMaxSteps = 10;
  const int least = int(std::ceil(kMinFitScale * kFullPercent));
  auto factor = [&](const Layout& l) {
    return l.ink_height > 0 ? std::sqrt(box.height / l.ink_height) : 1.0;
  };
  auto next = [&](int percent, double f) {
    return std::max(least, std::min(kFullPercent, int(percent * f)));
  };
  int seen[kMaxSteps] = {kFullPercent};
  int percent = next(kFullPercent, factor(full)), best_percent = 0;
  Layout best;
  for (int step = 1; step < kMaxSteps; step++) {
    Layout l = Engine(body, box, measure, percent / 100.0).Run();
    const double f = factor(l);
    if (f >= 1 && percent > best_percent) {
      best_percent = percent;
      best = std::move(l);
    }
    if (std::find(seen, seen + step, percent) != seen + step) break;
    seen[step] = percent;
    percent = next(percent, f);
  }
  if (best_percent == 0) best = Engine(body, box, measure, least / 100.0).Run();
  return best;
}

}  // namespace text
