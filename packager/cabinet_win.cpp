#include "packager/cabinet_win.h"

#include <windows.h>
#include <fcntl.h>
#include <fci.h>

#include <zlib.h>

#include <cstring>

#include "common/system_dll_win.h"

namespace kestrane {

namespace {

struct Api {
  decltype(&FCICreate) create = nullptr;
  decltype(&FCIAddFile) add_file = nullptr;
  decltype(&FCIFlushCabinet) flush = nullptr;
  decltype(&FCIDestroy) destroy = nullptr;
};

template <class F>
void Bind(HMODULE m, const char* name, F* f) {
  *f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

struct Context {
  std::string folder;  // of the cabinet; scratch files go there too
  std::vector<std::string> scratch;
  DWORD last_error = 0;
  std::string failed_file;
};

Context* Ctx(void* pv) {
  return static_cast<Context*>(pv);
}

FNFCIALLOC(Alloc) {
  return HeapAlloc(GetProcessHeap(), 0, cb);
}
FNFCIFREE(Free) {
  HeapFree(GetProcessHeap(), 0, memory);
}

FNFCIOPEN(Open) {
  (void)pmode;
  DWORD access = GENERIC_READ;
  if (oflag & _O_WRONLY) access = GENERIC_WRITE;
  if (oflag & _O_RDWR) access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  // Scratch names come from GetTempFileName, which has already made the file.
  if (oflag & _O_CREAT) disposition = CREATE_ALWAYS;
  HANDLE h = CreateFileA(pszFile, access, FILE_SHARE_READ, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *err = static_cast<int>(GetLastError());
    Ctx(pv)->last_error = GetLastError();
    return -1;
  }
  return reinterpret_cast<INT_PTR>(h);
}

FNFCIREAD(Read) {
  DWORD got = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(hf), memory, cb, &got, nullptr)) {
    *err = static_cast<int>(GetLastError());
    Ctx(pv)->last_error = GetLastError();
    return static_cast<UINT>(-1);
  }
  return got;
}

FNFCIWRITE(Write) {
  DWORD put = 0;
  if (!WriteFile(reinterpret_cast<HANDLE>(hf), memory, cb, &put, nullptr) || put != cb) {
    *err = static_cast<int>(GetLastError());
    Ctx(pv)->last_error = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
    return static_cast<UINT>(-1);
  }
  return put;
}

FNFCICLOSE(Close) {
  (void)pv;
  if (!CloseHandle(reinterpret_cast<HANDLE>(hf))) {
    *err = static_cast<int>(GetLastError());
    return -1;
  }
  return 0;
}

FNFCISEEK(Seek) {
  (void)pv;
  DWORD r =
      SetFilePointer(reinterpret_cast<HANDLE>(hf), dist, nullptr, static_cast<DWORD>(seektype));
  if (r == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
    *err = static_cast<int>(GetLastError());
    return -1;
  }
  return static_cast<LONG>(r);
}

FNFCIDELETE(Delete) {
  (void)pv;
  if (!DeleteFileA(pszFile)) {
    *err = static_cast<int>(GetLastError());
    return -1;
  }
  return 0;
}

FNFCIGETTEMPFILE(TempFile) {
  Context* c = Ctx(pv);
  char name[MAX_PATH];
  if (!GetTempFileNameA(c->folder.c_str(), "~pk", 0, name) ||
      static_cast<int>(strlen(name)) >= cbTempName)
    return FALSE;
  c->scratch.push_back(name);
  strcpy(pszTempName, name);
  return TRUE;
}

FNFCIFILEPLACED(Placed) {
  (void)pccab, (void)pszFile, (void)cbFile, (void)fContinuation, (void)pv;
  return 0;
}

FNFCIGETNEXTCABINET(NextCabinet) {
  (void)pccab, (void)cbPrevCab, (void)pv;
  return FALSE;  // one cabinet only
}

FNFCISTATUS(Status) {
  (void)typeStatus, (void)cb1, (void)cb2, (void)pv;
  return 0;
}

FNFCIGETOPENINFO(OpenInfo) {
  Context* c = Ctx(pv);
  HANDLE h = CreateFileA(pszName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *err = static_cast<int>(GetLastError());
    c->last_error = GetLastError();
    c->failed_file = pszName;
    return -1;
  }
  BY_HANDLE_FILE_INFORMATION info;
  FILETIME local;
  if (!GetFileInformationByHandle(h, &info) ||
      !FileTimeToLocalFileTime(&info.ftLastWriteTime, &local) ||
      !FileTimeToDosDateTime(&local, pdate, ptime)) {
    *pdate = 0x21;  // 1980-01-01
    *ptime = 0;
  }
  // Only the read-only bit travels: hidden or system files would be awkward to clean up.
  *pattribs = static_cast<USHORT>(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
  return reinterpret_cast<INT_PTR>(h);
}

std::string Reason(const ERF& erf, const Context& c) {
  std::string what;
  switch (erf.erfOper) {
    case FCIERR_OPEN_SRC:
      what = "cannot open " + c.failed_file;
      break;
    case FCIERR_READ_SRC:
      what = "cannot read a source file";
      break;
    case FCIERR_ALLOC_FAIL:
      what = "out of memory";
      break;
    case FCIERR_TEMP_FILE:
      what = "cannot write a scratch file beside the package";
      break;
    case FCIERR_CAB_FILE:
      what = "cannot write the cabinet";
      break;
    case 9:
      what = "the files are too large for one cabinet";
      break;
    default:
      what = "the cabinet library failed (" + std::to_string(erf.erfOper) + ")";
      break;
  }
  if (c.last_error) what += " (error " + std::to_string(c.last_error) + ")";
  return what;
}

}  // namespace

bool WorthCompressing(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return true;  // the library will report it
  LARGE_INTEGER size;
  bool worth = true;
  const DWORD kSample = 64 * 1024;
  const int kSamples = 16;
  if (GetFileSizeEx(h, &size) && size.QuadPart > kSample) {
    std::vector<unsigned char> in(kSample), out(compressBound(kSample));
    uint64_t raw = 0, packed = 0;
    for (int i = 0; i < kSamples; ++i) {
      LARGE_INTEGER at;
      at.QuadPart = (size.QuadPart - kSample) / (kSamples - 1) * i;
      DWORD got = 0;
      if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN) ||
          !ReadFile(h, in.data(), kSample, &got, nullptr) || got == 0)
        break;
      uLongf n = static_cast<uLongf>(out.size());
      if (compress2(out.data(), &n, in.data(), got, 1) != Z_OK) break;
      raw += got;
      packed += n;
    }
    worth = raw == 0 || packed * 10 < raw * 9;
  }
  CloseHandle(h);
  return worth;
}

