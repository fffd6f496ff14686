#include "app/fonts_win.h"

#include <cctype>
#include <map>
#include <vector>

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

const std::vector<std::string> kSans = {"Arial", "Liberation Sans", "DejaVu Sans", "Tahoma"};
const std::vector<std::string> kSerif = {"Times New Roman", "Liberation Serif", "DejaVu Serif"};
const std::vector<std::string> kMono = {"Courier New", "Liberation Mono", "DejaVu Sans Mono"};

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
  if (!face.empty() && Installed(face)) return face;
  static const std::map<std::string, std::vector<std::string>> kLookAlikes = {
      {"CALIBRI", {"Carlito", "Arial", "Liberation Sans"}},
      {"CAMBRIA", {"Caladea", "Times New Roman", "Liberation Serif"}},
      {"ARIAL", {"Liberation Sans", "Arimo", "Helvetica"}},
      {"HELVETICA", {"Arial", "Liberation Sans"}},
      {"ARIAL NARROW", {"Liberation Sans Narrow", "Arial"}},
      {"TIMES NEW ROMAN", {"Liberation Serif", "Tinos", "Times"}},
      {"TIMES", {"Times New Roman", "Liberation Serif"}},
      {"COURIER NEW", {"Liberation Mono", "Cousine", "Courier"}},
      {"COURIER", {"Courier New", "Liberation Mono"}},
      {"GEORGIA", {"Gelasio", "Times New Roman", "Liberation Serif", "DejaVu Serif"}},
      {"VERDANA", {"DejaVu Sans", "Tahoma", "Arial"}},
      {"TAHOMA", {"DejaVu Sans", "Arial"}},
      {"TREBUCHET MS", {"Arial", "Liberation Sans"}},
      {"GARAMOND", {"Times New Roman", "Liberation Serif"}},
      {"BOOK ANTIQUA", {"Times New Roman", "Liberation Serif"}},
      {"CENTURY GOTHIC", {"Arial", "Liberation Sans"}},
      {"COMIC SANS MS", {"Arial", "Liberation Sans"}},
      {"WINGDINGS", {"Wingdings", "OpenSymbol", "Symbol"}},
  };
  auto it = kLookAlikes.find(Upper(face));
  if (it != kLookAlikes.end())
    for (const std::string& f : it->second)
      if (Installed(f)) return f;
  // East Asian faces: leave the choice to the font mapper, which links a face of that script.
  if (charset == SHIFTJIS_CHARSET || charset == HANGUL_CHARSET || charset == GB2312_CHARSET ||
      charset == CHINESEBIG5_CHARSET)
    return face;
  int family = pitch_family & 0xF0;
  const std::vector<std::string>& generic =
      family == FF_ROMAN                                         ? kSerif
      : family == FF_MODERN || (pitch_family & 3) == FIXED_PITCH ? kMono
                                                                 : kSans;
  for (const std::string& f : generic)
    if (Installed(f)) return f;
  return face;
}

}  // namespace viewer
