#include "tests/driver/driver_win.h"

#include <cstdio>
#include <fstream>
#include <thread>

namespace kestrane::driver {

bool WaitUntil(const std::function<bool()>& done, Duration limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(20ms);
  }
}

// ---- Process

Process::~Process() {
  if (process_) {
    Kill();
    CloseHandle(process_);
  }
}

bool Process::Start(const std::string& exe, const std::string& args, const std::string& dir) {
  if (process_) {
    Kill();
    CloseHandle(process_);
    process_ = nullptr;
  }
  std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
  std::string cwd = dir;
  if (cwd.empty()) cwd = exe.substr(0, exe.find_last_of('\\'));
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  // Under a loaded Wine a start has been seen to fail once, right after another process of the
  // same image ended, and succeed a moment later. Try again; say why when no try succeeds.
  for (int attempt = 0;; ++attempt) {
    if (CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(),
                       &si, &pi))
      break;
    DWORD error = GetLastError();
    if (attempt == 4) {
      std::fprintf(stderr, "cannot start %s: error %lu\n", exe.c_str(), error);
      return false;
    }
    std::this_thread::sleep_for(500ms);
  }
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  pid_ = pi.dwProcessId;
  return true;
}

bool Process::Running() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Process::WaitExit(Duration limit) const {
  return process_ &&
         WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (process_) GetExitCodeProcess(process_, &code);
  return code;
}

void Process::Kill() {
  if (Running()) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 10000);
  }
}

// ---- finding windows

namespace {

struct TopSearch {
  DWORD pid;
  std::string caption, cls;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<TopSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (s->pid && pid != s->pid) return TRUE;
  if (!s->cls.empty() && ClassOf(h) != s->cls) return TRUE;
  if (!s->caption.empty()) {
    // The window manager keeps top-level captions, so no message reaches a thread that is
    // blocked on purpose (a launcher waiting for its viewer).
    char caption[256] = "";
    GetWindowTextA(h, caption, sizeof caption);
    if (s->caption != caption) return TRUE;
  }
  s->found.push_back(h);
  return TRUE;
}

void Walk(HWND parent, const std::function<bool(HWND)>& visit) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (visit(c)) return;
    Walk(c, visit);
  }
}

}  // namespace

std::vector<HWND> TopWindows(DWORD pid, const std::string& caption, const std::string& cls) {
  TopSearch s{pid, caption, cls, {}};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND WaitTopWindow(DWORD pid, const std::string& caption, const std::string& cls, Duration limit) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        auto all = TopWindows(pid, caption, cls);
        found = all.empty() ? nullptr : all.front();
        return found != nullptr;
      },
      limit);
  return found;
}

HWND WaitDialog(DWORD pid, HWND owner, Duration limit) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND h : TopWindows(pid, "", "#32770"))
          if (IsWindowVisible(h) && (!owner || Owner(h) == owner)) {
            found = h;
            return true;
          }
        return false;
      },
      limit);
  return found;
}

HWND Child(HWND parent, int id) {
  HWND found = nullptr;
  Walk(parent, [&](HWND c) {
    if (GetDlgCtrlID(c) == id) found = c;
    return found != nullptr;
  });
  return found;
}

HWND Child(HWND parent, int id, const std::string& cls) {
  HWND found = nullptr;
  Walk(parent, [&](HWND c) {
    if (GetDlgCtrlID(c) == id && lstrcmpiA(ClassOf(c).c_str(), cls.c_str()) == 0) found = c;
    return found != nullptr;
  });
  return found;
}

HWND ChildByText(HWND parent, const std::string& cls, const std::string& text) {
  HWND found = nullptr;
  Walk(parent, [&](HWND c) {
    if ((cls.empty() || lstrcmpiA(ClassOf(c).c_str(), cls.c_str()) == 0) && Text(c) == text)
      found = c;
    return found != nullptr;
  });
  return found;
}

HWND ReadyChild(HWND top, const std::string& cls, const std::string& text) {
  HWND found = nullptr;
  WaitUntil([&] {
    found = ChildByText(top, cls, text);
    return found && Visible(found) && GetForegroundWindow() == top;
  });
  return found;
}

std::vector<HWND> Children(HWND parent, const std::string& cls) {
  std::vector<HWND> out;
  Walk(parent, [&](HWND c) {
    if (cls.empty() || lstrcmpiA(ClassOf(c).c_str(), cls.c_str()) == 0) out.push_back(c);
    return false;
  });
  return out;
}

// ---- reading

std::string Text(HWND h) {
  // WM_GETTEXT reads other processes' edit fields too, which GetWindowText does not.
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutA(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len)) return "";
  std::string s(len + 1, '\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutA(h, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(s.data()), SMTO_ABORTIFHUNG,
                      5000, &got);
  s.resize(got);
  return s;
}

