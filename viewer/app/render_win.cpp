#include "app/render_win.h"

#include <wincodec.h>

#include <algorithm>
#include <cmath>

#include "app/fonts_win.h"
#include "app/system_api_win.h"

namespace viewer {
namespace {

template <typename T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
  explicit operator bool() const { return p != nullptr; }
};

IWICImagingFactory* Factory() {
  static IWICImagingFactory* factory = [] {
    IWICImagingFactory* f = nullptr;
    sys::LoadImagingLibrary();
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                     reinterpret_cast<void**>(&f));
    return f;
  }();
  return factory;
}

std::wstring Wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(n > 0 ? n : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], n);
  w.resize(wcslen(w.c_str()));
  return w;
}

std::wstring WideUtf8(const std::string& s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(n > 0 ? n : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, &w[0], n);
  w.resize(wcslen(w.c_str()));
  return w;
}

COLORREF Ref(const ppt::Rgb& c) {
  return RGB(c.r, c.g, c.b);
}

// A device-independent bitmap file around the bare bitmap the picture store keeps, so that the
// system's BMP codec can read it.
std::vector<uint8_t> DibAsFile(const std::vector<uint8_t>& dib) {
  if (dib.size() < 40) return {};
  uint32_t header = dib[0] | (dib[1] << 8) | (dib[2] << 16) | (uint32_t(dib[3]) << 24);
  uint16_t bits = uint16_t(dib[14] | (dib[15] << 8));
  uint32_t compression = dib[16] | (dib[17] << 8) | (dib[18] << 16) | (uint32_t(dib[19]) << 24);
  uint32_t used =
      dib.size() >= 36 ? dib[32] | (dib[33] << 8) | (dib[34] << 16) | (uint32_t(dib[35]) << 24) : 0;
  if (header < 12 || header > 1024) return {};
  uint64_t palette = bits <= 8 ? uint64_t(used ? used : (1u << bits)) * 4 : uint64_t(used) * 4;
  if (header == 40 && compression == 3) palette += 12;
  uint64_t off = 14 + header + palette;
  std::vector<uint8_t> f(14, 0);
  uint32_t total = uint32_t(14 + dib.size());
  f[0] = 'B';
  f[1] = 'M';
  for (int i = 0; i < 4; i++) f[2 + i] = uint8_t(total >> (8 * i));
  for (int i = 0; i < 4; i++) f[10 + i] = uint8_t(off >> (8 * i));
  f.insert(f.end(), dib.begin(), dib.end());
  return f;
}

}  // namespace

struct SlideRenderer::Image {
  IWICBitmapSource* bitmap = nullptr;
  HENHMETAFILE metafile = nullptr;
  ~Image() {
    if (bitmap) bitmap->Release();
    if (metafile) DeleteEnhMetaFile(metafile);
  }
};

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  dc_ = CreateCompatibleDC(nullptr);
  bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits_, nullptr, 0);
  if (bitmap_) old_ = SelectObject(dc_, bitmap_);
}

Canvas::~Canvas() {
  if (old_) SelectObject(dc_, old_);
  if (bitmap_) DeleteObject(bitmap_);
  if (dc_) DeleteDC(dc_);
}

