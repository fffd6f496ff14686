#pragma once
// A package: a copy of the self-extractor stub whose resources carry a cabinet and what to do
// with it.
#include <string>

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

// Writes the package under a scratch name beside `target`, reads it back, and only then moves it
// to `target`. On failure sets `error` to a one-line reason and leaves neither file behind.
bool WritePackage(const std::string& stub, const std::string& cab_path,
                  const PackageDecisions& decisions, const std::string& target, std::string* error);

// A fresh, empty scratch file in the folder of `beside` (which need not exist yet).
bool ScratchFileBeside(const std::string& beside, std::string* scratch);

}  // namespace kestrane
