#pragma once
// Starting programs and waiting for them, with the standard library's strings.
#include <windows.h>

#include <string>

#include "common/process_win.h"

namespace kestrane {

// Starts a command line as a new process (the first blank-separated word names the program) in
// the given show state and blocks until that process has ended. Returns at once when the program
// cannot be started.
void RunAndWait(const std::string& command_line, int show);

// Starts a command line and does not wait. False when it could not be started.
bool StartProcess(const std::string& command_line, int show, DWORD* pid = nullptr);
// The same for a program of the Windows folder, named by its full path; the command line is kept.
bool StartWindowsProgram(const char* name, const std::string& command_line, int show);

// Ends the process at once, with all its windows, asking nothing.
[[noreturn]] void EndProgram();

}  // namespace kestrane
