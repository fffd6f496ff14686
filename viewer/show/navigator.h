#pragma once
// Where the show is and where each key, click, link and timing takes it: build steps before
// slides, hidden slides, the slide viewed last, typed slide numbers, blank screens and the show
// types the file stores (presented, kiosk, looping, without animation, with timings).
#include <cstddef>
#include <string>
#include <vector>

#include "ppt/presentation.h"
#include "show/build_steps.h"

namespace show {

// What the presenter asked for, independent of the window system.
enum class Command {
  kNone,
  kNext,
  kPrevious,
  kFirst,
  kLast,
  kEnd,
  kDigit,   // with the digit
  kGo,      // Enter: the typed slide number, or the next step when none was typed
  kBlack,   // toggles
  kWhite,   // toggles
  kHidden,  // the hidden slide that follows, when there is one
};

// Windows virtual-key codes of the keys a show answers.
namespace vk {
constexpr unsigned kCancel = 0x03, kBack = 0x08, kReturn = 0x0D,
                   kEscape = 0x1B;  // kCancel: Ctrl+Break
constexpr unsigned kSpace = 0x20, kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24;
constexpr unsigned kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28;
constexpr unsigned kNumpad0 = 0x60, kNumpad9 = 0x69, kSubtract = 0x6D;
constexpr unsigned kComma = 0xBC, kMinus = 0xBD, kPeriod = 0xBE;
}  // namespace vk

struct KeyCommand {
  Command command = Command::kNone;
  int digit = 0;
};
KeyCommand CommandForKey(unsigned key, bool ctrl);

// The result of a move, for the window to draw and play.
struct Change {
  enum Kind { kNothing, kStep, kSlide, kEndScreen, kQuit, kBlank, kOpenWeb } kind = kNothing;
  bool forward = true;     // steps and slides: played forward (effects) or jumped back (none)
  size_t from = SIZE_MAX;  // kSlide: the slide left, SIZE_MAX from the end screen
  std::string url;         // kOpenWeb
};

class Navigator {
 public:
  explicit Navigator(const ppt::Presentation& p);

  // Slide index in the file's list; SIZE_MAX on the end screen.
  size_t slide() const { return slide_; }
  bool at_end() const { return slide_ == kEnd; }
  size_t step() const { return step_; }
  const std::vector<BuildStep>& steps() const { return steps_; }
  std::vector<ShapeView> View() const;
  int blank() const { return blank_; }  // 0 none, 1 black, 2 white
  bool kiosk() const { return kiosk_; }
  bool empty() const { return order_.empty(); }
  // The slides a show displays, in order, and where in that order the show is (the order's
  // length on the end screen).
  const std::vector<size_t>& order() const { return order_; }
  size_t position() const {
    for (size_t i = 0; i < order_.size(); i++)
      if (order_[i] == slide_) return i;
    return order_.size();
  }

  Change Next();
  Change Previous();
  Change First();
  Change Last();
  Change Key(const KeyCommand& k);
  // A click away from any link: the next step, unless the show is at a kiosk.
  Change Click();
  Change Follow(const ppt::Action& a);
  // Timings: the delay before the next step starts on its own (-1: it waits for a click), and
  // before the slide advances on its own once its steps are done (-1: never).
  int StepDelay() const;
  int AdvanceDelay() const;
  // A click at (x, y), master units, on a shape that triggers an interactive sequence: plays
  // its next group. Nothing when no such shape is there.
  Change Trigger(double x, double y);
  bool HasTriggers() const { return !triggers_.empty(); }
  bool OnTrigger(double x, double y) const;  // the pointer shows a hand there
  // Shows slide `index` from its first step (or with every step done).
  Change GoTo(size_t index, bool built = false);

 private:
  static constexpr size_t kEnd = SIZE_MAX;
  size_t NextShown(size_t from) const;
  size_t TriggerAt(double x, double y) const;  // index into triggers_, SIZE_MAX when none
  size_t PreviousShown(size_t from) const;
  Change Enter(size_t index, bool built, bool forward);

  const ppt::Presentation& p_;
  std::vector<size_t> order_;
  size_t slide_ = kEnd;
  size_t step_ = 0;
  std::vector<BuildStep> steps_;
  std::vector<TriggerSequence> triggers_;
  std::vector<size_t> trigger_next_;  // the group each trigger plays next
  std::vector<size_t> history_;       // slides viewed before this one
  int blank_ = 0;
  int typed_ = -1;
  bool kiosk_ = false, loop_ = false, no_animation_ = false;
};

}  // namespace show
