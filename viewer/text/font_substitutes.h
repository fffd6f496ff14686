#pragma once
// Which installed face shows a face a presentation names: the face itself, a metric-compatible
// replacement (so lines break where the author saw them), a look-alike, or a generic face of
// the same family class. Portable; the caller says what is installed.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace text {

// Replacements for a face, best first; empty when there are none. Case does not matter.
const std::vector<std::string>& SubstitutesFor(const std::string& face);

// The face to ask the system for. `pitch_family` and `charset` are as a LOGFONT has them.
std::string ChooseFace(const std::string& face, uint8_t pitch_family, uint8_t charset,
                       const std::function<bool(const std::string&)>& installed);

}  // namespace text
