// The bench's hands and stopwatch inside Wine: installs the product through its setup window,
// converts in the real converter window, copies the same bytes as a floor, unpacks a package's
// cabinet, and starts packages while watching every hand-over up to the first slide on screen.
// Prints one line of milliseconds per run; the first run of each measure warms the caches.
#include <windows.h>
#include <setupapi.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/scoped_win.h"
#include "common/tree_layout.h"
#include "tests/driver/driver_win.h"

namespace {

using namespace kestrane::driver;

double NowMs() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart * 1000.0 / freq.QuadPart;
}

int Fail(const std::string& what) {
  fprintf(stderr, "journey bench: %s\n", what.c_str());
  return 1;
}

bool Running(const char* name) {
  kestrane::AutoFileHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 pe{};
  pe.dwSize = sizeof pe;
  bool found = false;
  for (BOOL ok = Process32First(snap.get(), &pe); ok && !found; ok = Process32Next(snap.get(), &pe))
    found = lstrcmpiA(pe.szExeFile, name) == 0;
  return found;
}

// The visible windows of a process, for a failure message.
std::string Windows(DWORD pid) {
  std::string out;
  for (HWND h : TopWindows(pid, "", ""))
    if (IsWindowVisible(h)) out += " [" + ClassOf(h) + " \"" + Text(h) + "\"]";
  return out;
}

void CopyFolder(const std::string& from, const std::string& to) {
  SHCreateDirectoryExA(nullptr, to.c_str(), nullptr);
  WIN32_FIND_DATAA fd;
  kestrane::AutoFindHandle h(FindFirstFileA((from + "\\*").c_str(), &fd));
  if (!h) return;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      CopyFileA((from + "\\" + fd.cFileName).c_str(), (to + "\\" + fd.cFileName).c_str(), FALSE);
  } while (FindNextFileA(h.get(), &fd));
}

int Install(const std::string& delivery) {
  const std::string download = "C:\\Downloads\\kestrane";
  CopyFolder(delivery, download);
  Process setup;
  if (!setup.Start(download + "\\setup.exe")) return Fail("setup did not start");
  HWND welcome = WaitTopWindow(setup.pid(), "kestrane 1.0 Setup", "", 60s);
  if (!welcome || !WaitUntil([&] { return Visible(welcome); })) return Fail("no setup window");
  HWND install = nullptr;
  if (!WaitUntil([&] { return (install = ChildByText(welcome, "Button", "Install")) != nullptr; }))
    return Fail("no Install button:" + Windows(setup.pid()));
  WaitUntil([&] { return Visible(install) && Enabled(install); });
  Click(install);
  HWND finish = WaitTopWindow(setup.pid(), "kestrane Setup", "", 120s);
  if (!finish || !WaitUntil([&] { return Visible(finish); }))
    return Fail("setup did not finish:" + Windows(setup.pid()));
  // Untick "Run kestrane": the bench starts the converter itself.
  HWND run = ChildByText(finish, "Button", "&Run kestrane");
  if (run && SendMessageA(run, BM_GETCHECK, 0, 0) == BST_CHECKED) {
    Click(run);
    WaitUntil([&] { return SendMessageA(run, BM_GETCHECK, 0, 0) == BST_UNCHECKED; });
  }
  Click(ChildByText(finish, "Button", "OK"));
  if (!setup.WaitExit(60s)) return Fail("setup did not end");
  return 0;
}

