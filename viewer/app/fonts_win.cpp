#include "app/fonts_win.h"

#include <algorithm>
#include <cctype>
#include <cwctype>
#include <vector>

#include "common/scoped_win.h"
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
  kestrane::WindowDC dc(nullptr);
  LOGFONTA lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExA(dc.get(), &lf, AddFace, reinterpret_cast<LPARAM>(&installed_), 0);
}

bool FontMapper::Installed(const std::string& face) const {
  return installed_.count(Upper(face)) != 0;
}

namespace {

// A face asked for by name at a size where outlines and glyphs can be told apart.
HFONT ProbeFont(const std::u16string& face) {
  LOGFONTW lf{};
  lf.lfHeight = -64;
  lf.lfCharSet = DEFAULT_CHARSET;
  const size_t n = std::min<size_t>(face.size(), LF_FACESIZE - 1);
  for (size_t i = 0; i < n; i++) lf.lfFaceName[i] = wchar_t(face[i]);
  return n ? CreateFontIndirectW(&lf) : nullptr;
}

}  // namespace

bool FontMapper::Genuine(const std::u16string& face) {
  auto known = genuine_.find(face);
  if (known != genuine_.end()) return known->second;
  bool genuine = false;
  const size_t n = std::min<size_t>(face.size(), LF_FACESIZE - 1);
  kestrane::WindowDC dc(nullptr);
  kestrane::AutoFont font(ProbeFont(face));
  if (dc.get() && font) {
    kestrane::ScopedSelect selected(dc.get(), font.get());
    UINT size = GetOutlineTextMetricsW(dc.get(), 0, nullptr);
    std::vector<uint8_t> buffer(size);
    auto* otm = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
    if (size >= sizeof(OUTLINETEXTMETRICW) && GetOutlineTextMetricsW(dc.get(), size, otm)) {
      // The family name the outlines carry, against the name asked for.
      const size_t at = reinterpret_cast<size_t>(otm->otmpFamilyName);
      if (at < size) {
        const wchar_t* family = reinterpret_cast<const wchar_t*>(buffer.data() + at);
        size_t i = 0;
        while (i < n && at + 2 * (i + 1) <= size && family[i] &&
               std::towupper(family[i]) == std::towupper(wchar_t(face[i])))
          i++;
        genuine = i == n && at + 2 * (i + 1) <= size && family[i] == 0;
      }
    }
  }
  genuine_[face] = genuine;
  return genuine;
}

bool FontMapper::SymbolsDrawn(const std::u16string& face) {
  auto known = symbols_drawn_.find(face);
  if (known != symbols_drawn_.end()) return known->second;
  // Letters every symbol face has something at, at the private codes text in them is kept as.
  static const wchar_t kProbe[] = {0xF041, 0xF061, 0xF062, 0xF070};
  constexpr int kProbeCount = 4;
  bool drawn = false;
  if (Installed(std::string(face.begin(), face.end()))) {
    kestrane::WindowDC dc(nullptr);
    kestrane::AutoFont font(ProbeFont(face));
    if (dc.get() && font) {
      kestrane::ScopedSelect selected(dc.get(), font.get());
      WORD glyphs[kProbeCount];
      drawn = GetGlyphIndicesW(dc.get(), kProbe, kProbeCount, glyphs,
                               GGI_MARK_NONEXISTING_GLYPHS) == DWORD(kProbeCount) &&
              std::find(glyphs, glyphs + kProbeCount, WORD(0xFFFF)) == glyphs + kProbeCount;
    }
  }
  symbols_drawn_[face] = drawn;
  return drawn;
}

const std::vector<std::string>& FontMapper::UnicodeFaces() {
  static const std::vector<std::string> kFaces = {"Segoe UI Symbol", "DejaVu Sans", "OpenSymbol",
                                                  "Arial Unicode MS"};
  return kFaces;
}

const std::vector<std::string>& FontMapper::SymbolStandIns() {
  static const std::vector<std::string> kFaces = {"OpenSymbol"};
  return kFaces;
}

std::string FontMapper::UnicodeFace() const {
  for (const std::string& face : UnicodeFaces())
    if (Installed(face)) return face;
  return "Arial";
}

std::string FontMapper::Resolve(const std::string& face, uint8_t pitch_family,
                                uint8_t charset) const {
  return text::ChooseFace(face, pitch_family, charset,
                          [this](const std::string& f) { return Installed(f); });
}

}  // namespace viewer
