#include "app/render_win.h"

#include <wincodec.h>

#include <algorithm>
#include <cmath>

#include "app/fonts_win.h"
#include "app/mac_picture.h"
#include "app/metafile_filter.h"
#include "app/paint_util_win.h"
#include "app/system_api_win.h"
#include "common/le_bytes.h"
#include "common/system_dll_win.h"
#include "paint/blend.h"
#include "paint/place_pixels.h"

namespace viewer {
namespace {

// A device-independent bitmap file around the bare bitmap the picture store keeps, so that the
// system's BMP codec can read it.
std::vector<uint8_t> DibAsFile(const uint8_t* dib, size_t size) {
  if (size < 40 || size > UINT32_MAX - 14) return {};
  uint32_t header = kestrane::le::Get32(dib);
  uint16_t bits = kestrane::le::Get16(dib + 14);
  uint32_t compression = kestrane::le::Get32(dib + 16);
  uint32_t used = kestrane::le::Get32(dib + 32);
  if (header < 12 || header > 1024) return {};
  uint64_t palette = bits <= 8 ? uint64_t(used ? used : (1u << bits)) * 4 : uint64_t(used) * 4;
  if (header == 40 && compression == 3) palette += 12;
  uint64_t off = 14 + header + palette;
  std::vector<uint8_t> f(14, 0);
  uint32_t total = uint32_t(14 + size);
  f[0] = 'B';
  f[1] = 'M';
  for (int i = 0; i < 4; i++) f[2 + i] = uint8_t(total >> (8 * i));
  for (int i = 0; i < 4; i++) f[10 + i] = uint8_t(off >> (8 * i));
  f.insert(f.end(), dib, dib + size);
  return f;
}

// What stands where a picture cannot be shown: a light box with a frame and a cross, drawn as a
// metafile so that it scales, crops and turns like the picture would have.
HENHMETAFILE PlaceholderBox() {
  RECT frame{0, 0, 10000, 10000};  // hundredths of a millimetre; played stretched to the shape
  HDC dc = CreateEnhMetaFileA(nullptr, nullptr, &frame, nullptr);
  if (!dc) return nullptr;
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowExtEx(dc, 1000, 1000, nullptr);
  SetViewportExtEx(dc, GetDeviceCaps(dc, HORZRES) * 100 / std::max(1, GetDeviceCaps(dc, HORZSIZE)),
                   GetDeviceCaps(dc, VERTRES) * 100 / std::max(1, GetDeviceCaps(dc, VERTSIZE)),
                   nullptr);
  {
    AutoBrush fill(CreateSolidBrush(RGB(242, 242, 242)));
    AutoPen edge(CreatePen(PS_SOLID, 0, RGB(160, 160, 160)));
    ScopedSelect b(dc, fill.get());
    ScopedSelect p(dc, edge.get());
    Rectangle(dc, 0, 0, 1000, 1000);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 1000, 1000);
    MoveToEx(dc, 1000, 0, nullptr);
    LineTo(dc, 0, 1000);
  }
  return CloseEnhMetaFile(dc);
}

size_t MetafileBytes(HENHMETAFILE m) {
  return m ? size_t(GetEnhMetaFileBits(m, 0, nullptr)) : 0;
}

// The decoder for the picture's declared type, made by the system's own imaging library: never
// one the registry would pick among installed codecs, which may be anybody's.
bool SystemDecoder(ppt::Blip::Type type, IWICBitmapDecoder** out) {
  const CLSID* clsid = type == ppt::Blip::kPng    ? &CLSID_WICPngDecoder
                       : type == ppt::Blip::kJpeg ? &CLSID_WICJpegDecoder
                       : type == ppt::Blip::kTiff ? &CLSID_WICTiffDecoder
                       : type == ppt::Blip::kDib  ? &CLSID_WICBmpDecoder
                                                  : nullptr;
  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  static const GetClassObjectFn get_class_object = [] {
    return kestrane::SystemFunction<GetClassObjectFn>("windowscodecs.dll", "DllGetClassObject");
  }();
  ComPtr<IClassFactory> factory;
  return clsid && get_class_object &&
         SUCCEEDED(get_class_object(*clsid, IID_IClassFactory, factory.receive_void())) &&
         SUCCEEDED(factory->CreateInstance(nullptr, IID_IWICBitmapDecoder,
                                           reinterpret_cast<void**>(out)));
}

// Decodes a bitmap picture with the system's codec for its type, scaled down to the largest size
// worth keeping; null when it cannot be decoded within the limits.
IWICBitmapSource* DecodeBitmap(IWICImagingFactory* f, ppt::Blip::Type type, const uint8_t* data,
                               size_t size) {
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> conv;
  ComPtr<IWICBitmapScaler> scaler;
  UINT w = 0, h = 0;
  if (!f || !size || size > UINT32_MAX || FAILED(f->CreateStream(stream.receive())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), DWORD(size))) ||
      !SystemDecoder(type, decoder.receive()) ||
      FAILED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)) ||
      FAILED(decoder->GetFrame(0, frame.receive())) || FAILED(frame->GetSize(&w, &h)) || w == 0 ||
      h == 0 || uint64_t(w) * h > kMaxSourcePixels ||
      FAILED(f->CreateFormatConverter(conv.receive())) ||
      FAILED(conv->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                              nullptr, 0, WICBitmapPaletteTypeCustom)))
    return nullptr;
  IWICBitmapSource* source = conv.get();
  uint64_t pixels = uint64_t(w) * h;
  if (pixels > kMaxDecodedPixels) {
    double k = std::sqrt(double(kMaxDecodedPixels) / double(pixels));
    UINT sw = std::max(1u, UINT(w * k)), sh = std::max(1u, UINT(h * k));
    if (FAILED(f->CreateBitmapScaler(scaler.receive())) ||
        FAILED(scaler->Initialize(conv.get(), sw, sh, WICBitmapInterpolationModeFant)))
      return nullptr;
    source = scaler.get();
  }
  IWICBitmap* decoded = nullptr;
  // Decoded once into memory: the stream over the picture bytes need not outlive this.
  if (FAILED(f->CreateBitmapFromSource(source, WICBitmapCacheOnLoad, &decoded))) return nullptr;
  return decoded;
}

