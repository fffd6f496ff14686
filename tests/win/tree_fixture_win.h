#pragma once
// A working tree on drive C of the test prefix, laid out as an installed product has it.
#include <map>
#include <string>

namespace kestrane::testing {

std::string ReadFile(const std::string& path, bool* ok = nullptr);
bool WriteFile(const std::string& path, const std::string& bytes);
void RemoveTree(const std::string& path);
// Every file below `root`: relative path to content (a digest for files over 64 bytes).
std::map<std::string, std::string> Snapshot(const std::string& root);

// The target path of a shell link, or a text in angle brackets saying why there is none.
std::string LinkTarget(const std::string& link);

// Lays C:\kestrane as the installer leaves it, with `packager` as tools\IExpress.exe.
void LayInstalledTree(const std::string& packager);

}  // namespace kestrane::testing
