#include "stub/processes_win.h"

#include <tlhelp32.h>

#include "common/scoped_win.h"
#include "stub/unpack_win.h"

namespace kestrane {
namespace {

constexpr DWORD kMaxJobProcesses = 64;
constexpr DWORD kMaxProcesses = 1024;

// The processes to look at: those of `job`, or every process of the session's machine where the
// job could not be used (a stub started inside a job of its own on a Windows without nested
// jobs). Returns how many ids it put in `ids`.
DWORD ProcessIds(HANDLE job, DWORD* ids, DWORD max) {
  DWORD n = 0;
  if (job) {
    struct {
      JOBOBJECT_BASIC_PROCESS_ID_LIST list;
      ULONG_PTR more[kMaxJobProcesses - 1];
    } list = {};
    list.list.NumberOfAssignedProcesses = kMaxJobProcesses;
    if (!QueryInformationJobObject(job, JobObjectBasicProcessIdList, &list, sizeof list, nullptr) &&
        GetLastError() != ERROR_MORE_DATA)
      return 0;
    for (DWORD i = 0; i < list.list.NumberOfProcessIdsInList && i < kMaxJobProcesses && n < max;
         ++i)
      ids[n++] = static_cast<DWORD>(list.list.ProcessIdList[i]);
    return n;
  }
  AutoFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot.get(), &entry); more && n < max;
       more = Process32Next(snapshot.get(), &entry)) {
    if (entry.th32ProcessID != GetCurrentProcessId()) ids[n++] = entry.th32ProcessID;
  }
  return n;
}

}  // namespace

bool RunsFromFolder(HANDLE job, const char* folder) {
  DWORD ids[kMaxProcesses];
  const DWORD count = ProcessIds(job, ids, kMaxProcesses);
  // %TEMP% may be given in short form (C:\Users\JOHNSM~1\...), and a program started through it
  // may carry that form in its image name: both sides are compared in long form.
  char long_folder[kPath];
  DWORD long_n = GetLongPathNameA(folder, long_folder, sizeof long_folder);
  if (long_n > 0 && long_n < sizeof long_folder) folder = long_folder;
  const int folder_n = lstrlenA(folder);
  for (DWORD i = 0; i < count; ++i) {
    AutoCloseHandle owned(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[i]));
    if (!owned) continue;
    HANDLE process = owned.get();
    char image[kPath];
    DWORD n = sizeof image;
    bool named = QueryFullProcessImageNameA(process, 0, image, &n) != FALSE;
    if (named) {
      char long_image[kPath];
      DWORD m = GetLongPathNameA(image, long_image, sizeof long_image);
      if (m > 0 && m < sizeof long_image)
        n = static_cast<DWORD>(lstrlenA(lstrcpyA(image, long_image)));
    }
    bool inside = named && static_cast<int>(n) > folder_n && image[folder_n] == '\\' &&
                  CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, image, folder_n, folder,
                                 folder_n) == CSTR_EQUAL;
    DWORD code = 0;
    bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    if (inside && running) return true;
  }
  return false;
}

}  // namespace kestrane
