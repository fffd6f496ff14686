#pragma once
// What the window layer's parts share among themselves: the window classes, the screen's
// resolution and how transparent children paint. Not for the layer's users.
#include <windows.h>

#include "common/window_controls_win.h"

namespace kestrane::ui::detail {

constexpr char kFormClass[] = "KestraneForm";
constexpr char kPanelClass[] = "KestranePanel";
constexpr UINT_PTR kSubclassId = 1;

void RegisterClasses(WNDPROC form_proc, WNDPROC panel_proc);
int ScreenDpi();
LONG_PTR WindowStyle(HWND h);
// A transparent child paints its parent's background, aligned as the parent paints it, so that
// text over a picture shows the picture behind it.
LRESULT ParentBackground(HDC dc, HWND child, Container& parent);

}  // namespace kestrane::ui::detail
