#pragma once
// Text set in the classic symbol faces (Symbol, Wingdings 1 to 3, Webdings, the dingbats) as the
// Unicode characters it shows, for machines without those faces: the text is then drawn in a face
// that has the Unicode characters instead of as the Latin letters its codes also name.
#include <functional>
#include <string>

#include "ppt/presentation.h"

namespace text {

enum class SymbolFace {
  kNone,
  kSymbol,
  kWingdings,
  kWingdings2,
  kWingdings3,
  kWebdings,
  kDingbats,  // Monotype Sorts and its twins, the Zapf dingbats
};

// Which symbol face `face` names (case does not matter); kNone for any other face.
SymbolFace SymbolFaceOf(const std::string& face);

// The Unicode character code `c` shows in `face`: codes come as 0x20..0xFF or in the private
// range 0xF020..0xF0FF the faces also answer to. 0 when the table has no equivalent.
char16_t SymbolToUnicode(SymbolFace face, char16_t c);

// What text in `face` shows for code `c`: its Unicode character, or where the table has none,
// the plain character the code names.
char16_t SymbolShownAs(SymbolFace face, char16_t c);

// Whether `c` is a symbol code in the private range 0xF020..0xF0FF, as characters inserted
// from a symbol face are stored.
bool InSymbolPrivateRange(char16_t c);

// A commoner character that looks like `c`, for symbols few faces have (the newer arrowheads,
// diamonds and lozenges the symbol faces' tables lead to); 0 when there is none.
char16_t SymbolLookalike(char16_t c);

// A copy of `in` whose runs in symbol faces that cannot draw them (the face missing, or one of
// that name without those characters) show their Unicode characters in `unicode_face`, and
// whose runs in other faces show Symbol's characters for codes of the private range
// 0xF020..0xF0FF. False, and `out` untouched, when no run needed it.
using FaceDraws = std::function<bool(const std::string& face, const std::u16string& text)>;
bool MapSymbolRuns(const ppt::TextBody& in, const FaceDraws& draws, const std::string& unicode_face,
                   ppt::TextBody* out);

}  // namespace text
