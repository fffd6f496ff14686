#pragma once
// The common controls and common dialogs, loaded at first use rather than imported. Both pull in
// libraries that Windows does not map for every process (the visual-styles library among them),
// and at load time those would be looked up in the program's own folder first: a Downloads folder
// for setup. Loaded after RestrictDllSearchToSystem(), they and what they need come from the
// system; the common controls by name, so that the manifest's version 6 is the one loaded.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

namespace kestrane {
namespace lib {

void InitCommonControls();
BOOL SetWindowSubclass(HWND h, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data);
BOOL GetWindowSubclass(HWND h, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR* data);
BOOL RemoveWindowSubclass(HWND h, SUBCLASSPROC proc, UINT_PTR id);
LRESULT DefSubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
// FALSE, as for a cancelled dialog, where the library cannot be had.
BOOL GetOpenFileNameA(OPENFILENAMEA* ofn);
BOOL GetSaveFileNameA(OPENFILENAMEA* ofn);

}  // namespace lib
}  // namespace kestrane
