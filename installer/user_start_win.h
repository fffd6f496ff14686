#pragma once
// Starting a program as the user who is signed in to the desktop, not as this elevated installer.
#include <string>

namespace kestrane {

// Has the desktop's own shell start `file` with `parameters` (either may be empty), so that the
// program runs with the rights of the signed-in user. Nothing is ever started from this process
// itself: false when the desktop's shell could not be asked or could not start it.
bool StartAsDesktopUser(const std::string& file, const std::string& parameters);

}  // namespace kestrane
