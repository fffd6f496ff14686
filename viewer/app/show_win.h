#pragma once
// The full-screen slide show window on the primary monitor.
#include <windows.h>

#include <memory>
#include <vector>

#include "app/render_win.h"
#include "ppt/presentation.h"

namespace viewer {

// Answers with the number (one-based, in the file's slide list) of the slide on screen, 0 for
// the end screen, -1 before the first slide has been painted. Lets tests follow the show.
constexpr UINT kQueryShownSlide = WM_APP + 1;
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
  void Go(size_t pos);
  void Next();
  void Previous();
  void End();
  void Paint(HDC dc);
  void ArmTimer();

  const ppt::Presentation& p_;
  SlideRenderer renderer_;
  std::vector<size_t> order_;
  size_t pos_ = 0;  // == order_.size(): the end screen
  HWND wnd_ = nullptr;
  std::unique_ptr<Canvas> cache_;
  size_t cache_pos_ = SIZE_MAX;
  bool painted_ = false;
};

}  // namespace viewer
