#pragma once
// What the installer puts where. The uninstaller removes by the same list.
#include <string>
#include <vector>

namespace kestrane {

enum class Base { kTools, kRoot, kPath1 };

struct InstalledFile {
  const char* source;  // in the setup folder, with its leading backslash
  Base base;
  const char* name;  // below the base, with its leading backslash
};

// The files in installation order.
const std::vector<InstalledFile>& InstalledFiles();

// Working-tree folders, in creation order, relative to the working drive.
const std::vector<const char*>& TreeFolders();

// Files a conversion stages in the tree and removes again; an interrupted one may leave them.
const std::vector<const char*>& StagedFiles();

constexpr char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\kestrane";
constexpr char kStartMenuFolder[] = "\\kestrane";
constexpr char kConverterLink[] = "\\kestrane\\kestrane.lnk";
constexpr char kUninstallerLink[] = "\\kestrane\\Uninstall kestrane.lnk";
constexpr char kDesktopLink[] = "\\kestrane.lnk";

// The leading decimal number of a text (0 when it has none), rounded to the nearest integer with
// halves to the even neighbour, as a registry DWORD holds it.
unsigned long DwordFromText(const std::string& text);

}  // namespace kestrane
