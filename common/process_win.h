#pragma once
// Process helpers without the C++ library, so that the small programs a package carries can use
// them and stay small.
#include <windows.h>

namespace kestrane {

// Dispatches every window message already queued for this thread, once.
void PumpPendingMessages();

// Starts a command line (the first blank-separated word names the program, unless quoted) in the
// given show state. False when it could not be started.
bool StartProcess(const char* command_line, int show, DWORD* pid = nullptr);

// Starts the program at the full path `application`, telling it `command_line` (which, by
// custom, begins with the program's name). False when it could not be started.
bool StartProgram(const char* application, const char* command_line, int show);

// Starts a command line and blocks until that process has ended. Returns at once when the program
// cannot be started. Pending messages are handled once
// right after the start, so that what the window changed just before is painted.
void RunAndWait(const char* command_line, int show);

// The process that RunAndWait is waiting for on this thread right now, or null. A window message
// handled during the wait (one that ends the program, say) can stop it first.
HANDLE ProcessBeingWaitedFor();

// This program's own folder, without a trailing backslash. False when it does not fit.
bool OwnFolder(char* out, DWORD size);

// True for a file that a directory listing of ordinary files shows: folders, hidden and system
// files do not count, nor do wildcards. `found_name` (optional, MAX_PATH) receives the name.
bool IsOrdinaryFile(const char* path, char* found_name = nullptr);

}  // namespace kestrane
