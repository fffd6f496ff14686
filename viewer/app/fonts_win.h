#pragma once
// Picks an installed face for a font a presentation names: the face itself, a metric-compatible
// or look-alike replacement, or a generic face of the same family class.
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace viewer {

class FontMapper {
 public:
  FontMapper();
  std::string Resolve(const std::string& face, uint8_t pitch_family, uint8_t charset) const;
  bool Installed(const std::string& face) const;
  // Whether asking for `face` gets that face's own outlines, not a stand-in the system puts
  // under its name (as some systems do for faces they lack).
  bool Genuine(const std::u16string& face);
  // Whether a symbol face draws its own characters at the codes documents use for them (some
  // systems have a face of that name that holds only a few).
  bool SymbolsDrawn(const std::u16string& face);
  // Faces with arrows, boxes, ticks, Greek and mathematics, best first; the first installed
  // one, or Arial when none is.
  static const std::vector<std::string>& UnicodeFaces();
  // Faces made to stand in for the symbol faces, their characters at the Unicode places.
  static const std::vector<std::string>& SymbolStandIns();
  std::string UnicodeFace() const;

 private:
  std::set<std::string> installed_;  // upper case
  std::map<std::u16string, bool> genuine_, symbols_drawn_;
};

}  // namespace viewer
