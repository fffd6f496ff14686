#pragma once
// Cabinets made with Windows' own cabinet library (MSZIP, one folder, no spanning).
#include <string>
#include <vector>

namespace kestrane {

struct CabinetEntry {
  std::string source;  // the file to pack
  std::string name;    // its name inside the cabinet
};

// Writes `cab_path` holding the entries in order. On failure sets `error` to a one-line reason;
// a half-written cabinet and the library's scratch files are removed.
bool BuildCabinet(const std::vector<CabinetEntry>& entries, const std::string& cab_path,
                  std::string* error);

}  // namespace kestrane
