// Drives PPTVIEW's show under Wine and measures it: frames per second of every transition and of
// timeline effects, and the time from a click until the next build step (or the next slide) is
// on screen. Writes a
// Markdown table to stdout and three frames of one transition as PNG files.
//
//   show_bench.exe PPTVIEW.exe work-folder picture-folder
#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <functional>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/scoped_win.h"
#include "viewer/tests/deck_builder.h"

namespace {

constexpr UINT kQueryShownSlide = WM_APP + 1, kQueryBuildStep = WM_APP + 2,
               kQueryAnimating = WM_APP + 4, kQueryFrames = WM_APP + 5;
constexpr char kShowWindowClass[] = "PPTVIEW.SlideShow";
using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

LRESULT Query(HWND w, UINT msg) {
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutA(w, msg, 0, 0, SMTO_ABORTIFHUNG, 5000, &r)) return -2;
  return LRESULT(r);
}

void Write(const std::string& path, const deck::Bytes& b) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return;
  fwrite(b.data(), 1, b.size(), f);
  fclose(f);
}

class Show {
 public:
  Show(const std::string& exe, const std::string& folder) {
    std::string cmd = "\"" + exe + "\" /S view.ppt";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                        &pi_))
      return;
    for (int i = 0; i < 600 && !wnd_; i++) {
      HWND w = FindWindowA(kShowWindowClass, nullptr);
      if (w && Query(w, kQueryShownSlide) >= 0) wnd_ = w;
      if (!wnd_) Sleep(50);
    }
    Sleep(300);
  }
  ~Show() {
    if (wnd_) PostMessageA(wnd_, WM_KEYDOWN, VK_ESCAPE, 0);
    if (pi_.hProcess) {
      if (WaitForSingleObject(pi_.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(pi_.hProcess, 1);
      kestrane::AutoCloseHandle process(pi_.hProcess), thread(pi_.hThread);
    }
  }
  HWND wnd() const { return wnd_; }

 private:
  PROCESS_INFORMATION pi_{};
  HWND wnd_ = nullptr;
};

COLORREF Pixel(int x, int y) {
  kestrane::WindowDC dc(nullptr);
  return GetPixel(dc.get(), x, y);
}

bool SaveScreen(const std::string& path, int w, int h) {
  kestrane::WindowDC screen(nullptr);
  kestrane::AutoMemoryDC dc(CreateCompatibleDC(screen.get()));
  HDC mem = dc.get();
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  kestrane::AutoBitmap bmp(CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  kestrane::ScopedSelect selected(mem, bmp.get());
  BitBlt(mem, 0, 0, w, h, screen.get(), 0, 0, SRCCOPY);
  GdiFlush();
  bool ok = false;
  kestrane::ComPtr<IWICImagingFactory> f;
  kestrane::ComPtr<IWICStream> s;
  kestrane::ComPtr<IWICBitmapEncoder> e;
  kestrane::ComPtr<IWICBitmapFrameEncode> fr;
  std::wstring wp(path.begin(), path.end());
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IWICImagingFactory, f.receive_void())) &&
      SUCCEEDED(f->CreateStream(s.receive())) &&
      SUCCEEDED(s->InitializeFromFilename(wp.c_str(), GENERIC_WRITE)) &&
      SUCCEEDED(f->CreateEncoder(GUID_ContainerFormatPng, nullptr, e.receive())) &&
      SUCCEEDED(e->Initialize(s.get(), WICBitmapEncoderNoCache)) &&
      SUCCEEDED(e->CreateNewFrame(fr.receive(), nullptr)) && SUCCEEDED(fr->Initialize(nullptr)) &&
      SUCCEEDED(fr->SetSize(UINT(w), UINT(h)))) {
    WICPixelFormatGUID fmt = GUID_WICPixelFormat32bppBGR;
    ok = SUCCEEDED(fr->SetPixelFormat(&fmt)) &&
         SUCCEEDED(
             fr->WritePixels(UINT(h), UINT(w * 4), UINT(w * h * 4), static_cast<BYTE*>(bits))) &&
         SUCCEEDED(fr->Commit()) && SUCCEEDED(e->Commit());
  }
  return ok;
}

