#include "text/font_substitutes.h"

#include <cctype>
#include <map>

namespace text {
namespace {

// LOGFONT values, named here so this file stays free of the system's headers.
constexpr uint8_t kFamilyRoman = 0x10, kFamilyModern = 0x30, kFamilyMask = 0xF0;
constexpr uint8_t kFixedPitch = 1, kPitchMask = 3;
constexpr uint8_t kShiftJis = 128, kHangul = 129, kGb2312 = 134, kBig5 = 136;

std::string Upper(std::string s) {
  for (char& c : s) c = char(toupper(static_cast<unsigned char>(c)));
  return s;
}

// A face of no known likeness is drawn in a generic face of its kind. Where the DejaVu faces are
// installed (the systems without Windows' faces), they are the generic faces documents there
// are laid out in; elsewhere the Windows core faces.
const std::vector<std::string> kSans = {"DejaVu Sans", "Arial", "Liberation Sans", "Arimo",
                                        "Tahoma"};
const std::vector<std::string> kSerif = {"DejaVu Serif", "Times New Roman", "Liberation Serif",
                                         "Tinos"};
const std::vector<std::string> kMono = {"DejaVu Sans Mono", "Courier New", "Liberation Mono",
                                        "Cousine"};

}  // namespace

const std::vector<std::string>& SubstitutesFor(const std::string& face) {
  // Metric-compatible faces first: the same advance widths keep the author's line breaks.
  static const std::map<std::string, std::vector<std::string>> kTable = {
      {"ARIAL", {"Liberation Sans", "Arimo", "Helvetica"}},
      {"HELVETICA", {"Arial", "Liberation Sans", "Arimo"}},
      {"ARIAL NARROW", {"Liberation Sans Narrow", "Arial", "Liberation Sans"}},
      {"TIMES NEW ROMAN", {"Liberation Serif", "Tinos", "Times"}},
      {"TIMES", {"Times New Roman", "Liberation Serif", "Tinos"}},
      {"COURIER NEW", {"Liberation Mono", "Cousine", "Courier"}},
      {"COURIER", {"Courier New", "Liberation Mono", "Cousine"}},
      {"CALIBRI", {"Carlito", "Arial", "Liberation Sans"}},
      {"CALIBRI LIGHT", {"Carlito", "Arial", "Liberation Sans"}},
      {"CAMBRIA", {"Caladea", "Times New Roman", "Liberation Serif"}},
      {"GEORGIA", {"Gelasio", "DejaVu Serif", "Times New Roman", "Liberation Serif"}},
      {"VERDANA", {"DejaVu Sans", "Tahoma", "Arial", "Liberation Sans"}},
      {"TAHOMA", {"DejaVu Sans", "Arial", "Liberation Sans"}},
      {"TREBUCHET MS", {"DejaVu Sans", "Arial", "Liberation Sans"}},
      {"GARAMOND", {"DejaVu Serif", "Times New Roman", "Liberation Serif"}},
      {"BOOK ANTIQUA", {"DejaVu Serif", "Times New Roman", "Liberation Serif"}},
      // Wide faces: DejaVu Sans runs as wide on average (Arial some 12% narrower).
      {"CENTURY GOTHIC", {"DejaVu Sans", "Arial", "Liberation Sans"}},
      {"COMIC SANS MS", {"DejaVu Sans", "Arial", "Liberation Sans"}},
      {"WINGDINGS", {"Wingdings", "OpenSymbol", "Symbol"}},
  };
  static const std::vector<std::string> kNone;
  auto it = kTable.find(Upper(face));
  return it == kTable.end() ? kNone : it->second;
}

std::string ChooseFace(const std::string& face, uint8_t pitch_family, uint8_t charset,
                       const std::function<bool(const std::string&)>& installed) {
  if (!face.empty() && installed(face)) return face;
  for (const std::string& f : SubstitutesFor(face))
    if (installed(f)) return f;
  // East Asian faces: the system's font linking finds a face of that script by itself.
  if (charset == kShiftJis || charset == kHangul || charset == kGb2312 || charset == kBig5)
    return face;
  // A face's name tells its kind more surely than the family byte, which other suites write
  // as they please ("Luxi Sans" saved as a roman face).
  const std::string name = Upper(face);
  const uint8_t family = pitch_family & kFamilyMask;
  const std::vector<std::string>& generic =
      name.find("SANS") != std::string::npos                                  ? kSans
      : name.find("SERIF") != std::string::npos                               ? kSerif
      : name.find("MONO") != std::string::npos                                ? kMono
      : family == kFamilyRoman                                                ? kSerif
      : family == kFamilyModern || (pitch_family & kPitchMask) == kFixedPitch ? kMono
                                                                              : kSans;
  for (const std::string& f : generic)
    if (installed(f)) return f;
  return face;
}

}  // namespace text
