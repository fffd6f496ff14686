#pragma once
// The animations of PowerPoint 2002 and later: a tree of time nodes kept in a slide's "___PPT10"
// programmable tag. The tree is read as stored (ReadTimeNodes), then flattened into the
// sequences a show plays: the main sequence, stepped by clicks, and the interactive sequences a
// click on their trigger shape starts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ppt {

// What a behaviour acts on: a shape, or characters [first, last] of its text.
struct TimeTarget {
  uint32_t shape_id = 0;
  int first_char = -1, last_char = -1;
};

// One behaviour of a time node, as far as a show can use it.
struct TimeBehavior {
  enum Kind { kNone, kSet, kAnimate, kEffect, kMotion, kRotation, kScale, kColor, kCommand };
  Kind kind = kNone;
  TimeTarget target;
  std::vector<std::string> attributes;  // "style.visibility", "ppt_x", "fillcolor", ...
  std::string value;  // set: the value set; effect: the filter ("wipe(down)"); motion: the path
  bool out = false;   // effect: takes the shape away rather than bringing it
  double by = 0, from = 0, to = 0;  // rotation, degrees
  bool has_by = false, has_from = false, has_to = false;
  double scale_x = 1, scale_y = 1;  // scale: the size reached, as a factor
  bool has_color = false;
  uint8_t color[3] = {0, 0, 0};  // colour reached, red green blue
  // Animate: the values at points of the node's time (0..1000) as stored, e.g. "#ppt_x".
  std::vector<std::pair<int, std::string>> values;
};

struct TimeCondition {
  int object = 0;  // 0 none, 1 a visual element (a shape), 2 a time node, 3 a runtime node
  int event = 0;   // 1 on begin, 3 node start, 4 node end, 5 click, 9 next, 10 previous
  uint32_t node_id = 0;
  int32_t delay = 0;  // ms; -1 indefinite (waits for the event)
  TimeTarget target;  // of a click or a visual element
};

struct TimeNode {
  int type = 0;           // 0 parallel, 1 sequential, 2 behaviour, 3 media
  int32_t duration = -1;  // ms; -1 unset or indefinite
  bool has_duration = false;
  int fill = 0;
  // Properties of the node.
  int preset_id = 0, preset_subtype = 0, preset_class = 0, node_type = 0;
  double repeat = 1;  // times the node plays
  bool auto_reverse = false;
  std::vector<TimeCondition> begin;
  TimeBehavior behavior;
  std::vector<TimeNode> children;
};

namespace time_node {
// The role a node has in the tree.
enum : int {
  kClickEffect = 1,
  kWithPrevious = 2,
  kAfterPrevious = 3,
  kMainSequence = 4,
  kInteractiveSequence = 5,
  kTimingRoot = 9,
};
// The preset classes of effects.
enum : int { kEntrance = 1, kExit = 2, kEmphasis = 3, kMotionPath = 4 };
}  // namespace time_node

// One effect of a sequence, with every behaviour below its node.
struct TimedEffect {
  int start = time_node::kClickEffect;  // click, with previous, after previous
  int preset_class = 0, preset_id = 0, preset_subtype = 0;
  int delay_ms = 0;     // after the moment it would otherwise start
  int duration_ms = 0;  // of the longest behaviour, repeats included
  double repeat = 1;
  bool auto_reverse = false;
  TimeTarget target;
  std::vector<TimeBehavior> behaviors;
};

struct TimedSequence {
  bool interactive = false;
  TimeTarget trigger;  // interactive: the shape whose click starts it
  std::vector<TimedEffect> effects;
};

struct Timeline {
  bool present = false;  // the slide stores a time-node tree: it decides how the slide builds
  std::vector<TimedSequence> sequences;
};

// Reads the time-node tree of an ExtTimeNodeContainer record's body. Nesting and node counts are
// bounded; what lies beyond the bounds is left out.
bool ReadTimeNodes(const uint8_t* body, size_t len, TimeNode* out);
// The sequences of a tree.
std::vector<TimedSequence> Sequences(const TimeNode& root);
// Reads the timeline from the body of a "___PPT10" tag's binary data.
bool ReadTimeline(const uint8_t* body, size_t len, Timeline* out);

// A motion path string ("M 0 0 L 0.25 0.1 E") as points, in fractions of the slide; curves are
// followed through their control points. Empty when the string holds no point.
struct PathPoint {
  double x = 0, y = 0;
};
std::vector<PathPoint> ParseMotionPath(const std::string& path);

}  // namespace ppt
