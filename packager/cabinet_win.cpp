#include "packager/cabinet_win.h"

#include <windows.h>
#include <fcntl.h>
#include <fci.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <new>

#include "common/system_dll_win.h"
#include "stub/package_format.h"

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

constexpr size_t kBlock = 1 << 20;           // reads and writes of real files
constexpr char kCabinetName[] = "*package";  // never a real file's name
constexpr char kScratchPrefix[] = "*scratch";

// One of the library's scratch streams: in memory, in blocks, until the bound is reached; then
// in a file that goes when closed.
struct Scratch {
  std::vector<std::unique_ptr<char[]>> blocks;
  uint64_t size = 0;
  HANDLE spill = INVALID_HANDLE_VALUE;
  ~Scratch() {
    if (spill != INVALID_HANDLE_VALUE) CloseHandle(spill);
  }
};

struct Context {
  OutputFile* out = nullptr;
  uint64_t base = 0;
  std::string folder;  // for spilled scratch
  std::map<std::string, std::shared_ptr<Scratch>> scratch;
  int scratch_names = 0;
  uint64_t in_memory = 0, memory_limit = 0;
  CabinetSummer cab;
  DWORD last_error = 0;
  std::string failed_file;
};

struct Stream {
  enum Kind { kSource, kScratch, kCabinet };
  explicit Stream(Kind k) : kind(k) {}
  Kind kind;
  uint64_t pos = 0;
  HANDLE file = INVALID_HANDLE_VALUE;  // a source
  std::vector<char> ahead;             // a source's next bytes, from `ahead_at`
  uint64_t ahead_at = 0;
  std::shared_ptr<Scratch> scratch;
};

Context* Ctx(void* pv) {
  return static_cast<Context*>(pv);
}
Stream* S(INT_PTR hf) {
  return reinterpret_cast<Stream*>(hf);
}

FNFCIALLOC(Alloc) {
  return HeapAlloc(GetProcessHeap(), 0, cb);
}
FNFCIFREE(Free) {
  HeapFree(GetProcessHeap(), 0, memory);
}

bool FileAt(HANDLE h, uint64_t at) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(at);
  return SetFilePointerEx(h, to, nullptr, FILE_BEGIN) != FALSE;
}

bool Spill(Context* c, Scratch* s) {
  char name[MAX_PATH];
  if (!GetTempFileNameA(c->folder.c_str(), "~pk", 0, name)) return false;
  s->spill = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (s->spill == INVALID_HANDLE_VALUE) {
    DeleteFileA(name);
    return false;
  }
  for (uint64_t at = 0; at < s->size; at += kBlock) {
    const DWORD n = static_cast<DWORD>(std::min<uint64_t>(kBlock, s->size - at));
    DWORD put = 0;
    if (!WriteFile(s->spill, s->blocks[at / kBlock].get(), n, &put, nullptr) || put != n)
      return false;
  }
  c->in_memory -= s->blocks.size() * kBlock;
  s->blocks.clear();
  return true;
}

bool ScratchWrite(Context* c, Stream* st, const char* p, UINT cb) {
  Scratch* s = st->scratch.get();
  const uint64_t end = st->pos + cb;
  const size_t need = static_cast<size_t>((end + kBlock - 1) / kBlock);
  if (s->spill == INVALID_HANDLE_VALUE && need > s->blocks.size() &&
      c->in_memory + (need - s->blocks.size()) * kBlock > c->memory_limit && !Spill(c, s))
    return false;
  if (s->spill != INVALID_HANDLE_VALUE) {
    DWORD put = 0;
    if (!FileAt(s->spill, st->pos) || !WriteFile(s->spill, p, cb, &put, nullptr) || put != cb)
      return false;
  } else {
    while (s->blocks.size() < need) {
      s->blocks.emplace_back(new (std::nothrow) char[kBlock]);
      if (!s->blocks.back()) {
        s->blocks.pop_back();
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
      }
      c->in_memory += kBlock;
    }
    // A write past the end leaves zeros between, as a file would.
    for (uint64_t at = s->size; at < st->pos;) {
      const size_t off = static_cast<size_t>(at % kBlock);
      const size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock - off, st->pos - at));
      memset(s->blocks[at / kBlock].get() + off, 0, n);
      at += n;
    }
    for (uint64_t at = st->pos; at < end;) {
      const size_t off = static_cast<size_t>(at % kBlock);
      const size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock - off, end - at));
      memcpy(s->blocks[at / kBlock].get() + off, p + (at - st->pos), n);
      at += n;
    }
  }
  st->pos = end;
  s->size = std::max(s->size, end);
  return true;
}

