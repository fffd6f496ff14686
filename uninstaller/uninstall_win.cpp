// kestrane_uninstall: removes what the installer made and what the converter may leave, and
// nothing else. A program cannot delete its own file while it runs, so the installed copy hands
// the work to a copy of itself in a private temporary folder and ends; that copy removes the
// installed uninstaller once it has gone, and is itself removed when Windows next starts.
//
//   kestrane_uninstall.exe            asks, then hands over
//   kestrane_uninstall.exe /S         the same without questions or reports
//   (internal) /continue <pid> <flags> "<installed path>"
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/handle_win.h"
#include "common/system_dll_win.h"
#include "common/system_win.h"
#include "installer/layout.h"

namespace kestrane {
namespace {

constexpr char kCaption[] = "kestrane Uninstall";
constexpr char kBusyMutex[] = "kestrane-uninstall-running";

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct Removal {
  std::vector<std::string> failed;  // ours, still there
  std::vector<std::string> kept;    // folders left because they hold someone else's files

  void File(const std::string& path) {
    if (!Exists(path)) return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(path.c_str())) failed.push_back(path);
  }
  void Folder(const std::string& path) {
    if (!Exists(path)) return;
    if (RemoveDirectoryA(path.c_str())) return;
    if (GetLastError() == ERROR_DIR_NOT_EMPTY)
      kept.push_back(path);
    else
      failed.push_back(path);
  }
};

std::string Special(int csidl) {
  char path[MAX_PATH];
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

// The converter ends at once when its marker window is closed.
bool EndRunningConverter(bool quiet) {
  for (;;) {
    for (int i = 0; i < 50 && FindWindowA(nullptr, "TunaTunaTunaTuna"); ++i) {
      if (HWND marker = FindWindowA(nullptr, "TunaTunaTunaTuna"))
        PostMessageA(marker, WM_CLOSE, 0, 0);
      Sleep(100);
    }
    if (!FindWindowA(nullptr, "TunaTunaTunaTuna")) return true;
    if (quiet) return false;
    if (MessageBoxA(nullptr, "kestrane is still running. Please close it, then click Retry.",
                    kCaption, MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY)
      return false;
  }
}

Removal RemoveProduct(const std::string& installed_uninstaller) {
  Removal r;
  const std::string drive = WorkingDrive().value_or("");
  const std::string tree = drive + ":\\kestrane";
  if (!drive.empty()) {
    for (const char* staged : StagedFiles()) r.File(drive + staged);
    for (const auto& f : InstalledFiles()) {
      if (f.base == Base::kTools) r.File(tree + "\\tools" + f.name);
      if (f.base == Base::kRoot) r.File(tree + f.name);
    }
    const auto& folders = TreeFolders();
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) r.Folder(drive + *it);
  }

  std::string programs = Special(CSIDL_PROGRAMS);
  if (!programs.empty()) {
    r.File(programs + kConverterLink);
    r.File(programs + kUninstallerLink);
    r.Folder(programs + kStartMenuFolder);
  }
  std::string desktop = Special(CSIDL_DESKTOPDIRECTORY);
  if (!desktop.empty()) r.File(desktop + kDesktopLink);

  LONG k = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
  if (k != ERROR_SUCCESS && k != ERROR_FILE_NOT_FOUND)
    r.failed.push_back("HKEY_LOCAL_MACHINE\\" + std::string(kUninstallKey));
  DeleteSettingSection("kestrane");

  if (!installed_uninstaller.empty()) {
    r.File(installed_uninstaller + ".manifest");
    r.File(installed_uninstaller);
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

// A new folder under %TEMP% that nobody else can have prepared.
std::string PrivateTempFolder() {
  char temp[MAX_PATH];
  if (!GetTempPathA(MAX_PATH, temp)) return {};
  for (int attempt = 0; attempt < 100; ++attempt) {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    char name[MAX_PATH + 64];
    wsprintfA(name, "%skestrane-uninstall-%08lx%04x", temp,
              static_cast<unsigned long>(t.LowPart ^ GetCurrentProcessId() * 2654435761u), attempt);
    if (CreateDirectoryA(name, nullptr)) return name;
  }
  return {};
}

int HandOver(bool quiet) {
  const std::string self = OwnFolder() + "\\kestrane_uninstall.exe";
  char exe[MAX_PATH * 4];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string folder = PrivateTempFolder();
  std::string copy = folder + "\\kestrane_uninstall.exe";
  if (folder.empty() || !CopyFileA(exe, copy.c_str(), TRUE)) {
    if (!quiet)
      MessageBoxA(nullptr, "kestrane could not be removed: no temporary folder could be prepared.",
                  kCaption, MB_OK | MB_ICONERROR);
    return 1;
  }
  char cmd[MAX_PATH * 12];
  wsprintfA(cmd, "\"%s\" /continue %lu %d \"%s\"", copy.c_str(), GetCurrentProcessId(),
            quiet ? 1 : 0, exe);
  // Started here, the copy inherits our current folder; give it its own so the setup folder or the
  // system folder is not held open.
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                      &pi)) {
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
    return 1;
  }
  // Wait until the copy has taken over (it holds the busy mutex), so callers can follow it.
  AutoCloseHandle process(pi.hProcess), thread(pi.hThread);
  for (int i = 0; i < 100; ++i) {
    HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, kBusyMutex);
    if (m) {
      CloseHandle(m);
      break;
    }
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  (void)self;
  return 0;
}

int Continue(DWORD pid, bool quiet, const std::string& installed) {
  HANDLE busy = CreateMutexA(nullptr, TRUE, kBusyMutex);
  if (HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, pid)) {
    WaitForSingleObject(parent, 30000);
    CloseHandle(parent);
  }
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
  if (busy) {
    ReleaseMutex(busy);
    CloseHandle(busy);
  }
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
  if (args.size() == 5 && args[1] == "/continue")
    return Continue(strtoul(args[2].c_str(), nullptr, 10), args[3] == "1", args[4]);
  bool quiet = args.size() >= 2 && (lstrcmpiA(args[1].c_str(), "/S") == 0);
  if (!quiet &&
      MessageBoxA(nullptr,
                  "Are you sure you want to completely remove kestrane 1.0 and all of its "
                  "components?",
                  kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return 1;
  return HandOver(quiet);
}
