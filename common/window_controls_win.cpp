// The control base and the six control classes, with what the layer's parts share.
#include "common/window_controls_win.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cmath>
#include <vector>

#include "common/comctl_win.h"
#include "common/window_forms_win.h"
#include "common/window_internal_win.h"

namespace kestrane::ui {

namespace detail {
void RegisterClasses(WNDPROC form_proc, WNDPROC panel_proc) {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = form_proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFormClass;
  RegisterClassExA(&wc);
  wc.lpszClassName = kPanelClass;
  wc.lpfnWndProc = panel_proc;
  wc.hbrBackground = nullptr;
  RegisterClassExA(&wc);
}

LONG_PTR WindowStyle(HWND h) {
  return GetWindowLongPtrA(h, GWL_STYLE);
}

LRESULT ParentBackground(HDC dc, HWND child, Container& parent) {
  POINT at{0, 0};
  MapWindowPoints(child, parent.hwnd(), &at, 1);
  SetBrushOrgEx(dc, -at.x, -at.y, nullptr);
  SetBkMode(dc, TRANSPARENT);
  SetBkColor(dc, parent.background_color());
  return reinterpret_cast<LRESULT>(parent.background());
}

}  // namespace detail

using namespace detail;

// ---- Control

Control::~Control() {
  if (hwnd_) {
    lib::RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (parent_ && id_) parent_->form().ForgetControl(this);
}

Control* Control::FromHwnd(HWND h) {
  if (!h) return nullptr;
  DWORD_PTR data = 0;
  if (!lib::GetWindowSubclass(h, SubclassProc, kSubclassId, &data)) return nullptr;
  return reinterpret_cast<Control*>(data);
}

bool Control::CreateChild(Container& parent, const char* cls, const std::string& text, DWORD style,
                          DWORD ex_style, const Rect& r) {
  Form::RegisterWindowClasses();
  parent_ = &parent;
  id_ = parent.form().NewControlId(this, id_);
  hwnd_ = CreateWindowExA(ex_style, cls, text.c_str(),
                          style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, r.x, r.y, r.w, r.h,
                          parent.hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)),
                          GetModuleHandleA(nullptr), this);
  if (!hwnd_) return false;
  lib::SetWindowSubclass(hwnd_, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  if (HFONT f = parent.form().control_font()) SendMessageA(hwnd_, WM_SETFONT, WPARAM(f), FALSE);
  return true;
}

LRESULT CALLBACK Control::SubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                       DWORD_PTR data) {
  auto* self = reinterpret_cast<Control*>(data);
  LRESULT result = 0;
  if (msg == WM_SETCURSOR && self->cursor_ && LOWORD(lp) == HTCLIENT) {
    ::SetCursor(self->cursor_);
    return TRUE;
  }
  if (self->OnMessage(msg, wp, lp, &result)) return result;
  if (msg == WM_NCDESTROY) {
    lib::RemoveWindowSubclass(h, SubclassProc, kSubclassId);
    self->hwnd_ = nullptr;
  }
  return lib::DefSubclassProc(h, msg, wp, lp);
}

std::string Control::Text() const {
  int n = GetWindowTextLengthA(hwnd_);
  std::string s(n + 1, '\0');
  n = GetWindowTextA(hwnd_, s.data(), n + 1);
  s.resize(n > 0 ? n : 0);
  return s;
}

void Control::SetText(const std::string& text) {
  SetWindowTextA(hwnd_, text.c_str());
}
void Control::SetEnabled(bool on) {
  EnableWindow(hwnd_, on);
}
bool Control::Enabled() const {
  return IsWindowEnabled(hwnd_);
}
void Control::SetVisible(bool on) {
  ShowWindow(hwnd_, on ? SW_SHOWNA : SW_HIDE);
}
bool Control::Visible() const {
  return (WindowStyle(hwnd_) & WS_VISIBLE) != 0;
}

