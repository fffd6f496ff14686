#include "packager/package_win.h"

#include <windows.h>

#include <cstdint>
#include <vector>

#include "common/handle_win.h"
#include "stub/package_format.h"

namespace kestrane {

namespace {

bool ReadWhole(const std::string& path, std::vector<char>* bytes) {
  AutoFileHandle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  LARGE_INTEGER size;
  if (!f || !GetFileSizeEx(f.get(), &size) || size.QuadPart > 0x7FFFFFFF) return false;
  bytes->resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  return bytes->empty() ||
         (ReadFile(f.get(), bytes->data(), static_cast<DWORD>(bytes->size()), &got, nullptr) &&
          got == bytes->size());
}

std::string Describe(const char* what) {
  return std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

class Updater {
 public:
  explicit Updater(const std::string& path) : h_(BeginUpdateResourceA(path.c_str(), FALSE)) {}
  ~Updater() {
    if (h_) EndUpdateResourceA(h_, TRUE);
  }
  bool valid() const { return h_ != nullptr; }
  bool Put(const char* name, const void* data, size_t size) {
    return UpdateResourceA(h_, RT_RCDATA, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                           const_cast<void*>(data), static_cast<DWORD>(size)) != FALSE;
  }
  bool PutText(const char* name, const std::string& text) {
    return Put(name, text.c_str(), text.size() + 1);
  }
  bool Commit() {
    HANDLE h = h_;
    h_ = nullptr;
    return EndUpdateResourceA(h, FALSE) != FALSE;
  }

 private:
  HANDLE h_;
};

void PutLE32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// The written file, loaded as data, must hand back the very cabinet that went in.
bool ReadsBack(const std::string& path, uint32_t size, uint32_t crc) {
  HMODULE m = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!m) return false;
  bool ok = false;
  if (HRSRC r = FindResourceA(m, kResCabinet, RT_RCDATA)) {
    HGLOBAL g = LoadResource(m, r);
    const void* p = g ? LockResource(g) : nullptr;
    ok = p && SizeofResource(m, r) == size && Crc32(0, p, size) == crc;
  }
  FreeLibrary(m);
  return ok;
}

bool Build(const std::string& stub, const std::string& cab_path, const PackageDecisions& d,
           const std::string& scratch, std::string* error) {
  if (!CopyFileA(stub.c_str(), scratch.c_str(), FALSE)) {
    *error = Describe("cannot copy the stub beside the package");
    return false;
  }
  // The copy keeps the stub's attributes; a read-only stub must not give a read-only package.
  SetFileAttributesA(scratch.c_str(), FILE_ATTRIBUTE_NORMAL);
  std::vector<char> cab;
  if (!ReadWhole(cab_path, &cab)) {
    *error = Describe("cannot read the cabinet back");
    return false;
  }
  const uint32_t size = static_cast<uint32_t>(cab.size());
  const uint32_t crc = Crc32(0, cab.data(), cab.size());
  unsigned char sum[8], show[4];
  PutLE32(sum, size);
  PutLE32(sum + 4, crc);
  PutLE32(show, static_cast<uint32_t>(d.show_window));
  const std::string reboot(1, d.reboot_mode);
  {
    Updater u(scratch);
    bool ok = u.valid() && u.Put(kResCabinet, cab.data(), cab.size()) &&
              u.Put(kResCabSum, sum, sizeof sum) && u.PutText(kResTitle, d.title) &&
              u.PutText(kResRunProgram, d.program) &&
              u.PutText(kResPostRunProgram, d.post_program) &&
              u.Put(kResShowWindow, show, sizeof show) && u.PutText(kResReboot, reboot) &&
              u.PutText(kResPrompt, d.install_prompt) && u.PutText(kResFinish, d.finish_message);
    if (!ok || !u.Commit()) {
      *error = Describe("cannot write the package's resources");
      return false;
    }
  }
  std::vector<char>().swap(cab);
  if (!ReadsBack(scratch, size, crc)) {
    *error = "the written package does not read back";
    return false;
  }
  return true;
}

}  // namespace

bool ScratchFileBeside(const std::string& beside, std::string* scratch) {
  size_t cut = beside.find_last_of("\\/");
  std::string folder = cut == std::string::npos ? "." : beside.substr(0, cut);
  if (folder.empty() || folder.back() == ':') folder += '\\';
  char name[MAX_PATH];
  if (!GetTempFileNameA(folder.c_str(), "~pk", 0, name)) return false;
  *scratch = name;
  return true;
}

bool WritePackage(const std::string& stub, const std::string& cab_path,
                  const PackageDecisions& decisions, const std::string& target,
                  std::string* error) {
  std::string scratch;
  if (!ScratchFileBeside(target, &scratch)) {
    *error = Describe("cannot write beside the package");
    return false;
  }
  bool ok = Build(stub, cab_path, decisions, scratch, error);
  if (ok && !MoveFileExA(scratch.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    *error = Describe("cannot move the package into place");
    ok = false;
  }
  if (!ok) DeleteFileA(scratch.c_str());
  return ok;
}

}  // namespace kestrane