constexpr size_t kPlaceableHeader = 22;  // the position and size some Windows metafiles lead with

bool FaceGenuine(const char16_t* face, size_t length, void* fonts) {
  return static_cast<FontMapper*>(fonts)->Genuine(std::u16string(face, length));
}

bool SymbolsDrawn(const char16_t* face, size_t length, void* fonts) {
  return static_cast<FontMapper*>(fonts)->SymbolsDrawn(std::u16string(face, length));
}

// Played only without the records that name files or reach devices; null when malformed.
HENHMETAFILE SafeEnhancedMetafile(const uint8_t* data, size_t size, FontMapper& fonts) {
  std::vector<uint8_t> kept;
  MetafileFonts fitted;
  fitted.genuine = FaceGenuine;
  fitted.symbols_drawn = SymbolsDrawn;
  const std::string unicode_face = fonts.UnicodeFace();
  fitted.unicode_face.assign(unicode_face.begin(), unicode_face.end());
  fitted.context = &fonts;
  if (!FilterEnhancedMetafile(data, size, &kept, nullptr, &fitted) || kept.size() > UINT32_MAX)
    return nullptr;
  return SetEnhMetaFileBits(UINT(kept.size()), kept.data());
}

// Windows metafile records: a size in 16-bit words and a function, after a header of words.
constexpr size_t kWmfHeaderWordsAt = 2, kWmfRecordHeader = 6;
constexpr uint16_t kWmfSetWindowExt = 0x020C;
constexpr long kWmfFrameHimetric = 50000;  // the longer side of the frame it is converted into

bool SetsItsWindow(const std::vector<uint8_t>& wmf) {
  if (wmf.size() < kWmfHeaderWordsAt + 2) return false;
  size_t at = size_t(kestrane::le::Get16(wmf.data() + kWmfHeaderWordsAt)) * 2;
  while (at + kWmfRecordHeader <= wmf.size()) {
    const uint8_t* r = wmf.data() + at;
    const size_t words = kestrane::le::Get32(r);
    if (kestrane::le::Get16(r + 4) == kWmfSetWindowExt) return true;
    if (words < 3 || words > (wmf.size() - at) / 2) return false;
    at += words * 2;
  }
  return false;
}

