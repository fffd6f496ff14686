#include "ppt/timeline.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "ppt/records.h"

namespace ppt {

namespace {

namespace trt {
enum : uint16_t {
  kTimeConditionContainer = 0xF125,
  kTimeNodeAtom = 0xF127,
  kTimeConditionAtom = 0xF128,
  kTimeModifierAtom = 0xF129,
  kTimeBehaviorContainer = 0xF12A,
  kAnimateContainer = 0xF12B,
  kColorContainer = 0xF12C,
  kEffectContainer = 0xF12D,
  kMotionContainer = 0xF12E,
  kRotationContainer = 0xF12F,
  kScaleContainer = 0xF130,
  kSetContainer = 0xF131,
  kCommandContainer = 0xF132,
  kColorAtom = 0xF135,
  kEffectAtom = 0xF136,
  kRotationAtom = 0xF138,
  kScaleAtom = 0xF139,
  kClientVisualElement = 0xF13C,
  kTimePropertyList = 0xF13D,
  kTimeVariantList = 0xF13E,
  kAnimationValueList = 0xF13F,
  kTimeVariant = 0xF142,
  kAnimationValueAtom = 0xF143,
  kExtTimeNodeContainer = 0xF144,
  kSubEffectContainer = 0xF145,
  kVisualShapeAtom = 0x2AFB,
};
}  // namespace trt

// Properties of a time node, by the instance of their variant record.
enum : uint16_t {
  kPropPresetId = 0x09,
  kPropPresetSubtype = 0x0A,
  kPropPresetClass = 0x0B,
  kPropNodeType = 0x14,
};
enum : int { kVariantBool = 0, kVariantInt = 1, kVariantFloat = 2, kVariantString = 3 };
enum : uint32_t { kBeginCondition = 1 };
enum : uint32_t { kModifierRepeatCount = 0, kModifierAutoReverse = 5 };
enum : uint32_t { kVisualTextRange = 2 };
enum : uint32_t { kColorRgb = 0, kColorHsl = 1 };
constexpr uint32_t kNodeDurationSet = 1u << 4;
constexpr uint32_t kByUsed = 1u << 0, kFromUsed = 1u << 1, kToUsed = 1u << 2;
constexpr size_t kNodeAtomSize = 32, kConditionAtomSize = 16, kVisualShapeSize = 20;
constexpr size_t kScaleAtomSize = 28, kRotationAtomSize = 16, kColorAtomSize = 52;
constexpr size_t kEffectAtomSize = 8, kModifierAtomSize = 8;
constexpr size_t kVariantValueSize = 5;  // the type byte, then a 32-bit value
constexpr size_t kColorToOffset = 36;    // flags, then the colours by, from and to (16 bytes each)
constexpr uint32_t kTransitionOut = 1;
constexpr int kMaxNodes = 20000;     // per slide
constexpr size_t kMaxString = 4096;  // characters of one stored string
constexpr size_t kMaxPathPoints = 4096;
constexpr int32_t kMaxMs = 24 * 3600 * 1000;
constexpr double kMaxRepeat = 1000;
constexpr double kPercent = 100;

double Float(const uint8_t* p) {
  uint32_t bits = Le32(p);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return std::isfinite(f) ? double(f) : 0.0;
}

int32_t Ms(int32_t v) {
  return v < 0 ? -1 : v > kMaxMs ? kMaxMs : v;
}

// A variant's text, stored as UTF-16; only the ASCII a show needs is kept as such.
std::string VariantString(const Record& r) {
  std::string s;
  if (r.len < 1 || r.body[0] != kVariantString) return s;
  for (size_t i = 1; i + 1 < r.len && s.size() < kMaxString; i += 2) {
    uint16_t c = Le16(r.body + i);
    if (c == 0) break;
    s += c < 0x80 ? char(c) : '?';
  }
  return s;
}

bool VariantInt(const Record& r, int* out) {
  if (r.len >= kVariantValueSize && r.body[0] == kVariantInt) {
    *out = int32_t(Le32(r.body + 1));
    return true;
  }
  return false;
}

void ReadTarget(const Record& element, TimeTarget* t) {
  Record shape;
  if (!FindChild(element, trt::kVisualShapeAtom, &shape) || shape.len < kVisualShapeSize) return;
  t->shape_id = Le32(shape.body + 8);
  if (Le32(shape.body) == kVisualTextRange) {
    // The range's end is stored one past its last character: PowerPoint stores a whole
    // paragraph "ab\r" at 0 as 0..3, and a whole text of n characters as 0..n+1.
    t->first_char = std::max(0, int32_t(Le32(shape.body + 12)));
    const int32_t end = int32_t(Le32(shape.body + 16));
    t->last_char = std::max(t->first_char, end - 1);
  }
}

// The common part of every behaviour: its target and the attributes it animates.
void ReadCommon(const Record& common, TimeBehavior* b) {
  Children c(common);
  Record r;
  while (c.Next(&r)) {
    if (r.type == trt::kClientVisualElement) {
      ReadTarget(r, &b->target);
    } else if (r.type == trt::kTimeVariantList) {
      Children names(r);
      Record n;
      while (names.Next(&n) && b->attributes.size() < 16)
        if (n.type == trt::kTimeVariant) b->attributes.push_back(VariantString(n));
    }
  }
}

void HslToRgb(double h, double s, double l, uint8_t* out) {
  // Stored as 0..255 each, the hue a fraction of the circle.
  h = h / 255.0 * 6.0;
  s /= 255.0;
  l /= 255.0;
  double c = (1 - std::fabs(2 * l - 1)) * s, x = c * (1 - std::fabs(std::fmod(h, 2.0) - 1));
  double m = l - c / 2, rgb[3] = {0, 0, 0};
  int sector = int(h) % 6;
  const int order[6][3] = {{0, 1, 2}, {1, 0, 2}, {2, 0, 1}, {2, 1, 0}, {1, 2, 0}, {0, 2, 1}};
  double parts[3] = {c, x, 0};
  for (int i = 0; i < 3; i++) rgb[i] = parts[order[sector][i]];
  for (int i = 0; i < 3; i++) out[i] = uint8_t(std::lround(std::min(1.0, rgb[i] + m) * 255));
}

void ReadColor(const Record& atom, TimeBehavior* b) {
  if (atom.len < kColorAtomSize) return;
  uint32_t flags = Le32(atom.body);
  if (!(flags & kToUsed)) return;
  const uint8_t* to = atom.body + kColorToOffset;
  uint32_t model = Le32(to);
  uint32_t c[3] = {Le32(to + 4), Le32(to + 8), Le32(to + 12)};
  if (model == kColorRgb) {
    for (int i = 0; i < 3; i++) b->color[i] = uint8_t(std::min<uint32_t>(c[i], 255));
    b->has_color = true;
  } else if (model == kColorHsl) {
    HslToRgb(std::min<uint32_t>(c[0], 255), std::min<uint32_t>(c[1], 255),
             std::min<uint32_t>(c[2], 255), b->color);
    b->has_color = true;
  }  // scheme colours: the slide's scheme is not known here; the colour stays
}

void ReadAnimateValues(const Record& list, TimeBehavior* b) {
  Children c(list);
  Record r;
  int time = 0;
  bool want_value = false;
  while (c.Next(&r) && b->values.size() < 64) {
    if (r.type == trt::kAnimationValueAtom && r.len >= sizeof(uint32_t)) {
      time = std::min(std::max(int32_t(Le32(r.body)), 0), 1000);
      want_value = true;
    } else if (r.type == trt::kTimeVariant && want_value) {
      std::string v = VariantString(r);
      if (v.empty() && r.len >= kVariantValueSize && r.body[0] == kVariantFloat) {
        char buf[32];
        snprintf(buf, sizeof buf, "%g", Float(r.body + 1));
        v = buf;
      }
      b->values.push_back({time, v});
      want_value = false;
    }
  }
}

void ReadBehavior(const Record& container, TimeBehavior* b) {
  switch (container.type) {
    case trt::kSetContainer:
      b->kind = TimeBehavior::kSet;
      break;
    case trt::kAnimateContainer:
      b->kind = TimeBehavior::kAnimate;
      break;
    case trt::kColorContainer:
      b->kind = TimeBehavior::kColor;
      break;
    case trt::kEffectContainer:
      b->kind = TimeBehavior::kEffect;
      break;
    case trt::kMotionContainer:
      b->kind = TimeBehavior::kMotion;
      break;
    case trt::kRotationContainer:
      b->kind = TimeBehavior::kRotation;
      break;
    case trt::kScaleContainer:
      b->kind = TimeBehavior::kScale;
      break;
    default:
      b->kind = TimeBehavior::kCommand;
      break;
  }
  Children c(container);
  Record r;
  while (c.Next(&r)) {
    switch (r.type) {
      case trt::kTimeBehaviorContainer:
        ReadCommon(r, b);
        break;
      case trt::kTimeVariant:
        // Set: the value; effect: the filter; motion: the path; animate: by, from, to.
        if (b->value.empty()) b->value = VariantString(r);
        break;
      case trt::kEffectAtom:
        if (r.len >= kEffectAtomSize) b->out = Le32(r.body + 4) == kTransitionOut;
        break;
      case trt::kRotationAtom:
        if (r.len >= kRotationAtomSize) {
          uint32_t f = Le32(r.body);
          b->has_by = f & kByUsed;
          b->has_from = f & kFromUsed;
          b->has_to = f & kToUsed;
          b->by = Float(r.body + 4);
          b->from = Float(r.body + 8);
          b->to = Float(r.body + 12);
        }
        break;
      case trt::kScaleAtom:
        if (r.len >= kScaleAtomSize) {
          uint32_t f = Le32(r.body);
          if (f & kToUsed) {
            b->scale_x = Float(r.body + 20) / kPercent;
            b->scale_y = Float(r.body + 24) / kPercent;
          } else if (f & kByUsed) {
            b->scale_x = Float(r.body + 4) / kPercent;
            b->scale_y = Float(r.body + 8) / kPercent;
          }
          b->scale_x = std::min(std::max(b->scale_x, 0.0), kPercent);
          b->scale_y = std::min(std::max(b->scale_y, 0.0), kPercent);
        }
        break;
      case trt::kColorAtom:
        ReadColor(r, b);
        break;
      case trt::kAnimationValueList:
        ReadAnimateValues(r, b);
        break;
      default:
        break;
    }
  }
}

void ReadCondition(const Record& container, TimeNode* node) {
  if (container.inst != kBeginCondition || node->begin.size() >= 16) return;
  TimeCondition cond;
  Children c(container);
  Record r;
  bool found = false;
  while (c.Next(&r)) {
    if (r.type == trt::kTimeConditionAtom && r.len >= kConditionAtomSize) {
      cond.object = int(Le32(r.body));
      cond.event = int(Le32(r.body + 4));
      cond.node_id = Le32(r.body + 8);
      cond.delay = Ms(int32_t(Le32(r.body + 12)));
      found = true;
    } else if (r.type == trt::kClientVisualElement) {
      ReadTarget(r, &cond.target);
    }
  }
  if (found) node->begin.push_back(cond);
}

void ReadProperties(const Record& list, TimeNode* node) {
  Children c(list);
  Record r;
  while (c.Next(&r)) {
    if (r.type != trt::kTimeVariant) continue;
    int v = 0;
    if (!VariantInt(r, &v)) continue;
    switch (r.inst) {
      case kPropPresetId:
        node->preset_id = v;
        break;
      case kPropPresetSubtype:
        node->preset_subtype = v;
        break;
      case kPropPresetClass:
        node->preset_class = v;
        break;
      case kPropNodeType:
        node->node_type = v;
        break;
      default:
        break;
    }
  }
}

class TreeReader {
 public:
  void Read(const uint8_t* body, size_t len, int depth, TimeNode* node) {
    Children c(body, len);
    Record r;
    while (c.Next(&r)) {
      switch (r.type) {
        case trt::kTimeNodeAtom:
          if (r.len >= kNodeAtomSize) {
            node->type = int(Le32(r.body + 8));
            node->fill = int(Le32(r.body + 12));
            // A duration is meant only where its flag says so; a positive one without the flag
            // is taken too rather than have the effect flash by.
            const int32_t stored = int32_t(Le32(r.body + 24));
            node->has_duration = (Le32(r.body + 28) & kNodeDurationSet) || stored > 0;
            node->duration = node->has_duration ? Ms(stored) : -1;
          }
          break;
        case trt::kTimePropertyList:
          ReadProperties(r, node);
          break;
        case trt::kTimeConditionContainer:
          ReadCondition(r, node);
          break;
        case trt::kTimeModifierAtom:
          if (r.len >= kModifierAtomSize) {
            uint32_t kind = Le32(r.body);
            double v = Float(r.body + 4);
            if (kind == kModifierRepeatCount && v > 0) node->repeat = std::min(v, kMaxRepeat);
            if (kind == kModifierAutoReverse) node->auto_reverse = v != 0;
          }
          break;
        case trt::kSetContainer:
        case trt::kAnimateContainer:
        case trt::kColorContainer:
        case trt::kEffectContainer:
        case trt::kMotionContainer:
        case trt::kRotationContainer:
        case trt::kScaleContainer:
        case trt::kCommandContainer:
          if (node->behavior.kind == TimeBehavior::kNone) ReadBehavior(r, &node->behavior);
          break;
        case trt::kExtTimeNodeContainer:
        case trt::kSubEffectContainer:
          if (depth + 1 < kMaxNesting && nodes_ < kMaxNodes) {
            nodes_++;
            node->children.emplace_back();
            Read(r.body, r.len, depth + 1, &node->children.back());
          }
          break;
        default:
          break;
      }
    }
  }

