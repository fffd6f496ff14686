// kestrane_uninstall: removes what the installer made and what the converter may leave, and
// nothing else. A program cannot delete its own file while it runs, so the installed copy hands
// the work to a copy of itself in a private temporary folder and ends; that copy removes the
// installed uninstaller once it has gone, and is itself removed when Windows next starts.
//
//   kestrane_uninstall.exe            asks, then hands over
//   kestrane_uninstall.exe /S         the same without questions or reports
//   (internal) /continue <pid> <flags>   only as that copy, from its own private folder
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "common/paths.h"
#include "common/product.h"
#include "common/scoped_win.h"
#include "common/security_win.h"
#include "common/system_dll_win.h"
#include "common/environment_win.h"
#include "common/files_win.h"
#include "common/settings_win.h"
#include "common/shell_folders_win.h"
#include "common/tree_layout.h"

namespace kestrane {
namespace {

constexpr char kCaption[] = "kestrane Uninstall";
constexpr char kBusyMutex[] = "kestrane-uninstall-running";
constexpr char kCopyFolderPrefix[] = "kestrane-uninstall-";

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Every removal names the folder it starts from: nothing is removed through a junction, symbolic
// link or mount point found there or below it, since one planted by a user would make this
// elevated program delete files elsewhere.
struct Removal {
  std::vector<std::string> failed;  // ours, still there
  std::vector<std::string> kept;    // folders left because they hold someone else's files

  bool Linked(const std::string& from, const std::string& path) {
    if (!ReparsePointOnTheWay(from, path)) return false;
    failed.push_back(path + " (reached through a link to another place, not followed)");
    return true;
  }
  void File(const std::string& from, const std::string& path) {
    if (!Exists(path) || Linked(from, path)) return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(path.c_str())) failed.push_back(path);
  }
  void Folder(const std::string& from, const std::string& path) {
    if (!Exists(path) || Linked(from, path)) return;
    if (RemoveDirectoryA(path.c_str())) return;
    if (GetLastError() == ERROR_DIR_NOT_EMPTY)
      kept.push_back(path);
    else
      failed.push_back(path);
  }
};

// The converter that the installer put there; a desktop link of that name to anything else is
// the user's own.
bool PointsAtTheConverter(const std::string& link, const std::string& converter) {
  ScopedCoInit com;
  ComPtr<IShellLinkA> shell_link;
  ComPtr<IPersistFile> file;
  wchar_t wide[MAX_PATH * 2];
  char target[MAX_PATH * 2] = "";
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              shell_link.receive_void())) ||
      FAILED(shell_link->QueryInterface(IID_IPersistFile, file.receive_void())) ||
      !MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH * 2) ||
      FAILED(file->Load(wide, STGM_READ)) ||
      FAILED(shell_link->GetPath(target, sizeof target, nullptr, SLGP_RAWPATH)))
    return false;
  return SamePath(LongFullPath(target), LongFullPath(converter));
}

