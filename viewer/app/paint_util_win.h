#pragma once
// What the painters share: the owners they use, the imaging factory, and text and colour
// conversions.
#include <windows.h>
#include <wincodec.h>

#include <string>

#include "common/scoped_win.h"
#include "ppt/presentation.h"

namespace viewer {

using kestrane::AutoBitmap;
using kestrane::AutoBrush;
using kestrane::AutoFont;
using kestrane::AutoMemoryDC;
using kestrane::AutoMetafile;
using kestrane::AutoPen;
using kestrane::AutoRegion;
using kestrane::ComPtr;
using kestrane::GdiObject;
using kestrane::ScopedSaveDC;
using kestrane::ScopedSelect;

IWICImagingFactory* Factory();
std::wstring Wide(const std::string& s, UINT code_page = CP_ACP);
std::wstring WideUtf8(const std::string& s);
// Line widths are EMU; a point is 12700 of them and 8 master units.
constexpr double kMasterPerEmu = 8.0 / 12700;

inline COLORREF Ref(const ppt::Rgb& c) {
  return RGB(c.r, c.g, c.b);
}

}  // namespace viewer
