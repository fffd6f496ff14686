// Drives PPTVIEW.exe as a package does: started on view.ppt in its current folder, then moved
// through the show with keys, clicks and timings.
#include <windows.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "app/show_win.h"
#include "viewer/tests/deck_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string OwnFolder() {
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
  static int Key(HWND w, WPARAM vk) {
    PostMessageA(w, WM_KEYDOWN, vk, 0);
    PostMessageA(w, WM_KEYUP, vk, 0xC0000000);
    Sleep(30);
    return Shown(w);
  }
  bool Exited() { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0; }
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

deck::DeckSpec Deck(int n) {
  deck::DeckSpec spec;
  const uint32_t colours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF};
  for (int i = 0; i < n; i++)
    spec.slides.push_back({colours[i % 5], "Slide number " + std::to_string(i + 1)});
  return spec;
}

TEST(ShowWine, FullScreenKeysMoveThroughTheShowAndEndScreenEndsIt) {
  Folder f;
  f.Write("view.ppt", deck::Build(Deck(3)));
  Viewer v(f);
  ASSERT_TRUE(v.started());
  HWND w = v.Window();
  ASSERT_TRUE(w);
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(Viewer::Shown(w), 1);
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 2);
  EXPECT_EQ(Viewer::Key(w, VK_LEFT), 1);
  EXPECT_EQ(Viewer::Key(w, VK_LEFT), 1);  // nothing before the first slide
  EXPECT_EQ(Viewer::Key(w, VK_END), 3);
  EXPECT_EQ(Viewer::Key(w, VK_HOME), 1);
  EXPECT_EQ(Viewer::Key(w, VK_SPACE), 2);
  EXPECT_EQ(Viewer::Key(w, VK_BACK), 1);
  EXPECT_EQ(Viewer::Key(w, 'N'), 2);
  EXPECT_EQ(Viewer::Key(w, 'P'), 1);
  EXPECT_EQ(Viewer::Key(w, VK_NEXT), 2);
  EXPECT_EQ(Viewer::Key(w, VK_PRIOR), 1);
  EXPECT_EQ(Viewer::Key(w, VK_DOWN), 2);
  EXPECT_EQ(Viewer::Key(w, VK_UP), 1);
  EXPECT_EQ(Viewer::Key(w, VK_RETURN), 2);
  PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  PostMessageA(w, WM_LBUTTONUP, 0, 0);
  EXPECT_TRUE(Viewer::WaitShown(w, 3));
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 0);  // the end screen
  EXPECT_FALSE(v.Exited());
  PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  EXPECT_EQ(v.ExitCode(), 0);
}

TEST(ShowWine, EscapeEndsTheShowAtOnce) {
  Folder f;
  f.Write("view.ppt", deck::Build(Deck(3)));
  Viewer v(f);
  HWND w = v.Window();
  ASSERT_TRUE(w);
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 2);
  PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(v.ExitCode(), 0);
}

TEST(ShowWine, HiddenSlidesAreSkipped) {
  Folder f;
  deck::DeckSpec spec = Deck(4);
  spec.slides[1].hidden = true;
  spec.slides[2].hidden = true;
  f.Write("view.ppt", deck::Build(spec));
  Viewer v(f);
  HWND w = v.Window();
  ASSERT_TRUE(w);
  EXPECT_EQ(Viewer::Shown(w), 1);
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 4);
  EXPECT_EQ(Viewer::Key(w, VK_LEFT), 1);
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 4);
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 0);
  PostMessageA(w, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(v.ExitCode(), 0);
}

