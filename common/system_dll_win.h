#pragma once
#include <windows.h>

namespace kestrane {

// Lets this process load DLLs only from the system folder. A self-extractor usually runs from a
// Downloads folder, where anyone could have left a DLL of a well-known name.
void RestrictDllSearchToSystem();

// Loads a DLL from the system folder by its full path; never from any other folder.
HMODULE LoadSystemDll(const char* name);

}  // namespace kestrane
