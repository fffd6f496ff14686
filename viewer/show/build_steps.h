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

struct BuildStep {
  std::vector<BuildItem> items;
  bool automatic = false;  // starts by itself delay_ms after the previous step
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
};

// What is on screen once the first `done` steps have played.
std::vector<ShapeView> ViewAfter(const ppt::Slide& slide, const std::vector<BuildStep>& steps,
                                 size_t done);

// The device-independent box a step's effect plays in: the union of its shapes' anchors.
ppt::Rect StepBounds(const ppt::Slide& slide, const BuildStep& step);

}  // namespace show