deck::DeckSpec TwoSlides() {
  deck::DeckSpec shown;
  shown.slides.push_back({0x993300, "Kestrane"});
  shown.slides.push_back({0x00CCFF, "The next slide"});
  for (auto& s : shown.slides) {
    deck::ShapeSpec box;
    box.left = 1500;
    box.top = 2200;
    box.right = 4300;
    box.bottom = 3600;
    box.fill = 0xFFFFFF;
    s.shapes.push_back(box);
  }
  return shown;
}

// Shows `shown`, steps once and prints a row: the frames painted until the effect has run, and
// their rate. `during` runs once the effect is seen on screen, given the time of the step.
void EffectRow(const std::string& exe, const std::string& work, const char* name,
               const deck::DeckSpec& shown,
               const std::function<void(Clock::time_point)>& during = nullptr) {
  Write(work + "\\view.ppt", deck::Build(shown));
  Show show(exe, work);
  HWND w = show.wnd();
  if (!w) {
    printf("| %s | no window | |\n", name);
    return;
  }
  LRESULT before = Query(w, kQueryFrames);
  auto t0 = Clock::now();
  PostMessageA(w, WM_KEYDOWN, VK_RIGHT, 0);
  bool seen = false, called = false;
  while (Ms(t0, Clock::now()) < 5000) {
    LRESULT a = Query(w, kQueryAnimating);
    if (a == 1) seen = true;
    if (seen && a == 0) break;
    if (seen && during && !called) {
      during(t0);
      called = true;
    }
    Sleep(2);
  }
  double ms = Ms(t0, Clock::now());
  LRESULT frames = Query(w, kQueryFrames) - before;
  printf("| %s | %ld | %.0f |\n", name, long(frames), ms > 0 ? frames * 1000.0 / ms : 0.0);
  fflush(stdout);
}

void Transitions(const std::string& exe, const std::string& work, const std::string& pictures) {
  struct Effect {
    const char* name;
    int effect, direction;
  };
  const Effect effects[] = {{"cut through black", 0, 1},
                            {"fade through black", 6, 0},
                            {"smooth fade", 23, 0},
                            {"dissolve", 5, 0},
                            {"wipe right", 10, 2},
                            {"push up", 20, 1},
                            {"cover left-down", 4, 6},
                            {"uncover right", 7, 2},
                            {"split vertical out", 13, 2},
                            {"blinds vertical", 2, 0},
                            {"checkerboard across", 3, 0},
                            {"random bars", 8, 0},
                            {"box out", 11, 0},
                            {"circle", 27, 0},
                            {"diamond", 17, 0},
                            {"plus", 18, 0},
                            {"wedge", 19, 0},
                            {"zoom", 22, 0},
                            {"strips", 9, 7},
                            {"comb", 21, 0},
                            {"wheel", 26, 4}};
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  printf("| Transition (slow, 1 s) | Frames | Frames per second |\n|---|---|---|\n");
  for (const Effect& e : effects) {
    deck::DeckSpec shown = TwoSlides();
    shown.slides[1].effect = e.effect;
    shown.slides[1].direction = uint8_t(e.direction);
    shown.slides[1].speed = 0;
    auto circle_pictures = [&](Clock::time_point t0) {
      // Three frames of the circle for the README.
      for (int k = 1; k <= 3; k++) {
        while (Ms(t0, Clock::now()) < 250.0 * k) Sleep(2);
        SaveScreen(pictures + "\\transition-" + std::to_string(k) + ".png", sw, sh);
      }
    };
    EffectRow(exe, work, e.name, shown,
              e.effect == 27 ? std::function<void(Clock::time_point)>(circle_pictures) : nullptr);
  }
}

