#pragma once
// Folders of the shell and of Windows.
#include <windows.h>

#include <string>

namespace kestrane {

// A folder of the shell for the current user (CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY...), without
// a trailing backslash; empty when the shell does not know it.
std::string SpecialFolder(int csidl);

// A program of the Windows folder by its full path, so that it is never found beside us or in the
// current folder.
std::string WindowsFolderProgram(const char* name);

}  // namespace kestrane
