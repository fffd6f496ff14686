// The window layer in the test's own process: what the converter's and the installer's windows
// rely on.
#include "common/window_win.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrane::ui {
namespace {

// Dispatches what is queued, as the program's loop would.
void Pump() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) Form::PumpOne(m);
}

void PressKey(HWND h, UINT vk) {
  PostMessageA(h, WM_KEYDOWN, vk, 1);
  PostMessageA(h, WM_KEYUP, vk, 0xC0000001);
  Pump();
}

class Window : public Form {
 public:
  Window() : tick(*this) {}
  bool Create() {
    Style s;
    s.title = "layer test";
    s.client_w = 300;
    s.client_h = 200;
    if (!CreateWindowed(s)) return false;
    edit.Create(*this, "", {10, 10, 100, 20});
    ok.Create(*this, "OK", {10, 40, 80, 24});
    cancel.Create(*this, "Cancel", {100, 40, 80, 24});
    box.Create(*this, "Run it", {10, 70, 100, 20}, true);
    picture.Create(*this, {10, 100, 60, 40}, Panel::kSunken, RGB(255, 255, 255));
    inner.Create(picture, "Finish", {2, 2, 50, 20});
    caption.Create(*this, "a label sized to its text", {120, 10, 0, 0});
    ok.on_click = [this] { log.push_back("ok"); };
    cancel.on_click = [this] { log.push_back("cancel"); };
    inner.on_click = [this] { log.push_back("inner"); };
    box.on_change = [this] { log.push_back(box.Checked() ? "checked" : "unchecked"); };
    picture.on_click = [this] { log.push_back("picture"); };
    picture.on_double_click = [this] { log.push_back("picture twice"); };
    tick.SetInterval(1);
    tick.on_tick = [this] {
      tick.SetEnabled(false);
      log.push_back("tick");
    };
    return true;
  }
  Edit edit;
  Button ok, cancel;
  CheckBox box;
  Panel picture;
  Button inner;
  Label caption;
  Timer tick;
  std::vector<std::string> log;
};

