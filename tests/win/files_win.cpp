#include "tests/win/files_win.h"

#include "common/security_win.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace kestrane::testfs {

std::string Slurp(const std::string& path) {
  std::string bytes;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  char buf[65536];
  DWORD got;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) bytes.append(buf, got);
  CloseHandle(h);
  return bytes;
}

void Spit(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  DWORD put;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(h);
}

std::set<std::string> Listing(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::string n = fd.cFileName;
    if (n != "." && n != "..") names.insert(n);
  } while (FindNextFileA(find, &fd));
  FindClose(find);
  return names;
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = fd.cFileName, full = path + "\\" + name;
      if (name == "." || name == "..") continue;
      SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(full);
      else
        DeleteFileA(full.c_str());
    } while (FindNextFileA(find, &fd));
    FindClose(find);
  }
  RemoveDirectoryA(path.c_str());
}

}  // namespace kestrane::testfs

namespace kestrane::testfs {

bool GiveToAnotherAccount(const std::string& path) {
  using UnixName = char*(CDECL*)(LPCWSTR);
  auto unix_name = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unix_name) return false;
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  char* name = unix_name(wide);
  if (!name) return false;
  std::string cmd = std::string("/bin/chown -R 4321 \"") + name + "\"";
  HeapFree(GetProcessHeap(), 0, name);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA("Z:\\bin\\chown", &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi))
    return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  // The end of a Unix program cannot be waited for through its handle: watch the owner change.
  for (int i = 0; i < 100; ++i) {
    if (!security::OwnedByAdministrators(path)) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace kestrane::testfs