// From the click on "Make EXE" until the result page shows, watching the packager's process.
int Convert(const std::string& deck, const std::string& output, int runs) {
  for (int i = 0; i < runs; ++i) {
    DeleteFileA(output.c_str());
    Process wizard;
    if (!wizard.Start(std::string("C") + kestrane::tree::kConverter))
      return Fail("converter did not start");
    HWND main = WaitTopWindow(wizard.pid(), "kestrane", "", 30s);
    if (!main || !WaitUntil([&] { return Visible(main); })) return Fail("no converter window");
    auto edits = Children(main, "Edit");
    if (edits.size() < 2) return Fail("converter window without its two fields");
    SetText(edits[0], deck);
    SetText(edits[1], output);
    HWND make = ChildByText(main, "Button", "Make &EXE");
    HWND finish = ChildByText(main, "Button", "Finish");
    if (!make || !finish || !WaitUntil([&] { return Enabled(make); }))
      return Fail("converter buttons missing");
    const double start = NowMs();
    Click(make);
    const double limit = start + 600000;
    double packing = 0, packed = 0;
    for (int n = 0; !Visible(finish) && NowMs() < limit; ++n) {
      if (!packed && n % 5 == 0) {
        const bool running = Running("IExpress.exe");
        if (running && !packing) packing = NowMs();
        if (!running && packing) packed = NowMs();
      }
      Sleep(1);
    }
    const double done = NowMs();
    if (!Visible(finish)) return Fail("conversion did not reach the result page");
    Click(finish);
    if (!wizard.WaitExit(60s)) return Fail("converter did not end");
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExA(output.c_str(), GetFileExInfoStandard, &a))
      return Fail("no package at " + output);
    // Then the share before the packager ran, the packager's, and the share after it.
    if (!packing) packing = packed = start;
    if (!packed) packed = done;
    printf("%.1f %.1f %.1f %.1f\n", done - start, packing - start, packed - packing, done - packed);
    fflush(stdout);
  }
  return 0;
}

// The least any conversion must do: read the presentation and write it out, twice.
int CopyFloor(const std::string& deck, const std::string& folder, int runs) {
  const std::string a = folder + "\\floor-a.ppt", b = folder + "\\floor-b.ppt";
  for (int i = 0; i < runs; ++i) {
    DeleteFileA(a.c_str());
    DeleteFileA(b.c_str());
    const double start = NowMs();
    if (!CopyFileA(deck.c_str(), a.c_str(), FALSE) || !CopyFileA(a.c_str(), b.c_str(), FALSE))
      return Fail("copy failed");
    printf("%.1f\n", NowMs() - start);
    fflush(stdout);
  }
  DeleteFileA(a.c_str());
  DeleteFileA(b.c_str());
  return 0;
}

UINT CALLBACK ExtractEntry(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR) {
  if (notification != SPFILENOTIFY_FILEINCABINET) return NO_ERROR;
  auto* info = reinterpret_cast<FILE_IN_CABINET_INFO_A*>(param1);
  snprintf(info->FullTargetName, MAX_PATH, "%s\\%s", static_cast<const char*>(context),
           info->NameInCabinet);
  printf("file %s %lu\n", info->NameInCabinet, info->FileSize);
  return FILEOP_DOIT;
}

