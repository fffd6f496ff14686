#include "stub/folder_win.h"

#include <aclapi.h>

#include "common/scoped_win.h"
#include "common/system_dll_win.h"
#include "common/package_format.h"
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
  AutoCloseHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive())) return false;
  DWORD n = 0;
  bool ok = GetTokenInformation(token.get(), TokenUser, buffer, size, &n) != FALSE;
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
    gen = SystemFunction<GenRandom>("advapi32.dll", "SystemFunction036");
  }
  return gen && gen(bytes, static_cast<ULONG>(n)) != FALSE;
}

// One pass over the tree, removing what it can; true when the folder is gone. One path buffer
// per level keeps a deep tree from exhausting the stack.
bool RemovePass(const char* folder) {
  char path[kPath];
  if (!JoinPath(path, folder, "*")) return false;
  WIN32_FIND_DATAA fd;
  AutoFindHandle find(FindFirstFileA(path, &fd));
  if (find) {
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
    } while (FindNextFileA(find.get(), &fd));
  }
  return RemoveDirectoryA(folder) || GetLastError() == ERROR_FILE_NOT_FOUND ||
         GetLastError() == ERROR_PATH_NOT_FOUND;
}

constexpr ULONGLONG kTicksPerSecond = 10000000;  // FILETIME counts 100 ns

bool OwnedByUser(HANDLE object, PSID user) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, &sd) != ERROR_SUCCESS)
    return false;
  const bool mine = owner && EqualSid(owner, user);
  LocalFree(sd);
  return mine;
}

ULONGLONG Ticks(const FILETIME& t) {
  return static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime;
}

// Opens a folder itself, never what a link in its place points to.
HANDLE OpenFolder(const char* path, DWORD access, DWORD share) {
  return CreateFileA(path, access, share, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Removes one stale folder. Asking for delete access fails on a folder that a running package
// holds (its hold shares no deletion). Then the folder is held the same way while it is emptied,
// so that it cannot be renamed or replaced by a link under the pass.
void RemoveStale(const char* path, PSID user, ULONGLONG now) {
  if (!AutoFileHandle(
          OpenFolder(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)))
    return;
  AutoFileHandle h(OpenFolder(path, FILE_LIST_DIRECTORY | READ_CONTROL | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE));
  if (!h) return;
  BY_HANDLE_FILE_INFORMATION info;
  const bool stale = GetFileInformationByHandle(h.get(), &info) &&
                     (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                     !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                     Ticks(info.ftLastWriteTime) + kStaleAfterSeconds * kTicksPerSecond < now &&
                     OwnedByUser(h.get(), user);
  if (stale) RemovePass(path);  // all but the folder itself, which the handle keeps
  h.reset();
  if (stale) RemoveDirectoryA(path);
}

}  // namespace

HANDLE HoldFolder(const char* folder) {
  // Sharing everything but deletion: the package's own programs use the folder freely. A handle
  // that may read the folder takes part in the system's sharing checks; one that may only read its
  // attributes would not.
  return OpenFolder(folder, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE);
}

void RemoveStaleFolders(const char* temp) {
  DWORD user_buffer[64];
  PSID user = nullptr;
  if (!UserSid(&user, user_buffer, sizeof user_buffer)) return;
  char path[kPath];
  const size_t base = static_cast<size_t>(lstrlenA(temp));
  if (base == 0 || base + kUnpackPrefixLength + kUnpackDigits + 1 > sizeof path) return;
  lstrcpyA(path, temp);
  lstrcpyA(path + base, kUnpackPrefix);
  lstrcpyA(path + base + kUnpackPrefixLength, "*");
  FILETIME now_time;
  GetSystemTimeAsFileTime(&now_time);
  const ULONGLONG now = Ticks(now_time);
  WIN32_FIND_DATAA fd;
  AutoFindHandle find(FindFirstFileA(path, &fd));
  if (!find) return;
  int looked_at = 0;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsUnpackFolderName(fd.cFileName))
      continue;
    lstrcpyA(path + base, fd.cFileName);
    RemoveStale(path, user, now);
  } while (++looked_at < kMaxStaleFolders && FindNextFileA(find.get(), &fd));
}

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
