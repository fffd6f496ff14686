#pragma once
// Controls: each is a member of its form and carries its own handlers.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/window_gdi_win.h"

namespace kestrane::ui {

class Form;

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

// Shared by every container: routes notifications from children to the control that sent them.
bool RouteChildMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

}  // namespace kestrane::ui