TEST(ShowWine, TimingsAdvanceOnlyWhenTheFileUsesThem) {
  Folder f;
  deck::DeckSpec spec = Deck(3);
  for (auto& s : spec.slides) s.advance_ms = 400;
  spec.use_timings = true;
  f.Write("view.ppt", deck::Build(spec));
  Viewer v(f);
  HWND w = v.Window();
  ASSERT_TRUE(w);
  EXPECT_TRUE(Viewer::WaitShown(w, 2, 5000));
  EXPECT_TRUE(Viewer::WaitShown(w, 3, 5000));
  EXPECT_TRUE(Viewer::WaitShown(w, 0, 5000));
  Sleep(300);
  EXPECT_FALSE(v.Exited());  // the end screen waits for the viewer
  PostMessageA(w, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(v.ExitCode(), 0);

  // The same slides in a show that does not use timings stay put.
  Folder g;
  spec.use_timings = false;
  g.Write("view.ppt", deck::Build(spec));
  Viewer still(g);
  w = still.Window();
  ASSERT_TRUE(w);
  Sleep(1200);
  EXPECT_EQ(Viewer::Shown(w), 1);
  PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(still.ExitCode(), 0);
}

TEST(ShowWine, LoopingShowRunsUntilEscape) {
  Folder f;
  deck::DeckSpec spec = Deck(2);
  for (auto& s : spec.slides) s.advance_ms = 300;
  spec.use_timings = true;
  spec.loop = true;
  f.Write("view.ppt", deck::Build(spec));
  Viewer v(f);
  HWND w = v.Window();
  ASSERT_TRUE(w);
  EXPECT_TRUE(Viewer::WaitShown(w, 2, 5000));
  EXPECT_TRUE(Viewer::WaitShown(w, 1, 5000));  // back to the start, no end screen
  EXPECT_TRUE(Viewer::WaitShown(w, 2, 5000));
  EXPECT_FALSE(v.Exited());
  PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(v.ExitCode(), 0);
}

// A file that cannot be shown: one message captioned "PowerPoint Viewer", then a non-zero exit.
void ExpectRefusal(const Folder& f) {
  Viewer v(f);
  ASSERT_TRUE(v.started());
  HWND box = nullptr;
  for (int i = 0; i < 600 && !box && !v.Exited(); i++) {
    box = v.Find("#32770", "PowerPoint Viewer");
    if (!box) Sleep(50);
  }
  ASSERT_TRUE(box);
  EXPECT_FALSE(v.Find(viewer::kShowWindowClass, nullptr));
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  int code = v.ExitCode();
  EXPECT_GT(code, 0);
}

TEST(ShowWine, MissingOrBrokenPresentationIsReported) {
  Folder empty;
  ExpectRefusal(empty);
  Folder broken;
  deck::Bytes junk = deck::Build(Deck(2));
  for (size_t i = 1200; i < junk.size(); i++) junk[i] = uint8_t(i * 31);
  broken.Write("view.ppt", junk);
  ExpectRefusal(broken);
  Folder encrypted;
  deck::DeckSpec spec = Deck(1);
  spec.encrypted = true;
  encrypted.Write("view.ppt", deck::Build(spec));
  ExpectRefusal(encrypted);
}

// Reads the pixel at (x, y) of a PNG file through WIC.
bool PngPixel(const std::string& path, int x, int y, COLORREF* out, UINT* width, UINT* height) {
  IWICImagingFactory* f = nullptr;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(&f))))
    return false;
  std::wstring w(path.begin(), path.end());
  IWICBitmapDecoder* d = nullptr;
  IWICBitmapFrameDecode* fr = nullptr;
  IWICFormatConverter* c = nullptr;
  bool ok = SUCCEEDED(f->CreateDecoderFromFilename(w.c_str(), nullptr, GENERIC_READ,
                                                   WICDecodeMetadataCacheOnDemand, &d)) &&
            SUCCEEDED(d->GetFrame(0, &fr)) && SUCCEEDED(fr->GetSize(width, height)) &&
            SUCCEEDED(f->CreateFormatConverter(&c)) &&
            SUCCEEDED(c->Initialize(fr, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                    nullptr, 0, WICBitmapPaletteTypeCustom));
  BYTE px[4] = {};
  WICRect rc{x, y, 1, 1};
  ok = ok && SUCCEEDED(c->CopyPixels(&rc, 4, 4, px));
  *out = RGB(px[2], px[1], px[0]);
  if (c) c->Release();
  if (fr) fr->Release();
  if (d) d->Release();
  f->Release();
  return ok;
}

TEST(RenderWine, WritesOneImageAndTextPerShownSlide) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Folder f;
  deck::DeckSpec spec = Deck(3);
  spec.slides[1].hidden = true;
  spec.width = 7680;  // 16:9
  f.Write("deck one.ppt", deck::Build(spec));
  Viewer v(f, "/R out 320 \"deck one.ppt\"");
  ASSERT_EQ(v.ExitCode(60000), 0);
  COLORREF c;
  UINT w = 0, h = 0;
  ASSERT_TRUE(PngPixel(f.path() + "\\out\\slide-001.png", 300, 170, &c, &w, &h));
  EXPECT_EQ(w, 320u);
  EXPECT_EQ(h, 180u);
  EXPECT_EQ(c, RGB(255, 0, 0));
  ASSERT_TRUE(PngPixel(f.path() + "\\out\\slide-002.png", 300, 170, &c, &w, &h));
  EXPECT_EQ(c, RGB(0, 0, 255));  // the third slide: the hidden one is left out
  EXPECT_EQ(GetFileAttributesA((f.path() + "\\out\\slide-003.png").c_str()),
            INVALID_FILE_ATTRIBUTES);
  FILE* t = fopen((f.path() + "\\out\\slide-002.txt").c_str(), "rb");
  ASSERT_TRUE(t);
  char buf[64] = {};
  fread(buf, 1, sizeof buf - 1, t);
  fclose(t);
  EXPECT_STREQ(buf, "Slide number 3\n");
  for (const char* name : {"slide-001.png", "slide-001.txt", "slide-002.png", "slide-002.txt"})
    DeleteFileA((f.path() + "\\out\\" + name).c_str());
  RemoveDirectoryA((f.path() + "\\out").c_str());
}

TEST(RenderWine, HugeWordsAndLongTextFinishQuickly) {
  Folder f;
  deck::DeckSpec spec = Deck(2);
  spec.slides[0].text = std::string(60000, 'W');
  std::string words;
  for (int i = 0; i < 6000; i++) words += "lorem ipsum ";
  spec.slides[1].text = words;
  f.Write("view.ppt", deck::Build(spec));
  auto start = Clock::now();
  Viewer v(f, "/R out 1024");
  EXPECT_EQ(v.ExitCode(60000), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(60));
  for (const char* name : {"slide-001.png", "slide-001.txt", "slide-002.png", "slide-002.txt"})
    DeleteFileA((f.path() + "\\out\\" + name).c_str());
  RemoveDirectoryA((f.path() + "\\out").c_str());
}

}  // namespace
