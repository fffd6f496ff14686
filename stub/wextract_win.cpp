// The self-extractor at the head of every package. It unpacks the package's cabinet into a new
// private folder under %TEMP%, runs the packaged program there, waits for it and for whatever it
// started, removes the folder and ends with the program's exit code. It asks nothing unless the
// package carries a question, and every failure ends in one stop message that leaves nothing
// behind. Kept free of the C++ library so that the stub stays small.
#include <windows.h>

#include "common/le_bytes.h"
#include "common/scoped_win.h"
#include "common/system_dll_win.h"
#include "stub/folder_win.h"
#include "common/package_format.h"
#include "stub/processes_win.h"
#include "stub/unpack_win.h"

namespace kestrane {
namespace {

struct Resource {
  const unsigned char* data = nullptr;
  DWORD size = 0;
};

Resource FindRes(const char* name) {
  Resource r;
  HRSRC h = FindResourceA(nullptr, name, RT_RCDATA);
  HGLOBAL g = h ? LoadResource(nullptr, h) : nullptr;
  if (g) {
    r.data = static_cast<const unsigned char*>(LockResource(g));
    r.size = r.data ? SizeofResource(nullptr, h) : 0;
  }
  return r;
}

// A text resource; `fallback` when absent or not terminated within itself.
const char* Text(const char* name, const char* fallback) {
  Resource r = FindRes(name);
  if (!r.data || r.size == 0 || r.data[r.size - 1] != '\0') return fallback;
  return reinterpret_cast<const char*>(r.data);
}

using le::Get32;

char g_folder[kPath];
// Held open while the package runs, so that no other package takes its folder for a stale one.
AutoFileHandle g_hold;

void RemoveFolder() {
  g_hold.reset();
  RemoveTree(g_folder);
}

constexpr DWORD kWaitPauseMs = 200;

// ---- running ----

int ShowCommand(int stored) {
  switch (stored) {
    case 1:
      return SW_HIDE;
    case 2:
      return SW_SHOWMINNOACTIVE;
    case 3:
      return SW_SHOWMAXIMIZED;
    default:
      return SW_SHOWNORMAL;
  }
}

// Runs a packaged program from the folder and waits for it and for every program of the folder that
// it started (a launcher may end before the program it launched, whose files must outlive it).
bool Run(const char* command, int show, DWORD* exit_code, DWORD* error, char* program_out) {
  size_t n;
  const char* rest;
  const char* program = SplitProgram(command, &n, &rest);
  char name[MAX_PATH], path[kPath], line[2 * kPath + 8];
  if (n == 0 || n >= sizeof name) {
    *error = ERROR_INVALID_DATA;
    return false;
  }
  CopyMemory(name, program, n);
  name[n] = '\0';
  lstrcpynA(program_out, name, MAX_PATH);
  if (!IsSafeEntryName(name) || !JoinPath(path, g_folder, name)) {
    *error = ERROR_INVALID_DATA;
    return false;
  }
  const int path_n = lstrlenA(path), rest_n = lstrlenA(rest);
  if (path_n + rest_n + 4 > static_cast<int>(sizeof line)) {
    *error = ERROR_INVALID_DATA;
    return false;
  }
  // The path is quoted: the folder may hold blanks, and an unquoted path would let Windows try
  // other programs first.
  char* p = line;
  *p++ = '"';
  CopyMemory(p, path, path_n);
  p += path_n;
  *p++ = '"';
  if (rest_n) {
    *p++ = ' ';
    CopyMemory(p, rest, rest_n);
    p += rest_n;
  }
  *p = '\0';

  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION pi = {};
  // Killed while it waits (from the Task Manager, or by logging off), the stub takes the show with
  // it: the system closes the job's last handle, and the job ends every program in it.
  AutoCloseHandle job(CreateJobObjectA(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  if (job) {
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_BREAKAWAY_OK | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }
  // Makes sure the desktop exists now. Where it is started on demand (Wine), the first program to
  // open a window would start it, inheriting that program's folder as its own and its job.
  GetDesktopWindow();
  if (!CreateProcessA(path, line, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, g_folder, &si,
                      &pi)) {
    *error = GetLastError();
    return false;
  }
  bool in_job = job && AssignProcessToJobObject(job.get(), pi.hProcess);
  {
    AutoCloseHandle process(pi.hProcess), thread(pi.hThread);
    ResumeThread(thread.get());
    WaitForSingleObject(process.get(), INFINITE);
    GetExitCodeProcess(process.get(), exit_code);
  }
  // Without the job, every process is looked at: the folder must outlive all of its programs.
  while (RunsFromFolder(in_job ? job.get() : nullptr, g_folder)) Sleep(kWaitPauseMs);
  if (job) {
    // A show that ended as it should may have started programs from elsewhere (a browser for a
    // link): they are the user's now and outlive the package.
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    job.reset();
  }
  return true;
}

// ---- the package's check ----

struct Check {
  const unsigned char* data;
  DWORD size;
  uint32_t expected;
  bool good;
};

DWORD WINAPI RunCheck(void* p) {
  Check* c = static_cast<Check*>(p);
  c->good = Crc32(0, c->data, c->size) == c->expected;
  return 0;
}

// ---- messages ----

const char* g_title = "Package";

DWORD Stop(DWORD code, const char* format, const char* a = "", DWORD b = 0) {
  char text[2 * kPath];
  wsprintfA(text, format, a, b);
  MessageBoxA(nullptr, text, g_title, MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
  return code;
}

constexpr char kDamaged[] =
    "This package is damaged or incomplete, so it was not opened.%s\n\nPlease get a new copy of "
    "it.";

DWORD StopUnpacking(const UnpackResult& r) {
  switch (r.outcome) {
    case UnpackOutcome::kRefusedName:
      return Stop(ERROR_INVALID_NAME,
                  "This package holds a file named \"%s\", which no package may hold, so it was "
                  "not opened.",
                  r.bad_name);
    case UnpackOutcome::kDiskFull:
      return Stop(ERROR_DISK_FULL,
                  "There is not enough free space on the disk to unpack this package.%s\n\n"
                  "Please free some space and start it again.");
    case UnpackOutcome::kOutOfMemory:
      // Not the package's fault: a new copy would not help.
      return Stop(ERROR_NOT_ENOUGH_MEMORY,
                  "There is not enough memory to unpack this package.%s\n\nPlease close some "
                  "programs and start it again.");
    case UnpackOutcome::kWriteFailed:
      return Stop(r.error, "This package could not be unpacked into %s (error %lu).", g_folder,
                  r.error);
    default:
      return Stop(ERROR_INVALID_DATA, kDamaged);
  }
}

// The package's own folder under %TEMP%, made private and held, stale ones removed first. On
// failure: the error, and in `temp` the folder that could not be written.
bool MakeOwnFolder(char (&temp)[MAX_PATH], DWORD* error) {
  DWORD t = GetTempPathA(MAX_PATH, temp);
  if (t != 0 && t < MAX_PATH) RemoveStaleFolders(temp);
  SetLastError(ERROR_PATH_NOT_FOUND);
  if (t == 0 || t >= MAX_PATH || !MakePrivateFolder(temp, g_folder, sizeof g_folder)) {
    *error = GetLastError() ? GetLastError() : ERROR_CANNOT_MAKE;
    if (t == 0 || t >= MAX_PATH) lstrcpyA(temp, "%TEMP%");
    return false;
  }
  g_hold.reset(HoldFolder(g_folder));
  return true;
}

// The package's program, then its program to run afterwards if it names one; false, with the
// program and its error, when one cannot be started.
bool RunPrograms(const char* command, int show_cmd, DWORD* exit_code, DWORD* error,
                 char (&program)[MAX_PATH]) {
  if (!Run(command, show_cmd, exit_code, error, program)) return false;
  const char* post = Text(kResPostRunProgram, "");
  DWORD post_code = 0;
  return !*post || Run(post, show_cmd, &post_code, error, program);
}

DWORD Main() {
  g_title = Text(kResTitle, "Package");
  if (!*g_title) g_title = "Package";
  const char* command = Text(kResRunProgram, nullptr);
  Resource sum = FindRes(kResCabSum);
  Resource cab = FindRes(kResCabinet);
  if (!command || !cab.data || sum.size != 8 || Get32(sum.data) != cab.size)
    return Stop(ERROR_INVALID_DATA, kDamaged);
  Resource show = FindRes(kResShowWindow);
  const int show_cmd = ShowCommand(show.size == 4 ? static_cast<int>(Get32(show.data)) : 0);

  // The check runs beside the unpacking, which reads the same bytes: a large package costs one
  // pass over them, not two. Whatever was unpacked from a package that fails it is removed.
  static Check check;
  check.data = cab.data;
  check.size = cab.size;
  check.expected = Get32(sum.data + 4);
  AutoCloseHandle checking(CreateThread(nullptr, 0, RunCheck, &check, 0, nullptr));
  if (!checking) RunCheck(&check);
  auto checked = [&] {
    if (checking) {
      WaitForSingleObject(checking.get(), INFINITE);
      checking.reset();
    }
    return check.good;
  };

  const char* prompt = Text(kResPrompt, "");
  if (*prompt) {
    if (!checked()) return Stop(ERROR_INVALID_DATA, kDamaged);
    if (MessageBoxA(nullptr, prompt, g_title, MB_YESNO | MB_ICONQUESTION) != IDYES)
      return ERROR_CANCELLED;
  }

  CabinetLibrary cabinet;
  if (!LoadCabinetLibrary(&cabinet)) {
    if (!checked()) return Stop(ERROR_INVALID_DATA, kDamaged);
    return Stop(ERROR_MOD_NOT_FOUND, "The system's cabinet library could not be loaded.%s");
  }

  char temp[MAX_PATH];
  DWORD e = 0;
  if (!MakeOwnFolder(temp, &e)) {
    if (!checked()) return Stop(ERROR_INVALID_DATA, kDamaged);
    return Stop(e,
                "The folder for temporary files, %s, cannot be written, so this package cannot "
                "be unpacked (error %lu).",
                temp, e);
  }

  static UnpackResult unpacked;
  UnpackCabinet(cabinet, cab.data, cab.size, g_folder, &unpacked);
  // A damaged package is reported as such, whatever its damage made the unpacking do.
  if (!checked()) {
    RemoveFolder();
    return Stop(ERROR_INVALID_DATA, kDamaged);
  }
  if (unpacked.outcome != UnpackOutcome::kUnpacked) {
    RemoveFolder();
    return StopUnpacking(unpacked);
  }

  char program[MAX_PATH] = "";
  DWORD exit_code = 0, error = 0;
  const bool ran = RunPrograms(command, show_cmd, &exit_code, &error, program);
  RemoveFolder();
  if (!ran)
    return Stop(error, "The program %s in this package could not be started (error %lu).", program,
                error);
  const char* finish = Text(kResFinish, "");
  if (*finish) MessageBoxA(nullptr, finish, g_title, MB_OK | MB_ICONINFORMATION);
  return exit_code;
}

}  // namespace
}  // namespace kestrane

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  kestrane::RestrictDllSearchToSystem();
  ExitProcess(kestrane::Main());
}