// Converted to an enhanced metafile, which is filtered again: the conversion restores an
// enhanced metafile kept in the Windows metafile's comments, whose records the first pass
// does not see. A metafile that sets its own window is converted into a frame of the picture's
// proportions, so that its window, however often it changes, always spans the whole picture
// (as the metafile is played into the picture's box); left to itself, the conversion frames
// whatever was drawn instead.
HENHMETAFILE SafeWindowsMetafile(const uint8_t* data, size_t size, const ppt::Rect& bounds,
                                 FontMapper& fonts) {
  std::vector<uint8_t> kept;
  if (!FilterWindowsMetafile(data, size, &kept) || kept.size() > UINT32_MAX) return nullptr;
  METAFILEPICT mfp{MM_ANISOTROPIC, 0, 0, nullptr};
  const double w = double(bounds.right) - bounds.left, h = double(bounds.bottom) - bounds.top;
  if (w > 0 && h > 0 && SetsItsWindow(kept)) {
    const double k = kWmfFrameHimetric / std::max(w, h);
    mfp.xExt = std::max(1L, std::lround(w * k));
    mfp.yExt = std::max(1L, std::lround(h * k));
  }
  kestrane::AutoMetafile converted(
      SetWinMetaFileBits(UINT(kept.size()), kept.data(), nullptr, &mfp));
  if (!converted) return nullptr;
  std::vector<uint8_t> bits(GetEnhMetaFileBits(converted.get(), 0, nullptr));
  UINT got = bits.empty() ? 0 : GetEnhMetaFileBits(converted.get(), UINT(bits.size()), bits.data());
  return got ? SafeEnhancedMetafile(bits.data(), got, fonts) : nullptr;
}

}  // namespace

std::unique_ptr<SlideRenderer::Image> SlideRenderer::Decode(int blip) {
  std::unique_ptr<Image> img(new Image);
  const ppt::Blip& b = p_.blips[size_t(blip)];
  ppt::PictureBytes bytes = p_.Picture(blip);
  const uint8_t* d = bytes.data;
  size_t n = bytes.size;
  if (!bytes.ok() || n > UINT32_MAX) {
    // unreadable, or beyond the picture store's limits
  } else if (b.type == ppt::Blip::kEmf) {
    img->metafile.reset(SafeEnhancedMetafile(d, n, *mapper_));
  } else if (b.type == ppt::Blip::kWmf && n > kPlaceableHeader) {
    if (d[0] == 0xD7 && d[1] == 0xCD && d[2] == 0xC6 && d[3] == 0x9A) {
      d += kPlaceableHeader;
      n -= kPlaceableHeader;
    }
    img->metafile.reset(SafeWindowsMetafile(d, n, b.bounds, *mapper_));
  } else if (b.type == ppt::Blip::kPict) {
    std::vector<uint8_t> wmf;
    if (MacPictureToMetafile(d, n, &wmf))
      img->metafile.reset(SafeWindowsMetafile(wmf.data(), wmf.size(), b.bounds, *mapper_));
  } else if (b.type == ppt::Blip::kPng || b.type == ppt::Blip::kJpeg ||
             b.type == ppt::Blip::kTiff || b.type == ppt::Blip::kDib) {
    std::vector<uint8_t> file;
    if (b.type == ppt::Blip::kDib) {
      file = DibAsFile(d, n);
      d = file.data();
      n = file.size();
    }
    img->bitmap.reset(DecodeBitmap(Factory(), b.type, d, n));
  }
  if (img->bitmap) {
    UINT w = 0, h = 0;
    img->bitmap->GetSize(&w, &h);
    img->bytes = size_t(w) * h * 4;
  } else if (!img->metafile && budget_.Framed(blip)) {
    img->metafile.reset(PlaceholderBox());
  }
  img->bytes += MetafileBytes(img->metafile.get());
  return img;
}

SlideRenderer::Image* SlideRenderer::ImageFor(int blip) {
  if (blip < 0 || size_t(blip) >= p_.blips.size()) return nullptr;
  auto it = images_.find(blip);
  if (it != images_.end()) {
    budget_.Used(blip);
    return it->second.get();
  }
  std::unique_ptr<Image> img = Decode(blip);
  Image* raw = img.get();
  budget_.Kept(blip, img->bytes);
  images_[blip] = std::move(img);
  // Pictures of slides far from the one on screen make room; never the one just made.
  for (int victim : budget_.Overflow(blip)) {
    images_.erase(victim);
    budget_.Dropped(victim);
  }
  return raw;
}

bool SlideRenderer::Prefetch(const std::vector<size_t>& order, size_t pos) {
  if (pos >= order.size() || order[pos] != budget_.current()) return false;
  int blip = budget_.Upcoming(order, pos, kPrefetchSlides, prefetched_);
  if (blip < 0) return false;
  prefetched_.insert(blip);
  ImageFor(blip);
  return true;
}

