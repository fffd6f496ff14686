#pragma once
// Files and paths: lookups as a listing does, identity, links on the way, small text files.
#include <windows.h>

#include <optional>
#include <string>

namespace kestrane {

// Looks a path up as a directory listing of ordinary files does: folders, hidden and system files
// do not match, nor do wildcards. Returns the name found (without folder), as the disk spells it.
std::optional<std::string> FindOrdinaryFile(const std::string& path);

bool FileExists(const std::string& path);

// The full, long form of a path, as far as it exists; the part that does not exist yet is kept as
// written. For comparisons only.
std::string LongFullPath(const std::string& path);

// True when both paths name one existing file (also through a second name of the same file).
bool SameExistingFile(const std::string& a, const std::string& b);

// True when the path, or a folder on the way to it below `from` (a prefix of it), is a reparse
// point: a junction, a symbolic link or a mount point. `from` itself is checked too.
bool ReparsePointOnTheWay(const std::string& from, const std::string& path);

// Writes text followed by one CR LF. The text is already in the ANSI code page.
bool WriteTextFile(const std::string& path, const std::string& text);

}  // namespace kestrane
