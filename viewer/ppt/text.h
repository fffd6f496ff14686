#pragma once
// Text formatting of the binary format: paragraph and character property sets as stored in
// style atoms and master styles, and how they stack.
#include <cstdint>
#include <string>
#include <vector>

#include "ppt/bytes.h"

namespace ppt {

struct CharProps {
  enum : uint32_t {
    kBold = 1,
    kItalic = 2,
    kUnderline = 4,
    kShadow = 0x10,
    kEmboss = 0x200,
    kExtension = 0x3C00,  // which entry of the shape's extended paragraph props applies
    kFont = 0x10000,
    kSize = 0x20000,
    kColor = 0x40000,
    kPosition = 0x80000,
    kSymbolFont = 0x800000  // the face of the characters inserted as symbols
  };
  uint32_t mask = 0;
  bool bold = false, italic = false, underline = false, shadow = false, emboss = false;
  uint8_t extension = 0;
  uint16_t font = 0, size = 0;
  uint16_t symbol_font = 0;
  int16_t position = 0;  // percent of the size raised (> 0) or lowered
  uint32_t color = 0;    // ColorIndexStruct: r, g, b, index (0xFE: rgb; 0..7: scheme)
  void Overlay(const CharProps& o);
};

struct ParaProps {
  enum : uint32_t {
    kHasBullet = 1,
    kBulletHasFont = 2,
    kBulletHasColor = 4,
    kBulletHasSize = 8,
    kBulletFont = 0x10,
    kBulletColor = 0x20,
    kBulletSize = 0x40,
    kBulletChar = 0x80,
    kLeftMargin = 0x100,
    kIndent = 0x400,
    kAlign = 0x800,
    kLineSpacing = 0x1000,
    kSpaceBefore = 0x2000,
    kSpaceAfter = 0x4000,
    kDefaultTab = 0x8000,
    kTabStops = 0x100000
  };
  uint32_t mask = 0;
  uint16_t bullet_flags = 0, bullet_char = 0, bullet_font = 0, align = 0;
  int16_t bullet_size = 0, left_margin = 0, indent = 0;
  // >= 0: percent of the text size; < 0: master units
  int16_t line_spacing = 100, space_before = 0, space_after = 0;
  uint32_t bullet_color = 0;
  uint16_t default_tab = 0;
  std::vector<std::pair<int16_t, uint16_t>> tabs;  // position, kind
  void Overlay(const ParaProps& o);
};

// A text's ruler: default tab size, tab stops, and per indent level the text's left margin and
// the first line's (bullet's) indent, each present or not.
struct Ruler {
  bool has_default_tab = false, has_tabs = false;
  bool has_margin[5] = {}, has_indent[5] = {};
  uint16_t default_tab = 0;
  std::vector<std::pair<int16_t, uint16_t>> tabs;
  int16_t margin[5] = {}, indent[5] = {};
};
bool ReadRuler(const uint8_t* data, size_t size, Ruler* out);

// Extended paragraph props of a shape's text (automatic numbering), indexed by a character
// run's `extension`.
struct ParaExtension {
  bool has_autonumber = false;  // whether `autonumber` says anything
  bool autonumber = false;
  bool has_scheme = false;
  uint16_t scheme = 3;  // 1.
  int16_t start = 1;
  int blip = -1;
};
void ReadParaExtensions(const uint8_t* data, size_t size, std::vector<ParaExtension>* out);

// The text an automatic number shows: `n` in numbering scheme `scheme` ("3.", "c)", "(iv)").
std::u16string AutoNumberText(uint16_t scheme, int n);

bool ReadCharProps(ByteReader& r, CharProps* out);
bool ReadParaProps(ByteReader& r, ParaProps* out);

// Styles of one text type at its five indent levels.
struct LevelStyles {
  bool present = false;
  ParaProps para[5];
  CharProps chars[5];
};

// Parses a master style atom body; `instance` is its text type.
void ReadMasterStyle(const uint8_t* data, size_t size, int instance, LevelStyles* out);

struct StyleRun {
  uint32_t count = 0;
  uint16_t level = 0;
  ParaProps para;
  CharProps chars;
};

// Paragraph and character runs of a style atom covering `text_len` characters.
void ReadStyleRuns(const uint8_t* data, size_t size, size_t text_len, std::vector<StyleRun>* paras,
                   std::vector<StyleRun>* chars);

}  // namespace ppt