void SlideRenderer::DrawImage(HDC dc, int blip, const RECT& r, const double* crop,
                              const ppt::PictureAdjust* adjust, bool mirror_x, bool mirror_y) {
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
    if (mirror_x || mirror_y) {
      // Mirrored about the box's centre before whatever turns the shape.
      const float fx = mirror_x ? -1.f : 1.f, fy = mirror_y ? -1.f : 1.f;
      const XFORM flip{fx,
                       0,
                       0,
                       fy,
                       float(r.left + r.right) * (1 - fx) / 2,
                       float(r.top + r.bottom) * (1 - fy) / 2};
      SetGraphicsMode(dc, GM_ADVANCED);
      ModifyWorldTransform(dc, &flip, MWT_LEFTMULTIPLY);
    }
    double fw = w / (1 - cl - cr), fh = h / (1 - ct - cb);
    RECT full{r.left - int(cl * fw), r.top - int(ct * fh), r.right + int(cr * fw),
              r.bottom + int(cb * fh)};
    PlayEnhMetaFile(dc, img->metafile.get(), &full);
    RestoreDC(dc, saved);
    return;
  }
  if (!img->bitmap || uint64_t(w) * h > (64u << 20)) return;
  IWICImagingFactory* f = Factory();
  UINT iw = 0, ih = 0;
  img->bitmap->GetSize(&iw, &ih);
  WICRect part{int(cl * iw), int(ct * ih), std::max(1, int(iw - (cl + cr) * iw)),
               std::max(1, int(ih - (ct + cb) * ih))};
  ComPtr<IWICBitmapClipper> clipper;
  ComPtr<IWICBitmapScaler> scaler;
  if (!f || FAILED(f->CreateBitmapClipper(clipper.receive())) ||
      FAILED(clipper->Initialize(img->bitmap.get(), &part)) ||
      FAILED(f->CreateBitmapScaler(scaler.receive())) ||
      FAILED(scaler->Initialize(clipper.get(), UINT(w), UINT(h), WICBitmapInterpolationModeFant)))
    return;
  Canvas tmp(w, h);
  if (!tmp.ok()) return;
  if (FAILED(scaler->CopyPixels(nullptr, UINT(w * 4), UINT(w * 4 * h),
                                const_cast<BYTE*>(tmp.pixels()))))
    return;
  if (adjust) paint::AdjustPixels(const_cast<uint8_t*>(tmp.pixels()), w, h, *adjust);
  BlendPixels(dc, tmp, r, mirror_x, mirror_y);
}

// Blends `pixels` (as large as `r`) into `r` through the DC's world transform. The system's
// blend takes only upright, unmirrored rectangles: a turned or mirrored picture is resampled
// onto the device's pixels first and blended there without a transform.
void SlideRenderer::BlendPixels(HDC dc, const Canvas& pixels, const RECT& r, bool mirror_x,
                                bool mirror_y) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  XFORM x{1, 0, 0, 1, 0, 0};
  if (GetGraphicsMode(dc) == GM_ADVANCED) GetWorldTransform(dc, &x);
  if (!mirror_x && !mirror_y && x.eM12 == 0 && x.eM21 == 0 && x.eM11 > 0 && x.eM22 > 0) {
    sys::AlphaBlend(dc, r.left, r.top, w, h, pixels.dc(), 0, 0, w, h, bf);
    return;
  }
  // Picture pixels to logical units (mirrored within the box), then through the transform.
  const double sx = mirror_x ? -1 : 1, sy = mirror_y ? -1 : 1;
  const double lx = mirror_x ? r.right : r.left, ly = mirror_y ? r.bottom : r.top;
  paint::Affine m;
  m.a = x.eM11 * sx;
  m.b = x.eM12 * sx;
  m.c = x.eM21 * sy;
  m.d = x.eM22 * sy;
  m.e = x.eM11 * lx + x.eM21 * ly + x.eDx;
  m.f = x.eM12 * lx + x.eM22 * ly + x.eDy;
  double x0 = 1e18, y0 = 1e18, x1 = -1e18, y1 = -1e18;
  for (double u : {0, w})
    for (double v : {0, h}) {
      const double dx = m.a * u + m.c * v + m.e, dy = m.b * u + m.d * v + m.f;
      x0 = std::min(x0, dx);
      y0 = std::min(y0, dy);
      x1 = std::max(x1, dx);
      y1 = std::max(y1, dy);
    }
  if (!(x1 - x0 < 16384 && y1 - y0 < 16384)) return;
  const int bx = int(std::floor(x0)), by = int(std::floor(y0));
  const int bw = int(std::ceil(x1)) - bx, bh = int(std::ceil(y1)) - by;
  if (bw <= 0 || bh <= 0 || uint64_t(bw) * uint64_t(bh) > (64u << 20)) return;
  Canvas placed(bw, bh);
  if (!placed.ok()) return;
  m.e -= bx;
  m.f -= by;
  paint::PlacePixels(pixels.pixels(), w, h, m, const_cast<uint8_t*>(placed.pixels()), bw, bh);
  ScopedSaveDC saved(dc);
  ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
  sys::AlphaBlend(dc, bx, by, bw, bh, placed.dc(), 0, 0, bw, bh, bf);
}

}  // namespace viewer
