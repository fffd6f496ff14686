#pragma once
#include <windows.h>

namespace kestrane {

// Lets this process load DLLs only from the system folder. A self-extractor usually runs from a
// Downloads folder, where anyone could have left a DLL of a well-known name.
void RestrictDllSearchToSystem();

// Loads a DLL from the system folder by its full path; never from any other folder.
HMODULE LoadSystemDll(const char* name);

// A function of a loaded DLL, typed as the caller declares it: the one place where an address
// found by name becomes a function. Null when the DLL or the function is missing.
template <class F>
F Function(HMODULE dll, const char* name) {
  return dll ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name))) : nullptr;
}

// The same from a DLL of the system folder.
template <class F>
F SystemFunction(const char* dll, const char* name) {
  return Function<F>(LoadSystemDll(dll), name);
}

}  // namespace kestrane
