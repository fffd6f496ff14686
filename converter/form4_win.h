#pragma once
// The About box.
#include "common/window_win.h"

namespace kestrane {

class Form4 : public ui::Form {
 public:
  Form4();
  bool Create();

  ui::Panel Picture1;
  ui::Label Label1, Label2, Label3, Label4, Label6, Label8;
  ui::Button Command2;

 private:
  void Label8_Click();
  ui::Font arial_, name_, version_, link_, legal_;
};

}  // namespace kestrane