UINT ScratchRead(Stream* st, char* p, UINT cb) {
  Scratch* s = st->scratch.get();
  const uint64_t end = std::min<uint64_t>(s->size, st->pos + cb);
  if (st->pos >= end) return 0;
  const UINT want = static_cast<UINT>(end - st->pos);
  if (s->spill != INVALID_HANDLE_VALUE) {
    DWORD got = 0;
    if (!FileAt(s->spill, st->pos) || !ReadFile(s->spill, p, want, &got, nullptr))
      return static_cast<UINT>(-1);
    st->pos += got;
    return got;
  }
  for (uint64_t at = st->pos; at < end;) {
    const size_t off = static_cast<size_t>(at % kBlock);
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock - off, end - at));
    memcpy(p + (at - st->pos), s->blocks[at / kBlock].get() + off, n);
    at += n;
  }
  st->pos = end;
  return want;
}

// The library asks for a source in blocks of one cabinet data block; the disk is asked in larger
// ones.
UINT SourceRead(Stream* st, char* p, UINT cb) {
  UINT done = 0;
  while (done < cb) {
    if (st->pos < st->ahead_at || st->pos >= st->ahead_at + st->ahead.size()) {
      st->ahead.resize(kBlock);
      DWORD got = 0;
      if (!FileAt(st->file, st->pos) ||
          !ReadFile(st->file, st->ahead.data(), static_cast<DWORD>(kBlock), &got, nullptr))
        return static_cast<UINT>(-1);
      st->ahead.resize(got);
      st->ahead_at = st->pos;
      if (got == 0) break;
    }
    const size_t off = static_cast<size_t>(st->pos - st->ahead_at);
    const UINT n = static_cast<UINT>(std::min<size_t>(cb - done, st->ahead.size() - off));
    memcpy(p + done, st->ahead.data() + off, n);
    done += n;
    st->pos += n;
  }
  return done;
}

FNFCIOPEN(Open) {
  (void)pmode;
  Context* c = Ctx(pv);
  std::unique_ptr<Stream> st;
  if (strcmp(pszFile, kCabinetName) == 0) {
    st.reset(new Stream(Stream::kCabinet));
    if (oflag & _O_TRUNC) c->cab.Restart();
  } else if (strncmp(pszFile, kScratchPrefix, sizeof kScratchPrefix - 1) == 0) {
    std::shared_ptr<Scratch>& s = c->scratch[pszFile];
    if (s && (oflag & _O_TRUNC)) {
      if (s->spill == INVALID_HANDLE_VALUE) c->in_memory -= s->blocks.size() * kBlock;
      s.reset();
    }
    if (!s) s = std::make_shared<Scratch>();
    st.reset(new Stream(Stream::kScratch));
    st->scratch = s;
  } else {
    *err = ERROR_FILE_NOT_FOUND;  // the library opens nothing else
    return -1;
  }
  return reinterpret_cast<INT_PTR>(st.release());
}