// What the packager may leave in the temp folder when it is stopped half-way: its scratch files.
std::vector<std::string> PackagerScratch(const std::string& temp_folder) {
  std::vector<std::string> found;
  WIN32_FIND_DATAA fd;
  AutoFindHandle find(FindFirstFileA((temp_folder + "\\~pk*.tmp").c_str(), &fd));
  if (!find) return found;
  do {
    if (!(fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
      found.push_back(temp_folder + "\\" + fd.cFileName);
  } while (FindNextFileA(find.get(), &fd));
  return found;
}

// The converter ends at once when its marker window is closed.
bool EndRunningConverter(bool quiet) {
  for (;;) {
    for (int i = 0; i < 50 && FindWindowA(nullptr, product::kConverterMarker); ++i) {
      if (HWND marker = FindWindowA(nullptr, product::kConverterMarker))
        PostMessageA(marker, WM_CLOSE, 0, 0);
      Sleep(100);
    }
    if (!FindWindowA(nullptr, product::kConverterMarker)) return true;
    if (quiet) return false;
    if (MessageBoxA(nullptr, "kestrane is still running. Please close it, then click Retry.",
                    kCaption, MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY)
      return false;
  }
}

Removal RemoveProduct(const std::string& installed_uninstaller) {
  Removal r;
  const std::string drive = WorkingDrive().value_or("");
  const std::string tree = drive + kWorkingRoot;
  if (!drive.empty()) {
    for (const char* staged : StagedFiles()) r.File(tree, drive + staged);
    if (!ReparsePointOnTheWay(tree, tree + "\\temp"))
      for (const auto& scratch : PackagerScratch(tree + "\\temp")) r.File(tree, scratch);
    for (const auto& f : InstalledFiles()) {
      if (f.base == Base::kTools) r.File(tree, tree + "\\tools" + f.name);
      if (f.base == Base::kRoot) r.File(tree, tree + f.name);
    }
    const auto& folders = TreeFolders();
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) r.Folder(tree, drive + *it);
  }

  std::string programs = SpecialFolder(CSIDL_PROGRAMS);
  if (!programs.empty()) {
    const std::string ours = programs + kStartMenuFolder;
    r.File(ours, programs + kConverterLink);
    r.File(ours, programs + kUninstallerLink);
    r.Folder(ours, ours);
  }
  std::string desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
  const std::string desktop_link = desktop + kDesktopLink;
  if (!desktop.empty() && Exists(desktop_link) &&
      PointsAtTheConverter(desktop_link, tree + "\\kestrane.exe"))
    r.File(desktop_link, desktop_link);

  LONG k = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
  if (k != ERROR_SUCCESS && k != ERROR_FILE_NOT_FOUND)
    r.failed.push_back("HKEY_LOCAL_MACHINE\\" + std::string(kUninstallKey));
  DeleteSettingSection(product::kSettingsApp);

  if (!installed_uninstaller.empty()) {
    r.File(installed_uninstaller + ".manifest", installed_uninstaller + ".manifest");
    r.File(installed_uninstaller, installed_uninstaller);
  }
  return r;
}

void Report(const Removal& r) {
  if (r.failed.empty() && r.kept.empty()) {
    MessageBoxA(nullptr, "kestrane was successfully removed from your computer.", kCaption,
                MB_OK | MB_ICONINFORMATION);
    return;
  }
  std::string text;
  if (!r.failed.empty()) {
    text += "kestrane was removed, except for these items, which could not be removed:\r\n\r\n";
    for (const auto& f : r.failed) text += f + "\r\n";
  }
  if (!r.kept.empty()) {
    if (!text.empty()) text += "\r\n";
    text += r.failed.empty() ? "kestrane was removed. " : "";
    text +=
        "These folders were kept because they hold files that kestrane did not put there:\r\n\r\n";
    for (const auto& f : r.kept) text += f + "\r\n";
  }
  MessageBoxA(nullptr, text.c_str(), kCaption,
              MB_OK | (r.failed.empty() ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
}

// The uninstaller as setup put it: the first PATH entry's folder (a 32-bit program writing to the
// system folder of a 64-bit Windows reaches the 32-bit one, and so does this one), never merely
// the path this copy happens to run from.
std::string InstalledUninstaller() {
  auto first = FirstPathEntry();
  return first ? *first + "\\kestrane_uninstall.exe" : std::string();
}

// Where the elevated copy runs from: the Windows folder's own temporary folder. Users may add to
// it but cannot rename or remove what Administrators made there, as they could in their own
// %TEMP%, which holds the files of the user who started us.
std::string CopyParentFolder() {
  char windows[MAX_PATH];
  UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::string folder(windows, n);
  if (folder.back() != '\\') folder += '\\';
  return folder + "Temp\\";
}

// The folder as it is, opened without following a link, accepted only when it is a real folder
// that Administrators or SYSTEM own.
bool IsAdministratorsFolder(const std::string& path) {
  AutoFileHandle f(CreateFileA(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  return f && GetFileInformationByHandle(f.get(), &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         security::OwnedByAdministrators(f.get());
}

// A new folder that nobody else can have prepared, and that only Administrators and SYSTEM may
// change: the copy in it runs elevated.
std::string PrivateTempFolder() {
  const std::string parent = CopyParentFolder();
  if (parent.empty()) return {};
  for (int attempt = 0; attempt < 100; ++attempt) {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    char name[MAX_PATH + 64];
    wsprintfA(name, "%s%s%08lx%04x", parent.c_str(), kCopyFolderPrefix,
              static_cast<unsigned long>(t.LowPart ^ GetCurrentProcessId() * 2654435761u), attempt);
    if (security::CreateFolder(name, security::kAdminsOnly))
      return IsAdministratorsFolder(name) ? name : std::string();
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

// True only for a copy that runs from a private folder as HandOver makes it.
bool RunsAsPrivateCopy() {
  const std::string folder = OwnFolder();
  const std::string parent_folder = CopyParentFolder();
  if (folder.empty() || parent_folder.empty()) return false;
  const std::string parent = LongFullPath(parent_folder), own = LongFullPath(folder);
  std::string_view name = LastComponent(own);
  return PathWithin(own, parent) &&
         own.size() == parent.size() + (parent.back() == '\\' ? 0 : 1) + name.size() &&
         AsciiLower(name).rfind(kCopyFolderPrefix, 0) == 0 &&
         !ReparsePointOnTheWay(folder, folder) && IsAdministratorsFolder(folder);
}

// Writes this program's bytes into a new file at `copy` and returns it open for reading only,
// shared for reading only: from now until the copy has started nobody can change or replace it.
AutoFileHandle WriteCopy(const char* exe, const std::string& copy) {
  AutoFileHandle in(CreateFileA(exe, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  if (!in) return AutoFileHandle();
  {
    AutoFileHandle out(CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return AutoFileHandle();
    char buffer[64 * 1024];
    DWORD got = 0, put = 0;
    bool ok = true;
    while (ok && ReadFile(in.get(), buffer, sizeof buffer, &got, nullptr) && got)
      ok = WriteFile(out.get(), buffer, got, &put, nullptr) && put == got;
    if (!ok || got != 0) {
      out.reset();
      DeleteFileA(copy.c_str());
      return AutoFileHandle();
    }
  }
  return AutoFileHandle(
      CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
}

int HandOver(bool quiet) {
  char exe[MAX_PATH * 4];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string folder = PrivateTempFolder();
  std::string copy = folder + "\\kestrane_uninstall.exe";
  AutoFileHandle held;
  if (!folder.empty()) held = WriteCopy(exe, copy);
  if (!held) {
    if (!quiet)
      MessageBoxA(nullptr, "kestrane could not be removed: no temporary folder could be prepared.",
                  kCaption, MB_OK | MB_ICONERROR);
    if (!folder.empty()) RemoveDirectoryA(folder.c_str());
    return 1;
  }
  char cmd[MAX_PATH * 12];
  wsprintfA(cmd, "\"%s\" /continue %lu %d", copy.c_str(), GetCurrentProcessId(), quiet ? 1 : 0);
  // Started here, the copy inherits our current folder; give it its own so the setup folder or the
  // system folder is not held open.
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                      &pi)) {
    DWORD error = GetLastError();
    held.reset();
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
    if (!quiet) {
      char text[256];
      wsprintfA(text,
                "kestrane could not be removed: the uninstaller could not start its "
                "temporary copy (error %lu). Nothing was removed.",
                error);
      MessageBoxA(nullptr, text, kCaption, MB_OK | MB_ICONERROR);
    }
    return 1;
  }
  held.reset();
  // Wait until the copy has taken over (it holds the busy mutex), so callers can follow it.
  AutoCloseHandle process(pi.hProcess), thread(pi.hThread);
  for (int i = 0; i < 100; ++i) {
    if (AutoCloseHandle(OpenMutexA(SYNCHRONIZE, FALSE, kBusyMutex))) break;
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  return 0;
}

int Continue(DWORD pid, bool quiet) {
  // Started any other way, this would delete files named on its command line and schedule its
  // folder, perhaps the system folder, for deletion.
  if (!RunsAsPrivateCopy()) return 1;
  const std::string installed = InstalledUninstaller();
  AutoCloseHandle busy(CreateMutexA(nullptr, TRUE, kBusyMutex));
  if (AutoCloseHandle parent{OpenProcess(SYNCHRONIZE, FALSE, pid)})
    WaitForSingleObject(parent.get(), 30000);
  int rc = 0;
  if (!EndRunningConverter(quiet)) {
    rc = 2;
  } else {
    Removal r = RemoveProduct(installed);
    if (!quiet) Report(r);
    rc = r.failed.empty() ? 0 : 3;
  }
  // This copy and its folder go when Windows next starts.
  char exe[MAX_PATH * 4];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string folder = OwnFolder();
  MoveFileExA(exe, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  MoveFileExA(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  if (busy) ReleaseMutex(busy.get());
  return rc;
}

// Splits a command line as the C runtime does, enough for our own switches and one quoted path.
std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  const char* p = GetCommandLineA();
  while (*p) {
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p) break;
    std::string a;
    bool quoted = false;
    for (; *p && (quoted || (*p != ' ' && *p != '\t')); ++p) {
      if (*p == '"')
        quoted = !quoted;
      else
        a += *p;
    }
    args.push_back(a);
  }
  return args;
}

}  // namespace
}  // namespace kestrane

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  kestrane::RestrictDllSearchToSystem();
  using namespace kestrane;
  auto args = Arguments();
  if (args.size() >= 2 && args[1] == "/continue") {
    if (args.size() != 4) return 1;
    return Continue(strtoul(args[2].c_str(), nullptr, 10), args[3] == "1");
  }
  bool quiet = args.size() >= 2 && (lstrcmpiA(args[1].c_str(), "/S") == 0);
  if (!quiet &&
      MessageBoxA(nullptr,
                  "Are you sure you want to completely remove kestrane 1.0 and all of its "
                  "components?",
                  kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return 1;
  return HandOver(quiet);
}
