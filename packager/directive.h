#pragma once
// The package directive: an INI-style text of sections and key=value lines, whose values may
// refer to entries of its [Strings] section as %NAME%.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

struct PackageFile {
  std::string folder;  // as the directive names it
  std::string name;    // the name inside the package
  std::string Path() const;
};

struct Directive {
  std::string target;  // the package to write
  std::string title;
  std::string program;       // the command run after unpacking
  std::string post_program;  // run after it; empty for none
  int show_window = 0;       // 0 normal, 1 hidden, 2 minimised, 3 maximised
  char reboot_mode = 'N';
  std::string install_prompt;
  std::string finish_message;
  std::vector<PackageFile> files;
};

// Reads a directive. On failure returns nothing and sets `error` to a one-line reason.
// Section and key names compare without regard to case, as Windows' own INI readers do.
std::optional<Directive> ReadDirective(std::string_view text, std::string* error);

// The package path alone, as far as it can be made out of a directive that may be broken
// elsewhere: a failed build must not leave an older package at that path.
std::optional<std::string> ReadTarget(std::string_view text);

}  // namespace kestrane
