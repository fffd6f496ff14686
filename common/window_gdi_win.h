#pragma once
// What the window layer paints with: control rectangles, fonts sized for the screen, brushes,
// the product's icons.
#include <windows.h>

#include "common/scoped_win.h"

namespace kestrane::ui {

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

// Logical font owner. Point sizes are converted for the screen's resolution, so Arial 8.25 pt is
// 11 pixels high at 96 dpi.
class Font {
 public:
  Font() = default;
  Font(const char* face, double points, bool bold = false, bool italic = false,
       bool underline = false, BYTE charset = DEFAULT_CHARSET);
  // The font of the platform's dialog boxes.
  static HFONT Dialog() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }
  HFONT get() const { return f_.get(); }

 private:
  AutoFont f_;
};

using kestrane::GdiObject;
using Bitmap = GdiObject<HBITMAP>;

class Brush {
 public:
  explicit Brush(COLORREF c) : color_(c), b_(CreateSolidBrush(c)) {}
  HBRUSH get() const { return b_.get(); }
  COLORREF color() const { return color_; }

 private:
  COLORREF color_;
  GdiObject<HBRUSH> b_;
};

using kestrane::WindowDC;

// The product's own resources, by id, sized as asked.
HICON LoadIconSized(int id, int size);

}  // namespace kestrane::ui
