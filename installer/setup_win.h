#pragma once
// The installer's two windows: the welcome window and the finish window.
#include <string>
#include <vector>

#include "common/window_win.h"

namespace kestrane {

class Form3 : public ui::Form {
 public:
  Form3();
  // `missing` lists what could not be installed; empty for a complete installation.
  bool Create(const std::vector<std::string>& missing);

  ui::Panel Picture1;
  ui::Label Label1;
  ui::CheckBox Check1;
  ui::Button Command1;

 protected:
  void OnClose() override;

 private:
  ui::Font font_;
};

class Form1 : public ui::Form {
 public:
  Form1();
  bool Create();

  ui::Panel Background;  // the window's face: the background picture
  ui::Panel Picture1;
  ui::Label Label10;
  ui::Label Label3;
  ui::Label Label1;
  ui::Label Label2;
  ui::CheckBox Check1;
  ui::Label Label9;
  ui::Button Command2;
  ui::Button Command1;
  ui::Panel Picture2;
  ui::Timer Timer2;  // install timer
  ui::Timer Timer1;  // finish timer

 protected:
  void OnClose() override;

 private:
  void Command1_Click();
  void Timer2_Timer();
  void Timer1_Timer();
  ui::Font font_, byline_font_, link_font_, heading_font_, glyph_font_;
  ui::Bitmap background_bitmap_, logo_bitmap_;  // the panels show them, we own them
  std::vector<std::string> missing_;
};

// Twips of the form designer to client pixels at 96 dots per inch.
constexpr int Px(int twips) {
  return twips / 15;
}

}  // namespace kestrane
