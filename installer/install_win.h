#pragma once
// The install sequence and the system registration: folders, files, shortcuts, Uninstall key.
#include <windows.h>

#include <string>
#include <vector>

namespace kestrane {

// Creates the key, or opens it if it exists, and closes it again.
void CreateRegistryKey(HKEY root, const std::string& key_path);

// Writes one value into an existing key, keeping a present value's type (REG_SZ or REG_DWORD; a
// new value is REG_SZ). False when the key cannot be opened, the present value cannot be read
// into 1024 bytes, or the write fails.
bool SetRegistryValue(HKEY root, const std::string& key_path, const std::string& value_name,
                      const std::string& value);

// Makes a shortcut file pointing at `target`; only the target path is set.
bool MakeShortcut(const std::string& link_path, const std::string& target);

// Where the uninstaller is put: the first PATH entry's folder, named where the file really lands
// (the 32-bit system folder, for the system folder of a 64-bit Windows).
std::string UninstallerPath();

// Runs every step; a step that fails is skipped and the next one runs. Returns a description of
// each thing that could not be installed, leaving out steps that failed only because their work
// was already there (an existing folder).
std::vector<std::string> RunInstallSequence(bool desktop_shortcut, const std::string& setup_folder);

// The probe: the first PATH entry's folder must take a new empty temp.tmp. An old ordinary file of
// that name is deleted first; the new one stays.
bool ProbeWriteAccess();

// The converter's installed path: working drive + ":\kestrane\kestrane.exe".
std::string ConverterPath();

}  // namespace kestrane
