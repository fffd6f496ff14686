#pragma once
// Which programs of the stub's folder still run.
#include <windows.h>

namespace kestrane {

// Whether a process of `job` (of the whole machine when `job` is null, for when no job could be
// used) still runs a program from `folder`: a viewer left behind by its launcher still holds
// unpacked files. Other programs started along the way (a desktop process, a browser) may
// outlive the show and must not keep the package waiting.
bool RunsFromFolder(HANDLE job, const char* folder);

}  // namespace kestrane
