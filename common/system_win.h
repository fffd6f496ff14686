#pragma once
// Process, environment, file and settings helpers that more than one program uses.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "common/process_win.h"

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
// cannot be started or the process cannot be opened for waiting.
void RunAndWait(const std::string& command_line, int show);

// Starts a command line and does not wait. False when it could not be started.
bool StartProcess(const std::string& command_line, int show, DWORD* pid = nullptr);

// Looks a path up as a directory listing of ordinary files does: folders, hidden and system files
// do not match, nor do wildcards. Returns the name found (without folder), as the disk spells it.
std::optional<std::string> FindOrdinaryFile(const std::string& path);

bool FileExists(const std::string& path);

// Per-user application settings, kept where such settings have always lived:
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section>, value <key> (REG_SZ).
std::string GetSetting(const char* app, const char* section, const char* key);
bool SaveSetting(const char* app, const char* section, const char* key, const std::string& value);
bool DeleteSettingSection(const char* app);

// Writes text followed by one CR LF. The text is already in the ANSI code page.
bool WriteTextFile(const std::string& path, const std::string& text);

}  // namespace kestrane
