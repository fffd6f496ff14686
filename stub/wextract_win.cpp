// The self-extractor at the head of every package. It unpacks the package's cabinet into a new
// private folder under %TEMP%, runs the packaged program there, waits for it and for whatever it
// started, removes the folder and ends with the program's exit code. It asks nothing unless the
// package carries a question, and every failure ends in one stop message that leaves nothing
// behind. Kept free of the C++ library so that the stub stays small.
#include <windows.h>
#include <fcntl.h>
#include <stdio.h>
#include <fdi.h>
#include <ntsecapi.h>

#include "stub/package_format.h"
#include "common/system_dll_win.h"

namespace kestrane {
namespace {

constexpr size_t kPath = 1024;
constexpr char kCabinetName[] = "<package>";

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

uint32_t LE32(const unsigned char* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// ---- streams handed to the cabinet library: the cabinet in memory, or an output file ----

struct Stream {
  HANDLE file;  // INVALID_HANDLE_VALUE for the cabinet
  const unsigned char* data;
  uint32_t size, pos;  // for a file: the size the cabinet announces, and the bytes written
};

struct Unpack {
  Resource cabinet;
  char folder[kPath];
  DWORD write_error = 0;    // first failure writing a file
  char bad_name[MAX_PATH];  // an entry name refused
  bool refused = false;
} g;

FNALLOC(Alloc) {
  return HeapAlloc(GetProcessHeap(), 0, cb);
}
FNFREE(Free) {
  HeapFree(GetProcessHeap(), 0, pv);
}

Stream* NewStream(HANDLE file) {
  Stream* s = static_cast<Stream*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Stream)));
  if (s) {
    s->file = file;
    s->data = g.cabinet.data;
    s->size = g.cabinet.size;
  }
  return s;
}

FNOPEN(Open) {
  (void)oflag, (void)pmode;
  if (lstrcmpA(pszFile, kCabinetName) != 0) return -1;  // the library opens nothing else
  Stream* s = NewStream(INVALID_HANDLE_VALUE);
  return s ? reinterpret_cast<INT_PTR>(s) : -1;
}

FNREAD(Read) {
  Stream* s = reinterpret_cast<Stream*>(hf);
  if (s->file != INVALID_HANDLE_VALUE) return static_cast<UINT>(-1);
  UINT n = s->size - s->pos < cb ? s->size - s->pos : cb;
  CopyMemory(pv, s->data + s->pos, n);
  s->pos += n;
  return n;
}

FNWRITE(Write) {
  Stream* s = reinterpret_cast<Stream*>(hf);
  DWORD put = 0;
  if (s->file == INVALID_HANDLE_VALUE || !WriteFile(s->file, pv, cb, &put, nullptr) || put != cb) {
    if (!g.write_error) g.write_error = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
    return static_cast<UINT>(-1);
  }
  s->pos += put;
  return put;
}

FNCLOSE(Close) {
  Stream* s = reinterpret_cast<Stream*>(hf);
  if (s->file != INVALID_HANDLE_VALUE) CloseHandle(s->file);
  HeapFree(GetProcessHeap(), 0, s);
  return 0;
}

FNSEEK(Seek) {
  Stream* s = reinterpret_cast<Stream*>(hf);
  if (s->file != INVALID_HANDLE_VALUE) return -1;
  long base = seektype == SEEK_SET   ? 0
              : seektype == SEEK_CUR ? static_cast<long>(s->pos)
                                     : static_cast<long>(s->size);
  long to = base + dist;
  if (to < 0 || static_cast<uint32_t>(to) > s->size) return -1;
  s->pos = static_cast<uint32_t>(to);
  return to;
}

bool Join(char* out, const char* folder, const char* name) {
  int a = lstrlenA(folder), b = lstrlenA(name);
  if (a + 1 + b + 1 > static_cast<int>(kPath)) return false;
  CopyMemory(out, folder, a);
  out[a] = '\\';
  CopyMemory(out + a + 1, name, b + 1);
  return true;
}

