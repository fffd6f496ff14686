#pragma once
// The full-screen slide show window on the primary monitor: builds step by step, transitions,
// links and action buttons, sounds, kiosk shows and the presenter's keys.
#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "app/render_win.h"
#include "app/sound_win.h"
#include "app/transition_win.h"
#include "ppt/presentation.h"
#include "show/navigator.h"

namespace viewer {

// Answers with the number (one-based, in the file's slide list) of the slide on screen, 0 for
// the end screen, -1 before the first slide has been painted. Lets tests follow the show.
constexpr UINT kQueryShownSlide = WM_APP + 1;
// The build steps played on the slide on screen.
constexpr UINT kQueryBuildStep = WM_APP + 2;
// Sounds handed to the system so far.
constexpr UINT kQuerySounds = WM_APP + 3;
// 1 while a transition or build effect runs.
constexpr UINT kQueryAnimating = WM_APP + 4;
// Frames of effects drawn so far.
constexpr UINT kQueryFrames = WM_APP + 5;
// The pointer as last set: 0 the arrow, 1 the hand over a link, 2 hidden.
constexpr UINT kQueryPointer = WM_APP + 6;
// Internal: draws the next build step's picture ahead of the click.
constexpr UINT kDrawAhead = WM_APP + 20;
constexpr char kShowWindowClass[] = "PPTVIEW.SlideShow";

class SlideShow {
 public:
  explicit SlideShow(const ppt::Presentation& p);
  ~SlideShow();
  // Runs the show until it ends; returns the process exit code.
  int Run(HINSTANCE instance, const char* title);

 private:
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  // Message handlers, one per kind of input.
  void OnKey(WPARAM key);
  void OnSetCursor();
  void OnTimer(WPARAM id);
  void OnPaint();
  bool Answer(UINT msg, LRESULT* result);
  void Apply(const show::Change& c);
  void End();
  void Paint(HDC dc);
  void ArmTimers();
  void Settle();
  bool FinishEffect();

  // Pictures (build_win.cpp).
  RECT SlideBox() const;
  std::unique_ptr<Canvas> Picture(size_t slide, size_t step, std::vector<LinkArea>* links);
  std::unique_ptr<Canvas> StatePicture(size_t slide, size_t step, std::vector<LinkArea>* links);
  // The effects that bring a state in: their length in ms, with their frames in `plan`.
  int PlanTransition(const ppt::Slide& s, int w, int h, uint32_t seed, Animation::Plan* plan);
  int PlanStep(const ppt::Slide& s, const show::BuildStep& st, int w, int h, uint32_t seed,
               Animation::Plan* plan, bool* tween);
  std::unique_ptr<Canvas> Blank(COLORREF colour) const;
  void ShowState(bool animate_step, bool transition);

  // Pointer and links (show_win.cpp).
  const ppt::Action* ActionAt(POINT pt, bool over, size_t* key) const;
  void MouseMoved(POINT pt);
  void Click(POINT pt);
  bool OnTrigger(POINT pt) const;  // over a shape whose click plays an interactive sequence
  void OpenWeb(const std::string& url);
  void PlayAction(const ppt::Action& a);

  const ppt::Presentation& p_;
  SlideRenderer renderer_;
  show::Navigator nav_;
  SoundPlayer sound_;
  Animation effect_;
  std::unique_ptr<Canvas> shown_;  // the settled picture of what is on screen
  size_t shown_slide_ = SIZE_MAX, shown_step_ = 0;
  std::vector<LinkArea> links_;  // text links of the settled picture
  // Text links followed during the show, by slide: drawn in their followed colour from then on.
  std::map<size_t, std::set<LinkKey>> followed_;
  const std::set<LinkKey>* FollowedOn(size_t slide) const;
  // The picture of the next build step, drawn while the show waits, so a click shows it at once.
  std::unique_ptr<Canvas> ahead_;
  size_t ahead_slide_ = SIZE_MAX, ahead_step_ = 0;
  std::vector<LinkArea> ahead_links_;
  void DrawAhead();
  HWND wnd_ = nullptr;
  bool painted_ = false;
  bool cursor_hidden_ = false;
  int pointer_ = 0;  // as kQueryPointer answers
  POINT last_mouse_{-1, -1};
  size_t hover_ = SIZE_MAX;
  uint32_t seed_ = 0;
};

}  // namespace viewer