void Control::Move(int x, int y) {
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::MoveTo(const Rect& r) {
  SetWindowPos(hwnd_, nullptr, r.x, r.y, r.w, r.h, SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect Control::Bounds() const {
  RECT rc;
  GetWindowRect(hwnd_, &rc);
  MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&rc), 2);
  return {rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
}

void Control::SetTabStop(bool on) {
  LONG_PTR s = WindowStyle(hwnd_);
  SetWindowLongPtrA(hwnd_, GWL_STYLE, on ? (s | WS_TABSTOP) : (s & ~WS_TABSTOP));
}

bool Control::TabStop() const {
  return (WindowStyle(hwnd_) & WS_TABSTOP) != 0;
}
void Control::SetFont(HFONT f) {
  SendMessageA(hwnd_, WM_SETFONT, WPARAM(f), TRUE);
}
void Control::Focus() {
  SetFocus(hwnd_);
}

void Control::BringToTop() {
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Control::OnCommand(int) {}
bool Control::OnCtlColor(HDC, LRESULT*) {
  return false;
}
bool Control::OnMessage(UINT, WPARAM, LPARAM, LRESULT*) {
  return false;
}

bool RouteChildMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case WM_COMMAND: {
      if (Control* c = Control::FromHwnd(reinterpret_cast<HWND>(lp))) {
        c->OnCommand(HIWORD(wp));
        *result = 0;
        return true;
      }
      return false;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT: {
      Control* c = Control::FromHwnd(reinterpret_cast<HWND>(lp));
      return c && c->OnCtlColor(reinterpret_cast<HDC>(wp), result);
    }
  }
  (void)h;
  return false;
}

// ---- Button

bool Button::Create(Container& parent, const std::string& caption, const Rect& r) {
  return CreateChild(parent, WC_BUTTONA, caption, BS_PUSHBUTTON | WS_TABSTOP, 0, r);
}

void Button::Click() {
  if (on_click) on_click();
}

void Button::OnCommand(int code) {
  if (code == BN_CLICKED) Click();
}

// ---- CheckBox

bool CheckBox::Create(Container& parent, const std::string& caption, const Rect& r, bool checked) {
  if (!CreateChild(parent, WC_BUTTONA, caption, BS_AUTOCHECKBOX | WS_TABSTOP, 0, r)) return false;
  SetChecked(checked);
  return true;
}

bool CheckBox::Checked() const {
  return SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::SetChecked(bool on) {
  SendMessageA(hwnd_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckBox::OnCommand(int code) {
  if (code == BN_CLICKED) {
    if (on_click) on_click();
    if (on_change) on_change();
  }
}

bool CheckBox::OnCtlColor(HDC dc, LRESULT* result) {
  if (!transparent_) return false;
  *result = ParentBackground(dc, hwnd_, *parent_);
  return true;
}

// ---- Edit

bool Edit::Create(Container& parent, const std::string& text, const Rect& r, Kind kind) {
  DWORD style = ES_AUTOHSCROLL;
  switch (kind) {
    case kSingleLine:
      style |= WS_TABSTOP;
      break;
    case kReadOnly:
      style |= ES_READONLY;
      break;
    case kMultiLineHolder:
      style = ES_MULTILINE;
      break;
  }
  return CreateChild(parent, WC_EDITA, text, style, WS_EX_CLIENTEDGE, r);
}

void Edit::AcceptFiles(std::function<void(const std::vector<std::string>&)> on_drop) {
  on_drop_ = std::move(on_drop);
  DragAcceptFiles(hwnd_, TRUE);
}

void Edit::OnCommand(int code) {
  if (code == EN_CHANGE && on_change) on_change();
}

bool Edit::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT* result) {
  if (msg != WM_DROPFILES || !on_drop_) return false;
  auto drop = reinterpret_cast<HDROP>(wp);
  std::vector<std::string> files;
  UINT n = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < n; ++i) {
    UINT len = DragQueryFileA(drop, i, nullptr, 0);
    std::string name(len + 1, '\0');
    len = DragQueryFileA(drop, i, name.data(), len + 1);
    name.resize(len);
    files.push_back(name);
  }
  DragFinish(drop);
  if (!files.empty()) on_drop_(files);
  *result = 0;
  return true;
}

// ---- Label

bool Label::Create(Container& parent, const std::string& caption, const Rect& r, Align a,
                   bool wrap) {
  DWORD style = a == kCenter ? SS_CENTER : (wrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
  style |= SS_NOPREFIX;
  auto_size_ = r.w == 0 || r.h == 0;
  if (!CreateChild(parent, WC_STATICA, caption, style, 0, r)) return false;
  if (auto_size_) FitToText();
  return true;
}

void Label::FitToText() {
  RECT rc{0, 0, 0, 0};
  {
    WindowDC dc(hwnd_);
    HFONT f = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc.get(), f ? f : GetStockObject(DEFAULT_GUI_FONT));
    std::string text = Text();
    DrawTextA(dc.get(), text.empty() ? " " : text.c_str(), -1, &rc,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc.get(), old);
  }
  // A little room for italic overhang and the static control's own margins.
  SetWindowPos(hwnd_, nullptr, 0, 0, rc.right + 4, rc.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Label::SetColor(COLORREF c) {
  color_ = c;
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Label::SetText(const std::string& text) {
  Control::SetText(text);
  if (auto_size_) FitToText();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Label::SetFont(HFONT f) {
  Control::SetFont(f);
  if (auto_size_) FitToText();
}

void Label::MakeLink(HCURSOR hand) {
  SetWindowLongPtrA(hwnd_, GWL_STYLE, WindowStyle(hwnd_) | SS_NOTIFY);
  cursor_ = hand;
}

bool Label::OnCtlColor(HDC dc, LRESULT* result) {
  *result = ParentBackground(dc, hwnd_, *parent_);
  SetTextColor(dc, color_ != CLR_INVALID ? color_ : GetSysColor(COLOR_WINDOWTEXT));
  return true;
}

void Label::OnCommand(int code) {
  if (code == STN_CLICKED && on_click) on_click();
  if (code == STN_DBLCLK && on_double_click) on_double_click();
}

// ---- Panel

bool Panel::Create(Container& parent, const Rect& r, Border b, COLORREF color) {
  color_ = color;
  if (color != CLR_INVALID) brush_.reset(CreateSolidBrush(color));
  border_ = b;
  DWORD ex = WS_EX_CONTROLPARENT | (b == kSunken ? WS_EX_CLIENTEDGE : 0);
  return CreateChild(parent, kPanelClass, "", WS_CLIPSIBLINGS, ex, r);
}

Panel::~Panel() = default;

HBRUSH Panel::background() const {
  if (picture_brush_) return picture_brush_.get();
  return brush_ ? brush_.get() : parent_->background();
}

COLORREF Panel::background_color() const {
  return color_ != CLR_INVALID ? color_ : parent_->background_color();
}

void Panel::SetBorder(Border b) {
  if (b == border_) return;
  border_ = b;
  LONG_PTR ex = GetWindowLongPtrA(hwnd_, GWL_EXSTYLE);
  ex = b == kSunken ? (ex | WS_EX_CLIENTEDGE) : (ex & ~WS_EX_CLIENTEDGE);
  SetWindowLongPtrA(hwnd_, GWL_EXSTYLE, ex);
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Panel::SetBitmap(HBITMAP bmp, bool fit) {
  bitmap_ = bmp;
  picture_brush_.reset(bmp ? CreatePatternBrush(bmp) : nullptr);
  if (fit && bmp) {
    BITMAP bm{};
    GetObjectA(bmp, sizeof bm, &bm);
    RECT wr, cr;
    GetWindowRect(hwnd_, &wr);
    GetClientRect(hwnd_, &cr);
    int fw = (wr.right - wr.left) - cr.right, fh = (wr.bottom - wr.top) - cr.bottom;
    SetWindowPos(hwnd_, nullptr, 0, 0, bm.bmWidth + fw, bm.bmHeight + fh,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Panel::SetIcon(HICON icon, int size) {
  icon_ = icon;
  icon_size_ = size;
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Panel::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  RECT rc;
  GetClientRect(hwnd_, &rc);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  FillRect(dc, &rc, brush_ ? brush_.get() : parent_->background());
  if (bitmap_) {
    BITMAP bm{};
    GetObjectA(bitmap_, sizeof bm, &bm);
    AutoMemoryDC mem(CreateCompatibleDC(dc));
    ScopedSelect shown(mem.get(), bitmap_);
    BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem.get(), 0, 0, SRCCOPY);
  }
  if (icon_) DrawIconEx(dc, 0, 0, icon_, icon_size_, icon_size_, 0, nullptr, DI_NORMAL);
  EndPaint(hwnd_, &ps);
}

LRESULT CALLBACK Panel::Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  // The subclass procedure runs first and passes unhandled messages down to this one.
  auto* self = static_cast<Panel*>(Control::FromHwnd(h));
  LRESULT result = 0;
  if (RouteChildMessage(h, msg, wp, lp, &result)) return result;
  if (self) {
    switch (msg) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        self->Paint();
        return 0;
      case WM_LBUTTONDOWN:
        self->pressed_ = true;
        return 0;
      case WM_LBUTTONUP:
        if (self->pressed_) {
          self->pressed_ = false;
          if (self->on_click) self->on_click();
        }
        return 0;
      case WM_LBUTTONDBLCLK:
        self->pressed_ = false;
        if (self->on_double_click) self->on_double_click();
        return 0;
    }
  }
  return DefWindowProcA(h, msg, wp, lp);
}

}  // namespace kestrane::ui
