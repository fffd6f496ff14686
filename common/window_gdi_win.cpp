// Fonts sized for the screen's resolution and the product's icons.
#include "common/window_gdi_win.h"

#include <cmath>

#include "common/window_internal_win.h"

namespace kestrane::ui {

namespace detail {

int ScreenDpi() {
  WindowDC dc(nullptr);
  int dpi = GetDeviceCaps(dc.get(), LOGPIXELSY);
  return dpi > 0 ? dpi : 96;
}

}  // namespace detail

// ---- Font

Font::Font(const char* face, double points, bool bold, bool italic, bool underline, BYTE charset) {
  LOGFONTA lf{};
  lf.lfHeight = -static_cast<LONG>(std::lround(points * detail::ScreenDpi() / 72.0));
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = italic;
  lf.lfUnderline = underline;
  lf.lfCharSet = charset;
  lf.lfQuality = DEFAULT_QUALITY;
  lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
  f_.reset(CreateFontIndirectA(&lf));
}

HICON LoadIconSized(int id, int size) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON,
                                       size, size, LR_DEFAULTCOLOR | LR_SHARED));
}

}  // namespace kestrane::ui
