#include "common/window_win.h"

#include "common/comctl_win.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cmath>
#include <vector>

namespace kestrane::ui {

namespace {

constexpr char kFormClass[] = "KestraneForm";
constexpr char kPanelClass[] = "KestranePanel";
constexpr UINT_PTR kSubclassId = 1;

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

int ScreenDpi() {
  WindowDC dc(nullptr);
  int dpi = GetDeviceCaps(dc.get(), LOGPIXELSY);
  return dpi > 0 ? dpi : 96;
}

LONG_PTR WindowStyle(HWND h) {
  return GetWindowLongPtrA(h, GWL_STYLE);
}

// A transparent child paints its parent's background, aligned as the parent paints it, so that
// text over a picture shows the picture behind it.
LRESULT ParentBackground(HDC dc, HWND child, Container& parent) {
  POINT at{0, 0};
  MapWindowPoints(child, parent.hwnd(), &at, 1);
  SetBrushOrgEx(dc, -at.x, -at.y, nullptr);
  SetBkMode(dc, TRANSPARENT);
  SetBkColor(dc, parent.background_color());
  return reinterpret_cast<LRESULT>(parent.background());
}

}  // namespace

// ---- Font

Font::Font(const char* face, double points, bool bold, bool italic, bool underline, BYTE charset) {
  LOGFONTA lf{};
  lf.lfHeight = -static_cast<LONG>(std::lround(points * ScreenDpi() / 72.0));
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = italic;
  lf.lfUnderline = underline;
  lf.lfCharSet = charset;
  lf.lfQuality = DEFAULT_QUALITY;
  lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
  f_ = CreateFontIndirectA(&lf);
}

Font& Font::operator=(Font&& o) noexcept {
  if (this != &o) {
    if (f_) DeleteObject(f_);
    f_ = o.f_;
    o.f_ = nullptr;
  }
  return *this;
}

Font::~Font() {
  if (f_) DeleteObject(f_);
}

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
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bitmap_);
    BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
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

// ---- Timer

Timer::Timer(Form& f) : form_(f), id_(f.NewTimerId(this)) {}

Timer::~Timer() {
  if (form_.hwnd()) KillTimer(form_.hwnd(), id_);
  form_.ForgetTimer(this);
}

void Timer::SetEnabled(bool on) {
  enabled_ = on;
  if (!form_.hwnd()) return;
  if (on)
    SetTimer(form_.hwnd(), id_, interval_, nullptr);
  else
    KillTimer(form_.hwnd(), id_);
}

// ---- MenuItem

