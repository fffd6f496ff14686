// kestrane: the wizard in which a presentation becomes one self-running program.
#include <windows.h>
#include <commctrl.h>

#include "common/comctl_win.h"
#include "common/product.h"
#include "common/system_dll_win.h"
#include "converter/form1_win.h"

namespace {

// One name for every session: the working tree belongs to the machine, so two users converting
// at once would swap each other's presentations.
constexpr char kInstanceMutex[] = "Global\\kestrane.converter.instance";

// True when another converter holds the instance name, in this session or another. A name that
// another user's converter made, which this one may not open, counts as running.
bool AnotherInstanceRuns() {
  HANDLE m = CreateMutexA(nullptr, FALSE, kInstanceMutex);  // held until the process ends
  if (!m) return GetLastError() == ERROR_ACCESS_DENIED;
  return GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Users may add files to the folder this program runs from (the working root).
  kestrane::RestrictDllSearchToSystem();
  kestrane::lib::InitCommonControls();

  // Running launchers hold files this program is about to replace; each one found is asked to
  // close, and the next pass reaches the one behind it.
  for (int pass = 1; pass <= 1110; ++pass)
    if (HWND h = FindWindowA(nullptr, kestrane::product::kLauncherMarker))
      PostMessageA(h, WM_CLOSE, 0, 0);

  if (AnotherInstanceRuns()) return 0;

  static kestrane::Form1 form;
  static kestrane::Form2 marker;
  form.Create();
  marker.Create();
  form.Load();
  form.ShowCentred();
  return kestrane::ui::Form::RunMessageLoop();
}