bool SavePng(const Canvas& c, const std::string& path) {
  IWICImagingFactory* f = Factory();
  if (!f || !c.ok()) return false;
  GdiFlush();
  Com<IWICStream> stream;
  Com<IWICBitmapEncoder> encoder;
  Com<IWICBitmapFrameEncode> frame;
  if (FAILED(f->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromFilename(Wide(path).c_str(), GENERIC_WRITE)) ||
      FAILED(f->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(c.width(), c.height())))
    return false;
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
  if (FAILED(frame->SetPixelFormat(&format))) return false;
  if (!IsEqualGUID(format, GUID_WICPixelFormat32bppBGR)) {
    // The encoder wants another layout: hand it 24-bit rows.
    std::vector<uint8_t> rgb(size_t(c.width()) * 3 * c.height());
    UINT stride = UINT(c.width() * 3);
    for (int y = 0; y < c.height(); y++)
      for (int x = 0; x < c.width(); x++)
        for (int k = 0; k < 3; k++)
          rgb[size_t(y) * stride + x * 3 + k] = c.pixels()[(size_t(y) * c.width() + x) * 4 + k];
    if (FAILED(frame->WritePixels(c.height(), stride, UINT(rgb.size()), rgb.data()))) return false;
  } else {
    UINT stride = UINT(c.width() * 4);
    if (FAILED(frame->WritePixels(c.height(), stride, stride * c.height(),
                                  const_cast<BYTE*>(c.pixels()))))
      return false;
  }
  return SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

SlideRenderer::SlideRenderer(const ppt::Presentation& p) : p_(p), mapper_(new FontMapper) {}

SlideRenderer::~SlideRenderer() {
  for (auto& f : fonts_) DeleteObject(f.second);
}

SlideRenderer::Image* SlideRenderer::ImageFor(int blip) {
  if (blip < 0 || size_t(blip) >= p_.blips.size()) return nullptr;
  auto it = images_.find(blip);
  if (it != images_.end()) return it->second.get();
  std::unique_ptr<Image> img(new Image);
  const ppt::Blip& b = p_.blips[blip];
  if (b.type == ppt::Blip::kEmf && !b.data.empty()) {
    img->metafile = SetEnhMetaFileBits(UINT(b.data.size()), b.data.data());
  } else if (b.type == ppt::Blip::kWmf && b.data.size() > 22) {
    const uint8_t* d = b.data.data();
    size_t n = b.data.size();
    if (d[0] == 0xD7 && d[1] == 0xCD && d[2] == 0xC6 && d[3] == 0x9A) {
      d += 22;
      n -= 22;
    }
    METAFILEPICT mfp{MM_ANISOTROPIC, 0, 0, nullptr};
    img->metafile = SetWinMetaFileBits(UINT(n), d, nullptr, &mfp);
  } else if (b.type == ppt::Blip::kPng || b.type == ppt::Blip::kJpeg ||
             b.type == ppt::Blip::kTiff || b.type == ppt::Blip::kDib) {
    std::vector<uint8_t> file;
    const std::vector<uint8_t>* bytes = &b.data;
    if (b.type == ppt::Blip::kDib) {
      file = DibAsFile(b.data);
      bytes = &file;
    }
    IWICImagingFactory* f = Factory();
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICFormatConverter> conv;
    UINT w = 0, h = 0;
    if (f && !bytes->empty() && SUCCEEDED(f->CreateStream(&stream)) &&
        SUCCEEDED(
            stream->InitializeFromMemory(const_cast<BYTE*>(bytes->data()), DWORD(bytes->size()))) &&
        SUCCEEDED(f->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand,
                                             &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetSize(&w, &h)) && w > 0 &&
        h > 0 && uint64_t(w) * h <= (64u << 20) && SUCCEEDED(f->CreateFormatConverter(&conv)) &&
        SUCCEEDED(conv->Initialize(frame.p, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                   nullptr, 0, WICBitmapPaletteTypeCustom))) {
      IWICBitmap* decoded = nullptr;
      // Decoded once into memory: the stream over the picture bytes need not outlive this.
      if (SUCCEEDED(f->CreateBitmapFromSource(conv.p, WICBitmapCacheOnLoad, &decoded)))
        img->bitmap = decoded;
    }
  }
  Image* raw = img.get();
  images_[blip] = std::move(img);
  return raw;
}

void SlideRenderer::DrawImage(HDC dc, int blip, const RECT& r, const double* crop) {
  Image* img = ImageFor(blip);
  int w = r.right - r.left, h = r.bottom - r.top;
  if (!img || w <= 0 || h <= 0) return;
  // Crop fractions: top, bottom, left, right; negative ones (padding) are not applied.
  double ct = crop ? std::max(0.0, crop[0]) : 0, cb = crop ? std::max(0.0, crop[1]) : 0;
  double cl = crop ? std::max(0.0, crop[2]) : 0, cr = crop ? std::max(0.0, crop[3]) : 0;
  if (ct + cb >= 0.99 || cl + cr >= 0.99) ct = cb = cl = cr = 0;
  if (img->metafile) {
    int saved = SaveDC(dc);
    IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    double fw = w / (1 - cl - cr), fh = h / (1 - ct - cb);
    RECT full{r.left - int(cl * fw), r.top - int(ct * fh), r.right + int(cr * fw),
              r.bottom + int(cb * fh)};
    PlayEnhMetaFile(dc, img->metafile, &full);
    RestoreDC(dc, saved);
    return;
  }
  if (!img->bitmap || uint64_t(w) * h > (64u << 20)) return;
  IWICImagingFactory* f = Factory();
  UINT iw = 0, ih = 0;
  img->bitmap->GetSize(&iw, &ih);
  WICRect part{int(cl * iw), int(ct * ih), std::max(1, int(iw - (cl + cr) * iw)),
               std::max(1, int(ih - (ct + cb) * ih))};
  Com<IWICBitmapClipper> clipper;
  Com<IWICBitmapScaler> scaler;
  if (!f || FAILED(f->CreateBitmapClipper(&clipper)) ||
      FAILED(clipper->Initialize(img->bitmap, &part)) || FAILED(f->CreateBitmapScaler(&scaler)) ||
      FAILED(scaler->Initialize(clipper.p, UINT(w), UINT(h), WICBitmapInterpolationModeFant)))
    return;
  Canvas tmp(w, h);
  if (!tmp.ok()) return;
  if (FAILED(scaler->CopyPixels(nullptr, UINT(w * 4), UINT(w * 4 * h),
                                const_cast<BYTE*>(tmp.pixels()))))
    return;
  BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  sys::AlphaBlend(dc, r.left, r.top, w, h, tmp.dc(), 0, 0, w, h, bf);
}

HFONT SlideRenderer::Font(const ppt::Run& run, int height_px) {
  std::string face = mapper_->Resolve(run.font, run.pitch_family, run.charset);
  std::string key = face + "|" + std::to_string(height_px) + "|" + char('0' + run.bold) +
                    char('0' + run.italic) + char('0' + run.underline) +
                    std::to_string(run.charset);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  LOGFONTW lf{};
  lf.lfHeight = -std::max(1, height_px);
  lf.lfWeight = run.bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = run.italic;
  lf.lfUnderline = run.underline;
  lf.lfCharSet = run.charset == SYMBOL_CHARSET ? DEFAULT_CHARSET : run.charset;
  lf.lfOutPrecision = OUT_TT_PRECIS;
  lf.lfQuality = ANTIALIASED_QUALITY;
  lf.lfPitchAndFamily = run.pitch_family;
  std::wstring w = WideUtf8(face);
  wcsncpy(lf.lfFaceName, w.c_str(), LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectW(&lf);
  fonts_[key] = font;
  return font;
}

void SlideRenderer::Paint(HDC dc, size_t index, const RECT& where, std::string* text) {
  if (index >= p_.slides.size()) return;
  const ppt::Slide& slide = p_.slides[index];
  scale_ = double(where.right - where.left) / p_.width;
  origin_x_ = where.left;
  origin_y_ = where.top;
  int saved = SaveDC(dc);
  IntersectClipRect(dc, where.left, where.top, where.right, where.bottom);
  SetBkMode(dc, TRANSPARENT);
  SetStretchBltMode(dc, HALFTONE);
  const ppt::Fill& bg = slide.background;
  HBRUSH white = CreateSolidBrush(Ref(bg.color));
  FillRect(dc, &where, white);
  DeleteObject(white);
  if (bg.kind == ppt::Fill::kGradient) {
    TRIVERTEX v[2] = {{where.left, where.top, COLOR16(bg.color.r << 8), COLOR16(bg.color.g << 8),
                       COLOR16(bg.color.b << 8), 0},
                      {where.right, where.bottom, COLOR16(bg.color2.r << 8),
                       COLOR16(bg.color2.g << 8), COLOR16(bg.color2.b << 8), 0}};
    GRADIENT_RECT gr{0, 1};
    sys::GradientFill(dc, v, 2, &gr, 1, GRADIENT_FILL_RECT_V);
  } else if (bg.kind == ppt::Fill::kPicture) {
    DrawImage(dc, bg.blip, where);
  }
  for (const ppt::Shape& s : slide.shapes) DrawShape(dc, s, text);
  RestoreDC(dc, saved);
}

void SlideRenderer::DrawShape(HDC dc, const ppt::Shape& s, std::string* text) {
  ppt::Rect a = s.anchor;
  int rot = ((s.rotation % 360) + 360) % 360;
  if (((rot + 45) / 90) % 2 == 1) {
    // Shapes turned by about a quarter keep their anchor in the turned position.
    int32_t cx = (a.left + a.right) / 2, cy = (a.top + a.bottom) / 2;
    int32_t hw = a.width() / 2, hh = a.height() / 2;
    a = ppt::Rect{cx - hh, cy - hw, cx + hh, cy + hw};
  }
  RECT r{X(a.left), Y(a.top), X(a.right), Y(a.bottom)};
  int saved = SaveDC(dc);
  if (rot != 0) {
    SetGraphicsMode(dc, GM_ADVANCED);
    double rad = rot * 3.14159265358979 / 180.0, c = cos(rad), sn = sin(rad);
    double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
    XFORM x{float(c),
            float(sn),
            float(-sn),
            float(c),
            float(cx - cx * c + cy * sn),
            float(cy - cx * sn - cy * c)};
    SetWorldTransform(dc, &x);
  }
  HBRUSH brush = nullptr;
  if (s.fill.kind == ppt::Fill::kSolid || s.fill.kind == ppt::Fill::kGradient) {
    ppt::Rgb c = s.fill.color;
    if (s.fill.kind == ppt::Fill::kGradient)
      c = ppt::Rgb{uint8_t((c.r + s.fill.color2.r) / 2), uint8_t((c.g + s.fill.color2.g) / 2),
                   uint8_t((c.b + s.fill.color2.b) / 2)};
    brush = CreateSolidBrush(Ref(c));
  }
  HPEN pen = nullptr;
  if (s.line) {
    int width = std::max(1, Len(s.line_width / 12700.0 * 8));
    LOGBRUSH lb{BS_SOLID, Ref(s.line_color), 0};
    pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER, DWORD(width), &lb,
                       0, nullptr);
  }
  SelectObject(dc, brush ? static_cast<HGDIOBJ>(brush) : GetStockObject(NULL_BRUSH));
  SelectObject(dc, pen ? static_cast<HGDIOBJ>(pen) : GetStockObject(NULL_PEN));
  const bool draw_outline = brush || pen;
  int w = r.right - r.left, h = r.bottom - r.top;
  if (s.geometry == ppt::Shape::kLine) {
    if (pen) {
      int x1 = s.flip_h ? r.right : r.left, x2 = s.flip_h ? r.left : r.right;
      int y1 = s.flip_v ? r.bottom : r.top, y2 = s.flip_v ? r.top : r.bottom;
      MoveToEx(dc, x1, y1, nullptr);
      LineTo(dc, x2, y2);
    }
  } else if (s.fill.kind == ppt::Fill::kPicture) {
    DrawImage(dc, s.fill.blip, r);
    if (pen) {
      SelectObject(dc, GetStockObject(NULL_BRUSH));
      Rectangle(dc, r.left, r.top, r.right + 1, r.bottom + 1);
    }
  } else if (draw_outline) {
    POINT pts[8];
    int n = 0;
    auto P = [&](double fx, double fy) {
      pts[n++] = POINT{r.left + int(w * fx), r.top + int(h * fy)};
    };
    switch (s.geometry) {
      case ppt::Shape::kEllipse:
        Ellipse(dc, r.left, r.top, r.right + 1, r.bottom + 1);
        break;
      case ppt::Shape::kRoundRect: {
        int rr = std::min(w, h) / 3;
        RoundRect(dc, r.left, r.top, r.right + 1, r.bottom + 1, rr, rr);
        break;
      }
      case ppt::Shape::kTriangle:
        P(0.5, 0), P(1, 1), P(0, 1);
        break;
      case ppt::Shape::kRightTriangle:
        P(0, 0), P(1, 1), P(0, 1);
        break;
      case ppt::Shape::kDiamond:
        P(0.5, 0), P(1, 0.5), P(0.5, 1), P(0, 0.5);
        break;
      case ppt::Shape::kParallelogram:
        P(0.25, 0), P(1, 0), P(0.75, 1), P(0, 1);
        break;
      case ppt::Shape::kTrapezoid:
        P(0, 0), P(1, 0), P(0.75, 1), P(0.25, 1);
        break;
      case ppt::Shape::kHexagon:
        P(0.25, 0), P(0.75, 0), P(1, 0.5), P(0.75, 1), P(0.25, 1), P(0, 0.5);
        break;
      case ppt::Shape::kOctagon:
        P(0.3, 0), P(0.7, 0), P(1, 0.3), P(1, 0.7), P(0.7, 1), P(0.3, 1), P(0, 0.7), P(0, 0.3);
        break;
      case ppt::Shape::kFreeform:
        break;
      default:
        Rectangle(dc, r.left, r.top, r.right + 1, r.bottom + 1);
        break;
    }
    if (s.geometry == ppt::Shape::kFreeform && s.path.size() >= 2) {
      std::vector<POINT> path;
      for (const ppt::Shape::Point& pt : s.path)
        path.push_back(POINT{r.left + int(w * (s.flip_h ? 1 - pt.x : pt.x)),
                             r.top + int(h * (s.flip_v ? 1 - pt.y : pt.y))});
      if (brush)
        Polygon(dc, path.data(), int(path.size()));
      else
        Polyline(dc, path.data(), int(path.size()));
    }
    if (n) {
      if (s.flip_h)
        for (int i = 0; i < n; i++) pts[i].x = r.left + r.right - pts[i].x;
      if (s.flip_v)
        for (int i = 0; i < n; i++) pts[i].y = r.top + r.bottom - pts[i].y;
      Polygon(dc, pts, n);
    }
  }
  if (s.picture >= 0) DrawImage(dc, s.picture, r, s.crop);
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  SelectObject(dc, GetStockObject(BLACK_PEN));
  if (brush) DeleteObject(brush);
  if (pen) DeleteObject(pen);
  if (!s.text.paragraphs.empty()) {
    RECT box{X(a.left + s.text.insets.left), Y(a.top + s.text.insets.top),
             X(a.right - s.text.insets.right), Y(a.bottom - s.text.insets.bottom)};
    DrawText(dc, s, box, text);
  }
  RestoreDC(dc, saved);
}

namespace {

struct Piece {
  const ppt::Run* run;
  std::wstring text;
  HFONT font;
  int width = 0, ascent = 0, descent = 0;
  bool space = false, brk = false;
};

struct Line {
  std::vector<Piece> pieces;
  int width = 0;  // without trailing blanks
  int ascent = 0, descent = 0;
  int height = 0;  // with line spacing
  int used = 0;    // with trailing blanks
};

bool BreaksAnywhere(wchar_t c) {
  return c >= 0x2E80 && c < 0xFF00;
}

}  // namespace

void SlideRenderer::DrawText(HDC dc, const ppt::Shape& s, const RECT& box, std::string* text) {
  struct Para {
    std::vector<Line> lines;
    int first_x = 0, rest_x = 0, bullet_x = 0;
    int before = 0, after = 0;
    const ppt::Paragraph* p;
  };
  std::vector<Para> paras;
  int total = 0;
  const int avail_all = s.text.wrap ? std::max(1, int(box.right - box.left)) : INT32_MAX / 4;
  for (const ppt::Paragraph& p : s.text.paragraphs) {
    Para para;
    para.p = &p;
    para.bullet_x = Len(std::max(0, p.indent));
    para.rest_x = Len(std::max(0, p.left_margin));
    para.first_x = p.bullet ? std::max(para.rest_x, para.bullet_x) : Len(std::max(0, p.indent));
    if (p.bullet && !p.runs.empty()) {
      // Text that would start under its bullet starts after it.
      const ppt::Run& br = p.runs[0];
      SelectObject(dc,
                   Font(br, Len(br.size * 8.0 * std::min(400, std::max(25, p.bullet_size)) / 100)));
      SIZE sz{};
      wchar_t bc = wchar_t(p.bullet_char);
      GetTextExtentPoint32W(dc, &bc, 1, &sz);
      para.first_x = std::max(para.first_x, int(para.bullet_x + sz.cx + Len(br.size * 8.0 / 4)));
    }
    std::vector<Piece> pieces;
    std::string plain;
    for (const ppt::Run& run : p.runs) {
      HFONT font = Font(run, Len(run.size * 8.0));
      SelectObject(dc, font);
      TEXTMETRICW tm;
      GetTextMetricsW(dc, &tm);
      plain += ppt::ToUtf8(run.text);
      auto flush = [&](std::wstring& cur, bool space) {
        if (cur.empty()) return;
        Piece pc{&run, cur, font};
        SIZE sz{};
        GetTextExtentPoint32W(dc, cur.c_str(), int(cur.size()), &sz);
        pc.width = sz.cx;
        pc.ascent = tm.tmAscent;
        pc.descent = tm.tmDescent;
        pc.space = space;
        pieces.push_back(pc);
        cur.clear();
      };
      std::wstring cur;
      bool cur_space = false;
      for (char16_t ch16 : run.text) {
        wchar_t ch = wchar_t(ch16);
        if (ch == 0x0B) {
          flush(cur, cur_space);
          Piece br{&run, L"", font};
          br.brk = true;
          br.ascent = tm.tmAscent;
          br.descent = tm.tmDescent;
          pieces.push_back(br);
          continue;
        }
        if (ch == L'\t') ch = L' ';
        if (ch < 0x20) continue;
        bool sp = ch == L' ';
        if (!cur.empty() && (sp != cur_space || BreaksAnywhere(ch))) flush(cur, cur_space);
        cur_space = sp;
        cur += ch;
        if (BreaksAnywhere(ch)) flush(cur, cur_space);
      }
      flush(cur, cur_space);
    }
    if (text) *text += plain + "\n";
    // Greedy line filling.
    Line line;
    auto finish = [&]() {
      para.lines.push_back(line);
      line = Line();
    };
    int x_start = para.first_x;
    for (size_t i = 0; i < pieces.size(); i++) {
      Piece& pc = pieces[i];
      int avail = avail_all - (para.lines.empty() ? x_start : para.rest_x);
      line.ascent = std::max(line.ascent, pc.ascent);
      line.descent = std::max(line.descent, pc.descent);
      if (pc.brk) {
        finish();
        continue;
      }
      int used = line.used;
      if (!pc.space && used + pc.width > avail && line.width > 0) {
        finish();
        line.ascent = pc.ascent;
        line.descent = pc.descent;
        used = 0;
      }
      if (!pc.space && pc.width > avail && pc.text.size() > 1 && used == 0) {
        // A word longer than the line: break it between characters.
        SelectObject(dc, pc.font);
        INT fit_count = 0;
        SIZE whole{};
        GetTextExtentExPointW(dc, pc.text.c_str(), int(pc.text.size()), avail, &fit_count, nullptr,
                              &whole);
        size_t fit = std::min(std::max<size_t>(size_t(fit_count), 1), pc.text.size() - 1);
        Piece rest = pc;
        rest.text = pc.text.substr(fit);
        pc.text.resize(fit);
        SIZE a{}, b{};
        GetTextExtentPoint32W(dc, pc.text.c_str(), int(pc.text.size()), &a);
        GetTextExtentPoint32W(dc, rest.text.c_str(), int(rest.text.size()), &b);
        pc.width = a.cx;
        rest.width = b.cx;
        pieces.insert(pieces.begin() + i + 1, rest);
        line.pieces.push_back(pieces[i]);
        line.width = line.used = used + pieces[i].width;
        finish();
        continue;
      }
      if (line.pieces.empty() && pc.space && !para.lines.empty()) continue;  // leading blanks
      line.pieces.push_back(pc);
      line.used = used + pc.width;
      if (!pc.space) line.width = line.used;
    }
    if (line.ascent == 0 && !p.runs.empty()) {
      SelectObject(dc, Font(p.runs[0], Len(p.runs[0].size * 8.0)));
      TEXTMETRICW tm;
      GetTextMetricsW(dc, &tm);
      line.ascent = tm.tmAscent;
      line.descent = tm.tmDescent;
    } else if (line.ascent == 0) {
      line.ascent = Len(18 * 8 * 0.9);
      line.descent = Len(18 * 8 * 0.25);
    }
    finish();
    int size_px = Len((p.runs.empty() ? 18 : p.runs[0].size) * 8.0);
    auto spacing = [&](int v) { return v >= 0 ? size_px * v / 100 : Len(-v); };
    for (Line& l : para.lines) {
      int natural = l.ascent + l.descent;
      // A percentage is of a single line, which is 1.2 times the text size; spacing tighter than
      // the font's own line height would make lines touch, so it is not applied.
      int em = std::max(1, l.ascent + l.descent) * 100 / 115;
      l.height = p.line_spacing >= 0 ? em * 12 * p.line_spacing / 1000 : Len(-p.line_spacing);
      l.height = std::max(l.height, natural);
      total += l.height;
    }
    if (!paras.empty()) para.before = spacing(p.space_before);
    para.after = spacing(p.space_after);
    total += para.before + (&p != &s.text.paragraphs.back() ? para.after : 0);
    paras.push_back(std::move(para));
  }
  int y = box.top;
  int room = box.bottom - box.top;
  if (s.text.anchor == ppt::TextBody::kMiddle) y += (room - total) / 2;
  if (s.text.anchor == ppt::TextBody::kBottom) y += room - total;
  SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
  SetBkMode(dc, TRANSPARENT);
  for (const Para& para : paras) {
    y += para.before;
    for (size_t li = 0; li < para.lines.size(); li++) {
      const Line& l = para.lines[li];
      int start = li == 0 ? para.first_x : para.rest_x;
      int avail = (box.right - box.left) - start;
      int x = box.left + start;
      if (para.p->align == ppt::Paragraph::kCenter) x += (avail - l.width) / 2;
      if (para.p->align == ppt::Paragraph::kRight) x += avail - l.width;
      int base = y + l.height - l.descent;
      if (li == 0 && para.p->bullet && !para.p->runs.empty() && !l.pieces.empty()) {
        ppt::Run br = para.p->runs[0];
        int size_px = Len(br.size * 8.0 * std::min(400, std::max(25, para.p->bullet_size)) / 100);
        SelectObject(dc, Font(br, size_px));
        SetTextColor(dc, Ref(para.p->bullet_color));
        wchar_t bc = wchar_t(para.p->bullet_char);
        int bx = para.p->align == ppt::Paragraph::kLeft || para.p->align == ppt::Paragraph::kJustify
                     ? box.left + para.bullet_x
                     : x - Len(br.size * 8.0 * 0.6);
        ExtTextOutW(dc, bx, base, 0, nullptr, &bc, 1, nullptr);
      }
      for (const Piece& pc : l.pieces) {
        SelectObject(dc, pc.font);
        SetTextColor(dc, Ref(pc.run->color));
        ExtTextOutW(dc, x, base, 0, nullptr, pc.text.c_str(), UINT(pc.text.size()), nullptr);
        x += pc.width;
      }
      y += l.height;
    }
    y += para.after;
  }
}

}  // namespace viewer
