#pragma once
// Cabinets made with Windows' own cabinet library (MSZIP, no spanning). Files whose content does
// not compress (pictures, video) go stored, in a folder of their own: compressing them costs most
// of a conversion's time and saves next to nothing.
#include <string>
#include <vector>

namespace kestrane {

struct CabinetEntry {
  std::string source;  // the file to pack
  std::string name;    // its name inside the cabinet
};

// Whether deflating samples of the file saves at least a tenth of their size.
bool WorthCompressing(const std::string& path);

// Writes `cab_path` holding the entries in order. On failure sets `error` to a one-line reason;
// a half-written cabinet and the library's scratch files are removed.
bool BuildCabinet(const std::vector<CabinetEntry>& entries, const std::string& cab_path,
                  std::string* error);

}  // namespace kestrane
