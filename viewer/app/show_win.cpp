#include "app/show_win.h"

#include <algorithm>

#include "app/paint_util_win.h"
#include "app/web_link.h"
#include "common/system_dll_win.h"

namespace viewer {
namespace {
constexpr UINT_PTR kAdvanceTimer = 1, kStepTimer = 2, kPointerTimer = 3;
constexpr UINT kPointerStillMs = 3000;  // the pointer hides after this long without moving
constexpr UINT kMinAdvanceMs = 50;
// Timer messages come only when no other message waits: the next slides' pictures are decoded
// then, one per tick, while the current slide is on screen.
constexpr UINT_PTR kPrefetchTimer = 4;
constexpr char kEndText[] = "End of slide show, click to exit.";
constexpr size_t kLinksPerShape = 1024;

}  // namespace

SlideShow::SlideShow(const ppt::Presentation& p) : p_(p), renderer_(p), nav_(p) {}

SlideShow::~SlideShow() = default;

int SlideShow::Run(HINSTANCE instance, const char* title) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = nullptr;  // chosen on every move: arrow, hand over links, or none when still
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
  SetTimer(wnd_, kPointerTimer, kPointerStillMs, nullptr);
  ShowState(false, true);
  // Messages first; effect frames in between, at the display's rate, so input is never kept
  // waiting behind an effect.
  for (;;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, effect_.MsToNextFrame(), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return 0;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (effect_.active() && effect_.MsToNextFrame() == 0) {
      if (effect_.Step()) {
        kestrane::WindowDC dc(wnd_);
        Paint(dc.get());
      } else {
        Settle();
      }
    }
  }
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

void SlideShow::ArmTimers() {
  KillTimer(wnd_, kAdvanceTimer);
  KillTimer(wnd_, kStepTimer);
  if (effect_.active()) return;
  int step = nav_.StepDelay();
  if (step >= 0) {
    SetTimer(wnd_, kStepTimer, UINT(std::max(step, 1)), nullptr);
    return;
  }
  int advance = nav_.AdvanceDelay();
  if (advance >= 0) SetTimer(wnd_, kAdvanceTimer, std::max(UINT(advance), kMinAdvanceMs), nullptr);
}

void SlideShow::Apply(const show::Change& c) {
  switch (c.kind) {
    case show::Change::kStep:
      ShowState(c.forward, false);
      break;
    case show::Change::kSlide:
      ShowState(false, c.forward);
      break;
    case show::Change::kEndScreen:
      ShowState(false, false);
      break;
    case show::Change::kQuit:
      End();
      break;
    case show::Change::kBlank:
      InvalidateRect(wnd_, nullptr, FALSE);
      break;
    case show::Change::kOpenWeb:
      OpenWeb(c.url);
      break;
    default:
      break;
  }
}

void SlideShow::End() {
  sound_.Stop();
  DestroyWindow(wnd_);
}

// Only what a browser or mail program opens, and only through the shell's own association.
void SlideShow::OpenWeb(const std::string& link) {
  const std::string url = WebLinkToOpen(link);
  if (url.empty()) return;
  using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  static const ShellExecuteFn shell_execute = [] {
    return kestrane::SystemFunction<ShellExecuteFn>("shell32.dll", "ShellExecuteW");
  }();
  if (!shell_execute) return;
  std::wstring w = WideUtf8(url);
  shell_execute(wnd_, L"open", w.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void SlideShow::PlayAction(const ppt::Action& a) {
  if (a.sound >= 0 && size_t(a.sound) < p_.sounds.size())
    sound_.Play(p_.sounds[size_t(a.sound)], false);
}

const ppt::Action* SlideShow::ActionAt(POINT pt, bool over, size_t* key) const {
  *key = SIZE_MAX;
  if (nav_.at_end() || nav_.blank() || effect_.active() || shown_slide_ >= p_.slides.size())
    return nullptr;
  const ppt::Slide& slide = p_.slides[shown_slide_];
  RECT box = SlideBox();
  POINT local{pt.x - box.left, pt.y - box.top};
  // Text links first: they sit on top of the shape that holds them.
  for (auto it = links_.rbegin(); it != links_.rend(); ++it) {
    if (!PtInRect(&it->box, local) || it->shape >= slide.shapes.size()) continue;
    const ppt::Shape& s = slide.shapes[it->shape];
    if (it->link < 0 || size_t(it->link) >= s.text_links.size()) continue;
    const ppt::Action* a =
        over ? &s.text_links[size_t(it->link)].over : &s.text_links[size_t(it->link)].click;
    if (!a->link()) continue;
    *key = it->shape * kLinksPerShape + size_t(it->link) + 1;
    return a;
  }
  const double scale = double(box.right - box.left) / p_.width;
  const double mx = local.x / scale, my = local.y / scale;
  std::vector<show::ShapeView> states = show::ViewAfter(slide, nav_.steps(), shown_step_);
  for (size_t i = slide.shapes.size(); i-- > 0;) {
    const ppt::Shape& s = slide.shapes[i];
    if (i < states.size() && states[i].state == show::ShapeView::kHidden) continue;
    const ppt::Action* a = over ? &s.over : &s.click;
    if (!a->link()) continue;
    if (mx >= s.anchor.left && mx < s.anchor.right && my >= s.anchor.top && my < s.anchor.bottom) {
      *key = i * kLinksPerShape;
      return a;
    }
  }
  return nullptr;
}

void SlideShow::MouseMoved(POINT pt) {
  if (pt.x == last_mouse_.x && pt.y == last_mouse_.y) return;
  last_mouse_ = pt;
  if (cursor_hidden_) {
    cursor_hidden_ = false;
    SendMessageA(wnd_, WM_SETCURSOR, WPARAM(wnd_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  }
  SetTimer(wnd_, kPointerTimer, kPointerStillMs, nullptr);
  size_t key = SIZE_MAX;
  const ppt::Action* a = ActionAt(pt, true, &key);
  if (key == hover_) return;
  hover_ = key;
  if (!a) return;
  ppt::Action action = *a;  // the change below may repaint and move the slide
  PlayAction(action);
  Apply(nav_.Follow(action));
}

bool SlideShow::OnTrigger(POINT pt) const {
  if (!nav_.HasTriggers() || effect_.active()) return false;
  RECT box = SlideBox();
  const double scale = double(box.right - box.left) / p_.width;
  return nav_.OnTrigger((pt.x - box.left) / scale, (pt.y - box.top) / scale);
}

void SlideShow::Click(POINT pt) {
  size_t key = SIZE_MAX;
  const ppt::Action* a = ActionAt(pt, false, &key);
  if (!a && OnTrigger(pt)) {
    RECT box = SlideBox();
    const double scale = double(box.right - box.left) / p_.width;
    show::Change c = nav_.Trigger((pt.x - box.left) / scale, (pt.y - box.top) / scale);
    if (c.kind != show::Change::kNothing) {
      ahead_.reset();  // drawn for the step the trigger's steps now come before
      return Apply(c);
    }
  }
  if (!a) return Apply(nav_.Click());
  ppt::Action action = *a;
  const bool text_link = key % kLinksPerShape != 0;
  const bool newly_followed =
      text_link &&
      followed_[shown_slide_].insert({key / kLinksPerShape, int(key % kLinksPerShape) - 1}).second;
  PlayAction(action);
  show::Change c = nav_.Follow(action);
  if (newly_followed && (c.kind == show::Change::kNothing || c.kind == show::Change::kOpenWeb)) {
    // The show stays (a web page opened): the link takes its followed colour at once.
    ahead_.reset();
    ShowState(false, false);
  }
  Apply(c);
}

const std::set<LinkKey>* SlideShow::FollowedOn(size_t slide) const {
  auto it = followed_.find(slide);
  return it == followed_.end() ? nullptr : &it->second;
}

void SlideShow::OnKey(WPARAM wp) {
  show::KeyCommand k = show::CommandForKey(unsigned(wp), GetKeyState(VK_CONTROL) < 0);
  if (k.command == show::Command::kEnd) return End();
  // A key while an effect runs finishes it, as a click does.
  if (FinishEffect()) return;
  if (nav_.at_end() && k.command == show::Command::kNone && wp != VK_SHIFT && wp != VK_CONTROL &&
      wp != VK_MENU)
    return End();  // on the end screen any key ends the show
  Apply(nav_.Key(k));
}

void SlideShow::OnSetCursor() {
  POINT pt;
  GetCursorPos(&pt);
  ScreenToClient(wnd_, &pt);
  size_t key;
  bool link = ActionAt(pt, false, &key) || ActionAt(pt, true, &key) || OnTrigger(pt);
  SetCursor(cursor_hidden_ ? nullptr : LoadCursor(nullptr, link ? IDC_HAND : IDC_ARROW));
  pointer_ = cursor_hidden_ ? 2 : link ? 1 : 0;
}

void SlideShow::OnTimer(WPARAM id) {
  if (id == kPointerTimer) {
    KillTimer(wnd_, kPointerTimer);
    cursor_hidden_ = true;
    pointer_ = 2;
    if (GetForegroundWindow() == wnd_) SetCursor(nullptr);
  } else if (id == kStepTimer || id == kAdvanceTimer) {
    KillTimer(wnd_, id);
    if (!effect_.active()) Apply(nav_.Next());
  } else if (id == kPrefetchTimer && !renderer_.Prefetch(nav_.order(), nav_.position())) {
    KillTimer(wnd_, kPrefetchTimer);
  }
}

void SlideShow::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd_, &ps);
  Paint(dc);
  EndPaint(wnd_, &ps);
  painted_ = true;
  SetTimer(wnd_, kPrefetchTimer, USER_TIMER_MINIMUM, nullptr);
}

// What the show answers about itself to the window messages that ask (tests and tools).
bool SlideShow::Answer(UINT msg, LRESULT* result) {
  switch (msg) {
    case kQueryShownSlide:
      *result = !painted_ ? -1 : nav_.at_end() ? 0 : LRESULT(nav_.slide() + 1);
      return true;
    case kQueryBuildStep:
      *result = LRESULT(nav_.step());
      return true;
    case kQuerySounds:
      *result = LRESULT(sound_.calls());
      return true;
    case kQueryAnimating:
      *result = effect_.active() ? 1 : 0;
      return true;
    case kQueryFrames:
      *result = LRESULT(effect_.frames());
      return true;
    case kQueryPointer:
      *result = pointer_;
      return true;
    default:
      return false;
  }
}

LRESULT SlideShow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT answer = 0;
  if (Answer(msg, &answer)) return answer;
  switch (msg) {
    case WM_KEYDOWN:
      OnKey(wp);
      return 0;
    case WM_LBUTTONDOWN:
      if (FinishEffect()) return 0;
      Click(POINT{short(LOWORD(lp)), short(HIWORD(lp))});
      return 0;
    case WM_MOUSEWHEEL:
      if (FinishEffect() || nav_.kiosk()) return 0;
      Apply(short(HIWORD(wp)) < 0 ? nav_.Next() : nav_.Previous());
      return 0;
    case WM_MOUSEMOVE:
      MouseMoved(POINT{short(LOWORD(lp)), short(HIWORD(lp))});
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lp) != HTCLIENT) return DefWindowProcA(wnd_, msg, wp, lp);
      OnSetCursor();
      return TRUE;
    case WM_TIMER:
      OnTimer(wp);
      return 0;
    case kDrawAhead:
      DrawAhead();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_DESTROY:
      // However the window closes, no sound may outlive the bytes it plays from.
      sound_.Stop();
      KillTimer(wnd_, kAdvanceTimer);
      KillTimer(wnd_, kStepTimer);
      KillTimer(wnd_, kPointerTimer);
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
  if (nav_.at_end()) {
    FillRect(dc, &client, black);
    AutoFont font(CreateFontA(-std::max(12, ch / 40), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                              OUT_TT_PRECIS, 0, ANTIALIASED_QUALITY, 0, "Arial"));
    ScopedSelect f(dc, font.get());
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT r{0, ch / 30, cw, ch / 2};
    DrawTextA(dc, kEndText, -1, &r, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    return;
  }
  if (nav_.blank()) {
    FillRect(dc, &client,
             static_cast<HBRUSH>(GetStockObject(nav_.blank() == 2 ? WHITE_BRUSH : BLACK_BRUSH)));
    return;
  }
  RECT box = SlideBox();
  const int x = box.left, y = box.top, w = box.right - box.left, h = box.bottom - box.top;
  // A screen of another size (the display changed): the slide is drawn again for it.
  if (!effect_.active() && (!shown_ || shown_->width() != w || shown_->height() != h)) {
    links_.clear();
    shown_ = Picture(nav_.slide(), nav_.step(), &links_);
    shown_slide_ = nav_.slide();
    shown_step_ = nav_.step();
  }
  const Canvas* screen = effect_.active() ? effect_.Screen() : shown_.get();
  RECT bars[4] = {{0, 0, cw, y}, {0, y + h, cw, ch}, {0, y, x, y + h}, {x + w, y, cw, y + h}};
  for (const RECT& b : bars) FillRect(dc, &b, black);
  if (screen && screen->ok()) BitBlt(dc, x, y, w, h, screen->dc(), 0, 0, SRCCOPY);
}

}  // namespace viewer
