#pragma once
// Starting a program as the user who is signed in to the desktop, not as this elevated installer.
#include <string>

namespace kestrane {

// Has the desktop's own shell start `file` with `parameters` (either may be empty), so that the
// program runs with the rights of the signed-in user. Falls back to starting it from here when
// there is no desktop shell to ask, with `command_line` as its command line. False when neither
// could start it.
bool StartAsDesktopUser(const std::string& file, const std::string& parameters,
                        const std::string& command_line);

}  // namespace kestrane
