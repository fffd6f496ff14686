#include "converter/form5_win.h"

#include <string>

#include "common/product.h"
#include "common/settings_win.h"
#include "converter/resource.h"

namespace kestrane {

Form5::Form5()
    : Timer1(*this),
      Timer2(*this),
      Timer3(*this),
      Timer4(*this),
      Timer5(*this),
      Timer6(*this),
      choices_{{{&Picture10, &Picture16, &Timer1, 3, 47},
                {&Picture9, &Picture17, &Timer2, 53, 44},
                {&Picture4, &Picture12, &Timer3, 100, 47},
                {&Picture3, &Picture13, &Timer4, 150, 47},
                {&Picture8, &Picture15, &Timer5, 200, 44},
                {&Picture5, &Picture14, &Timer6, 247, 47}}},
      label_font_("Arial", 8.25, false, false, false, 162) {}

Form5::~Form5() = default;

bool Form5::Create() {
  SetControlFont(ui::Font::Dialog());
  if (!CreateWindowed(Style::FixedDialog("Executable File Icon", 322, 143))) return false;

  Label1.Create(*this, "Select the icon of your executabe file:", {11, 9, 0, 0});
  Label1.SetFont(label_font_.get());
  Picture1.Create(*this, {10, 31, 303, 68}, ui::Panel::kSunken, RGB(255, 255, 255));
  HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_HANDPOINTER));
  for (int i = 0; i < 6; ++i) {
    Choice& c = choices_[i];
    c.box->SetId(ids::kChooserBox1 + i);
    c.box->Create(Picture1, {c.left, 12, c.width, 46});
    pictures_[i].reset(static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr),
                                                       MAKEINTRESOURCEA(IDB_CHOOSER1 + i),
                                                       IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    c.box->SetBitmap(pictures_[i].get(), true);
    c.box->SetCursor(hand);
    c.box->on_click = [this, i] { Choose(i + 1); };
    c.box->on_double_click = [this, i] {
      Choose(i + 1);
      Save();
    };
    c.bar->SetId(ids::kChooserBar1 + i);
    c.bar->Create(Picture1, {c.left, 5, c.width + 2, 6}, ui::Panel::kNone, RGB(255, 0, 255));
    c.bar->SetVisible(false);
    c.timer->SetInterval(1);
    c.timer->on_tick = [this, i] {
      choices_[i].timer->SetEnabled(false);
      Select(i + 1);
    };
  }
  Command1.Create(*this, "Save", {62, 111, 98, 24});
  Command2.Create(*this, "Cancel", {164, 111, 98, 24});
  SetTabOrder({&Command1, &Command2, &Label1, &Picture1});
  SetDefaultButton(&Command1);
  SetCancelButton(&Command2);
  Command1.on_click = [this] { Save(); };
  Command2.on_click = [this] { Unload(); };
  return true;
}

void Form5::Arm(int n) {
  if (n >= 1 && n <= 6) choices_[n - 1].timer->SetEnabled(true);
}

// The user's own choice: a preselection still pending must not overturn it.
void Form5::Choose(int n) {
  for (auto& c : choices_) c.timer->SetEnabled(false);
  Select(n);
}

void Form5::Select(int n) {
  for (int i = 0; i < 6; ++i) {
    bool on = i + 1 == n;
    choices_[i].box->SetBorder(on ? ui::Panel::kSunken : ui::Panel::kNone);
    choices_[i].bar->SetVisible(on);
  }
}

void Form5::Save() {
  for (int i = 0; i < 6; ++i)
    if (choices_[i].bar->Visible())
      SaveSetting(product::kSettingsApp, product::kSettingsSection, product::kIconSetting,
                  std::to_string(i + 1));
  Unload();
}

}  // namespace kestrane
