#include "stub/unpack_win.h"

#include <fcntl.h>
#include <stdio.h>

#include "common/scoped_win.h"
#include "common/system_dll_win.h"
#include "common/package_format.h"

namespace kestrane {
namespace {

constexpr char kCabinetName[] = "<package>";

// A stream handed to the cabinet library: the cabinet in memory, or an output file. Every
// stream is kept on a list so that what the library leaves open can be closed after it.
struct Stream {
  HANDLE file;  // INVALID_HANDLE_VALUE for the cabinet
  const unsigned char* data;
  uint32_t size, pos;  // for a file: the size the cabinet announces, and the bytes written
  Stream* next;
  Stream* prev;
};

struct State {
  const unsigned char* cabinet;
  uint32_t cabinet_size;
  const char* folder;
  DWORD write_error;
  bool out_of_memory;
  bool refused;
  char* bad_name;
  Stream* open;  // streams not yet closed
} g;

bool IsMemoryError(DWORD e) {
  return e == ERROR_NOT_ENOUGH_MEMORY || e == ERROR_OUTOFMEMORY;
}

FNALLOC(Alloc) {
  void* p = HeapAlloc(GetProcessHeap(), 0, cb);
  if (!p) g.out_of_memory = true;
  return p;
}
FNFREE(Free) {
  HeapFree(GetProcessHeap(), 0, pv);
}

Stream* NewStream(HANDLE file) {
  Stream* s = static_cast<Stream*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Stream)));
  if (!s) {
    g.out_of_memory = true;
    return nullptr;
  }
  s->file = file;
  s->data = g.cabinet;
  s->size = g.cabinet_size;
  s->next = g.open;
  if (g.open) g.open->prev = s;
  g.open = s;
  return s;
}

void DeleteStream(Stream* s) {
  AutoFileHandle closed(s->file);
  if (s->prev) s->prev->next = s->next;
  if (s->next) s->next->prev = s->prev;
  if (g.open == s) g.open = s->next;
  HeapFree(GetProcessHeap(), 0, s);
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
  DeleteStream(reinterpret_cast<Stream*>(hf));
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

void Refuse(const char* name) {
  g.refused = true;
  lstrcpynA(g.bad_name, name, MAX_PATH);
}

INT_PTR CopyFileFromCabinet(PFDINOTIFICATION pfdin) {
  char path[kPath];
  if (!IsSafeEntryName(pfdin->psz1)) {
    Refuse(pfdin->psz1);
    return -1;
  }
  if (!JoinPath(path, g.folder, pfdin->psz1)) {
    g.write_error = ERROR_FILENAME_EXCED_RANGE;
    return -1;
  }
  // CREATE_NEW: a name that came twice is a damaged package, never a second write.
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_EXISTS)
      Refuse(pfdin->psz1);
    else if (!g.write_error)
      g.write_error = GetLastError();
    return -1;
  }
  Stream* s = NewStream(h);
  if (!s) {
    AutoFileHandle unused(h);
    return -1;
  }
  s->data = nullptr;
  s->size = static_cast<uint32_t>(pfdin->cb);
  return reinterpret_cast<INT_PTR>(s);
}

FNFDINOTIFY(Notify) {
  switch (fdint) {
    case fdintCOPY_FILE:
      return CopyFileFromCabinet(pfdin);
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

UnpackOutcome Judge(bool copied, const ERF& erf) {
  if (g.refused) return UnpackOutcome::kRefusedName;
  // Memory first: a library short of memory may go on to fail writes or call the cabinet bad.
  if (g.out_of_memory || IsMemoryError(g.write_error) ||
      (!copied && erf.erfOper == FDIERROR_ALLOC_FAIL))
    return UnpackOutcome::kOutOfMemory;
  if (g.write_error == ERROR_DISK_FULL || g.write_error == ERROR_HANDLE_DISK_FULL)
    return UnpackOutcome::kDiskFull;
  if (g.write_error) return UnpackOutcome::kWriteFailed;
  return copied ? UnpackOutcome::kUnpacked : UnpackOutcome::kDamaged;
}

}  // namespace

bool JoinPath(char* out, const char* folder, const char* name) {
  int a = lstrlenA(folder), b = lstrlenA(name);
  if (a + 1 + b + 1 > static_cast<int>(kPath)) return false;
  CopyMemory(out, folder, a);
  out[a] = '\\';
  CopyMemory(out + a + 1, name, b + 1);
  return true;
}

bool LoadCabinetLibrary(CabinetLibrary* lib) {
  HMODULE m = LoadSystemDll("cabinet.dll");
  if (!m) return false;
  lib->create = Function<decltype(&FDICreate)>(m, "FDICreate");
  lib->copy = Function<decltype(&FDICopy)>(m, "FDICopy");
  lib->destroy = Function<decltype(&FDIDestroy)>(m, "FDIDestroy");
  return lib->create && lib->copy && lib->destroy;
}

void UnpackCabinet(const CabinetLibrary& lib, const unsigned char* cabinet, DWORD size,
                   const char* folder, UnpackResult* result) {
  g = State{cabinet, size, folder, 0, false, false, result->bad_name, nullptr};
  result->bad_name[0] = '\0';
  ERF erf = {};
  HFDI fdi = lib.create(Alloc, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &erf);
  char empty[1] = "", cab_name[sizeof kCabinetName];
  lstrcpyA(cab_name, kCabinetName);
  bool copied = fdi && lib.copy(fdi, cab_name, empty, 0, Notify, nullptr, nullptr);
  if (fdi) lib.destroy(fdi);
  // A library that gave up in the middle of a file may never have closed it, nor the cabinet.
  while (g.open) DeleteStream(g.open);
  result->outcome = Judge(copied, erf);
  result->error = g.write_error;
}

}  // namespace kestrane