// Animations of PowerPoint 2002 and later, one second each, on the first slide's box: those
// that move, turn, size or colour it are painted whole frame by frame.
void TimelineEffects(const std::string& exe, const std::string& work) {
  using namespace deck::tl;
  const uint32_t box = 0x420;
  struct Timed {
    const char* name;
    deck::Bytes effect;
  };
  const Timed timed[] = {
      {"motion path", deck::tl::Effect(kClick, kPath, 0, {Motion(box, "M 0 0 L 0.2 0.1 E", 1000)})},
      {"spin", deck::tl::Effect(kClick, kEmphasis, 8, {Spin(box, 360, 1000)})},
      {"grow", deck::tl::Effect(kClick, kEmphasis, 6, {Grow(box, 150, 1000)})},
      {"change fill colour",
       deck::tl::Effect(kClick, kEmphasis, 1, {FillTo(box, 255, 0, 0, 1000)})},
      {"fade out (exit)",
       deck::tl::Effect(kClick, kExit, 10,
                        {Filter(box, "fade", true, 1000), SetVisible(box, false)})},
      {"wipe down (entrance)",
       deck::tl::Effect(kClick, kEntrance, 22,
                        {SetVisible(box, true), Filter(box, "wipe(down)", false, 1000)})},
  };
  printf("\n| Timeline effect (1 s) | Frames | Frames per second |\n|---|---|---|\n");
  for (const Timed& t : timed) {
    deck::DeckSpec shown = TwoSlides();
    shown.slides[0].slide_records.push_back(Ppt10Tags(Root({MainSequence({Group({t.effect})})})));
    EffectRow(exe, work, t.name, shown);
  }
}

// A click until the step, or the slide, is on screen: the pixel in the middle of the box.
enum Steps { kSlides, kBuilds, kTimeline };

deck::DeckSpec EightSteps(Steps steps, int n) {
  const bool builds = steps == kBuilds;
  deck::DeckSpec shown;
  // The same eight boxes either build one by one on a slide or stand on slides of their own.
  auto box = [&](int i) {
    deck::ShapeSpec s;
    s.left = 2000;
    s.top = 1500;
    s.right = 3800;
    s.bottom = 2800;
    s.fill = i % 2 ? 0x0000FF : 0x00FF00;
    s.anim.on = builds;
    s.anim.order = int16_t(i + 1);
    return s;
  };
  if (steps != kSlides) {
    shown.slides.push_back({0x000000, ""});
    shown.slides.push_back({0x000000, ""});
    for (int i = 0; i < n; i++) shown.slides[0].shapes.push_back(box(i));
  }
  if (steps == kTimeline) {
    // The same steps as clicks of the timeline: each box appears on its own click.
    using namespace deck::tl;
    std::vector<deck::Bytes> groups;
    for (int i = 0; i < n; i++)
      groups.push_back(
          Group({deck::tl::Effect(kClick, kEntrance, 1, {SetVisible(0x420 + i, true)})}));
    shown.slides[0].slide_records.push_back(Ppt10Tags(Root({MainSequence(groups)})));
  } else if (steps == kSlides) {
    for (int i = 0; i <= n; i++) {
      shown.slides.push_back({0x000000, ""});
      for (int k = 0; k <= i && k < n; k++) shown.slides.back().shapes.push_back(box(k));
    }
  }
  return shown;
}

double MedianLatency(const std::string& exe, const std::string& work, Steps steps) {
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  const int n = 8;
  Write(work + "\\view.ppt", deck::Build(EightSteps(steps, n)));
  Show show(exe, work);
  std::vector<double> times;
  if (!show.wnd()) return -1;
  for (int i = 0; i < n - 1; i++) {
    COLORREF was = Pixel(sw / 2, sh / 2);
    auto t0 = Clock::now();
    PostMessageA(show.wnd(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    PostMessageA(show.wnd(), WM_LBUTTONUP, 0, 0);
    while (Pixel(sw / 2, sh / 2) == was && Ms(t0, Clock::now()) < 3000) {
    }
    times.push_back(Ms(t0, Clock::now()));
    Sleep(150);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::string exe = argv[1], work = argv[2], pictures = argv[3];
  printf("Screen %d x %d.\n\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  Transitions(exe, work, pictures);
  TimelineEffects(exe, work);
  double step = MedianLatency(exe, work, kBuilds), timeline = MedianLatency(exe, work, kTimeline),
         slide = MedianLatency(exe, work, kSlides);
  printf("\n| A click until on screen | Median (ms) |\n|---|---|\n");
  printf(
      "| next build step (appear) | %.1f |\n| next timeline step (appear) | %.1f |\n"
      "| next slide (cut) | %.1f |\n",
      step, timeline, slide);
  return 0;
}
