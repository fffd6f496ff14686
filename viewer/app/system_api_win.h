#pragma once
// The few functions the viewer needs from libraries that Windows does not map for every process.
// They are taken from the system folder by full path at first use, never imported: the viewer
// runs from a package's folder, which holds stand-ins named like system libraries.
#include <windows.h>

namespace viewer {
namespace sys {

// As msimg32's; FALSE, drawing nothing, where the library cannot be had.
BOOL AlphaBlend(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                BLENDFUNCTION blend);
BOOL GradientFill(HDC dc, TRIVERTEX* vertices, ULONG nvertices, void* mesh, ULONG nmesh,
                  ULONG mode);

// Maps the imaging library from the system folder, so that creating its factory through COM
// finds it loaded and looks nowhere else.
void LoadImagingLibrary();

}  // namespace sys
}  // namespace viewer