FNFCIREAD(Read) {
  Stream* st = S(hf);
  char* p = static_cast<char*>(memory);
  UINT got = static_cast<UINT>(-1);
  if (st->kind == Stream::kSource) {
    got = SourceRead(st, p, cb);
  } else if (st->kind == Stream::kScratch) {
    got = ScratchRead(st, p, cb);
  } else {
    Context* c = Ctx(pv);
    const UINT n =
        static_cast<UINT>(std::min<uint64_t>(cb, c->cab.end() - std::min(c->cab.end(), st->pos)));
    if (c->out->ReadAt(c->base + st->pos, p, n)) got = n, st->pos += n;
  }
  if (got == static_cast<UINT>(-1)) {
    *err = static_cast<int>(GetLastError());
    Ctx(pv)->last_error = GetLastError();
  }
  return got;
}

FNFCIWRITE(Write) {
  Context* c = Ctx(pv);
  Stream* st = S(hf);
  bool ok = false;
  if (st->kind == Stream::kScratch) {
    ok = ScratchWrite(c, st, static_cast<const char*>(memory), cb);
    if (!ok) c->last_error = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
  } else if (st->kind == Stream::kCabinet) {
    c->cab.Wrote(st->pos, memory, cb);
    ok = c->out->WriteAt(c->base + st->pos, memory, cb);
    if (ok) st->pos += cb;
    if (!ok) c->last_error = c->out->error();
  }
  if (!ok) {
    *err = static_cast<int>(c->last_error);
    return static_cast<UINT>(-1);
  }
  return cb;
}

FNFCICLOSE(Close) {
  (void)pv, (void)err;
  Stream* st = S(hf);
  if (st->file != INVALID_HANDLE_VALUE) CloseHandle(st->file);
  delete st;
  return 0;
}

FNFCISEEK(Seek) {
  Context* c = Ctx(pv);
  Stream* st = S(hf);
  int64_t end = 0;
  if (st->kind == Stream::kCabinet) end = static_cast<int64_t>(c->cab.end());
  if (st->kind == Stream::kScratch) end = static_cast<int64_t>(st->scratch->size);
  LARGE_INTEGER size;
  if (st->kind == Stream::kSource && seektype == SEEK_END) {
    if (!GetFileSizeEx(st->file, &size)) {
      *err = static_cast<int>(GetLastError());
      return -1;
    }
    end = size.QuadPart;
  }
  const int64_t from = seektype == SEEK_SET   ? 0
                       : seektype == SEEK_CUR ? static_cast<int64_t>(st->pos)
                                              : end;
  const int64_t to = from + dist;
  if (to < 0 || to > 0x7FFFFFFF) {
    *err = ERROR_NEGATIVE_SEEK;
    return -1;
  }
  st->pos = static_cast<uint64_t>(to);
  return static_cast<LONG>(to);
}

FNFCIDELETE(Delete) {
  Context* c = Ctx(pv);
  auto it = c->scratch.find(pszFile);
  if (it == c->scratch.end()) {
    *err = ERROR_FILE_NOT_FOUND;
    return -1;
  }
  if (it->second->spill == INVALID_HANDLE_VALUE) c->in_memory -= it->second->blocks.size() * kBlock;
  c->scratch.erase(it);
  return 0;
}

