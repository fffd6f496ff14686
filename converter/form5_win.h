#pragma once
// The chooser of the icon that packages carry.
#include <array>

#include "common/window_win.h"

namespace kestrane {

class Form5 : public ui::Form {
 public:
  Form5();
  bool Create();
  // Preselects icon n (1 to 6) at the first timer tick after the window is shown.
  void Arm(int n);

  ui::Label Label1;
  ui::Panel Picture1;
  // Icon boxes and their bars, named as drawn from left to right: 1 2 3 4 5 6.
  ui::Panel Picture10, Picture9, Picture4, Picture3, Picture8, Picture5;
  ui::Panel Picture16, Picture17, Picture12, Picture13, Picture15, Picture14;
  ui::Button Command1, Command2;
  ui::Timer Timer1, Timer2, Timer3, Timer4, Timer5, Timer6;

 private:
  struct Choice {
    ui::Panel* box;
    ui::Panel* bar;
    ui::Timer* timer;
    int left, width;
  };
  void Select(int n);
  void Choose(int n);
  void Save();
  std::array<Choice, 6> choices_;
  ui::Font label_font_;
  std::array<ui::Bitmap, 6> pictures_;

 public:
  ~Form5() override;
};

}  // namespace kestrane