FNFDINOTIFY(Notify) {
  switch (fdint) {
    case fdintCOPY_FILE: {
      char path[kPath];
      if (!IsSafeEntryName(pfdin->psz1)) {
        g.refused = true;
        lstrcpynA(g.bad_name, pfdin->psz1, sizeof g.bad_name);
        return -1;
      }
      if (!Join(path, g.folder, pfdin->psz1)) {
        g.write_error = ERROR_FILENAME_EXCED_RANGE;
        return -1;
      }
      // CREATE_NEW: a name that came twice is a damaged package, never a second write.
      HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
      if (h == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_EXISTS) {
          g.refused = true;
          lstrcpynA(g.bad_name, pfdin->psz1, sizeof g.bad_name);
        } else if (!g.write_error) {
          g.write_error = GetLastError();
        }
        return -1;
      }
      Stream* s = NewStream(h);
      if (!s) {
        CloseHandle(h);
        g.write_error = ERROR_NOT_ENOUGH_MEMORY;
        return -1;
      }
      s->data = nullptr;
      s->size = static_cast<uint32_t>(pfdin->cb);
      return reinterpret_cast<INT_PTR>(s);
    }
    case fdintCLOSE_FILE_INFO: {
      Stream* s = reinterpret_cast<Stream*>(pfdin->hf);
      // Not every cabinet library stops on a failed write; a short file must not pass as whole.
      if (s->pos != s->size && !g.write_error) g.write_error = ERROR_DISK_FULL;
      FILETIME local, utc;
      if (DosDateTimeToFileTime(pfdin->date, pfdin->time, &local) &&
          LocalFileTimeToFileTime(&local, &utc))
        SetFileTime(s->file, nullptr, nullptr, &utc);
      Close(pfdin->hf);
      return TRUE;
    }
    case fdintPARTIAL_FILE:
    case fdintNEXT_CABINET:
      return -1;  // a package is one whole cabinet
    default:
      return 0;
  }
}

// ---- the folder ----

// The folder takes the rights of %TEMP%, which is the user's own: only the user and the system
// may enter it.
CreateResult CreatePrivateFolder(const char* path, void*) {
  if (CreateDirectoryA(path, nullptr)) return CreateResult::kCreated;
  DWORD e = GetLastError();
  return e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS ? CreateResult::kExists
                                                             : CreateResult::kFailed;
}

bool RandomBits(void* bytes, size_t n, void*) {
  return RtlGenRandom(bytes, static_cast<ULONG>(n)) != FALSE;
}

// Removes a folder and all below it. Links inside it are removed, never followed. Files that are
// still in use (a program that has just ended may hold its own file for a moment) are retried.
void RemoveTree(const char* folder) {
  for (int attempt = 0; attempt < 40; ++attempt) {
    char pattern[kPath];
    if (!Join(pattern, folder, "*")) return;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA(pattern, &fd);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (!lstrcmpA(fd.cFileName, ".") || !lstrcmpA(fd.cFileName, "..")) continue;
        char path[kPath];
        if (!Join(path, folder, fd.cFileName)) continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
          SetFileAttributesA(path, fd.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
          DeleteFileA(path);
        else if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
          RemoveDirectoryA(path);
        else
          RemoveTree(path);
      } while (FindNextFileA(find, &fd));
      FindClose(find);
    }
    if (RemoveDirectoryA(folder) || GetLastError() == ERROR_FILE_NOT_FOUND ||
        GetLastError() == ERROR_PATH_NOT_FOUND)
      return;
    Sleep(250);
  }
}

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

