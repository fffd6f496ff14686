#pragma once
// A small window layer: a form owns its HWND and its controls are members that carry their own
// handlers. Forms are plain top-level windows run through IsDialogMessage, so Tab, Enter, Esc and
// access keys behave as in a dialog box.
#include "common/window_controls_win.h"
#include "common/window_dialogs_win.h"
#include "common/window_forms_win.h"
#include "common/window_gdi_win.h"
