#include "common/comctl_win.h"

#include "common/system_dll_win.h"

namespace kestrane {
namespace lib {
namespace {

HMODULE Controls() {
  // By name, restricted to the system folder: the activation context still redirects the name to
  // the version the manifest asks for.
  static HMODULE m = LoadLibraryExA("comctl32.dll", nullptr, 0x00000800 /* SEARCH_SYSTEM32 */);
  return m ? m : (m = LoadSystemDll("comctl32.dll"));
}

HMODULE Dialogs() {
  static HMODULE m = LoadSystemDll("comdlg32.dll");
  return m;
}

template <typename F>
F Get(HMODULE m, const char* name) {
  return Function<F>(m, name);
}

}  // namespace

void InitCommonControls() {
  static auto f = Get<void(WINAPI*)()>(Controls(), "InitCommonControls");
  if (f) f();
}

BOOL SetWindowSubclass(HWND h, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data) {
  static auto f = Get<decltype(&::SetWindowSubclass)>(Controls(), "SetWindowSubclass");
  return f ? f(h, proc, id, data) : FALSE;
}

BOOL GetWindowSubclass(HWND h, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR* data) {
  static auto f = Get<decltype(&::GetWindowSubclass)>(Controls(), "GetWindowSubclass");
  return f ? f(h, proc, id, data) : FALSE;
}

BOOL RemoveWindowSubclass(HWND h, SUBCLASSPROC proc, UINT_PTR id) {
  static auto f = Get<decltype(&::RemoveWindowSubclass)>(Controls(), "RemoveWindowSubclass");
  return f ? f(h, proc, id) : FALSE;
}

LRESULT DefSubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  static auto f = Get<decltype(&::DefSubclassProc)>(Controls(), "DefSubclassProc");
  return f ? f(h, msg, wp, lp) : DefWindowProcA(h, msg, wp, lp);
}

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn) {
  static auto f = Get<decltype(&::GetOpenFileNameA)>(Dialogs(), "GetOpenFileNameA");
  return f ? f(ofn) : FALSE;
}

BOOL GetSaveFileNameA(OPENFILENAMEA* ofn) {
  static auto f = Get<decltype(&::GetSaveFileNameA)>(Dialogs(), "GetSaveFileNameA");
  return f ? f(ofn) : FALSE;
}

}  // namespace lib
}  // namespace kestrane
