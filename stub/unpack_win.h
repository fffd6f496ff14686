#pragma once
// Unpacking the package's cabinet, held in memory, into the stub's folder through the system's
// cabinet library.
#include <windows.h>
#include <fdi.h>

namespace kestrane {

// The cabinet library's entry points, looked up at run time so that the stub imports nothing
// beyond what Windows maps for every process.
struct CabinetLibrary {
  decltype(&FDICreate) create = nullptr;
  decltype(&FDICopy) copy = nullptr;
  decltype(&FDIDestroy) destroy = nullptr;
};

// Loads the library from the system folder; false when it or one of its entry points is missing.
bool LoadCabinetLibrary(CabinetLibrary* lib);

enum class UnpackOutcome {
  kUnpacked,
  kDamaged,      // the cabinet does not read as a whole cabinet
  kRefusedName,  // an entry named something no package may hold, or a name that came twice
  kDiskFull,
  kOutOfMemory,
  kWriteFailed,  // any other failure creating or writing a file; see `error`
};

struct UnpackResult {
  UnpackOutcome outcome = UnpackOutcome::kDamaged;
  DWORD error = 0;
  char bad_name[MAX_PATH] = "";
};

// Unpacks `cabinet` into `folder`, which exists. Whatever the library does, no file that was
// created stays open afterwards: the folder can always be removed.
void UnpackCabinet(const CabinetLibrary& lib, const unsigned char* cabinet, DWORD size,
                   const char* folder, UnpackResult* result);

// Joins folder and name with a backslash; false when the result would not fit `out` (kPath).
constexpr size_t kPath = 1024;
bool JoinPath(char* out, const char* folder, const char* name);

}  // namespace kestrane
