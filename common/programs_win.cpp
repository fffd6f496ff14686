#include "common/programs_win.h"

#include "common/shell_folders_win.h"

namespace kestrane {

void RunAndWait(const std::string& command_line, int show) {
  kestrane::RunAndWait(command_line.c_str(), show);
}

bool StartProcess(const std::string& command_line, int show, DWORD* pid) {
  return kestrane::StartProcess(command_line.c_str(), show, pid);
}

bool StartWindowsProgram(const char* name, const std::string& command_line, int show) {
  return StartProgram(WindowsFolderProgram(name).c_str(), command_line.c_str(), show);
}

void EndProgram() {
  ExitProcess(0);
}

}  // namespace kestrane
