#pragma once
// A package: the self-extractor stub's bytes, then a resource section that carries the stub's own
// resources, a cabinet and what to do with it.
#include <cstdint>
#include <string>
#include <vector>

#include "common/scoped_win.h"
#include "packager/cabinet_win.h"

namespace kestrane {

struct PackageDecisions {
  std::string title;
  std::string program;
  std::string post_program;
  int show_window = 0;
  char reboot_mode = 'N';
  std::string install_prompt;
  std::string finish_message;
};

// Writes the package in one pass under a scratch name beside `target`, the cabinet streamed into
// its place in the package, checks that the system reads it back as written, and only then moves
// it to `target`. On failure sets `error` to a one-line reason and leaves neither file behind.
bool WritePackage(const std::string& stub, const std::vector<CabinetEntry>& entries,
                  const PackageDecisions& decisions, const std::string& target, std::string* error,
                  const CabinetLimits& limits = CabinetLimits());

// A new, empty scratch file in the folder of `beside`, created for this user only and open for
// reading and writing; its name goes to `scratch`. Invalid when none could be created.
AutoFileHandle ScratchFileBeside(const std::string& beside, std::string* scratch);

}  // namespace kestrane