 private:
  int nodes_ = 0;
};

// The begin delay of a node that starts on its own (-1: it waits for an event).
int32_t BeginDelay(const TimeNode& n) {
  for (const TimeCondition& c : n.begin)
    if (c.event == 0 && c.object == 0) return c.delay;
  return n.begin.empty() ? 0 : n.begin.front().delay < 0 ? 0 : n.begin.front().delay;
}

// Collects the behaviours below an effect's node and how long they run together.
void CollectBehaviors(const TimeNode& n, int depth, int32_t offset, TimedEffect* e) {
  if (depth > kMaxNesting) return;
  int32_t start = offset + std::max(BeginDelay(n), 0);
  if (n.behavior.kind != TimeBehavior::kNone && e->behaviors.size() < 64) {
    e->behaviors.push_back(n.behavior);
    double runs = n.repeat * (n.auto_reverse ? 2 : 1);
    int32_t end = start + int32_t(std::min<double>(std::max(n.duration, 0) * runs, kMaxMs));
    e->duration_ms = std::min(std::max(e->duration_ms, end), kMaxMs);
    if (n.auto_reverse) e->auto_reverse = true;
    if (!e->target.shape_id) e->target = n.behavior.target;
  }
  for (const TimeNode& c : n.children) CollectBehaviors(c, depth + 1, start, e);
}

bool IsEffect(const TimeNode& n) {
  return n.preset_class != 0 || n.node_type == time_node::kClickEffect ||
         n.node_type == time_node::kWithPrevious || n.node_type == time_node::kAfterPrevious;
}

void EffectsOf(const TimeNode& n, int depth, bool first_in_group, TimedSequence* seq) {
  if (depth > kMaxNesting) return;
  for (const TimeNode& c : n.children) {
    if (!IsEffect(c)) {
      EffectsOf(c, depth + 1, first_in_group && seq->effects.empty(), seq);
      first_in_group = false;
      continue;
    }
    TimedEffect e;
    e.start = c.node_type ? c.node_type
                          : (first_in_group ? time_node::kClickEffect : time_node::kWithPrevious);
    e.preset_class = c.preset_class;
    e.preset_id = c.preset_id;
    e.preset_subtype = c.preset_subtype;
    e.delay_ms = std::max(BeginDelay(c), 0);
    e.repeat = c.repeat;
    // The node's own begin delay is the effect's delay, not part of its run; its repeats are.
    CollectBehaviors(c, depth + 1, -e.delay_ms, &e);
    e.duration_ms = int(std::min<double>(e.duration_ms * std::max(c.repeat, 1.0), kMaxMs));
    if (e.target.shape_id) seq->effects.push_back(std::move(e));
    first_in_group = false;
  }
}

TimeTarget ClickTarget(const TimeNode& n) {
  for (const TimeCondition& c : n.begin)
    if (c.target.shape_id) return c.target;
  return TimeTarget();
}

void FindSequences(const TimeNode& n, int depth, std::vector<TimedSequence>* out) {
  if (depth > kMaxNesting) return;
  if (n.node_type == time_node::kMainSequence || n.node_type == time_node::kInteractiveSequence) {
    TimedSequence seq;
    seq.interactive = n.node_type == time_node::kInteractiveSequence;
    if (seq.interactive) {
      seq.trigger = ClickTarget(n);
      for (size_t i = 0; i < n.children.size() && !seq.trigger.shape_id; i++)
        seq.trigger = ClickTarget(n.children[i]);
    }
    // Each child is one click's group.
    for (const TimeNode& group : n.children) EffectsOf(group, depth + 1, true, &seq);
    if (!seq.interactive || seq.trigger.shape_id) out->push_back(std::move(seq));
    return;
  }
  for (const TimeNode& c : n.children) FindSequences(c, depth + 1, out);
}

}  // namespace

bool ReadTimeNodes(const uint8_t* body, size_t len, TimeNode* out) {
  *out = TimeNode();
  TreeReader reader;
  reader.Read(body, len, 0, out);
  return true;
}

std::vector<TimedSequence> Sequences(const TimeNode& root) {
  std::vector<TimedSequence> out;
  FindSequences(root, 0, &out);
  // The main sequence first, the interactive ones after it.
  std::stable_partition(out.begin(), out.end(),
                        [](const TimedSequence& s) { return !s.interactive; });
  return out;
}

bool ReadTimeline(const uint8_t* body, size_t len, Timeline* out) {
  *out = Timeline();
  Children c(body, len);
  Record r;
  while (c.Next(&r)) {
    if (r.type != trt::kExtTimeNodeContainer) continue;
    TimeNode root;
    ReadTimeNodes(r.body, r.len, &root);
    out->present = true;
    out->sequences = Sequences(root);
    return true;
  }
  return false;
}

std::vector<PathPoint> ParseMotionPath(const std::string& path) {
  std::vector<PathPoint> pts;
  const char* p = path.c_str();
  const char* end = p + path.size();
  PathPoint at;
  bool relative = false;
  std::vector<double> nums;
  auto flush = [&]() {
    for (size_t i = 0; i + 1 < nums.size() && pts.size() < kMaxPathPoints; i += 2) {
      PathPoint q{nums[i], nums[i + 1]};
      if (relative) {
        q.x += at.x;
        q.y += at.y;
      }
      // Curves: the control points pass by, the end point of each triple is kept.
      pts.push_back(q);
    }
    if (nums.size() >= 2) at = pts.empty() ? at : pts.back();
    nums.clear();
  };
  while (p < end) {
    char ch = *p;
    if (std::isalpha(static_cast<unsigned char>(ch))) {
      flush();
      relative = std::islower(static_cast<unsigned char>(ch)) && ch != 'e' && ch != 'z';
      if (ch == 'E' || ch == 'e') break;
      p++;
      continue;
    }
    if (std::isdigit(static_cast<unsigned char>(ch)) || ch == '-' || ch == '+' || ch == '.') {
      char* next = nullptr;
      double v = std::strtod(p, &next);
      if (next == p) {
        p++;
        continue;
      }
      if (!std::isfinite(v)) v = 0;
      nums.push_back(std::min(std::max(v, -100.0), 100.0));
      p = next;
      continue;
    }
    p++;
  }
  flush();
  return pts;
}

}  // namespace ppt