bool BuildCabinet(const std::vector<CabinetEntry>& entries, const std::string& cab_path,
                  std::string* error) {
  HMODULE dll = LoadSystemDll("cabinet.dll");
  Api api;
  if (dll) {
    Bind(dll, "FCICreate", &api.create);
    Bind(dll, "FCIAddFile", &api.add_file);
    Bind(dll, "FCIFlushCabinet", &api.flush);
    Bind(dll, "FCIDestroy", &api.destroy);
  }
  if (!api.create || !api.add_file || !api.flush || !api.destroy) {
    *error = "the system's cabinet library cannot be loaded";
    return false;
  }
  size_t cut = cab_path.find_last_of('\\');
  Context c;
  c.folder = cut == std::string::npos ? "." : cab_path.substr(0, cut);
  std::string cab_name = cut == std::string::npos ? cab_path : cab_path.substr(cut + 1);

  CCAB cab = {};
  cab.cb = 0x7FFFFFFF;
  cab.cbFolderThresh = 0x7FFFFFFF;
  cab.setID = 0x4B53;
  if (c.folder.size() + 1 >= sizeof(cab.szCabPath) || cab_name.size() >= sizeof(cab.szCab)) {
    *error = "the package path is too long";
    return false;
  }
  strcpy(cab.szCabPath, (c.folder + "\\").c_str());
  strcpy(cab.szCab, cab_name.c_str());

  ERF erf = {};
  HFCI fci = api.create(&erf, Placed, Alloc, Free, Open, Read, Write, Close, Seek, Delete, TempFile,
                        &cab, &c);
  bool ok = fci != nullptr;
  for (size_t i = 0; ok && i < entries.size(); ++i) {
    // The library starts a new folder where the compression changes.
    ok = api.add_file(fci, const_cast<char*>(entries[i].source.c_str()),
                      const_cast<char*>(entries[i].name.c_str()), FALSE, NextCabinet, Status,
                      OpenInfo,
                      WorthCompressing(entries[i].source) ? tcompTYPE_MSZIP : tcompTYPE_NONE);
  }
  if (ok) ok = api.flush(fci, FALSE, NextCabinet, Status);
  if (!ok) *error = Reason(erf, c);
  if (fci) api.destroy(fci);
  for (const auto& s : c.scratch) DeleteFileA(s.c_str());
  if (!ok) DeleteFileA(cab_path.c_str());
  FreeLibrary(dll);
  return ok;
}

}  // namespace kestrane
