// Fixed tables of Macintosh pictures: operation sizes, colours, characters and faces.
#include <map>
#include <string>

#include "app/mac_picture_parts.h"
#include "ppt/charsets.h"

namespace viewer {
namespace mac {
namespace {

// The Macintosh character set's upper half, as Unicode.
constexpr char16_t kMacRoman[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3,
    0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3,
    0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA,
    0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D,
    0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

}  // namespace

// The fixed sizes of reserved operations from 0x0100 on.
size_t ReservedBytes(uint16_t op) {
  if (op <= 0x01FF) return 2;
  if (op <= 0x0BFE) return 4;
  if (op == 0x0BFF) return 22;
  if (op <= 0x7EFF) return 24;
  if (op <= 0x7FFF) return 254;
  return 0;
}

// The eight colours of the original QuickDraw, by their old numbers.
uint32_t OldColor(uint32_t v) {
  switch (v) {
    case 30:
      return Rgb(255, 255, 255);
    case 69:
      return Rgb(252, 243, 5);
    case 137:
      return Rgb(242, 8, 132);
    case 205:
      return Rgb(221, 8, 6);
    case 273:
      return Rgb(2, 171, 234);
    case 341:
      return Rgb(0, 128, 17);
    case 409:
      return Rgb(0, 0, 212);
    default:
      return 0;
  }
}

char FromMacRoman(uint8_t c) {
  if (c < 0x80) return char(c);
  char16_t u = kMacRoman[c - 0x80];
  if (u >= 0xA0 && u <= 0xFF) return char(u);
  for (int i = 0; i < 32; i++)
    if (ppt::kWindows1252High[i] == u) return char(0x80 + i);
  return '?';
}

// The faces of the Macintosh system by their numbers, and those that Windows has under other
// names.
std::string WindowsFace(int id, const std::map<int, std::string>& named) {
  auto it = named.find(id);
  std::string name = it != named.end() ? it->second : "";
  if (name.empty()) switch (id) {
      case 2:
        name = "New York";
        break;
      case 4:
        name = "Monaco";
        break;
      case 20:
        name = "Times";
        break;
      case 22:
        name = "Courier";
        break;
      case 23:
        name = "Symbol";
        break;
      default:
        name = "Helvetica";
        break;
    }
  static const std::map<std::string, std::string> kWindowsFace = {
      {"Helvetica", "Arial"},     {"Geneva", "Arial"},          {"Chicago", "Arial"},
      {"Charcoal", "Arial"},      {"Times", "Times New Roman"}, {"New York", "Times New Roman"},
      {"Courier", "Courier New"}, {"Monaco", "Courier New"}};
  auto w = kWindowsFace.find(name);
  return w != kWindowsFace.end() ? w->second : name;
}

}  // namespace mac
}  // namespace viewer
