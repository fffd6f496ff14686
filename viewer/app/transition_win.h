#pragma once
// One running effect, a slide transition or a build step: frames drawn from two off-screen
// pictures of the slide, as the portable frame plans describe them, paced by the clock.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "app/render_win.h"
#include "show/frames.h"

namespace viewer {

// Draws `f` into `out` from the pictures before and after (all of one size).
void DrawFrame(const show::Frame& f, const Canvas& before, const Canvas& after, Canvas* out);

class Animation {
 public:
  using Plan = std::function<show::Frame(double progress)>;
  // Runs from `before` to `after` over `duration_ms`; a duration of 0 shows `after` at once.
  void Start(std::unique_ptr<Canvas> before, std::unique_ptr<Canvas> after, int duration_ms,
             Plan plan);
  // Effects that change shapes frame by frame: each frame is painted whole at its progress.
  using Painter = std::function<void(double progress, Canvas* out)>;
  void SetPainter(Painter painter) { painter_ = std::move(painter); }
  bool active() const { return active_; }
  // Draws the frame due now; false once the effect is over, when `after` stays on screen.
  bool Step();
  // Ends the effect at once.
  void Finish();
  // What the screen shows: the frame drawn last, or the picture after the effect.
  const Canvas* Screen() const;
  // Takes the picture the effect ends on, once it is over.
  std::unique_ptr<Canvas> TakeResult();
  DWORD MsToNextFrame() const;
  uint64_t frames() const { return frames_; }

 private:
  std::unique_ptr<Canvas> before_, after_, frame_;
  Plan plan_;
  Painter painter_;
  LARGE_INTEGER start_{}, freq_{};
  int duration_ms_ = 0;
  DWORD interval_ms_ = 16;
  bool active_ = false;
  uint64_t frames_ = 0;
  DWORD last_frame_ = 0;  // 0: no frame drawn yet
};

}  // namespace viewer