// Writes the files a package carries into a folder and lists them with the cabinet's size.
int Unpack(const std::string& package, const std::string& folder) {
  kestrane::AutoModule module(LoadLibraryExA(package.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  HMODULE m = module.get();
  HRSRC r = m ? FindResourceA(m, "CABINET", RT_RCDATA) : nullptr;
  if (!r) return Fail("no cabinet in " + package);
  const DWORD size = SizeofResource(m, r);
  const std::string cab = folder + ".cab";
  SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
  kestrane::AutoFileHandle f(
      CreateFileA(cab.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  WriteFile(f.get(), LockResource(LoadResource(m, r)), size, &written, nullptr);
  f.reset();
  module.reset();
  printf("cabinet %lu\n", size);
  std::string target = folder;
  const BOOL ok = SetupIterateCabinetA(cab.c_str(), 0, ExtractEntry, target.data());
  DeleteFileA(cab.c_str());
  return ok && written == size ? 0 : Fail("cannot unpack " + package);
}

// What the screen shows of a window, read back through the screen's device context. A whole
// screen takes tens of milliseconds to read under X, so three rows and three columns across the
// window stand for it.
class ScreenProbe {
 public:
  ScreenProbe() : screen_(nullptr), mem_(CreateCompatibleDC(screen_.get())) {}
  // True once the strips hold more than one colour: before its first paint the show window,
  // and the black root window behind it, are a single colour.
  bool Painted(HWND h) {
    RECT r;
    if (!GetWindowRect(h, &r)) return false;
    const int w = r.right - r.left, ht = r.bottom - r.top;
    if (w <= 0 || ht <= 0) return false;
    if (!bmp_ || w != w_ || ht != h_) Allocate(w, ht);
    // Rows go to the top of the bitmap, columns to its right edge.
    for (int i = 0; i < 3; ++i) {
      BitBlt(mem_.get(), 0, i, w, 1, screen_.get(), r.left, r.top + ht * (i + 1) / 4, SRCCOPY);
      BitBlt(mem_.get(), w + i, 0, 1, ht, screen_.get(), r.left + w * (i + 1) / 4, r.top, SRCCOPY);
    }
    GdiFlush();
    const int stride = w + 3;
    const DWORD first = bits_[0] & 0xFFFFFF;
    for (int i = 0; i < 3; ++i) {
      for (int x = 0; x < w; ++x)
        if ((bits_[i * stride + x] & 0xFFFFFF) != first) return true;
      for (int y = 0; y < ht; ++y)
        if ((bits_[y * stride + w + i] & 0xFFFFFF) != first) return true;
    }
    return false;
  }

 private:
  void Allocate(int w, int h) {
    selected_.reset();  // before the bitmap it holds goes
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w + 3;
    bi.bmiHeader.biHeight = -std::max(h, 3);
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bmp_.reset(CreateDIBSection(screen_.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<DWORD*>(bits);
    selected_.reset(new kestrane::ScopedSelect(mem_.get(), bmp_.get()));
    w_ = w;
    h_ = h;
  }

  // Declared in the order they are set up, so they are released in reverse.
  kestrane::WindowDC screen_;
  kestrane::AutoMemoryDC mem_;
  kestrane::AutoBitmap bmp_;
  std::unique_ptr<kestrane::ScopedSelect> selected_;
  DWORD* bits_ = nullptr;
  int w_ = 0, h_ = 0;
};

constexpr char kShowClass[] = "PPTVIEW.SlideShow";

// When each program of one start was first seen, in ms of NowMs (0: never).
struct FirstSlide {
  double launcher = 0, viewer = 0, window = 0, painted = 0;
  double probe_ms = 0;  // spent reading the screen
  int probes = 0;
  HWND show = nullptr;
};

FirstSlide WatchFirstSlide(HANDLE package, double t0, ScreenProbe& probe) {
  FirstSlide f;
  const double limit = t0 + 300000;
  while (!f.painted && NowMs() < limit) {
    if (WaitForSingleObject(package, 0) == WAIT_OBJECT_0) break;
    if (!f.viewer) {
      const double t = NowMs();
      if (!f.launcher && Running("view.exe")) f.launcher = t;
      if (Running("PPTVIEW.EXE")) f.viewer = t;
      if (f.viewer && !f.launcher) f.launcher = f.viewer;
    }
    if (f.viewer && !f.show) {
      f.show = FindWindowA(kShowClass, nullptr);
      if (f.show) f.window = NowMs();
    }
    if (f.show) {
      const double before = NowMs();
      if (probe.Painted(f.show)) f.painted = NowMs();
      f.probe_ms += NowMs() - before;
      ++f.probes;
      continue;  // the screen read itself is the wait
    }
    Sleep(1);
  }
  return f;
}

// From the Escape that ends the show until each program has gone, with the viewer's peak
// private bytes read until it ends: its first slide and whatever it prepares for the next ones.
struct Ending {
  double escape = 0, viewer_gone = 0, launcher_gone = 0, end = 0;
  SIZE_T peak_private = 0;
  std::string stuck;  // what still ran when the package did not end
};

Ending EndShow(HANDLE package, HWND show) {
  Ending e;
  DWORD viewer_pid = 0;
  GetWindowThreadProcessId(show, &viewer_pid);
  kestrane::AutoCloseHandle viewer_process(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, viewer_pid));
  auto sample = [&] {
    PROCESS_MEMORY_COUNTERS_EX m{};
    m.cb = sizeof m;
    if (viewer_process &&
        GetProcessMemoryInfo(viewer_process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m),
                             sizeof m))
      e.peak_private = std::max(e.peak_private, m.PeakPagefileUsage);
  };
  sample();
  e.escape = NowMs();
  Key(show, VK_ESCAPE);
  while (WaitForSingleObject(package, 1) == WAIT_TIMEOUT) {
    if (!e.viewer_gone) sample();
    if (NowMs() > e.escape + 60000 && TerminateProcess(package, 99)) {
      e.stuck = std::string(Running("PPTVIEW.EXE") ? " the viewer runs" : "") +
                (Running("view.exe") ? " the launcher runs" : "") +
                (IsWindow(show) ? " the show window is there" : "");
      if (e.stuck.empty()) e.stuck = " nothing else ran";
      return e;
    }
    if (!e.viewer_gone && !Running("PPTVIEW.EXE")) e.viewer_gone = NowMs();
    if (e.viewer_gone && !e.launcher_gone && !Running("view.exe")) e.launcher_gone = NowMs();
  }
  e.end = NowMs();
  if (!e.viewer_gone) e.viewer_gone = e.end;
  if (!e.launcher_gone) e.launcher_gone = e.end;
  return e;
}

// One start of a package up to the first slide on screen, then the end of the show. Prints the
// phases: unpacking (until the launcher runs), launcher (until the viewer runs), viewer parse
// (until the show window exists), first paint (until its pixels are on screen); then the whole
// start-to-first-slide, start-to-end, the time one screen read takes, and from the Escape that
// ends the show until the viewer, the launcher and the package have gone; last, the viewer's
// peak private bytes in MB.
int Start(const std::string& package, int runs) {
  ScreenProbe probe;
  for (int i = 0; i < runs; ++i) {
    if (Running("view.exe") || Running("PPTVIEW.EXE") || FindWindowA(kShowClass, nullptr))
      return Fail("a show from an earlier start is still running");
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string line = "\"" + package + "\"";
    std::string dir = package.substr(0, package.find_last_of('\\'));
    const double t0 = NowMs();
    if (!CreateProcessA(package.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        dir.c_str(), &si, &pi))
      return Fail("cannot start " + package);
    kestrane::AutoCloseHandle package_process(pi.hProcess), package_thread(pi.hThread);
    const FirstSlide f = WatchFirstSlide(pi.hProcess, t0, probe);
    if (!f.painted) {
      TerminateProcess(pi.hProcess, 99);
      return Fail("no slide on screen from " + package);
    }
    if (getenv("KESTRANE_BENCH_SHOT")) SaveScreenshot(f.show, "first-slide");
    const Ending e = EndShow(pi.hProcess, f.show);
    if (!e.stuck.empty()) return Fail("the package did not end after the show;" + e.stuck);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    if (code != 0) return Fail("the package ended with " + std::to_string(code));
    printf("%.1f %.1f %.1f %.1f %.1f %.1f %.1f %.1f %.1f %.1f %.1f\n", f.launcher - t0,
           f.viewer - f.launcher, f.window - f.viewer, f.painted - f.window, f.painted - t0,
           e.end - t0, f.probe_ms / f.probes, e.viewer_gone - e.escape, e.launcher_gone - e.escape,
           e.end - e.escape, e.peak_private / 1048576.0);
    fflush(stdout);
    // The viewer and launcher end before the package; let them be gone before the next start.
    WaitUntil([] { return !Running("view.exe") && !Running("PPTVIEW.EXE"); }, 30s);
  }
  return 0;
}

// Stays until ended, with a hidden window: Wine closes its desktop process a moment after the
// last program using it has gone, and the next program to show a window starts it again as
// its own child. Windows always has its desktop, so the bench keeps Wine's.
int Hold() {
  CreateWindowExA(0, "STATIC", "journey bench", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                  nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  if (what == "hold") return Hold();
  if (what == "install" && argc == 3) return Install(argv[2]);
  if (what == "convert" && argc == 5) return Convert(argv[2], argv[3], atoi(argv[4]));
  if (what == "copy" && argc == 5) return CopyFloor(argv[2], argv[3], atoi(argv[4]));
  if (what == "unpack" && argc == 4) return Unpack(argv[2], argv[3]);
  if (what == "start" && argc == 4) return Start(argv[2], atoi(argv[3]));
  fprintf(stderr,
          "usage: journey install <delivery> | convert <deck> <output> <runs> |\n"
          "       copy <deck> <folder> <runs> | unpack <package> <folder> |\n"
          "       start <package> <runs> | hold\n");
  return 2;
}