TEST(WindowLayer, ControlsReportToTheirOwnHandlers) {
  Window w;
  ASSERT_TRUE(w.Create());
  w.Show();
  RECT rc;
  GetClientRect(w.hwnd(), &rc);
  EXPECT_EQ(rc.right, 300);
  EXPECT_EQ(rc.bottom, 200);
  EXPECT_GT(w.caption.Bounds().w, 50);

  SendMessageA(w.ok.hwnd(), BM_CLICK, 0, 0);
  SendMessageA(w.inner.hwnd(), BM_CLICK, 0, 0);  // a button inside a panel
  SendMessageA(w.box.hwnd(), BM_CLICK, 0, 0);
  PostMessageA(w.picture.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  PostMessageA(w.picture.hwnd(), WM_LBUTTONUP, 0, 0);
  PostMessageA(w.picture.hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
  Pump();
  EXPECT_EQ(w.log,
            (std::vector<std::string>{"ok", "inner", "unchecked", "picture", "picture twice"}));

  // A timer fires once it is enabled and the loop runs.
  w.log.clear();
  w.tick.SetEnabled(true);
  DWORD end = GetTickCount() + 2000;
  while (w.log.empty() && GetTickCount() < end) {
    Sleep(5);
    Pump();
  }
  EXPECT_EQ(w.log, (std::vector<std::string>{"tick"}));
}

TEST(WindowLayer, EnterAndEscPressTheDefaultAndCancelButtons) {
  Window w;
  ASSERT_TRUE(w.Create());
  w.Show();
  w.edit.Focus();
  PressKey(w.edit.hwnd(), VK_RETURN);  // no default button: nothing
  PressKey(w.edit.hwnd(), VK_ESCAPE);  // no cancel button: nothing
  EXPECT_TRUE(w.log.empty());

  w.SetDefaultButton(&w.inner);  // a default button nested in a panel
  w.SetCancelButton(&w.cancel);
  EXPECT_EQ(GetWindowLongA(w.inner.hwnd(), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  PressKey(w.edit.hwnd(), VK_RETURN);
  PressKey(w.edit.hwnd(), VK_ESCAPE);
  EXPECT_EQ(w.log, (std::vector<std::string>{"inner", "cancel"}));

  // Enter on a focused push button presses that button, as in a dialog box.
  w.log.clear();
  w.ok.Focus();
  PressKey(w.ok.hwnd(), VK_RETURN);
  EXPECT_EQ(w.log, (std::vector<std::string>{"ok"}));

  // A disabled default button is not pressed.
  w.log.clear();
  w.inner.SetEnabled(false);
  w.edit.Focus();
  PressKey(w.edit.hwnd(), VK_RETURN);
  EXPECT_TRUE(w.log.empty());
}

TEST(WindowLayer, TabFollowsTheOrderGiven) {
  Window w;
  ASSERT_TRUE(w.Create());
  w.SetTabOrder({&w.cancel, &w.edit, &w.ok, &w.box});
  w.Show();
  w.cancel.Focus();
  std::vector<HWND> visited;
  for (int i = 0; i < 4; ++i) {
    PressKey(GetFocus(), VK_TAB);
    visited.push_back(GetFocus());
  }
  EXPECT_EQ(visited, (std::vector<HWND>{w.edit.hwnd(), w.ok.hwnd(), w.box.hwnd(), w.inner.hwnd()}));
  w.inner.SetTabStop(false);
  PressKey(GetFocus(), VK_TAB);
  PressKey(GetFocus(), VK_TAB);
  EXPECT_EQ(GetFocus(), w.edit.hwnd());
}

TEST(WindowLayer, MenuItemsAndModalForms) {
  Window w;
  MenuItem file("File"), go("Go"), sep, quit("Quit");
  int went = 0;
  go.on_click = [&] { ++went; };
  w.SetMenuBar({{&file, {&go, &sep, &quit}}});
  go.SetEnabled(false);
  ASSERT_TRUE(w.Create());
  w.Show();
  auto published = [&] { return reinterpret_cast<INT_PTR>(GetPropA(w.hwnd(), "menu Go")); };
  EXPECT_EQ(published(), go.id() * 2);
  SendMessageA(w.hwnd(), WM_COMMAND, go.id(), 0);
  EXPECT_EQ(went, 0);  // disabled items do nothing
  go.SetEnabled(true);
  EXPECT_EQ(published(), go.id() * 2 + 1);
  EXPECT_EQ(GetMenuState(GetMenu(w.hwnd()), go.id(), MF_BYCOMMAND) & MF_GRAYED, 0u);
  SendMessageA(w.hwnd(), WM_COMMAND, go.id(), 0);
  EXPECT_EQ(went, 1);

  // A modal form disables the others until it is unloaded, then gives them back.
  Window modal;
  ASSERT_TRUE(modal.Create());
  bool disabled_meanwhile = false;
  modal.tick.on_tick = [&] {
    modal.tick.SetEnabled(false);
    disabled_meanwhile = !IsWindowEnabled(w.hwnd());
    modal.Unload();
  };
  modal.tick.SetEnabled(true);
  modal.ShowModal();
  EXPECT_TRUE(disabled_meanwhile);
  EXPECT_TRUE(IsWindowEnabled(w.hwnd()));
  EXPECT_FALSE(modal.Created());
}

// Covered controls keep their captions and state but do not answer their access keys; the
// others still do, and a letter typed into a field stays text.
TEST(WindowLayer, AccessKeysOfControlsSetOffAreNotAnswered) {
  Window w;
  ASSERT_TRUE(w.Create());
  w.ok.SetText("&Make");
  w.cancel.SetText("&Quit");
  w.Show();
  w.inner.Focus();
  auto key = [&](UINT message, char c) {
    PostMessageA(GetFocus(), message, c, message == WM_SYSCHAR ? (1 | (1 << 29)) : 1);
    Pump();
  };
  key(WM_SYSCHAR, 'm');
  EXPECT_EQ(w.log, std::vector<std::string>{"ok"});
  w.log.clear();
  w.inner.Focus();

  w.SetAccessKeysOff({&w.ok});
  key(WM_SYSCHAR, 'm');
  key(WM_SYSCHAR, 'M');
  key(WM_CHAR, 'm');
  EXPECT_TRUE(w.log.empty());
  EXPECT_TRUE(w.ok.Enabled());
  EXPECT_EQ(w.ok.Text(), "&Make");
  key(WM_SYSCHAR, 'q');
  EXPECT_EQ(w.log, std::vector<std::string>{"cancel"});
  w.edit.Focus();
  key(WM_CHAR, 'm');
  EXPECT_EQ(w.edit.Text(), "m");
}

}  // namespace
}  // namespace kestrane::ui
