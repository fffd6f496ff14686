// The packager: builds a self-extracting package from a directive.
//   IExpress.exe [/N] [/M] [/Q] [other switches] <directive>
// Switches other than /Q change nothing: this packager has no wizard and never asks. It ends with
// exit code 0 once the package is in place, or with 1 and a one-line reason on standard error
// (and in a message box unless /Q is given).
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/scoped_win.h"
#include "common/security_win.h"
#include "common/system_dll_win.h"
#include "common/environment_win.h"
#include "packager/cabinet_win.h"
#include "packager/directive.h"
#include "packager/package_win.h"

namespace kestrane {
namespace {

bool ReadText(const std::string& path, std::string* text) {
  AutoFileHandle f(
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size;
  if (!f || !GetFileSizeEx(f.get(), &size) || size.QuadPart > (1 << 24)) return false;
  text->resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  return text->empty() ||
         (ReadFile(f.get(), &(*text)[0], static_cast<DWORD>(text->size()), &got, nullptr) &&
          got == text->size());
}

std::string FullPath(const std::string& path) {
  char buf[MAX_PATH];
  DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, buf, nullptr);
  return n == 0 || n >= MAX_PATH ? path : std::string(buf, n);
}

// The packager runs as the user who converts, on a tree to which other users may add files: it
// packs, and takes orders, only from files that this user, SYSTEM or the Administrators own, and
// from nothing reached through a link. Empty when `path` passes.
std::string Refusal(const char* what, const std::string& path) {
  AutoFileHandle f(CreateFileA(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!f || !GetFileInformationByHandle(f.get(), &info))
    return std::string(what) + " " + path + " is missing";
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    return std::string(what) + " " + path + " is not a file";
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks > 1)
    return std::string(what) + " " + path + " is a link";
  if (!security::OwnedByAdministrators(f.get()))
    return std::string(what) + " " + path + " belongs to another user";
  return {};
}

std::string Build(const std::string& directive_path) {
  std::string text, error;
  if (auto refused = Refusal("the directive", directive_path); !refused.empty()) return refused;
  if (!ReadText(directive_path, &text)) return "cannot read the directive " + directive_path;
  // A package left from an earlier run must not pass for the result of this one.
  if (auto old = ReadTarget(text)) {
    const std::string path = FullPath(*old);
    if (!DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
        GetLastError() != ERROR_PATH_NOT_FOUND)
      return "cannot replace " + path + " (error " + std::to_string(GetLastError()) + ")";
  }
  auto d = ReadDirective(text, &error);
  if (!d) return directive_path + ": " + error;
  const std::string target = FullPath(d->target);

  const std::string stub = OwnFolder() + "\\wextract.exe";
  if (auto refused = Refusal("the stub", stub); !refused.empty()) return refused;
  std::vector<CabinetEntry> entries;
  for (const auto& f : d->files) {
    if (auto refused = Refusal("the listed file", f.Path()); !refused.empty()) return refused;
    entries.push_back({f.Path(), f.name});
  }

  PackageDecisions decisions{d->title,       d->program,        d->post_program,  d->show_window,
                             d->reboot_mode, d->install_prompt, d->finish_message};
  bool ok = WritePackage(stub, entries, decisions, target, &error);
  return ok ? std::string() : error;
}

void Report(const std::string& line, bool quiet) {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err && err != INVALID_HANDLE_VALUE) {
    std::string out = "IExpress: " + line + "\r\n";
    DWORD put;
    WriteFile(err, out.data(), static_cast<DWORD>(out.size()), &put, nullptr);
  }
  if (!quiet) MessageBoxA(nullptr, line.c_str(), "IExpress", MB_OK | MB_ICONSTOP);
}

}  // namespace
}  // namespace kestrane

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  kestrane::RestrictDllSearchToSystem();
  bool quiet = false;
  std::string directive;
  for (int i = 1; i < __argc; ++i) {
    std::string a = __argv[i];
    if (a.size() >= 2 && a[0] == '/') {
      if (a == "/Q" || a == "/q") quiet = true;
    } else {
      directive = a;
    }
  }
  std::string error =
      directive.empty() ? "usage: IExpress /N /Q <directive>" : kestrane::Build(directive);
  if (error.empty()) return 0;
  kestrane::Report(error, quiet);
  return 1;
}
