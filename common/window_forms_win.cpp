// Forms: top-level windows with their menus, timers, tab order and message loop.
#include "common/window_forms_win.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cmath>
#include <vector>

#include "common/comctl_win.h"
#include "common/window_internal_win.h"

namespace kestrane::ui {

using namespace detail;

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

}  // namespace kestrane::ui
