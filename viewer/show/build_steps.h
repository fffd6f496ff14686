#pragma once
// A slide's builds as the presenter steps through them: which shapes and paragraphs each click
// (or timing) brings on screen, and what is visible, dimmed or hidden after any number of steps.
#include <cstddef>
#include <vector>

#include "ppt/presentation.h"

namespace show {

// One shape's part in a step: the whole shape, or paragraphs [first, last] of its text.
struct BuildItem {
  size_t shape = 0;
  int first = -1, last = -1;  // -1: the whole shape
};

// One effect of a timeline step on a shape (or paragraphs of it), as far as it can be drawn.
struct TimedItem {
  size_t shape = 0;
  int first = -1, last = -1;      // paragraphs; -1: the whole shape
  int kind = 0;                   // ppt::time_node::kEntrance, kExit, kEmphasis, kMotionPath
  int effect = 0, direction = 0;  // entrances and exits: the reveal that draws them (fx)
  // Emphasis: what the shape becomes; kept after the step unless it plays back to the start.
  double rotate = 0, sx = 1, sy = 1, opacity = -1;
  bool fill_set = false, text_set = false;
  ppt::Rgb fill, text;
  bool keeps = true;
  // Entrances: hidden again once played; fill_set and text_set give the colour they dim to.
  bool hide_after = false;
  std::vector<ppt::PathPoint> path;  // motion: fractions of the slide, from the shape's place
  bool Tween() const {
    // An entrance hidden again once played is drawn frame by frame: a reveal of the picture
    // after it would show nothing.
    return kind == ppt::time_node::kMotionPath ||
           (kind == ppt::time_node::kEntrance && hide_after) ||
           (kind == ppt::time_node::kEmphasis &&
            (rotate != 0 || sx != 1 || sy != 1 || opacity >= 0 || fill_set || text_set));
  }
};

struct BuildStep {
  std::vector<BuildItem> items;
  std::vector<TimedItem> timed;  // timeline steps: what each effect does
  bool always = false;           // automatic even when the show advances by clicks only
  int duration_ms = 0;           // timeline steps: as stored; 0 the effect's own
  bool automatic = false;        // starts by itself delay_ms after the previous step
  int delay_ms = 0;
  int effect = 0, direction = 0;
  int sound = -1;
  bool stop_sound = false;
};

// The steps of a slide in the order they play; none when the show runs without animation.
std::vector<BuildStep> BuildSteps(const ppt::Slide& slide, bool no_animation = false);

// A shape as a build state shows it.
struct ShapeView {
  enum State : uint8_t { kShown, kHidden, kDimmed };
  State state = kShown;
  ppt::Rgb dim;
  std::vector<uint8_t> paragraphs;  // State per paragraph; empty: all as the shape
  // Emphasis and motion: offset (fractions of the slide), turn, size, colours, opacity.
  double dx = 0, dy = 0, rotate = 0, sx = 1, sy = 1, opacity = 1;
  bool fill_set = false, text_set = false;
  ppt::Rgb fill, text;
  bool posed() const {
    return dx != 0 || dy != 0 || rotate != 0 || sx != 1 || sy != 1 || opacity != 1 || fill_set ||
           text_set;
  }
};

// What is on screen once the first `done` steps have played.
std::vector<ShapeView> ViewAfter(const ppt::Slide& slide, const std::vector<BuildStep>& steps,
                                 size_t done);

// The device-independent box a step's effect plays in: the union of its shapes' anchors.
ppt::Rect StepBounds(const ppt::Slide& slide, const BuildStep& step);

// Timeline steps (timeline_steps.cpp). Shapes whose first timed effect is an entrance start
// hidden.
void InitialTimed(const ppt::Slide& slide, const std::vector<BuildStep>& steps,
                  std::vector<ShapeView>* views);
// The main sequence as steps.
std::vector<BuildStep> TimelineSteps(const ppt::Slide& slide);
// Interactive sequences: a click on `shape` plays its groups one by one, each a click step with
// the automatic steps that follow it.
struct TriggerSequence {
  size_t shape = 0;
  std::vector<std::vector<BuildStep>> groups;
};
std::vector<TriggerSequence> TriggerSequences(const ppt::Slide& slide, bool no_animation = false);
// Folds step `step`'s timed items into `views`, at `progress` (1: as the step leaves them).
void ApplyTimed(const ppt::Slide& slide, const BuildStep& step, double progress,
                std::vector<ShapeView>* views);
// What is on screen while step `done` plays, at `progress`.
std::vector<ShapeView> ViewDuring(const ppt::Slide& slide, const std::vector<BuildStep>& steps,
                                  size_t done, double progress);
// The shape as a posed view draws it on a slide of w x h master units.
ppt::Shape Posed(const ppt::Shape& s, const ShapeView& v, int32_t w, int32_t h);
// True when a step has to be drawn frame by frame (motion, turns, sizes, colours).
bool Tweened(const BuildStep& step);

}  // namespace show
