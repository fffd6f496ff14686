// kestrane: the wizard in which a presentation becomes one self-running program.
#include <windows.h>
#include <commctrl.h>

#include "common/comctl_win.h"
#include "converter/form1_win.h"

namespace {

constexpr char kLauncherMarker[] = "TunaTunaTuna";
constexpr char kInstanceMutex[] = "kestrane.converter.instance";

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  kestrane::lib::InitCommonControls();

  // Running launchers hold files this program is about to replace; each one found is asked to
  // close, and the next pass reaches the one behind it.
  for (int pass = 1; pass <= 1110; ++pass)
    if (HWND h = FindWindowA(nullptr, kLauncherMarker)) PostMessageA(h, WM_CLOSE, 0, 0);

  // Held until the process ends.
  CreateMutexA(nullptr, FALSE, kInstanceMutex);
  if (GetLastError() == ERROR_ALREADY_EXISTS) return 0;

  static kestrane::Form1 form;
  static kestrane::Form2 marker;
  form.Create();
  marker.Create();
  form.Load();
  form.ShowCentred();
  return kestrane::ui::Form::RunMessageLoop();
}
