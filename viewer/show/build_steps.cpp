#include "show/build_steps.h"

#include <algorithm>
#include <map>

namespace show {

namespace {

constexpr int kFlashOnce = 14;  // the effect that shows a shape only while it plays

bool EmptyParagraph(const ppt::Paragraph& p) {
  for (const ppt::Run& r : p.runs)
    for (char16_t c : r.text)
      if (c > u' ') return false;
  return true;
}

// Paragraph groups of a text built by level: a paragraph at or above the build level starts a
// group, deeper ones go with the paragraph before them; empty paragraphs never take a click.
std::vector<std::pair<int, int>> ParagraphGroups(const ppt::TextBody& text, int by_level) {
  std::vector<std::pair<int, int>> groups;
  const int n = int(text.paragraphs.size());
  for (int i = 0; i < n; i++) {
    const ppt::Paragraph& p = text.paragraphs[i];
    bool starts = groups.empty() || (p.level < by_level && !EmptyParagraph(p));
    if (starts && !groups.empty()) {
      // A group of only empty paragraphs joins the one that follows it.
      bool all_empty = true;
      for (int k = groups.back().first; k <= groups.back().second; k++)
        all_empty = all_empty && EmptyParagraph(text.paragraphs[k]);
      if (all_empty) {
        groups.back().second = i;
        continue;
      }
    }
    if (starts)
      groups.push_back({i, i});
    else
      groups.back().second = i;
  }
  if (groups.size() > 1) {
    bool all_empty = true;
    for (int k = groups.back().first; k <= groups.back().second; k++)
      all_empty = all_empty && EmptyParagraph(text.paragraphs[k]);
    if (all_empty) {
      groups[groups.size() - 2].second = groups.back().second;
      groups.pop_back();
    }
  }
  return groups;
}

BuildStep StepFor(const ppt::Build& b) {
  BuildStep s;
  s.automatic = b.automatic;
  s.delay_ms = b.delay_ms;
  s.effect = b.effect;
  s.direction = b.direction;
  s.sound = b.sound;
  s.stop_sound = b.stop_sound;
  return s;
}

}  // namespace

std::vector<BuildStep> BuildSteps(const ppt::Slide& slide, bool no_animation) {
  std::vector<BuildStep> steps;
  if (no_animation) return steps;
  // Decks of PowerPoint 2002 and later keep the older build records beside their timeline for
  // older viewers; the timeline is what they play. Such decks store a timing root on every
  // slide: an empty one leaves whatever build records the slide has.
  if (!slide.timeline.sequences.empty()) return TimelineSteps(slide);
  std::vector<size_t> animated;
  for (size_t i = 0; i < slide.shapes.size(); i++)
    if (slide.shapes[i].build.animated) animated.push_back(i);
  std::stable_sort(animated.begin(), animated.end(), [&](size_t a, size_t b) {
    return slide.shapes[a].build.order < slide.shapes[b].build.order;
  });
  std::map<int, size_t> group_step;  // shapes of one group: the step they share
  for (size_t i : animated) {
    const ppt::Shape& s = slide.shapes[i];
    const ppt::Build& b = s.build;
    if (b.together > 0) {
      auto it = group_step.find(b.together);
      if (it != group_step.end()) {
        steps[it->second].items.push_back({i, -1, -1});
        continue;
      }
      group_step[b.together] = steps.size();
    }
    if (b.by_level <= 0 || s.text.paragraphs.size() < 2) {
      BuildStep step = StepFor(b);
      step.items.push_back({i, -1, -1});
      steps.push_back(step);
      continue;
    }
    std::vector<std::pair<int, int>> groups = ParagraphGroups(s.text, b.by_level);
    if (b.reverse) std::reverse(groups.begin(), groups.end());
    for (const auto& g : groups) {
      BuildStep step = StepFor(b);
      step.items.push_back({i, g.first, g.second});
      steps.push_back(step);
    }
  }
  return steps;
}

std::vector<ShapeView> ViewAfter(const ppt::Slide& slide, const std::vector<BuildStep>& steps,
                                 size_t done) {
  std::vector<ShapeView> views(slide.shapes.size());
  done = std::min(done, steps.size());
  InitialTimed(slide, steps, &views);
  // Everything that builds starts hidden.
  for (const BuildStep& step : steps) {
    if (!step.timed.empty()) continue;
    for (const BuildItem& item : step.items) {
      ShapeView& v = views[item.shape];
      if (item.first < 0) {
        v.state = ShapeView::kHidden;
      } else {
        v.paragraphs.resize(slide.shapes[item.shape].text.paragraphs.size(), ShapeView::kShown);
        for (int k = item.first; k <= item.last && k < int(v.paragraphs.size()); k++)
          v.paragraphs[k] = ShapeView::kHidden;
      }
    }
  }
  for (size_t k = 0; k < done; k++) {
    if (!steps[k].timed.empty()) {
      ApplyTimed(slide, steps[k], 1, &views);
      continue;
    }
    for (const BuildItem& item : steps[k].items) {
      const ppt::Build& b = slide.shapes[item.shape].build;
      ppt::Build::After after = b.after;
      if (after == ppt::Build::kKeep && b.effect == kFlashOnce) after = ppt::Build::kHideAtOnce;
      // Dimming and hiding wait for the next step; hiding at once follows the step itself.
      bool later = k + 1 < done;
      ShapeView::State state = ShapeView::kShown;
      if (after == ppt::Build::kHideAtOnce || (later && after == ppt::Build::kHide))
        state = ShapeView::kHidden;
      else if (later && after == ppt::Build::kDim)
        state = ShapeView::kDimmed;
      ShapeView& v = views[item.shape];
      v.dim = b.dim_color;
      if (item.first < 0) {
        v.state = state;
      } else {
        for (int p = item.first; p <= item.last && p < int(v.paragraphs.size()); p++)
          v.paragraphs[p] = state;
      }
    }
  }
  return views;
}

ppt::Rect StepBounds(const ppt::Slide& slide, const BuildStep& step) {
  ppt::Rect r{0, 0, 0, 0};
  bool first = true;
  for (const BuildItem& item : step.items) {
    if (item.shape >= slide.shapes.size()) continue;
    const ppt::Rect& a = slide.shapes[item.shape].anchor;
    if (first) {
      r = a;
      first = false;
    } else {
      r.left = std::min(r.left, a.left);
      r.top = std::min(r.top, a.top);
      r.right = std::max(r.right, a.right);
      r.bottom = std::max(r.bottom, a.bottom);
    }
  }
  return r;
}

}  // namespace show
