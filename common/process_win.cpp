#include "common/process_win.h"

#include <utility>

#include "common/scoped_win.h"

namespace kestrane {

void PumpPendingMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

namespace {

// `application`, when given, names the program by its full path; the command line is then only
// what the program is told. The process handle goes to *process when the caller asks for it.
bool Start(const char* application, const char* command_line, int show, DWORD* pid,
           AutoCloseHandle* process) {
  static char cmd[32768];  // CreateProcess may write into its command line
  if (lstrlenA(command_line) >= static_cast<int>(sizeof cmd)) return false;
  lstrcpyA(cmd, command_line);
  STARTUPINFOA si;
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION pi;
  ZeroMemory(&pi, sizeof pi);
  if (!CreateProcessA(application, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  AutoCloseHandle thread(pi.hThread), started(pi.hProcess);
  if (process) *process = std::move(started);
  if (pid) *pid = pi.dwProcessId;
  return true;
}

HANDLE waited_for = nullptr;

}  // namespace

bool StartProcess(const char* command_line, int show, DWORD* pid) {
  return Start(nullptr, command_line, show, pid, nullptr);
}

bool StartProgram(const char* application, const char* command_line, int show) {
  return Start(application, command_line, show, nullptr, nullptr);
}

// Waits on the handle the start returned: a process id alone may already name a stranger's
// process once ours has ended.
void RunAndWait(const char* command_line, int show) {
  AutoCloseHandle process;
  if (!Start(nullptr, command_line, show, nullptr, &process)) return;
  waited_for = process.get();
  PumpPendingMessages();
  WaitForSingleObject(process.get(), INFINITE);
  waited_for = nullptr;
}

HANDLE ProcessBeingWaitedFor() {
  return waited_for;
}

bool OwnFolder(char* out, DWORD size) {
  DWORD n = GetModuleFileNameA(nullptr, out, size);
  if (n == 0 || n >= size) return false;
  while (n > 0 && out[n - 1] != '\\') --n;
  out[n ? n - 1 : 0] = '\0';
  return true;
}

bool IsOrdinaryFile(const char* path, char* found_name) {
  if (!path[0]) return false;
  for (const char* p = path; *p; ++p)
    if (*p == '*' || *p == '?') return false;
  WIN32_FIND_DATAA fd;
  if (!AutoFindHandle(FindFirstFileA(path, &fd))) return false;
  if (fd.dwFileAttributes &
      (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
    return false;
  if (found_name) lstrcpynA(found_name, fd.cFileName, MAX_PATH);
  return true;
}

}  // namespace kestrane