void MenuItem::SetEnabled(bool on) {
  enabled_ = on;
  if (menu_) EnableMenuItem(menu_, id_, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
  Publish();
}

void MenuItem::Publish() const {
  if (!form_ || !form_->hwnd() || !id_) return;
  SetPropA(form_->hwnd(), (kMenuPropertyPrefix + caption_).c_str(),
           reinterpret_cast<HANDLE>(static_cast<INT_PTR>(id_ * 2 + (enabled_ ? 1 : 0))));
}

// ---- Form

Form::Form() {
  font_ = Font::Dialog();
}

Form::~Form() {
  if (hwnd_) {
    EnableOthers();
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

Form* Form::FromHwnd(HWND h) {
  if (!h) return nullptr;
  char cls[32];
  if (!GetClassNameA(h, cls, sizeof cls) || lstrcmpA(cls, kFormClass) != 0) return nullptr;
  return reinterpret_cast<Form*>(GetWindowLongPtrA(h, GWLP_USERDATA));
}

void Form::RegisterWindowClasses() {
  RegisterClasses(Form::Proc, Panel::Proc);
}

bool Form::CreateWindowed(const Style& s) {
  RegisterWindowClasses();
  DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  DWORD ex = WS_EX_CONTROLPARENT;
  if (s.minimize_box) style |= WS_MINIMIZEBOX;
  if (s.dialog_frame) ex |= WS_EX_DLGMODALFRAME;
  HWND owner = nullptr;
  if (!s.in_taskbar) {
    static HWND hidden = CreateWindowExA(0, WC_STATICA, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                         GetModuleHandleA(nullptr), nullptr);
    owner = hidden;
  }
  RECT rc{0, 0, s.client_w, s.client_h};
  AdjustWindowRectEx(&rc, style, menu_bar_ != nullptr, ex);
  int w = rc.right - rc.left, h = rc.bottom - rc.top;
  int x = s.x, y = s.y;
  if (s.centred) {
    x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  }
  hwnd_ = CreateWindowExA(ex, kFormClass, s.title.c_str(), style, x, y, w, h, owner, menu_bar_,
                          GetModuleHandleA(nullptr), this);
  if (!hwnd_) return false;
  if (s.icon) SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(s.icon));
  if (s.small_icon)
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(s.small_icon));
  // A menu bar may take more room than one line; the client area is what was asked for.
  RECT client;
  GetClientRect(hwnd_, &client);
  if (client.right != s.client_w || client.bottom != s.client_h) {
    h += s.client_h - client.bottom;
    w += s.client_w - client.right;
    if (s.centred) {
      x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
      y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    }
    SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (auto& [id, t] : timers_)
    if (t->enabled_) SetTimer(hwnd_, id, t->interval_, nullptr);
  for (auto& [id, item] : menu_items_) item->Publish();
  return true;
}

void Form::Show() {
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  UpdateWindow(hwnd_);
}

void Form::EnableOthers() {
  for (HWND h : disabled_by_modal_)
    if (IsWindow(h)) EnableWindow(h, TRUE);
  disabled_by_modal_.clear();
}

BOOL CALLBACK Form::DisableOne(HWND h, LPARAM lp) {
  auto* self = reinterpret_cast<Form*>(lp);
  if (h != self->hwnd_ && IsWindowVisible(h) && IsWindowEnabled(h)) {
    EnableWindow(h, FALSE);
    self->disabled_by_modal_.push_back(h);
  }
  return TRUE;
}

void Form::ShowModal() {
  HWND previous = GetActiveWindow();
  EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(this));
  modal_ = true;
  Show();
  MSG m;
  while (hwnd_) {
    BOOL got = GetMessageA(&m, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    if (got < 0) break;
    PumpOne(m);
  }
  modal_ = false;
  EnableOthers();
  if (previous && IsWindow(previous)) SetActiveWindow(previous);
}

void Form::Unload() {
  if (!hwnd_) return;
  // The windows a modal form disabled come back before it goes, so that one of them is activated.
  EnableOthers();
  DestroyWindow(hwnd_);
}

void Form::SetMenuBar(std::initializer_list<MenuSpec> menus) {
  menu_bar_ = CreateMenu();
  for (const MenuSpec& m : menus) {
    HMENU drop = CreatePopupMenu();
    for (MenuItem* item : m.items) {
      if (item->caption_.empty()) {
        AppendMenuA(drop, MF_SEPARATOR, 0, nullptr);
        continue;
      }
      item->id_ = next_id_++;
      item->menu_ = drop;
      item->form_ = this;
      item->Publish();
      menu_items_[item->id_] = item;
      AppendMenuA(drop, MF_STRING | (item->enabled_ ? MF_ENABLED : MF_GRAYED), item->id_,
                  item->caption_.c_str());
    }
    m.top->menu_ = menu_bar_;
    AppendMenuA(menu_bar_, MF_POPUP, reinterpret_cast<UINT_PTR>(drop), m.top->caption_.c_str());
  }
  if (hwnd_) SetMenu(hwnd_, menu_bar_);
}

void Form::SetDefaultButton(Button* b) {
  if (default_ && default_->hwnd())
    SendMessageA(default_->hwnd(), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  default_ = b;
  if (b && b->hwnd()) SendMessageA(b->hwnd(), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void Form::SetTabOrder(std::initializer_list<Control*> order) {
  for (Control* c : order)
    SetWindowPos(c->hwnd(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

int Form::NewControlId(Control* c, int fixed) {
  int id = fixed ? fixed : next_id_++;
  controls_[id] = c;
  return id;
}

void Form::ForgetControl(Control* c) {
  controls_.erase(c->id());
}

UINT Form::NewTimerId(Timer* t) {
  UINT id = static_cast<UINT>(next_id_++);
  timers_[id] = t;
  return id;
}

void Form::ForgetTimer(Timer* t) {
  timers_.erase(t->id_);
}

bool Form::OnMessage(UINT, WPARAM, LPARAM, LRESULT*) {
  return false;
}

LRESULT CALLBACK Form::Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Form*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    self->hwnd_ = h;
    SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  Form* self = reinterpret_cast<Form*>(GetWindowLongPtrA(h, GWLP_USERDATA));
  if (!self) return DefWindowProcA(h, msg, wp, lp);
  return self->Handle(h, msg, wp, lp);
}

LRESULT Form::Handle(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (OnMessage(msg, wp, lp, &result)) return result;
  if (RouteChildMessage(h, msg, wp, lp, &result)) return result;
  switch (msg) {
    case WM_COMMAND: {
      // Menu items, and the dialog manager's Enter and Esc, which name a control by id only.
      int id = LOWORD(wp);
      if (id == IDCANCEL && cancel_) {
        if (cancel_->Enabled()) cancel_->Click();
        return 0;
      }
      if (id == IDOK && default_) {
        if (default_->Enabled()) default_->Click();
        return 0;
      }
      if (auto it = menu_items_.find(id); it != menu_items_.end() && lp == 0 && HIWORD(wp) == 0) {
        if (it->second->enabled_ && it->second->on_click) it->second->on_click();
        return 0;
      }
      if (auto it = controls_.find(id); it != controls_.end() && lp == 0) {
        if (it->second->Enabled()) it->second->OnCommand(BN_CLICKED);
        return 0;
      }
      break;
    }
    case DM_GETDEFID: {
      // As in a dialog box, Enter presses the focused push button, else the default button.
      HWND focus = GetFocus();
      if (Control* c = Control::FromHwnd(focus); c && IsChild(hwnd_, focus)) {
        LONG_PTR type = WindowStyle(focus) & BS_TYPEMASK;
        char cls[16];
        GetClassNameA(focus, cls, sizeof cls);
        if (lstrcmpiA(cls, "Button") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON))
          return MAKELRESULT(c->id(), DC_HASDEFID);
      }
      if (default_) return MAKELRESULT(default_->id(), DC_HASDEFID);
      return 0;
    }
    case WM_TIMER: {
      if (auto it = timers_.find(static_cast<UINT>(wp)); it != timers_.end()) {
        if (it->second->enabled_ && it->second->on_tick) it->second->on_tick();
        return 0;
      }
      break;
    }
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND f = GetFocus();
        if (f && IsChild(hwnd_, f)) last_focus_ = f;
      } else {
        // Activation hands the focus back to the control that had it, else to the first tab stop.
        HWND f = last_focus_ && IsWindow(last_focus_) ? last_focus_
                                                      : GetNextDlgTabItem(hwnd_, nullptr, FALSE);
        if (f) {
          SetFocus(f);
          return 0;
        }
      }
      break;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_NCDESTROY:
      for (auto& [id, t] : timers_) t->enabled_ = false;
      for (auto& [id, item] : menu_items_)
        RemovePropA(h, (kMenuPropertyPrefix + item->caption_).c_str());
      SetWindowLongPtrA(h, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      break;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

bool Form::SwallowsAccessKey(const MSG& m) const {
  if (keys_off_.empty()) return false;
  if (m.message == WM_CHAR) {
    LRESULT code = SendMessageA(m.hwnd, WM_GETDLGCODE, m.wParam, reinterpret_cast<LPARAM>(&m));
    if (code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS)) return false;  // text, not an access key
  } else if (m.message != WM_SYSCHAR) {
    return false;
  }
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  const char key = lower(static_cast<char>(m.wParam));
  for (const Control* c : keys_off_) {
    const std::string caption = c->Text();
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
      if (caption[i] != '&') continue;
      if (caption[i + 1] != '&' && lower(caption[i + 1]) == key) return true;
      ++i;  // "&&" is a plain ampersand
    }
  }
  return false;
}

bool Form::PumpOne(const MSG& m) {
  if (m.message == WM_QUIT) return false;
  HWND root = m.hwnd ? GetAncestor(m.hwnd, GA_ROOT) : nullptr;
  Form* form = root ? FromHwnd(root) : nullptr;
  if (form && form->SwallowsAccessKey(m)) return true;
  if (form && IsDialogMessageA(root, const_cast<MSG*>(&m))) return true;
  TranslateMessage(&m);
  DispatchMessageA(&m);
  return true;
}

int Form::RunMessageLoop() {
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) PumpOne(m);
  return static_cast<int>(m.wParam);
}

// ---- FileDialog

bool FileDialog::ShowOpen(HWND owner) {
  return Show(owner, false);
}
bool FileDialog::ShowSave(HWND owner) {
  return Show(owner, true);
}

bool FileDialog::Show(HWND owner, bool save) {
  std::string filter = filter_;
  for (char& c : filter)
    if (c == '|') c = '\0';
  filter.append(2, '\0');
  std::vector<char> buffer(32768, '\0');
  lstrcpynA(buffer.data(), file_name.c_str(), static_cast<int>(buffer.size()));
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.Flags = flags_ | OFN_EXPLORER;
  BOOL ok = save ? lib::GetSaveFileNameA(&ofn) : lib::GetOpenFileNameA(&ofn);
  if (!ok) return false;
  file_name = buffer.data();
  return true;
}

HICON LoadIconSized(int id, int size) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON,
                                       size, size, LR_DEFAULTCOLOR | LR_SHARED));
}

}  // namespace kestrane::ui
