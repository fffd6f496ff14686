#include "app/system_api_win.h"

#include "common/system_dll_win.h"

namespace viewer {
namespace sys {
namespace {

template <typename F>
F Lookup(const char* dll, const char* name) {
  return kestrane::SystemFunction<F>(dll, name);
}

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
using GradientFillFn = BOOL(WINAPI*)(HDC, TRIVERTEX*, ULONG, void*, ULONG, ULONG);

}  // namespace

BOOL AlphaBlend(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                BLENDFUNCTION blend) {
  static const AlphaBlendFn f = Lookup<AlphaBlendFn>("msimg32.dll", "AlphaBlend");
  return f ? f(dest, x, y, w, h, src, sx, sy, sw, sh, blend) : FALSE;
}

BOOL GradientFill(HDC dc, TRIVERTEX* vertices, ULONG nvertices, void* mesh, ULONG nmesh,
                  ULONG mode) {
  static const GradientFillFn f = Lookup<GradientFillFn>("msimg32.dll", "GradientFill");
  return f ? f(dc, vertices, nvertices, mesh, nmesh, mode) : FALSE;
}

void LoadImagingLibrary() {
  static const HMODULE m = kestrane::LoadSystemDll("windowscodecs.dll");
  (void)m;
}

}  // namespace sys
}  // namespace viewer
