#include "packager/package_win.h"

#include <windows.h>

#include <cstring>
#include <utility>

#include "common/le_bytes.h"
#include "common/private_file_win.h"
#include "common/scoped_win.h"
#include "packager/pe_image.h"
#include "common/package_format.h"

namespace kestrane {

namespace {

bool ReadWhole(const std::string& path, std::vector<uint8_t>* bytes) {
  AutoFileHandle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  LARGE_INTEGER size;
  if (!f || !GetFileSizeEx(f.get(), &size) || size.QuadPart > (64 << 20)) return false;
  bytes->resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  return bytes->empty() ||
         (ReadFile(f.get(), bytes->data(), static_cast<DWORD>(bytes->size()), &got, nullptr) &&
          got == bytes->size());
}

std::string Describe(const char* what, DWORD code = GetLastError()) {
  return std::string(what) + " (error " + std::to_string(code) + ")";
}

std::vector<uint8_t> Text(const std::string& s) {
  return std::vector<uint8_t>(s.c_str(), s.c_str() + s.size() + 1);
}

// The package's resources in the order the section holds them; the cabinet last, as the tail.
std::vector<PackageResource> Resources(const PackageDecisions& d, const CabinetSum& cab) {
  std::vector<uint8_t> sum(8), show(4);
  le::Put32(sum.data(), cab.size);
  le::Put32(sum.data() + 4, cab.crc);
  le::Put32(show.data(), static_cast<uint32_t>(d.show_window));
  return {{kResCabSum, sum},
          {kResTitle, Text(d.title)},
          {kResRunProgram, Text(d.program)},
          {kResPostRunProgram, Text(d.post_program)},
          {kResShowWindow, show},
          {kResReboot, Text(std::string(1, d.reboot_mode))},
          {kResPrompt, Text(d.install_prompt)},
          {kResFinish, Text(d.finish_message)},
          {kResCabinet, {}}};
}

// The system's own resource functions must find the cabinet where it was written, with the sum
// that describes it. Loading as data maps the file without reading the cabinet's bytes.
bool ReadsBack(const std::string& path, const CabinetSum& cab) {
  AutoModule module(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module) return false;
  HMODULE m = module.get();
  auto find = [m](const char* name, DWORD* size) -> const uint8_t* {
    HRSRC r = FindResourceA(m, name, RT_RCDATA);
    HGLOBAL g = r ? LoadResource(m, r) : nullptr;
    *size = r ? SizeofResource(m, r) : 0;
    return g ? static_cast<const uint8_t*>(LockResource(g)) : nullptr;
  };
  DWORD cab_size = 0, sum_size = 0;
  const uint8_t* p = find(kResCabinet, &cab_size);
  const uint8_t* sum = find(kResCabSum, &sum_size);
  uint8_t expect[8];
  le::Put32(expect, cab.size);
  le::Put32(expect + 4, cab.crc);
  const bool ok = p && sum && cab_size == cab.size && cab.size >= 4 && memcmp(p, "MSCF", 4) == 0 &&
                  sum_size == 8 && memcmp(sum, expect, 8) == 0;
  return ok;
}

bool Build(const std::string& stub_path, const std::vector<CabinetEntry>& entries,
           const PackageDecisions& d, AutoFileHandle f, const std::string& scratch,
           const CabinetLimits& limits, CabinetSum* cab, std::string* error) {
  std::vector<uint8_t> stub;
  if (!ReadWhole(stub_path, &stub)) {
    *error = Describe("cannot read the stub");
    return false;
  }
  OutputFile out(f.get(), limits.write);
  auto resources = [&d](const CabinetSum& sum) { return Resources(d, sum); };
  auto cabinet = [&](uint64_t at, CabinetSum* sum) {
    const bool ok = WriteCabinet(entries, &out, at, sum, error);
    *cab = *sum;
    return ok;
  };
  if (!AssemblePackage(stub, resources, cabinet, &out, error)) return false;
  if (!out.Flush()) {
    *error = "cannot write the package" + out.Detail();
    return false;
  }
  f.reset();
  if (!ReadsBack(scratch, *cab)) {
    *error = "the written package does not read back";
    return false;
  }
  return true;
}

}  // namespace

// The package folder may be one that other users can add files to: the scratch file is created
// new, never opened where someone may have prepared it, and only this user can read it.
AutoFileHandle ScratchFileBeside(const std::string& beside, std::string* scratch) {
  size_t cut = beside.find_last_of("\\/");
  std::string folder = cut == std::string::npos ? "." : beside.substr(0, cut);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (int attempt = 0; attempt < 64; ++attempt) {
    char name[16];
    wsprintfA(name, "~pk%04X.tmp", static_cast<unsigned>((seed + attempt * 40503u) & 0xFFFF));
    AutoFileHandle f = CreatePrivateFile(folder + name, GENERIC_READ | GENERIC_WRITE | DELETE);
    if (f) {
      *scratch = folder + name;
      return f;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return AutoFileHandle();
}

bool WritePackage(const std::string& stub, const std::vector<CabinetEntry>& entries,
                  const PackageDecisions& decisions, const std::string& target, std::string* error,
                  const CabinetLimits& limits) {
  std::string scratch;
  AutoFileHandle f = ScratchFileBeside(target, &scratch);
  if (!f) {
    *error = Describe("cannot write beside the package");
    return false;
  }
  CabinetSum cab;
  bool ok = Build(stub, entries, decisions, std::move(f), scratch, limits, &cab, error);
  if (ok && !MoveFileExA(scratch.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    *error = Describe("cannot move the package into place");
    ok = false;
  }
  if (!ok) DeleteFileA(scratch.c_str());
  return ok;
}

}  // namespace kestrane
