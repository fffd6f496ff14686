#pragma once
// Files of one user's own work in a folder that other users may write to (the working tree's
// staging folders): whatever stands at the name is removed first, and the file is then created
// new, for that user, SYSTEM and Administrators only, so nobody else can have prepared, replaced
// or read it.
#include <windows.h>

#include <cstdint>
#include <string>

#include "common/scoped_win.h"

namespace kestrane {

// Removes a file left at `path`, clearing a read-only attribute first. True when nothing stands
// at the name afterwards; false when something does (a folder, a file in use, one the user may
// not delete).
bool RemoveLeftFile(const std::string& path);

// Creates `path`, which must not exist, with the user-only access list, open for `access` and
// shared with nobody. Invalid when it could not be created new.
AutoFileHandle CreatePrivateFile(const std::string& path, DWORD access = GENERIC_WRITE | DELETE);

// Copies `from` into a new private file at `path` and checks that the copy holds every byte the
// source had when it was opened. On failure nothing is left at `path`.
bool CopyToPrivateFile(const std::string& from, const std::string& path);

// Writes text followed by one CR LF into a new private file. The text is already in the ANSI code
// page. On failure nothing is left at `path`.
bool WritePrivateTextFile(const std::string& path, const std::string& text);

}  // namespace kestrane
