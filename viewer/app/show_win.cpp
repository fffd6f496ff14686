#include "app/show_win.h"

#include <algorithm>

namespace viewer {
namespace {
constexpr UINT_PTR kAdvanceTimer = 1;
// Timer messages come only when no other message waits: the next slides' pictures are decoded
// then, one per tick, while the current slide is on screen.
constexpr UINT_PTR kPrefetchTimer = 2;
constexpr char kEndText[] = "End of slide show, click to exit.";
}  // namespace

SlideShow::SlideShow(const ppt::Presentation& p) : p_(p), renderer_(p), order_(p.ShowOrder()) {}

SlideShow::~SlideShow() = default;

int SlideShow::Run(HINSTANCE instance, const char* title) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.hIcon = LoadIcon(instance, MAKEINTRESOURCE(1));
  wc.lpszClassName = kShowWindowClass;
  RegisterClassA(&wc);
  // The primary monitor is the one whose top-left corner is the origin.
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  wnd_ = CreateWindowExA(WS_EX_APPWINDOW, kShowWindowClass, title, WS_POPUP | WS_VISIBLE, 0, 0, w,
                         h, nullptr, nullptr, instance, this);
  if (!wnd_) return 1;
  SetForegroundWindow(wnd_);
  SetFocus(wnd_);
  ArmTimer();
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

LRESULT CALLBACK SlideShow::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    static_cast<SlideShow*>(cs->lpCreateParams)->wnd_ = wnd;
  }
  auto* self = reinterpret_cast<SlideShow*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(wnd, msg, wp, lp);
  return self->Handle(msg, wp, lp);
}

void SlideShow::ArmTimer() {
  KillTimer(wnd_, kAdvanceTimer);
  if (pos_ >= order_.size() || !p_.show.use_timings) return;
  const ppt::Slide& s = p_.slides[order_[pos_]];
  if (s.auto_advance) SetTimer(wnd_, kAdvanceTimer, UINT(std::max(s.advance_ms, 50)), nullptr);
}

void SlideShow::Go(size_t pos) {
  pos_ = std::min(pos, order_.size());
  ArmTimer();
  InvalidateRect(wnd_, nullptr, FALSE);
}

void SlideShow::Next() {
  if (pos_ >= order_.size()) return End();
  if (pos_ + 1 < order_.size()) return Go(pos_ + 1);
  Go(p_.show.loop ? 0 : order_.size());
}

void SlideShow::Previous() {
  if (pos_ > 0 && pos_ < order_.size()) Go(pos_ - 1);
}

void SlideShow::End() {
  DestroyWindow(wnd_);
}

LRESULT SlideShow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_KEYDOWN:
      if (wp == VK_ESCAPE) {
        End();
      } else if (pos_ >= order_.size()) {
        End();  // on the end screen any key ends the show
      } else if (wp == VK_SPACE || wp == VK_RIGHT || wp == VK_DOWN || wp == VK_NEXT ||
                 wp == VK_RETURN || wp == 'N') {
        Next();
      } else if (wp == VK_LEFT || wp == VK_UP || wp == VK_PRIOR || wp == VK_BACK || wp == 'P') {
        Previous();
      } else if (wp == VK_HOME) {
        Go(0);
      } else if (wp == VK_END && !order_.empty()) {
        Go(order_.size() - 1);
      }
      return 0;
    case WM_LBUTTONDOWN:
      Next();
      return 0;
    case WM_TIMER:
      if (wp == kAdvanceTimer) {
        KillTimer(wnd_, kAdvanceTimer);
        Next();
      } else if (wp == kPrefetchTimer && !renderer_.Prefetch(order_, pos_)) {
        KillTimer(wnd_, kPrefetchTimer);
      }
      return 0;
    case kQueryShownSlide:
      if (!painted_) return -1;
      return pos_ < order_.size() ? LRESULT(order_[pos_] + 1) : 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd_, &ps);
      Paint(dc);
      EndPaint(wnd_, &ps);
      painted_ = true;
      SetTimer(wnd_, kPrefetchTimer, USER_TIMER_MINIMUM, nullptr);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(wnd_, msg, wp, lp);
  }
}

void SlideShow::Paint(HDC dc) {
  RECT client;
  GetClientRect(wnd_, &client);
  int cw = client.right, ch = client.bottom;
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  if (pos_ >= order_.size()) {
    FillRect(dc, &client, black);
    HFONT font = CreateFontA(-std::max(12, ch / 40), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                             OUT_TT_PRECIS, 0, ANTIALIASED_QUALITY, 0, "Arial");
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT r{0, ch / 30, cw, ch / 2};
    DrawTextA(dc, kEndText, -1, &r, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
    return;
  }
  // Letterbox: the largest slide-shaped rectangle in the middle of the screen.
  int w = cw, h = int(double(cw) * p_.height / p_.width);
  if (h > ch) {
    h = ch;
    w = int(double(ch) * p_.width / p_.height);
  }
  int x = (cw - w) / 2, y = (ch - h) / 2;
  if (cache_pos_ != pos_ || !cache_ || cache_->width() != w || cache_->height() != h) {
    cache_.reset(new Canvas(w, h));
    RECT where{0, 0, w, h};
    if (cache_->ok()) renderer_.Paint(cache_->dc(), order_[pos_], where);
    cache_pos_ = pos_;
  }
  RECT bars[4] = {{0, 0, cw, y}, {0, y + h, cw, ch}, {0, y, x, y + h}, {x + w, y, cw, y + h}};
  for (const RECT& b : bars) FillRect(dc, &b, black);
  if (cache_->ok()) BitBlt(dc, x, y, w, h, cache_->dc(), 0, 0, SRCCOPY);
}

}  // namespace viewer
