#include "app/fonts_win.h"

#include <cctype>

#include "text/font_substitutes.h"

namespace viewer {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = char(toupper(static_cast<unsigned char>(c)));
  return s;
}

int CALLBACK AddFace(const LOGFONTA* lf, const TEXTMETRICA*, DWORD, LPARAM param) {
  reinterpret_cast<std::set<std::string>*>(param)->insert(Upper(lf->lfFaceName));
  return 1;
}

}  // namespace

FontMapper::FontMapper() {
  HDC dc = GetDC(nullptr);
  LOGFONTA lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExA(dc, &lf, AddFace, reinterpret_cast<LPARAM>(&installed_), 0);
  ReleaseDC(nullptr, dc);
}

bool FontMapper::Installed(const std::string& face) const {
  return installed_.count(Upper(face)) != 0;
}

std::string FontMapper::Resolve(const std::string& face, uint8_t pitch_family,
                                uint8_t charset) const {
  return text::ChooseFace(face, pitch_family, charset,
                          [this](const std::string& f) { return Installed(f); });
}

}  // namespace viewer
