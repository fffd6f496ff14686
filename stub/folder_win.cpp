#include "stub/folder_win.h"

#include "common/system_dll_win.h"
#include "stub/package_format.h"
#include "stub/unpack_win.h"

namespace kestrane {
namespace {

// Full control for the three who may use the folder, inherited by everything created in it.
constexpr DWORD kFolderRights = FILE_ALL_ACCESS;
constexpr BYTE kInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// A security descriptor with a protected DACL of the current user, SYSTEM and Administrators.
// Protected, so that nothing of a shared %TEMP% (C:\Temp, writable by every user) is inherited.
struct PrivateSecurity {
  SECURITY_DESCRIPTOR sd;
  DWORD acl[256];  // DWORD-aligned, as an ACL must be
  DWORD user[64];  // TOKEN_USER and the SID after it
  BYTE system[SECURITY_MAX_SID_SIZE];
  BYTE admins[SECURITY_MAX_SID_SIZE];
};

bool UserSid(PSID* sid, void* buffer, DWORD size) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD n = 0;
  bool ok = GetTokenInformation(token, TokenUser, buffer, size, &n) != FALSE;
  CloseHandle(token);
  if (ok) *sid = static_cast<TOKEN_USER*>(buffer)->User.Sid;
  return ok;
}

bool MakePrivateSecurity(PrivateSecurity* p) {
  PSID user = nullptr;
  DWORD system_n = sizeof p->system, admins_n = sizeof p->admins;
  if (!UserSid(&user, p->user, sizeof p->user) ||
      !CreateWellKnownSid(WinLocalSystemSid, nullptr, p->system, &system_n) ||
      !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, p->admins, &admins_n))
    return false;
  PACL acl = reinterpret_cast<PACL>(p->acl);
  if (!InitializeAcl(acl, sizeof p->acl, ACL_REVISION)) return false;
  const PSID sids[] = {user, p->system, p->admins};
  for (PSID sid : sids) {
    if (!AddAccessAllowedAceEx(acl, ACL_REVISION, kInherit, kFolderRights, sid)) return false;
  }
  return InitializeSecurityDescriptor(&p->sd, SECURITY_DESCRIPTOR_REVISION) &&
         SetSecurityDescriptorDacl(&p->sd, TRUE, acl, FALSE) &&
         SetSecurityDescriptorControl(&p->sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

// The rights are given at creation: a folder that first took the rights of %TEMP% could be
// entered by another user before they were narrowed.
CreateResult CreatePrivate(const char* path, void* ctx) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, &static_cast<PrivateSecurity*>(ctx)->sd, FALSE};
  if (CreateDirectoryA(path, &sa)) return CreateResult::kCreated;
  DWORD e = GetLastError();
  return e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS ? CreateResult::kExists
                                                             : CreateResult::kFailed;
}

// RtlGenRandom is looked up, not imported: advapi32 forwards it to a library that is not mapped
// for every process, which the loader would otherwise look for beside the package first.
bool RandomBits(void* bytes, size_t n, void*) {
  using GenRandom = BOOLEAN(WINAPI*)(PVOID, ULONG);
  static GenRandom gen = nullptr;
  if (!gen) {
    HMODULE advapi = LoadSystemDll("advapi32.dll");
    gen = reinterpret_cast<GenRandom>(
        reinterpret_cast<void*>(advapi ? GetProcAddress(advapi, "SystemFunction036") : nullptr));
  }
  return gen && gen(bytes, static_cast<ULONG>(n)) != FALSE;
}

// One pass over the tree, removing what it can; true when the folder is gone. One path buffer
// per level keeps a deep tree from exhausting the stack.
bool RemovePass(const char* folder) {
  char path[kPath];
  if (!JoinPath(path, folder, "*")) return false;
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA(path, &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!lstrcmpA(fd.cFileName, ".") || !lstrcmpA(fd.cFileName, "..")) continue;
      if (!JoinPath(path, folder, fd.cFileName)) continue;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesA(path, fd.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileA(path);
      else if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        RemoveDirectoryA(path);
      else
        RemovePass(path);
    } while (FindNextFileA(find, &fd));
    FindClose(find);
  }
  return RemoveDirectoryA(folder) || GetLastError() == ERROR_FILE_NOT_FOUND ||
         GetLastError() == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool MakePrivateFolder(const char* temp, char* out, size_t out_size) {
  PrivateSecurity security;
  if (!MakePrivateSecurity(&security)) return false;
  FolderMaker maker = {CreatePrivate, RandomBits, &security};
  return MakeUniqueFolder(temp, maker, 16, out, out_size);
}

void RemoveTree(const char* folder) {
  const DWORD start = GetTickCount();
  // The whole tree is retried as one, so a busy file deep down costs the same as one on top.
  while (!RemovePass(folder) && GetTickCount() - start < kRemoveRetryMs) Sleep(kRemoveRetryPauseMs);
}

}  // namespace kestrane
