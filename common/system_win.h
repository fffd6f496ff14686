#pragma once
// Process, environment, file and settings helpers that more than one program uses.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "common/process_win.h"
#include "common/product.h"

namespace kestrane {

// An environment variable; unset reads as empty.
std::string GetEnv(const char* name);

// The working drive and tree paths from this process's PATH, computed anew at every call.
std::optional<std::string> WorkingDrive();
std::optional<std::string> TreePath(std::string_view rest);
std::optional<std::string> FirstPathEntry();

// The folder of this program's own executable, without a trailing backslash.
std::string OwnFolder();

// Starts a command line as a new process (the first blank-separated word names the program) in
// the given show state and blocks until that process has ended. Returns at once when the program
// cannot be started.
void RunAndWait(const std::string& command_line, int show);

// Starts a command line and does not wait. False when it could not be started.
bool StartProcess(const std::string& command_line, int show, DWORD* pid = nullptr);
// The same for a program of the Windows folder, named by its full path; the command line is kept.
bool StartWindowsProgram(const char* name, const std::string& command_line, int show);

// Looks a path up as a directory listing of ordinary files does: folders, hidden and system files
// do not match, nor do wildcards. Returns the name found (without folder), as the disk spells it.
std::optional<std::string> FindOrdinaryFile(const std::string& path);

bool FileExists(const std::string& path);

// Per-user application settings, kept where such settings have always lived:
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section>, value <key> (REG_SZ).
std::string GetSetting(const char* app, const char* section, const char* key);
bool SaveSetting(const char* app, const char* section, const char* key, const std::string& value);
bool DeleteSettingSection(const char* app);

// A folder of the shell for the current user (CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY...), without
// a trailing backslash; empty when the shell does not know it.
std::string SpecialFolder(int csidl);

// A program of the Windows folder by its full path, so that it is never found beside us or in the
// current folder.
std::string WindowsFolderProgram(const char* name);

// The full, long form of a path, as far as it exists; the part that does not exist yet is kept as
// written. For comparisons only.
std::string LongFullPath(const std::string& path);

// True when both paths name one existing file (also through a second name of the same file).
bool SameExistingFile(const std::string& a, const std::string& b);

// True when the path, or a folder on the way to it below `from` (a prefix of it), is a reparse
// point: a junction, a symbolic link or a mount point. `from` itself is checked too.
bool ReparsePointOnTheWay(const std::string& from, const std::string& path);

// Ends the process at once, with all its windows, asking nothing.
[[noreturn]] void EndProgram();

// Writes text followed by one CR LF. The text is already in the ANSI code page.
bool WriteTextFile(const std::string& path, const std::string& text);

}  // namespace kestrane
