#pragma once
// The environment: variables, the working drive and tree from PATH, our own folder.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

// An environment variable; unset reads as empty.
std::string GetEnv(const char* name);

// The working drive and tree paths from this process's PATH, computed anew at every call.
std::optional<std::string> WorkingDrive();
std::optional<std::string> TreePath(std::string_view rest);
std::optional<std::string> FirstPathEntry();

// The folder of this program's own executable, without a trailing backslash.
std::string OwnFolder();

}  // namespace kestrane
