#pragma once
// Drives PPTVIEW.exe as a package does, for the show's tests: a private folder for the
// presentation, one viewer process started on view.ppt, and the keys, clicks and queries that
// follow the show.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "app/show_win.h"
#include "viewer/tests/deck_builder.h"

namespace showtest {

using Clock = std::chrono::steady_clock;

inline std::string OwnFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s = path;
  return s.substr(0, s.find_last_of('\\'));
}

class Folder {
 public:
  Folder() {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    static int n = 0;
    path_ = std::string(tmp) + "viewer_show_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(++n);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~Folder() {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path_ + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileA((path_ + "\\" + fd.cFileName).c_str());
      } while (FindNextFileA(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryA(path_.c_str());
  }
  const std::string& path() const { return path_; }
  void Write(const std::string& name, const deck::Bytes& b) const {
    FILE* f = fopen((path_ + "\\" + name).c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite(b.data(), 1, b.size(), f);
    fclose(f);
  }

 private:
  std::string path_;
};

// One viewer process, started the way the launcher starts it.
class Viewer {
 public:
  Viewer(const Folder& folder, const std::string& args = "/S view.ppt") {
    std::string cmd = "\"" + OwnFolder() + "\\PPTVIEW.exe\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    started_ = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                              folder.path().c_str(), &si, &pi_);
  }
  ~Viewer() {
    if (!started_) return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 99);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }
  // Writes the deck as view.ppt into the folder first.
  Viewer(const Folder& folder, const deck::Bytes& deck)
      : Viewer((folder.Write("view.ppt", deck), folder)) {}
  bool started() const { return started_; }

  // The show window once it has painted, or null.
  HWND Window(int timeout_ms = 30000) {
    auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (Clock::now() < end) {
      HWND w = Find(viewer::kShowWindowClass, nullptr);
      if (w && Shown(w) >= 0) return w;
      if (Exited()) return nullptr;
      Sleep(50);
    }
    return nullptr;
  }
  HWND Find(const char* cls, const char* title) {
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, cls, title)) != nullptr) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == pi_.dwProcessId) return w;
    }
    return nullptr;
  }
  static int Shown(HWND w) {
    DWORD_PTR r = DWORD_PTR(-1);
    if (!SendMessageTimeoutA(w, viewer::kQueryShownSlide, 0, 0, SMTO_ABORTIFHUNG, 5000, &r))
      return -2;
    return int(LRESULT(r));
  }
  // Waits until the window shows `slide` (0: the end screen).
  static bool WaitShown(HWND w, int slide, int timeout_ms = 10000) {
    auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (Clock::now() < end) {
      if (Shown(w) == slide) return true;
      Sleep(20);
    }
    return false;
  }
  // Sent, not posted: the answer then comes after the viewer has handled the key, however busy
  // the machine is.
  static int Key(HWND w, WPARAM vk) {
    Send(w, WM_KEYDOWN, vk, 0);
    Send(w, WM_KEYUP, vk, 0xC0000000);
    return Shown(w);
  }
  static void Send(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR r = 0;
    SendMessageTimeoutA(w, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &r);
  }
  bool Exited() { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0; }
  // Ends the show with a key; the exit code as ExitCode gives it.
  int EndWith(HWND w, WPARAM vk) {
    PostMessageA(w, WM_KEYDOWN, vk, 0);
    return ExitCode();
  }
  // The exit code once the process has ended within the time, else -1.
  int ExitCode(int timeout_ms = 15000) {
    if (WaitForSingleObject(pi_.hProcess, DWORD(timeout_ms)) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return int(code);
  }

 private:
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
};

inline deck::DeckSpec Deck(int n) {
  deck::DeckSpec spec;
  const uint32_t colours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF};
  for (int i = 0; i < n; i++)
    spec.slides.push_back({colours[i % 5], "Slide number " + std::to_string(i + 1)});
  return spec;
}

inline LRESULT Query(HWND w, UINT msg) {
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutA(w, msg, 0, 0, SMTO_ABORTIFHUNG, 5000, &r)) return -2;
  return LRESULT(r);
}

inline bool WaitFor(HWND w, UINT msg, LRESULT want, int timeout_ms = 5000) {
  auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (Clock::now() < end) {
    if (Query(w, msg) == want) return true;
    Sleep(10);
  }
  return false;
}

