// pellum: travels inside every package as view.exe. Shows the presentation beside it through the
// slide-show viewer and ends when the viewer ends. No visible window, no messages, ever.
#include <windows.h>

#include "common/process_win.h"
#include "common/system_dll_win.h"

namespace {

constexpr char kMainClass[] = "PellumMain";
constexpr char kMarkerClass[] = "PellumMarker";

HINSTANCE g_instance;

LRESULT CALLBACK MarkerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // A close request (the converter's, for instance) ends the launcher at once; a viewer already
  // started keeps running.
  if (msg == WM_CLOSE) ExitProcess(0);
  return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND CreateBorderless(const char* cls, const char* caption, int x, int y) {
  HICON icon = LoadIconA(g_instance, MAKEINTRESOURCEA(1));
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = cls == kMarkerClass ? MarkerProc : DefWindowProcA;
  wc.hInstance = g_instance;
  wc.hIcon = icon;
  wc.hIconSm = icon;
  wc.lpszClassName = cls;
  RegisterClassExA(&wc);
  // Six by six client pixels, no frame, kept out of the taskbar.
  return CreateWindowExA(WS_EX_TOOLWINDOW, cls, caption, WS_POPUP, x, y, 6, 6, nullptr, nullptr,
                         g_instance, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  kestrane::RestrictDllSearchToSystem();
  g_instance = instance;
  char folder[MAX_PATH * 4], path[MAX_PATH * 4 + 40];
  if (!kestrane::OwnFolder(folder, MAX_PATH * 4)) return 0;
  wsprintfA(path, "%s\\view.ppt", folder);
  if (!kestrane::IsOrdinaryFile(path)) return 0;

  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  CreateBorderless(kMainClass, "View Microsoft PowerPoint Presentation", (cx - 6) / 2,
                   (cy - 6) / 2);
  HWND marker = CreateBorderless(kMarkerClass, "TunaTunaTuna", -4369, -4369);
  if (marker) ShowWindow(marker, SW_SHOWNOACTIVATE);

  // The viewer's path is quoted: an unpacking folder with blanks in its name must not make
  // Windows try to run some other program first.
  wsprintfA(path, "\"%s\\PPTVIEW.EXE\" /S view.ppt", folder);
  kestrane::RunAndWait(path, SW_SHOWNORMAL);
  ExitProcess(0);
}
