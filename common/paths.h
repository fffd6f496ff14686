#pragma once
// Where the working tree lives: the drive of the first PATH entry. Computed anew at every use.
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

// The PATH value up to its first ';' (the whole value when it holds none). A missing or empty
// PATH, or an empty first piece, has no first entry.
std::optional<std::string> FirstPathEntry(const char* path_value);

// The first PATH entry up to its first ':' (the whole entry when it holds none).
std::optional<std::string> WorkingDrive(const char* path_value);

// Working drive followed by `rest`, which begins with ":\kestrane". No drive, no path.
std::optional<std::string> TreePath(const char* path_value, std::string_view rest);

// The extension of a path's last component, as a file-system object reports it: the text after
// the last '.', empty when the component has none.
std::string ExtensionName(std::string_view path);

// The last component of a path (after the last '\\', '/' or drive colon).
std::string_view LastComponent(std::string_view path);

std::string AsciiLower(std::string_view s);

// Compares paths as the file system does (without regard to ASCII case), after both have been
// brought to one full, long form. `SamePath` also takes "name::$DATA" and any other stream of a
// file for the file itself.
bool SamePath(std::string_view a, std::string_view b);
// True when `path` is `folder` or lies anywhere below it.
bool PathWithin(std::string_view path, std::string_view folder);

}  // namespace kestrane