// The window point of a slide point given in master units, through the letterbox.
inline POINT ClientPoint(HWND w, int32_t x, int32_t y, int32_t slide_w = 5760,
                         int32_t slide_h = 4320) {
  RECT c;
  GetClientRect(w, &c);
  int pw = c.right, ph = int(double(c.right) * slide_h / slide_w);
  if (ph > c.bottom) {
    ph = c.bottom;
    pw = int(double(c.bottom) * slide_w / slide_h);
  }
  return POINT{(c.right - pw) / 2 + int(double(x) * pw / slide_w),
               (c.bottom - ph) / 2 + int(double(y) * ph / slide_h)};
}

inline POINT SlidePoint(HWND w, int32_t x, int32_t y) {
  POINT p = ClientPoint(w, x, y);
  ClientToScreen(w, &p);
  return p;
}

// A click on the point of the slide given in master units.
inline void ClickSlide(HWND w, int32_t x, int32_t y) {
  POINT cp = ClientPoint(w, x, y);
  int px = cp.x, py = cp.y;
  // Sent, so that what the click did is done when this returns.
  DWORD_PTR r = 0;
  SendMessageTimeoutA(w, WM_MOUSEMOVE, 0, MAKELPARAM(px, py), SMTO_ABORTIFHUNG, 5000, &r);
  SendMessageTimeoutA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(px, py), SMTO_ABORTIFHUNG, 5000,
                      &r);
  SendMessageTimeoutA(w, WM_LBUTTONUP, 0, MAKELPARAM(px, py), SMTO_ABORTIFHUNG, 5000, &r);
  Sleep(20);
}

inline deck::ShapeSpec Button(int32_t left, int32_t top) {
  deck::ShapeSpec s;
  s.left = left;
  s.top = top;
  s.right = left + 1000;
  s.bottom = top + 600;
  s.fill = 0x00FFFF;
  return s;
}

inline COLORREF ScreenPixel(int x, int y) {
  HDC dc = GetDC(nullptr);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(nullptr, dc);
  return c;
}

class WebRecorder {
 public:
  explicit WebRecorder(const std::string& note) {
    std::string cmd = "cmd.exe /c echo %1> \"" + note + "\"";
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        nullptr, &key_, nullptr) != ERROR_SUCCESS)
      return;
    char old[1024];
    DWORD size = sizeof old - 1, type = 0;
    if (RegQueryValueExA(key_, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(old), &size) ==
            ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
      old[size] = 0;
      old_ = old;
      old_type_ = type;
      had_old_ = true;
    }
    ok_ = RegSetValueExA(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(cmd.c_str()),
                         DWORD(cmd.size() + 1)) == ERROR_SUCCESS;
  }
  ~WebRecorder() {
    if (!key_) return;
    if (had_old_)
      RegSetValueExA(key_, nullptr, 0, old_type_, reinterpret_cast<const BYTE*>(old_.c_str()),
                     DWORD(old_.size() + 1));
    else
      RegDeleteValueA(key_, nullptr);
    RegCloseKey(key_);
  }
  bool ok() const { return ok_; }

 private:
  static constexpr const char* kKey = "http\\shell\\open\\command";
  HKEY key_ = nullptr;
  bool ok_ = false, had_old_ = false;
  std::string old_;
  DWORD old_type_ = REG_SZ;
};

inline bool WaitFile(const std::string& path, int timeout_ms) {
  auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (Clock::now() < end) {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(50);
  }
  return false;
}

inline deck::Bytes Wave() {
  deck::Bytes b;
  auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
  const uint32_t samples = 4000;
  tag("RIFF");
  deck::Put32(b, 36 + samples);
  tag("WAVE");
  tag("fmt ");
  deck::Put32(b, 16);
  deck::Put16(b, 1);
  deck::Put16(b, 1);
  deck::Put32(b, 8000);
  deck::Put32(b, 8000);
  deck::Put16(b, 1);
  deck::Put16(b, 8);
  tag("data");
  deck::Put32(b, samples);
  for (uint32_t i = 0; i < samples; i++) b.push_back(uint8_t(128 + ((i / 8) % 2 ? 40 : -40)));
  return b;
}

}  // namespace showtest
