#include "show/navigator.h"

#include <algorithm>

namespace show {

namespace {
constexpr size_t kMaxHistory = 1000;
constexpr int kMaxTyped = 100000;
constexpr size_t kMaxSteps = 100000;  // trigger clicks add steps; a slide keeps at most this many
}  // namespace

KeyCommand CommandForKey(unsigned key, bool ctrl) {
  KeyCommand k;
  if (key >= '0' && key <= '9') {
    k.command = Command::kDigit;
    k.digit = int(key - '0');
    return k;
  }
  if (key >= vk::kNumpad0 && key <= vk::kNumpad9) {
    k.command = Command::kDigit;
    k.digit = int(key - vk::kNumpad0);
    return k;
  }
  switch (key) {
    case vk::kSpace:
    case vk::kRight:
    case vk::kDown:
    case vk::kNext:
    case 'N':
      k.command = Command::kNext;
      break;
    case vk::kReturn:
      k.command = Command::kGo;
      break;
    case vk::kLeft:
    case vk::kUp:
    case vk::kPrior:
    case vk::kBack:
    case 'P':
      k.command = Command::kPrevious;
      break;
    case vk::kHome:
      k.command = Command::kFirst;
      break;
    case vk::kEnd:
      k.command = Command::kLast;
      break;
    case vk::kEscape:
    case vk::kMinus:
    case vk::kSubtract:
      k.command = Command::kEnd;
      break;
    case vk::kCancel:
      if (ctrl) k.command = Command::kEnd;
      break;
    case 'B':
    case vk::kPeriod:
      k.command = Command::kBlack;
      break;
    case 'W':
    case vk::kComma:
      k.command = Command::kWhite;
      break;
    case 'H':
      k.command = Command::kHidden;
      break;
    default:
      break;
  }
  return k;
}

Navigator::Navigator(const ppt::Presentation& p) : p_(p), order_(p.ShowOrder()) {
  kiosk_ = p.show.kiosk;
  loop_ = p.show.loop || kiosk_;
  no_animation_ = p.show.no_animation;
  if (!order_.empty()) Enter(order_[0], false, true);
  history_.clear();
}

std::vector<ShapeView> Navigator::View() const {
  if (at_end()) return {};
  return ViewAfter(p_.slides[slide_], steps_, step_);
}

size_t Navigator::NextShown(size_t from) const {
  for (size_t i : order_)
    if (i > from) return i;
  return kEnd;
}

size_t Navigator::PreviousShown(size_t from) const {
  size_t found = kEnd;
  for (size_t i : order_)
    if (i < from) found = i;
  return found;
}

Change Navigator::Enter(size_t index, bool built, bool forward) {
  Change c;
  c.kind = Change::kSlide;
  c.forward = forward;
  c.from = slide_;
  if (slide_ != kEnd && slide_ != index) {
    history_.push_back(slide_);
    if (history_.size() > kMaxHistory) history_.erase(history_.begin());
  }
  slide_ = index;
  steps_ = BuildSteps(p_.slides[index], no_animation_);
  triggers_ = TriggerSequences(p_.slides[index], no_animation_);
  trigger_next_.assign(triggers_.size(), 0);
  step_ = built ? steps_.size() : 0;
  blank_ = 0;
  return c;
}

Change Navigator::Next() {
  Change c;
  if (blank_) {
    blank_ = 0;
    c.kind = Change::kBlank;
    return c;
  }
  if (at_end()) {
    c.kind = Change::kQuit;
    return c;
  }
  if (step_ < steps_.size()) {
    step_++;
    c.kind = Change::kStep;
    return c;
  }
  size_t n = NextShown(slide_);
  if (n != kEnd) return Enter(n, false, true);
  if (loop_ && !order_.empty()) return Enter(order_[0], false, true);
  c.kind = Change::kEndScreen;
  c.from = slide_;
  history_.push_back(slide_);
  slide_ = kEnd;
  steps_.clear();
  triggers_.clear();
  trigger_next_.clear();
  step_ = 0;
  return c;
}

Change Navigator::Previous() {
  Change c;
  if (blank_) {
    blank_ = 0;
    c.kind = Change::kBlank;
    return c;
  }
  if (order_.empty()) return c;
  if (at_end()) return Enter(order_.back(), true, false);
  if (step_ > 0) {
    step_--;
    c.kind = Change::kStep;
    c.forward = false;
    return c;
  }
  size_t p = PreviousShown(slide_);
  if (p == kEnd) return c;
  return Enter(p, true, false);
}

Change Navigator::First() {
  if (order_.empty()) return Change();
  return Enter(order_.front(), false, true);
}

Change Navigator::Last() {
  if (order_.empty()) return Change();
  return Enter(order_.back(), false, true);
}

Change Navigator::GoTo(size_t index, bool built) {
  if (index >= p_.slides.size()) return Change();
  return Enter(index, built, true);
}

Change Navigator::Key(const KeyCommand& k) {
  Change c;
  if (k.command == Command::kEnd) {
    c.kind = Change::kQuit;
    return c;
  }
  // At a kiosk the keyboard does not move the show; links and timings do.
  if (kiosk_) return c;
  if (k.command == Command::kDigit) {
    typed_ = std::min(kMaxTyped, std::max(typed_, 0) * 10 + k.digit);
    return c;
  }
  int typed = typed_;
  typed_ = -1;
  if (at_end() && k.command != Command::kPrevious && k.command != Command::kNone) {
    c.kind = Change::kQuit;  // on the end screen a key ends the show
    return c;
  }
  switch (k.command) {
    case Command::kGo:
      if (typed >= 1 && size_t(typed) <= p_.slides.size()) return GoTo(size_t(typed - 1));
      if (typed >= 0) return c;
      return Next();
    case Command::kNext:
      return Next();
    case Command::kPrevious:
      return Previous();
    case Command::kFirst:
      return First();
    case Command::kLast:
      return Last();
    case Command::kBlack:
    case Command::kWhite: {
      int want = k.command == Command::kBlack ? 1 : 2;
      blank_ = blank_ == want ? 0 : want;
      c.kind = Change::kBlank;
      return c;
    }
    case Command::kHidden:
      if (slide_ + 1 < p_.slides.size() && p_.slides[slide_ + 1].hidden)
        return Enter(slide_ + 1, false, true);
      return Next();
    default:
      return c;
  }
}

Change Navigator::Click() {
  if (kiosk_) return Change();
  return Next();
}

Change Navigator::Follow(const ppt::Action& a) {
  Change c;
  if (order_.empty()) return c;
  size_t here = at_end() ? order_.back() : slide_;
  switch (a.kind) {
    case ppt::Action::kNext: {
      size_t n = NextShown(here);
      if (n != kEnd) return Enter(n, false, true);
      if (loop_) return Enter(order_.front(), false, true);
      if (at_end()) return c;
      step_ = steps_.size();
      return Next();
    }
    case ppt::Action::kPrevious: {
      size_t p = PreviousShown(here);
      return p == kEnd ? c : Enter(p, false, true);
    }
    case ppt::Action::kFirst:
      return First();
    case ppt::Action::kLast:
      return Last();
    case ppt::Action::kLastViewed:
      if (history_.empty()) return c;
      return Enter(history_.back(), false, true);
    case ppt::Action::kEndShow:
      c.kind = Change::kQuit;
      return c;
    case ppt::Action::kSlide: {
      // By the slide's id, which survives reordering; by its number when the id is unknown.
      for (size_t i = 0; i < p_.slides.size(); i++)
        if (a.slide_id != 0 && p_.slides[i].slide_id == a.slide_id) return Enter(i, false, true);
      if (a.slide_number >= 1 && size_t(a.slide_number) <= p_.slides.size())
        return Enter(size_t(a.slide_number - 1), false, true);
      return c;
    }
    case ppt::Action::kWeb:
      c.kind = Change::kOpenWeb;
      c.url = a.url;
      return c;
    default:
      return c;
  }
}

bool Navigator::OnTrigger(double x, double y) const {
  return TriggerAt(x, y) != SIZE_MAX;
}

size_t Navigator::TriggerAt(double x, double y) const {
  if (at_end() || blank_ || triggers_.empty()) return SIZE_MAX;
  const ppt::Slide& slide = p_.slides[slide_];
  std::vector<ShapeView> views = View();
  size_t best = SIZE_MAX, which = 0;
  for (size_t k = 0; k < triggers_.size(); k++) {
    size_t i = triggers_[k].shape;
    if (i >= slide.shapes.size() || (i < views.size() && views[i].state == ShapeView::kHidden))
      continue;
    const ppt::Rect& a = slide.shapes[i].anchor;
    if (x < a.left || x >= a.right || y < a.top || y >= a.bottom) continue;
    if (best == SIZE_MAX || i > best) {  // the shape on top
      best = i;
      which = k;
    }
  }
  return best == SIZE_MAX ? SIZE_MAX : which;
}

Change Navigator::Trigger(double x, double y) {
  Change c;
  const size_t which = TriggerAt(x, y);
  if (which == SIZE_MAX || steps_.size() > kMaxSteps) return c;
  TriggerSequence& t = triggers_[which];
  size_t& next = trigger_next_[which];
  if (next >= t.groups.size()) next = 0;  // played through: a further click plays it again
  // The group's steps go in where the show is, so going back undoes them like any other step.
  const std::vector<BuildStep>& group = t.groups[next++];
  steps_.insert(steps_.begin() + std::ptrdiff_t(step_), group.begin(), group.end());
  step_++;
  c.kind = Change::kStep;
  return c;
}

int Navigator::StepDelay() const {
  if (at_end() || step_ >= steps_.size()) return -1;
  const BuildStep& s = steps_[step_];
  if (!s.always && !(p_.show.use_timings || kiosk_)) return -1;
  return s.automatic ? s.delay_ms : -1;
}

int Navigator::AdvanceDelay() const {
  if (at_end() || step_ < steps_.size() || !(p_.show.use_timings || kiosk_)) return -1;
  const ppt::Slide& s = p_.slides[slide_];
  return s.auto_advance ? s.advance_ms : -1;
}

}  // namespace show
