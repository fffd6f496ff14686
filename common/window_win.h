#pragma once
// A small window layer: a form owns its HWND and its controls are members that carry their own
// handlers. Forms are plain top-level windows run through IsDialogMessage, so Tab, Enter, Esc and
// access keys behave as in a dialog box.
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "common/scoped_win.h"

namespace kestrane::ui {

class Form;

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

// Logical font owner. Point sizes are converted for the screen's resolution, so Arial 8.25 pt is
// 11 pixels high at 96 dpi.
class Font {
 public:
  Font() = default;
  Font(const char* face, double points, bool bold = false, bool italic = false,
       bool underline = false, BYTE charset = DEFAULT_CHARSET);
  // The font of the platform's dialog boxes.
  static HFONT Dialog() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }
  HFONT get() const { return f_.get(); }

 private:
  AutoFont f_;
};

using kestrane::GdiObject;
using Bitmap = GdiObject<HBITMAP>;

class Brush {
 public:
  explicit Brush(COLORREF c) : color_(c), b_(CreateSolidBrush(c)) {}
  HBRUSH get() const { return b_.get(); }
  COLORREF color() const { return color_; }

 private:
  COLORREF color_;
  GdiObject<HBRUSH> b_;
};

using kestrane::WindowDC;

// Anything that can hold controls: a form or a panel.
class Container {
 public:
  virtual ~Container() = default;
  virtual HWND hwnd() const = 0;
  virtual Form& form() = 0;
  // What transparent children paint behind them.
  virtual HBRUSH background() const = 0;
  virtual COLORREF background_color() const = 0;
};

class Control {
 public:
  Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control();

  HWND hwnd() const { return hwnd_; }
  int id() const { return id_; }
  static Control* FromHwnd(HWND h);

  std::string Text() const;
  void SetText(const std::string& text);
  void SetEnabled(bool on);
  bool Enabled() const;
  void SetVisible(bool on);
  bool Visible() const;
  void Move(int x, int y);
  void MoveTo(const Rect& r);
  Rect Bounds() const;  // in the parent's client coordinates
  void SetTabStop(bool on);
  bool TabStop() const;
  void SetFont(HFONT f);
  void SetCursor(HCURSOR c) { cursor_ = c; }
  // A fixed control id, for those that others look up; set before the control is created.
  void SetId(int id) { id_ = id; }
  void Focus();
  void BringToTop();

  std::function<void()> on_click;
  std::function<void()> on_double_click;

 protected:
  friend class Form;
  friend bool RouteChildMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
  bool CreateChild(Container& parent, const char* cls, const std::string& text, DWORD style,
                   DWORD ex_style, const Rect& r);
  virtual void OnCommand(int code);
  // Returns true when it handled the message (set *result).
  virtual bool OnCtlColor(HDC dc, LRESULT* result);
  // Messages reaching the control's own window procedure; true when handled.
  virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
  static LRESULT CALLBACK SubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                       DWORD_PTR data);

  HWND hwnd_ = nullptr;
  int id_ = 0;
  Container* parent_ = nullptr;
  HCURSOR cursor_ = nullptr;
};

class Button : public Control {
 public:
  bool Create(Container& parent, const std::string& caption, const Rect& r);
  void Click();

 protected:
  void OnCommand(int code) override;
};

class CheckBox : public Control {
 public:
  bool Create(Container& parent, const std::string& caption, const Rect& r, bool checked);
  bool Checked() const;
  void SetChecked(bool on);
  void SetTransparent(bool on) { transparent_ = on; }
  std::function<void()> on_change;

 protected:
  void OnCommand(int code) override;
  bool OnCtlColor(HDC dc, LRESULT* result) override;

 private:
  bool transparent_ = false;
};

class Edit : public Control {
 public:
  enum Kind { kSingleLine, kReadOnly, kMultiLineHolder };
  bool Create(Container& parent, const std::string& text, const Rect& r, Kind kind = kSingleLine);
  // Lets the field take files dropped from the shell; the window's other controls refuse them.
  void AcceptFiles(std::function<void(const std::vector<std::string>&)> on_drop);
  std::function<void()> on_change;

 protected:
  void OnCommand(int code) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  std::function<void(const std::vector<std::string>&)> on_drop_;
};

// Static text. Labels are transparent: they show the colour of what holds them.
class Label : public Control {
 public:
  enum Align { kLeft, kCenter };
  // A width or height of 0 sizes the label to its text.
  bool Create(Container& parent, const std::string& caption, const Rect& r, Align a = kLeft,
              bool wrap = false);
  void SetColor(COLORREF c);
  void SetText(const std::string& text);
  void SetFont(HFONT f);
  // Underlined look is the caller's font; this adds the pointer and the click.
  void MakeLink(HCURSOR hand);

 protected:
  bool OnCtlColor(HDC dc, LRESULT* result) override;
  void OnCommand(int code) override;

 private:
  void FitToText();
  COLORREF color_ = CLR_INVALID;
  bool auto_size_ = false;
};

// A child window that holds controls and may show a picture: frames, cover pages, image boxes.
class Panel : public Control, public Container {
 public:
  enum Border { kNone, kSunken };
  bool Create(Container& parent, const Rect& r, Border b = kNone,
              COLORREF color = CLR_INVALID /* the face colour */);
  void SetBorder(Border b);
  Border border() const { return border_; }
  // Shows a bitmap at the top left; `fit` sizes the panel to it. The panel does not own it.
  void SetBitmap(HBITMAP bmp, bool fit);
  void SetIcon(HICON icon, int size);

  HWND hwnd() const override { return hwnd_; }
  Form& form() override { return parent_->form(); }
  HBRUSH background() const override;
  COLORREF background_color() const override;

 private:
  friend class Form;
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  void Paint();
  Border border_ = kNone;
  COLORREF color_ = CLR_INVALID;
  GdiObject<HBRUSH> brush_;
  HBITMAP bitmap_ = nullptr;
  GdiObject<HBRUSH> picture_brush_;  // what transparent children show over the picture
  HICON icon_ = nullptr;
  int icon_size_ = 32;
  bool pressed_ = false;

 public:
  ~Panel() override;
};

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

// Shared by every container: routes notifications from children to the control that sent them.
bool RouteChildMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

// A common file dialog that keeps its file name from one opening to the next.
class FileDialog {
 public:
  // "Description|pattern" pairs, separated by '|'.
  void SetFilter(const std::string& filter) { filter_ = filter; }
  void SetFlags(DWORD flags) { flags_ = flags; }
  std::string file_name;
  // True when the user confirmed; file_name then holds the chosen path.
  bool ShowOpen(HWND owner);
  bool ShowSave(HWND owner);

 private:
  bool Show(HWND owner, bool save);
  std::string filter_;
  DWORD flags_ = 0;
};

// The product's own resources, by id, sized as asked.
HICON LoadIconSized(int id, int size);

}  // namespace kestrane::ui
