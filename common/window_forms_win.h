#pragma once
// Forms: top-level windows run through IsDialogMessage, so Tab, Enter, Esc and access keys
// behave as in a dialog box; with their menus and timers.
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/window_controls_win.h"

namespace kestrane::ui {

// A window timer of the form that owns it.
class Timer {
 public:
  explicit Timer(Form& f);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  void SetInterval(UINT ms) { interval_ = ms; }
  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }
  std::function<void()> on_tick;

 private:
  friend class Form;
  Form& form_;
  UINT id_;
  UINT interval_ = 1000;
  bool enabled_ = false;
};

// One item of a menu bar; a top-level item holds the items of its drop-down menu.
class MenuItem {
 public:
  MenuItem() = default;  // a separator
  explicit MenuItem(std::string caption) : caption_(std::move(caption)) {}
  MenuItem(const MenuItem&) = delete;
  MenuItem& operator=(const MenuItem&) = delete;
  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }
  int id() const { return id_; }
  std::function<void()> on_click;

 private:
  friend class Form;
  void Publish() const;
  std::string caption_;
  int id_ = 0;
  bool enabled_ = true;
  HMENU menu_ = nullptr;  // the drop-down that holds this item
  Form* form_ = nullptr;
};

// Wine keeps menus private to their process, so each item's id and state are also kept as a
// window property of its form, "menu <caption>" = id * 2 + enabled, for tools outside the process.
constexpr char kMenuPropertyPrefix[] = "menu ";

struct MenuSpec {
  MenuItem* top;
  std::vector<MenuItem*> items;
};

class Form : public Container {
 public:
  Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  ~Form() override;

  struct Style {
    std::string title;
    int client_w = 0, client_h = 0;
    bool centred = true;
    int x = 0, y = 0;
    bool minimize_box = false;
    bool dialog_frame = false;  // fixed dialog frame rather than a single border
    bool in_taskbar = true;     // else owned by a hidden window, which keeps it off the taskbar
    HICON icon = nullptr;
    HICON small_icon = nullptr;
    // A fixed dialog frame, centred, kept off the taskbar.
    static Style FixedDialog(std::string title, int client_w, int client_h) {
      Style s;
      s.title = std::move(title);
      s.client_w = client_w;
      s.client_h = client_h;
      s.dialog_frame = true;
      s.in_taskbar = false;
      return s;
    }
  };

  HWND hwnd() const override { return hwnd_; }
  Form& form() override { return *this; }
  HBRUSH background() const override { return GetSysColorBrush(COLOR_BTNFACE); }
  COLORREF background_color() const override { return GetSysColor(COLOR_BTNFACE); }
  static Form* FromHwnd(HWND h);

  bool CreateWindowed(const Style& s);
  bool Created() const { return hwnd_ != nullptr; }
  void Show();
  // Shows the form modally: the thread's other windows are disabled until it closes.
  void ShowModal();
  // Closes and discards the window.
  void Unload();

  void SetMenuBar(std::initializer_list<MenuSpec> menus);
  void SetDefaultButton(Button* b);
  Button* default_button() const { return default_; }
  void SetCancelButton(Button* b) { cancel_ = b; }
  // Controls tab in z-order; this puts them in the order given, each at the end.
  void SetTabOrder(std::initializer_list<Control*> order);
  // The font every control created afterwards gets.
  void SetControlFont(HFONT f) { font_ = f; }
  HFONT control_font() const { return font_; }

  // Registers a control under its fixed id, or under a new one when it has none.
  int NewControlId(Control* c, int fixed);
  void ForgetControl(Control* c);
  UINT NewTimerId(Timer* t);
  void ForgetTimer(Timer* t);

  // Runs the thread's message loop until WM_QUIT.
  static int RunMessageLoop();
  // Handles one message as the loop would; false on WM_QUIT.
  static bool PumpOne(const MSG& m);

  // Controls that stay as they are but no longer answer their access keys (Alt and the letter,
  // or the letter alone where the focus takes no text): those that a panel covers, for instance.
  void SetAccessKeysOff(std::vector<Control*> controls) { keys_off_ = std::move(controls); }

 protected:
  // Close box, Alt+F4, system menu. The default unloads the form.
  virtual void OnClose() { Unload(); }
  virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

 private:
  friend class Control;
  static void RegisterWindowClasses();
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  void EnableOthers();
  static BOOL CALLBACK DisableOne(HWND h, LPARAM lp);

  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  HMENU menu_bar_ = nullptr;
  Button* default_ = nullptr;
  Button* cancel_ = nullptr;
  HWND last_focus_ = nullptr;
  int next_id_ = 100;
  std::map<int, Control*> controls_;
  std::map<int, MenuItem*> menu_items_;
  std::map<UINT, Timer*> timers_;
  std::vector<HWND> disabled_by_modal_;
  bool modal_ = false;
  std::vector<Control*> keys_off_;
  bool SwallowsAccessKey(const MSG& m) const;
};

}  // namespace kestrane::ui
