// The timeline of PowerPoint 2002 and later on the step model: each click starts a step, effects
// "with previous" join it, effects "after previous" become steps that start by themselves.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "show/build_steps.h"
#include "show/frames.h"

namespace show {

namespace {

namespace tn = ppt::time_node;

constexpr int kMinStepMs = 50, kMaxStepMs = 10000;
// Entrance presets whose motion the fly family of builds draws, when no filter says more.
enum : int {
  kAppearPreset = 1,
  kFlyPreset = 2,
  kCrawlPreset = 7,
  kFadePreset = 10,
  kPeekPreset = 12,
  kSpiralPreset = 15,
  kStretchPreset = 17,
  kSwivelPreset = 19,
  kZoomPreset = 23,
  kRandomPreset = 24,
};
// Sides as preset subtypes store them: bits of top, right, bottom, left.
enum : int { kFromTop = 1, kFromRight = 2, kFromBottom = 4, kFromLeft = 8 };
constexpr int kZoomOut = 32;
// The fly family's directions (see FlyMotion): crawl and peek from each side, zooms, stretches,
// swivel and spiral.
constexpr int kCrawlFirst = 12, kPeekLeft = 8, kPeekBottom = 9, kPeekRight = 10, kPeekTop = 11;
constexpr int kZoomIn = 16, kZoomFromLarge = 18, kStretchAcross = 22, kStretchLeft = 23,
              kStretchTop = 24, kStretchRight = 25, kStretchBottom = 26, kSwivel = 27, kSpiral = 28;
constexpr size_t kMaxItemsPerStep = 256;
constexpr double kMaxTurns = 100;

struct FilterMap {
  const char* name;
  int effect, direction;
};
// The effect filters PowerPoint stores, onto the reveals the show already draws.
constexpr FilterMap kFilters[] = {
    {"fade", fx::kFade, 0},
    {"dissolve", fx::kDissolve, 0},
    {"wipe(left)", fx::kWipe, 0},
    {"wipe(up)", fx::kWipe, 1},
    {"wipe(right)", fx::kWipe, 2},
    {"wipe(down)", fx::kWipe, 3},
    {"blinds(vertical)", fx::kBlinds, 0},
    {"blinds(horizontal)", fx::kBlinds, 1},
    {"checkerboard(across)", fx::kChecker, 0},
    {"checkerboard(down)", fx::kChecker, 1},
    {"randombar(vertical)", fx::kRandomBars, 0},
    {"randombar(horizontal)", fx::kRandomBars, 1},
    {"strips(upleft)", fx::kStrips, 4},
    {"strips(upright)", fx::kStrips, 5},
    {"strips(downleft)", fx::kStrips, 6},
    {"strips(downright)", fx::kStrips, 7},
    {"box(out)", fx::kBox, 0},
    {"box(in)", fx::kBox, 1},
    {"barn(outhorizontal)", fx::kSplit, 0},
    {"barn(inhorizontal)", fx::kSplit, 1},
    {"barn(outvertical)", fx::kSplit, 2},
    {"barn(invertical)", fx::kSplit, 3},
    {"diamond(out)", fx::kDiamond, 0},
    {"diamond(in)", fx::kDiamond, 0},
    {"plus(out)", fx::kPlus, 0},
    {"plus(in)", fx::kPlus, 0},
    {"wedge", fx::kWedge, 0},
    {"circle(out)", fx::kCircle, 0},
    {"circle(in)", fx::kCircle, 0},
    {"slide(fromright)", fx::kCover, 0},
    {"slide(frombottom)", fx::kCover, 1},
    {"slide(fromleft)", fx::kCover, 2},
    {"slide(fromtop)", fx::kCover, 3},
};

std::string Lower(const std::string& s) {
  std::string o;
  for (char c : s)
    if (c != ' ') o += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return o;
}

bool MapFilter(const std::string& filter, int* effect, int* direction) {
  std::string f = Lower(filter);
  for (const FilterMap& m : kFilters)
    if (f == m.name) {
      *effect = m.effect;
      *direction = m.direction;
      return true;
    }
  if (f.compare(0, 6, "wheel(") == 0) {
    *effect = fx::kWheel;
    *direction = std::min(std::max(atoi(f.c_str() + 6), 1), 8);
    return true;
  }
  return false;
}

// Fly-in subtypes (the side it comes from, as bits) onto the fly directions builds use.
int FlyDirection(int subtype) {
  switch (subtype) {
    case 8:
      return 0;  // from the left
    case 1:
      return 1;  // from the top
    case 2:
      return 2;  // from the right
    case 4:
      return 3;  // from the bottom
    case 9:
      return 4;
    case 3:
      return 5;
    case 12:
      return 6;
    case 6:
      return 7;
    default:
      return 3;
  }
}

// The build effect an entrance preset without a known filter is drawn with; false: none.
bool EntrancePreset(int preset, int subtype, int* effect, int* direction) {
  int fly = -1;
  switch (preset) {
    case kFlyPreset:
      fly = FlyDirection(subtype);
      break;
    case kCrawlPreset:
      fly = kCrawlFirst + std::min(FlyDirection(subtype), 3);
      break;
    case kPeekPreset:
      fly = subtype == kFromLeft    ? kPeekLeft
            : subtype == kFromRight ? kPeekRight
            : subtype == kFromTop   ? kPeekTop
                                    : kPeekBottom;
      break;
    case kSpiralPreset:
      fly = kSpiral;
      break;
    case kStretchPreset:
      fly = subtype == kFromLeft     ? kStretchLeft
            : subtype == kFromRight  ? kStretchRight
            : subtype == kFromTop    ? kStretchTop
            : subtype == kFromBottom ? kStretchBottom
                                     : kStretchAcross;
      break;
    case kSwivelPreset:
      fly = kSwivel;
      break;
    case kZoomPreset:
      fly = subtype == kZoomOut ? kZoomFromLarge : kZoomIn;
      break;
    case kRandomPreset:
      *effect = fx::kRandom;
      *direction = 0;
      return true;
    default:
      return false;
  }
  *effect = fx::kFly;
  *direction = fly;
  return true;
}

bool Has(const ppt::TimeBehavior& b, const char* attribute) {
  for (const std::string& a : b.attributes)
    if (Lower(a) == Lower(attribute)) return true;
  return false;
}

// The class an effect plays in, from its preset or, when none is stored, from what it does.
int KindOf(const ppt::TimedEffect& e) {
  if (e.preset_class >= tn::kEntrance && e.preset_class <= tn::kMotionPath) return e.preset_class;
  for (const ppt::TimeBehavior& b : e.behaviors) {
    if (b.kind == ppt::TimeBehavior::kSet && Has(b, "style.visibility"))
      return Lower(b.value) == "hidden" ? tn::kExit : tn::kEntrance;
    if (b.kind == ppt::TimeBehavior::kMotion) return tn::kMotionPath;
  }
  return tn::kEmphasis;
}

double ParseOpacity(const std::string& s) {
  if (s.empty()) return -1;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (end == s.c_str() || !std::isfinite(v)) return -1;
  return std::min(std::max(v, 0.0), 1.0);
}

void AfterEntrance(const ppt::TimedEffect& e, TimedItem* t);

void Describe(const ppt::TimedEffect& e, TimedItem* t) {
  t->kind = KindOf(e);
  t->keeps = !e.auto_reverse;
  if (t->kind == tn::kEntrance || t->kind == tn::kExit) {
    t->effect = e.preset_id == kFadePreset ? fx::kFade : fx::kCut;
    for (const ppt::TimeBehavior& b : e.behaviors)
      if (b.kind == ppt::TimeBehavior::kEffect && MapFilter(b.value, &t->effect, &t->direction))
        break;
    if (t->effect == fx::kCut && t->kind == tn::kEntrance)
      EntrancePreset(e.preset_id, e.preset_subtype, &t->effect, &t->direction);
    // Flying out would carry the background away: it fades instead.
    if (t->effect == fx::kCut && t->kind == tn::kExit && e.preset_id == kFlyPreset)
      t->effect = fx::kFade;
    if (e.preset_id == kAppearPreset) t->effect = fx::kCut;
    if (t->kind == tn::kEntrance) AfterEntrance(e, t);
    return;
  }
  for (const ppt::TimeBehavior& b : e.behaviors) {
    switch (b.kind) {
      case ppt::TimeBehavior::kMotion:
        if (t->path.empty()) t->path = ppt::ParseMotionPath(b.value);
        break;
      case ppt::TimeBehavior::kRotation:
        // A spin repeated turns as many times over.
        t->rotate += (b.has_by   ? b.by
                      : b.has_to ? b.to - (b.has_from ? b.from : 0)
                                 : 0) *
                     std::min(std::max(e.repeat, 1.0), kMaxTurns);
        break;
      case ppt::TimeBehavior::kScale:
        t->sx *= b.scale_x;
        t->sy *= b.scale_y;
        break;
      case ppt::TimeBehavior::kColor:
        if (!b.has_color) break;
        if (Has(b, "style.color")) {
          t->text_set = true;
          t->text = ppt::Rgb{b.color[0], b.color[1], b.color[2]};
        } else if (!Has(b, "stroke.color")) {
          t->fill_set = true;
          t->fill = ppt::Rgb{b.color[0], b.color[1], b.color[2]};
        }
        break;
      case ppt::TimeBehavior::kSet:
      case ppt::TimeBehavior::kAnimate:
        if (Has(b, "style.opacity")) {
          double o = ParseOpacity(b.value);
          if (o < 0 && !b.values.empty()) o = ParseOpacity(b.values.back().second);
          if (o >= 0) t->opacity = o;
        }
        break;
      default:
        break;
    }
  }
  if (t->kind == tn::kMotionPath && t->path.size() < 2) t->kind = tn::kEmphasis;
}

// What an entrance leaves once it has played: "hide after animation" stores a second set of the
// visibility, "dim after animation" a colour change, both inside the entrance's own node.
void AfterEntrance(const ppt::TimedEffect& e, TimedItem* t) {
  for (const ppt::TimeBehavior& b : e.behaviors) {
    if (b.kind == ppt::TimeBehavior::kSet && Has(b, "style.visibility") &&
        Lower(b.value) == "hidden")
      t->hide_after = true;
    if (b.kind == ppt::TimeBehavior::kColor && b.has_color) {
      const ppt::Rgb c{b.color[0], b.color[1], b.color[2]};
      if (Has(b, "style.color")) {
        t->text_set = true;
        t->text = c;
      } else if (!Has(b, "stroke.color")) {
        t->fill_set = true;
        t->fill = c;
      }
    }
  }
}

// Paragraphs holding characters [first, last] of a text; each paragraph ends in one mark.
bool ParagraphRange(const ppt::TextBody& text, int first, int last, int* p0, int* p1) {
  int pos = 0;
  *p0 = *p1 = -1;
  for (size_t i = 0; i < text.paragraphs.size(); i++) {
    int len = 1;
    for (const ppt::Run& r : text.paragraphs[i].runs) len += int(r.text.size());
    int end = pos + len - 1;
    if (*p0 < 0 && first <= end) *p0 = int(i);
    if (last >= pos) *p1 = int(i);
    pos += len;
  }
  if (*p0 < 0) return false;
  if (*p1 < *p0) *p1 = *p0;
  return true;
}

// The shapes an effect acts on: the shape it names, or the members of the group it names.
std::vector<size_t> Targets(const ppt::Slide& slide, uint32_t id) {
  std::vector<size_t> out;
  if (!id) return out;
  for (size_t i = slide.shapes.size(); i-- > 0;)
    if (slide.shapes[i].id == id) return {i};
  for (size_t i = 0; i < slide.shapes.size(); i++)
    for (uint32_t g : slide.shapes[i].groups)
      if (g == id) out.push_back(i);
  return out;
}

void AddEffect(const ppt::Slide& slide, const ppt::TimedEffect& e, BuildStep* step) {
  TimedItem proto;
  Describe(e, &proto);
  for (size_t i : Targets(slide, e.target.shape_id)) {
    if (step->timed.size() >= kMaxItemsPerStep) return;
    TimedItem t = proto;
    t.shape = i;
    int p0, p1;
    if (e.target.first_char >= 0 &&
        ParagraphRange(slide.shapes[i].text, e.target.first_char, e.target.last_char, &p0, &p1) &&
        !(p0 == 0 && p1 + 1 == int(slide.shapes[i].text.paragraphs.size()))) {
      t.first = p0;
      t.last = p1;
    }
    step->timed.push_back(t);
    step->items.push_back({i, t.first, t.last});
    if (step->effect == fx::kCut && (t.kind == tn::kEntrance || t.kind == tn::kExit)) {
      step->effect = t.effect;
      step->direction = t.direction;
    }
  }
  step->duration_ms =
      std::max(step->duration_ms, std::min(std::max(e.duration_ms, kMinStepMs), kMaxStepMs));
}

// The steps of one sequence; `first_click`: its first click effect starts a step of its own
// even when the sequence is interactive.
std::vector<BuildStep> StepsOf(const ppt::Slide& slide, const ppt::TimedSequence& seq) {
  std::vector<BuildStep> steps;
  for (const ppt::TimedEffect& e : seq.effects) {
    bool new_step = steps.empty() || e.start == tn::kClickEffect || e.start == tn::kAfterPrevious;
    if (new_step) {
      BuildStep s;
      s.automatic = e.start != tn::kClickEffect;
      s.always = s.automatic;
      s.delay_ms = e.delay_ms;
      steps.push_back(s);
    }
    AddEffect(slide, e, &steps.back());
  }
  // Effects whose shapes are gone leave nothing to play; their steps would be empty clicks.
  steps.erase(std::remove_if(steps.begin(), steps.end(),
                             [](const BuildStep& s) { return s.timed.empty(); }),
              steps.end());
  return steps;
}

ppt::Rgb Mix(const ppt::Rgb& a, const ppt::Rgb& b, double p) {
  auto m = [p](uint8_t x, uint8_t y) { return uint8_t(std::lround(x + (y - x) * p)); };
  return ppt::Rgb{m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

void SetState(ShapeView* v, const TimedItem& t, size_t paragraphs, ShapeView::State st) {
  if (t.first < 0) {
    v->state = st;
    v->paragraphs.clear();
    return;
  }
  if (v->paragraphs.empty()) v->paragraphs.resize(paragraphs, v->state);
  for (int k = t.first; k <= t.last && k < int(v->paragraphs.size()); k++) v->paragraphs[k] = st;
}

// Where a motion path is at `p`, by length along it.
ppt::PathPoint Along(const std::vector<ppt::PathPoint>& path, double p) {
  if (path.empty()) return ppt::PathPoint();
  double total = 0;
  for (size_t i = 1; i < path.size(); i++)
    total += std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y);
  if (total <= 0 || p >= 1) return path.back();
  double want = std::max(p, 0.0) * total;
  for (size_t i = 1; i < path.size(); i++) {
    double seg = std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y);
    if (want <= seg && seg > 0) {
      double f = want / seg;
      return ppt::PathPoint{path[i - 1].x + (path[i].x - path[i - 1].x) * f,
                            path[i - 1].y + (path[i].y - path[i - 1].y) * f};
    }
    want -= seg;
  }
  return path.back();
}

}  // namespace

std::vector<BuildStep> TimelineSteps(const ppt::Slide& slide) {
  for (const ppt::TimedSequence& seq : slide.timeline.sequences)
    if (!seq.interactive) return StepsOf(slide, seq);
  return {};
}

std::vector<TriggerSequence> TriggerSequences(const ppt::Slide& slide, bool no_animation) {
  std::vector<TriggerSequence> out;
  if (no_animation || !slide.timeline.present) return out;
  for (const ppt::TimedSequence& seq : slide.timeline.sequences) {
    if (!seq.interactive) continue;
    std::vector<size_t> shapes = Targets(slide, seq.trigger.shape_id);
    if (shapes.empty()) continue;
    TriggerSequence t;
    t.shape = shapes.front();
    for (BuildStep& s : StepsOf(slide, seq)) {
      // The first effect starts on the trigger's click, as does every later click effect.
      if (t.groups.empty() || !s.automatic) {
        s.automatic = s.always = false;
        t.groups.emplace_back();
      }
      t.groups.back().push_back(std::move(s));
    }
    if (!t.groups.empty()) out.push_back(std::move(t));
  }
  return out;
}

void InitialTimed(const ppt::Slide& slide, const std::vector<BuildStep>& steps,
                  std::vector<ShapeView>* views) {
  std::vector<uint8_t> seen(slide.shapes.size(), 0);
  for (const BuildStep& step : steps)
    for (const TimedItem& t : step.timed) {
      if (t.shape >= views->size() || seen[t.shape]) continue;
      seen[t.shape] = 1;
      if (t.kind == tn::kEntrance)
        SetState(&(*views)[t.shape], t, slide.shapes[t.shape].text.paragraphs.size(),
                 ShapeView::kHidden);
    }
}

void ApplyTimed(const ppt::Slide& slide, const BuildStep& step, double p,
                std::vector<ShapeView>* views) {
  const bool done = p >= 1;
  p = std::min(std::max(p, 0.0), 1.0);
  for (const TimedItem& t : step.timed) {
    if (t.shape >= views->size()) continue;
    ShapeView& v = (*views)[t.shape];
    const size_t paragraphs = slide.shapes[t.shape].text.paragraphs.size();
    if (t.kind == tn::kEntrance) {
      SetState(&v, t, paragraphs, done && t.hide_after ? ShapeView::kHidden : ShapeView::kShown);
      if (done && t.fill_set) {
        v.fill_set = true;
        v.fill = t.fill;
      }
      if (done && t.text_set) {
        v.text_set = true;
        v.text = t.text;
      }
      continue;
    }
    if (t.kind == tn::kExit) {
      if (done) SetState(&v, t, paragraphs, ShapeView::kHidden);
      continue;
    }
    // Effects that play back to the start leave the shape as it was; while they play they go
    // there and back.
    double f = done ? (t.keeps ? 1 : 0) : t.keeps ? p : 1 - std::fabs(2 * p - 1);
    if (t.kind == tn::kMotionPath) {
      ppt::PathPoint at = Along(t.path, f);
      ppt::PathPoint start = t.path.front();
      v.dx += at.x - start.x;
      v.dy += at.y - start.y;
      continue;
    }
    v.rotate += t.rotate * f;
    v.sx *= 1 + (t.sx - 1) * f;
    v.sy *= 1 + (t.sy - 1) * f;
    if (t.opacity >= 0) v.opacity = v.opacity + (t.opacity - v.opacity) * f;
    const ppt::Shape& s = slide.shapes[t.shape];
    if (t.fill_set && f > 0) {
      v.fill = Mix(v.fill_set ? v.fill : s.fill.color, t.fill, f);
      v.fill_set = true;
    }
    if (t.text_set && f > 0) {
      ppt::Rgb from = v.text_set ? v.text
                      : s.text.paragraphs.empty() || s.text.paragraphs[0].runs.empty()
                          ? t.text
                          : s.text.paragraphs[0].runs[0].color;
      v.text = Mix(from, t.text, f);
      v.text_set = true;
    }
  }
}

std::vector<ShapeView> ViewDuring(const ppt::Slide& slide, const std::vector<BuildStep>& steps,
                                  size_t done, double progress) {
  std::vector<ShapeView> views = ViewAfter(slide, steps, done);
  if (done < steps.size()) ApplyTimed(slide, steps[done], progress, &views);
  return views;
}

bool Tweened(const BuildStep& step) {
  for (const TimedItem& t : step.timed)
    if (t.Tween()) return true;
  return false;
}

ppt::Shape Posed(const ppt::Shape& s, const ShapeView& v, int32_t w, int32_t h) {
  ppt::Shape o = s;
  const double cx = (s.anchor.left + s.anchor.right) / 2.0 + v.dx * w;
  const double cy = (s.anchor.top + s.anchor.bottom) / 2.0 + v.dy * h;
  const double hw = (double(s.anchor.right) - s.anchor.left) * std::max(v.sx, 0.0) / 2;
  const double hh = (double(s.anchor.bottom) - s.anchor.top) * std::max(v.sy, 0.0) / 2;
  auto clamp = [](double x) { return int32_t(std::min(std::max(x, -1e9), 1e9)); };
  o.anchor = ppt::Rect{clamp(cx - hw), clamp(cy - hh), clamp(cx + hw), clamp(cy + hh)};
  o.rotation = int(std::fmod(s.rotation + v.rotate, 360.0));
  // Shapes turned by about a quarter keep their anchor turned: a turn that crosses into or out
  // of such a position turns the anchor with it, so the shape keeps its proportions.
  auto quarter = [](int r) { return (((r % 360 + 360) % 360 + 45) / 90) % 2 == 1; };
  if (quarter(o.rotation) != quarter(s.rotation))
    o.anchor = ppt::Rect{clamp(cx - hh), clamp(cy - hw), clamp(cx + hh), clamp(cy + hw)};
  if (v.fill_set) {
    if (o.fill.kind == ppt::Fill::kNone || o.fill.kind == ppt::Fill::kBackground)
      o.fill.kind = ppt::Fill::kSolid;
    o.fill.color = v.fill;
  }
  if (v.text_set)
    for (ppt::Paragraph& p : o.text.paragraphs)
      for (ppt::Run& r : p.runs) r.color = v.text;
  if (v.opacity < 1) {
    const double a = std::max(v.opacity, 0.0);
    o.fill.alpha = uint8_t(std::lround(o.fill.alpha * a));
    o.fill.alpha2 = uint8_t(std::lround(o.fill.alpha2 * a));
    o.line_style.alpha = uint8_t(std::lround(o.line_style.alpha * a));
  }
  return o;
}

}  // namespace show