// Whether a process of `job` still runs a program from `folder`: a viewer left behind by its
// launcher still holds unpacked files. Other programs started along the way (a desktop process,
// a browser) may outlive the show and must not keep the package waiting.
bool RunsFromFolder(HANDLE job, const char* folder) {
  struct {
    JOBOBJECT_BASIC_PROCESS_ID_LIST list;
    ULONG_PTR more[63];
  } ids = {};
  ids.list.NumberOfAssignedProcesses = 64;
  if (!QueryInformationJobObject(job, JobObjectBasicProcessIdList, &ids, sizeof ids, nullptr) &&
      GetLastError() != ERROR_MORE_DATA)
    return false;
  // %TEMP% may be given in short form (C:\Users\JOHNSM~1\...), and a program started through it
  // may carry that form in its image name: both sides are compared in long form.
  char long_folder[kPath];
  DWORD long_n = GetLongPathNameA(folder, long_folder, sizeof long_folder);
  if (long_n > 0 && long_n < sizeof long_folder) folder = long_folder;
  const int folder_n = lstrlenA(folder);
  for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList && i < 64; ++i) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                 static_cast<DWORD>(ids.list.ProcessIdList[i]));
    if (!process) continue;
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
    CloseHandle(process);
    if (inside && running) return true;
  }
  return false;
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
  if (!IsSafeEntryName(name) || !Join(path, g.folder, name)) {
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
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  if (job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }
  // Makes sure the desktop exists now. Where it is started on demand (Wine), the first program to
  // open a window would start it, inheriting that program's folder as its own and its job.
  GetDesktopWindow();
  if (!CreateProcessA(path, line, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, g.folder, &si,
                      &pi)) {
    *error = GetLastError();
    if (job) CloseHandle(job);
    return false;
  }
  bool in_job = job && AssignProcessToJobObject(job, pi.hProcess);
  ResumeThread(pi.hThread);
  CloseHandle(pi.hThread);
  WaitForSingleObject(pi.hProcess, INFINITE);
  GetExitCodeProcess(pi.hProcess, exit_code);
  CloseHandle(pi.hProcess);
  if (in_job)
    while (RunsFromFolder(job, g.folder)) Sleep(200);
  if (job) CloseHandle(job);
  return true;
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

DWORD Main() {
  g_title = Text(kResTitle, "Package");
  if (!*g_title) g_title = "Package";
  const char* command = Text(kResRunProgram, nullptr);
  Resource sum = FindRes(kResCabSum);
  g.cabinet = FindRes(kResCabinet);
  if (!command || !g.cabinet.data || sum.size != 8 || LE32(sum.data) != g.cabinet.size ||
      LE32(sum.data + 4) != Crc32(0, g.cabinet.data, g.cabinet.size))
    return Stop(ERROR_INVALID_DATA, kDamaged);
  Resource show = FindRes(kResShowWindow);
  const int show_cmd = ShowCommand(show.size == 4 ? static_cast<int>(LE32(show.data)) : 0);

  const char* prompt = Text(kResPrompt, "");
  if (*prompt && MessageBoxA(nullptr, prompt, g_title, MB_YESNO | MB_ICONQUESTION) != IDYES)
    return ERROR_CANCELLED;

  HMODULE cabinet = LoadSystemDll("cabinet.dll");
  auto fdi_create = reinterpret_cast<decltype(&FDICreate)>(
      reinterpret_cast<void*>(cabinet ? GetProcAddress(cabinet, "FDICreate") : nullptr));
  auto fdi_copy = reinterpret_cast<decltype(&FDICopy)>(
      reinterpret_cast<void*>(cabinet ? GetProcAddress(cabinet, "FDICopy") : nullptr));
  auto fdi_destroy = reinterpret_cast<decltype(&FDIDestroy)>(
      reinterpret_cast<void*>(cabinet ? GetProcAddress(cabinet, "FDIDestroy") : nullptr));
  if (!fdi_create || !fdi_copy || !fdi_destroy)
    return Stop(ERROR_MOD_NOT_FOUND, "The system's cabinet library could not be loaded.%s");

  char temp[MAX_PATH];
  DWORD t = GetTempPathA(MAX_PATH, temp);
  FolderMaker maker = {CreatePrivateFolder, RandomBits, nullptr};
  SetLastError(ERROR_PATH_NOT_FOUND);
  if (t == 0 || t >= MAX_PATH || !MakeUniqueFolder(temp, maker, 16, g.folder, sizeof g.folder)) {
    DWORD e = GetLastError() ? GetLastError() : ERROR_CANNOT_MAKE;
    return Stop(e,
                "The folder for temporary files, %s, cannot be written, so this package cannot "
                "be unpacked (error %lu).",
                t && t < MAX_PATH ? temp : "%TEMP%", e);
  }

  ERF erf = {};
  HFDI fdi = fdi_create(Alloc, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &erf);
  char empty[1] = "", cab_name[sizeof kCabinetName];
  lstrcpyA(cab_name, kCabinetName);
  bool unpacked = fdi && fdi_copy(fdi, cab_name, empty, 0, Notify, nullptr, nullptr) &&
                  !g.write_error && !g.refused;
  if (fdi) fdi_destroy(fdi);
  if (!unpacked) {
    RemoveTree(g.folder);
    if (g.refused)
      return Stop(ERROR_INVALID_NAME,
                  "This package holds a file named \"%s\", which no package may hold, so it was "
                  "not opened.",
                  g.bad_name);
    if (g.write_error == ERROR_DISK_FULL || g.write_error == ERROR_HANDLE_DISK_FULL)
      return Stop(ERROR_DISK_FULL,
                  "There is not enough free space on the disk to unpack this package.%s\n\n"
                  "Please free some space and start it again.");
    if (g.write_error)
      return Stop(g.write_error, "This package could not be unpacked into %s (error %lu).",
                  g.folder, g.write_error);
    return Stop(ERROR_INVALID_DATA, kDamaged);
  }

  char program[MAX_PATH] = "";
  DWORD exit_code = 0, error = 0;
  if (!Run(command, show_cmd, &exit_code, &error, program)) {
    RemoveTree(g.folder);
    return Stop(error, "The program %s in this package could not be started (error %lu).", program,
                error);
  }
  const char* post = Text(kResPostRunProgram, "");
  if (*post) {
    DWORD post_code = 0;
    if (!Run(post, show_cmd, &post_code, &error, program)) {
      RemoveTree(g.folder);
      return Stop(error, "The program %s in this package could not be started (error %lu).",
                  program, error);
    }
  }
  RemoveTree(g.folder);
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