std::string ClassOf(HWND h) {
  char cls[256] = {};
  GetClassNameA(h, cls, sizeof cls);
  return cls;
}

bool Visible(HWND h) {
  return IsWindowVisible(h) != FALSE;
}
bool Enabled(HWND h) {
  return IsWindowEnabled(h) != FALSE;
}
bool HasStyle(HWND h, LONG style) {
  return (GetWindowLongA(h, GWL_STYLE) & style) == style;
}

RECT RectIn(HWND h, HWND ancestor) {
  RECT r;
  GetWindowRect(h, &r);
  MapWindowPoints(nullptr, ancestor, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

HWND Focus(HWND top) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

HWND Owner(HWND h) {
  return GetWindow(h, GW_OWNER);
}

// ---- acting

void SetText(HWND h, const std::string& text) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                      5000, &r);
}

void Click(HWND button) {
  PostMessageA(button, BM_CLICK, 0, 0);
}

void Key(HWND h, UINT vk) {
  UINT scan = MapVirtualKeyA(vk, 0);
  PostMessageA(h, WM_KEYDOWN, vk, 1 | (scan << 16));
  PostMessageA(h, WM_KEYUP, vk, 1 | (scan << 16) | (3u << 30));
}

void KeyToFocus(HWND top, UINT vk) {
  // A window that has just opened may not have taken the focus from its owner yet.
  HWND f = nullptr;
  WaitUntil(
      [&] {
        f = Focus(top);
        return f && (f == top || IsChild(top, f));
      },
      5s);
  Key(f ? f : top, vk);
}

void MouseClick(HWND h, int x, int y) {
  PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void MouseDoubleClick(HWND h, int x, int y) {
  MouseClick(h, x, y);
  PostMessageA(h, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

MenuItemState MenuItem(HWND top, const std::string& caption) {
  MenuItemState s;
  HMENU bar = GetMenu(top);
  for (int i = 0; bar && i < GetMenuItemCount(bar); ++i) {
    HMENU drop = GetSubMenu(bar, i);
    for (int j = 0; drop && j < GetMenuItemCount(drop); ++j) {
      char text[256] = {};
      GetMenuStringA(drop, j, text, sizeof text, MF_BYPOSITION);
      if (caption != text) continue;
      UINT state = GetMenuState(drop, j, MF_BYPOSITION);
      s.found = true;
      s.enabled = !(state & (MF_GRAYED | MF_DISABLED));
      s.id = GetMenuItemID(drop, j);
      return s;
    }
  }
  // Where menus cannot be read from another process, the form publishes them as properties.
  auto v = reinterpret_cast<INT_PTR>(GetPropA(top, ("menu " + caption).c_str()));
  if (v) {
    s.found = true;
    s.enabled = v & 1;
    s.id = static_cast<UINT>(v >> 1);
  }
  return s;
}

void ChooseMenuItem(HWND top, const std::string& caption) {
  MenuItemState s = MenuItem(top, caption);
  if (s.found) PostMessageA(top, WM_COMMAND, MAKEWPARAM(s.id, 0), 0);
}

// ---- screenshots

std::string ArtifactsFolder() {
  char buf[MAX_PATH] = {};
  std::string dir;
  if (GetEnvironmentVariableA("KESTRANE_SCREENSHOTS", buf, MAX_PATH) && buf[0]) {
    dir = buf;
    if (dir.front() == '/') dir = "Z:" + dir;
  } else if (GetEnvironmentVariableA("KESTRANE_BUILD", buf, MAX_PATH) && buf[0]) {
    dir = buf;
    // A Unix path reaches Wine's drive Z.
    if (dir.front() == '/') dir = "Z:" + dir;
    dir += "\\artifacts";
  } else {
    GetModuleFileNameA(nullptr, buf, MAX_PATH);
    dir = buf;
    dir = dir.substr(0, dir.find_last_of('\\')) + "\\artifacts";
  }
  for (char& c : dir)
    if (c == '/') c = '\\';
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

bool SaveScreenshot(HWND top, const std::string& name) {
  // Asynchronous, so that a window whose thread is busy is shown as it stands.
  SetWindowPos(top, HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
  Sleep(300);
  RECT r;
  GetWindowRect(top, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  SelectObject(mem, old);
  DWORD stride = ((w * 3 + 3) / 4) * 4, size = stride * h;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
  fh.bfSize = fh.bfOffBits + size;
  bi.bmiHeader.biSizeImage = size;
  std::ofstream f(ArtifactsFolder() + "\\" + name + ".bmp", std::ios::binary);
  f.write(reinterpret_cast<const char*>(&fh), sizeof fh);
  f.write(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof bi.bmiHeader);
  f.write(static_cast<const char*>(bits), size);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return static_cast<bool>(f);
}

}  // namespace kestrane::driver
