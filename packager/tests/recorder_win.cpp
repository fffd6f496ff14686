// Stands in for the packaged program in tests. Appends to the file KESTRANE_RECORD: its own path,
// its current folder, its command line, its window state, its process id and every file beside it
// with size and CRC; then sleeps KESTRANE_RECORD_SLEEP ms, starts a copy of itself that outlives it
// by KESTRANE_RECORD_CHILD ms (the copy appends "child done" when it ends), and exits with
// KESTRANE_RECORD_EXIT.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/package_format.h"

namespace {

std::string Env(const char* name) {
  char buf[1024];
  DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  return n && n < sizeof buf ? std::string(buf, n) : std::string();
}

void Append(const std::string& text) {
  std::string path = Env("KESTRANE_RECORD");
  if (path.empty()) return;
  if (FILE* f = fopen(path.c_str(), "ab")) {
    fputs(text.c_str(), f);
    fclose(f);
  }
}

std::string Crc(const std::string& path) {
  std::string bytes;
  if (FILE* f = fopen(path.c_str(), "rb")) {
    char buf[65536];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    fclose(f);
  }
  char out[64];
  snprintf(out, sizeof out, "%zu %08x", bytes.size(),
           static_cast<unsigned>(kestrane::Crc32(0, bytes.data(), bytes.size())));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "child") {
    Sleep(static_cast<DWORD>(atoi(Env("KESTRANE_RECORD_CHILD").c_str())));
    Append("child done\n");
    return 0;
  }
  char self[MAX_PATH], cwd[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  GetCurrentDirectoryA(MAX_PATH, cwd);
  STARTUPINFOA si = {};
  GetStartupInfoA(&si);
  std::string text = std::string("exe ") + self + "\ncwd " + cwd + "\nline " + GetCommandLineA() +
                     "\nshow " + std::to_string(si.wShowWindow) + "\npid " +
                     std::to_string(GetCurrentProcessId()) + "\n";
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA((std::string(cwd) + "\\*").c_str(), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        text += std::string("file ") + fd.cFileName + " " +
                Crc(std::string(cwd) + "\\" + fd.cFileName) + "\n";
    } while (FindNextFileA(find, &fd));
    FindClose(find);
  }
  Append(text);
  Sleep(static_cast<DWORD>(atoi(Env("KESTRANE_RECORD_SLEEP").c_str())));
  if (!Env("KESTRANE_RECORD_CHILD").empty()) {
    STARTUPINFOA child_si = {};
    child_si.cb = sizeof child_si;
    PROCESS_INFORMATION pi;
    // KESTRANE_RECORD_OUTSIDE names a copy outside the package's folder to start instead, in
    // its own folder.
    std::string program =
        Env("KESTRANE_RECORD_OUTSIDE").empty() ? self : Env("KESTRANE_RECORD_OUTSIDE");
    std::string line = "\"" + program + "\" child";
    std::string folder = program.substr(0, program.find_last_of('\\'));
    if (CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                       program == self ? nullptr : folder.c_str(), &child_si, &pi)) {
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
  }
  return atoi(Env("KESTRANE_RECORD_EXIT").c_str());
}