FNFCIGETTEMPFILE(TempFile) {
  Context* c = Ctx(pv);
  const std::string name = kScratchPrefix + std::to_string(++c->scratch_names);
  if (static_cast<int>(name.size()) >= cbTempName) return FALSE;
  strcpy(pszTempName, name.c_str());
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
  BY_HANDLE_FILE_INFORMATION info = {};
  FILETIME local;
  if (!GetFileInformationByHandle(h, &info) ||
      !FileTimeToLocalFileTime(&info.ftLastWriteTime, &local) ||
      !FileTimeToDosDateTime(&local, pdate, ptime)) {
    *pdate = 0x21;  // 1980-01-01
    *ptime = 0;
  }
  // Only the read-only bit travels: hidden or system files would be awkward to clean up.
  *pattribs = static_cast<USHORT>(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
  Stream* st = new (std::nothrow) Stream(Stream::kSource);
  if (!st) {
    CloseHandle(h);
    *err = ERROR_NOT_ENOUGH_MEMORY;
    return -1;
  }
  st->file = h;
  return reinterpret_cast<INT_PTR>(st);
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
      what = "cannot keep the cabinet's scratch data";
      break;
    case FCIERR_CAB_FILE:
      what = "cannot write the package";
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

bool WriteCabinet(const std::vector<CabinetEntry>& entries, OutputFile* out, uint64_t base,
                  const std::string& scratch_folder, uint64_t scratch_memory, CabinetSum* written,
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
    if (dll) FreeLibrary(dll);
    return false;
  }
  Context c;
  c.out = out;
  c.base = base;
  c.folder = scratch_folder;
  c.memory_limit = scratch_memory;

  CCAB cab = {};
  cab.cb = 0x7FFFFFFF;
  cab.cbFolderThresh = 0x7FFFFFFF;
  cab.setID = 0x4B53;
  strcpy(cab.szCab, kCabinetName);

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
  c.scratch.clear();
  FreeLibrary(dll);
  if (!ok) return false;
  if (c.cab.end() > 0x7FFFFFFF) {
    *error = "the files are too large for one package";
    return false;
  }
  if (!c.cab.Finish(written)) {
    // The library went back over what it had written: the sum is taken from the file.
    std::vector<char> block(kBlock);
    written->size = static_cast<uint32_t>(c.cab.end());
    written->crc = written->words = 0;
    for (uint64_t at = 0; at < c.cab.end(); at += kBlock) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock, c.cab.end() - at));
      if (!out->ReadAt(base + at, block.data(), n)) {
        *error = "cannot read the package back (error " + std::to_string(out->error()) + ")";
        return false;
      }
      written->crc = Crc32(written->crc, block.data(), n);
      written->words = PeSumAdd(written->words, reinterpret_cast<uint8_t*>(block.data()), n);
    }
  }
  return true;
}

OutputFile::OutputFile(HANDLE file, uint64_t limit) : file_(file), limit_(limit) {
  buffer_.reserve(kBlock);
}

bool OutputFile::Put(uint64_t at, const void* data, size_t size) {
  if (error_) return false;
  DWORD put = 0;
  if (written_ + size > limit_) {
    error_ = ERROR_DISK_FULL;
    return false;
  }
  if (!FileAt(file_, at) || !WriteFile(file_, data, static_cast<DWORD>(size), &put, nullptr) ||
      put != size) {
    error_ = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
    return false;
  }
  written_ += size;
  return true;
}

bool OutputFile::Flush() {
  if (buffer_.empty()) return !error_;
  bool ok = Put(buffer_at_, buffer_.data(), buffer_.size());
  buffer_.clear();
  return ok;
}

bool OutputFile::WriteAt(uint64_t at, const void* data, size_t size) {
  if (error_) return false;
  if (!buffer_.empty() && at == buffer_at_ + buffer_.size() &&
      buffer_.size() + size <= buffer_.capacity()) {
    buffer_.insert(buffer_.end(), static_cast<const char*>(data),
                   static_cast<const char*>(data) + size);
    return true;
  }
  if (!Flush()) return false;
  if (size >= buffer_.capacity()) return Put(at, data, size);
  buffer_at_ = at;
  buffer_.assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);
  return true;
}

std::string OutputFile::Detail() const {
  return " (error " + std::to_string(error_) + ")";
}

bool OutputFile::ReadAt(uint64_t at, void* data, size_t size) {
  if (!Flush()) return false;
  DWORD got = 0;
  if (!FileAt(file_, at) || !ReadFile(file_, data, static_cast<DWORD>(size), &got, nullptr) ||
      got != size) {
    error_ = GetLastError() ? GetLastError() : ERROR_HANDLE_EOF;
    return false;
  }
  return true;
}

}  // namespace kestrane
