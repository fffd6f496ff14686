#include "app/render_win.h"

#include <wincodec.h>

#include <algorithm>
#include <cmath>

#include "app/fonts_win.h"
#include "app/paint_util_win.h"
#include "app/system_api_win.h"

namespace viewer {

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

std::wstring Wide(const std::string& s, UINT code_page) {
  int n = MultiByteToWideChar(code_page, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(n > 0 ? n : 1, L'\0');
  MultiByteToWideChar(code_page, 0, s.c_str(), -1, &w[0], n);
  w.resize(wcslen(w.c_str()));
  return w;
}

std::wstring WideUtf8(const std::string& s) {
  return Wide(s, CP_UTF8);
}

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  dc_.reset(CreateCompatibleDC(nullptr));
  bitmap_.reset(CreateDIBSection(dc_.get(), &bi, DIB_RGB_COLORS, &bits_, nullptr, 0));
  if (bitmap_) selected_.reset(new ScopedSelect(dc_.get(), bitmap_.get()));
}

bool SavePng(const Canvas& c, const std::string& path) {
  IWICImagingFactory* f = Factory();
  if (!f || !c.ok()) return false;
  GdiFlush();
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  if (FAILED(f->CreateStream(stream.receive())) ||
      FAILED(stream->InitializeFromFilename(Wide(path).c_str(), GENERIC_WRITE)) ||
      FAILED(f->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.receive())) ||
      FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(frame.receive(), nullptr)) ||
      FAILED(frame->Initialize(nullptr)) || FAILED(frame->SetSize(c.width(), c.height())))
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

}  // namespace viewer
