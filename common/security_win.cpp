#include "common/security_win.h"

#include <aclapi.h>
#include <sddl.h>

#include "common/scoped_win.h"
#include "common/system_dll_win.h"

namespace kestrane::security {

namespace {

struct Api {
  BOOL(WINAPI* to_sd)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG) = nullptr;
  BOOL(WINAPI* to_text)
  (PSECURITY_DESCRIPTOR, DWORD, SECURITY_INFORMATION, LPSTR*, PULONG) = nullptr;
  DWORD(WINAPI* set_named)
  (LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL, PACL) = nullptr;
  DWORD(WINAPI* set_handle)
  (HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL, PACL) = nullptr;
  DWORD(WINAPI* get_named)
  (LPCSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*, PACL*, PACL*,
   PSECURITY_DESCRIPTOR*) = nullptr;
  BOOL(WINAPI* get_owner)(PSECURITY_DESCRIPTOR, PSID*, LPBOOL) = nullptr;
  BOOL(WINAPI* get_dacl)(PSECURITY_DESCRIPTOR, LPBOOL, PACL*, LPBOOL) = nullptr;
  BOOL(WINAPI* well_known)(PSID, WELL_KNOWN_SID_TYPE) = nullptr;
  BOOL(WINAPI* open_token)(HANDLE, DWORD, PHANDLE) = nullptr;
  BOOL(WINAPI* token_info)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD) = nullptr;
  BOOL(WINAPI* equal_sid)(PSID, PSID) = nullptr;
  BOOL(WINAPI* sid_text)(PSID, LPSTR*) = nullptr;
  DWORD(WINAPI* get_handle)
  (HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*, PACL*, PACL*,
   PSECURITY_DESCRIPTOR*) = nullptr;
  bool ok = false;
};

template <class F>
void Find(HMODULE m, const char* name, F* f) {
  *f = Function<F>(m, name);
}

const Api& Functions() {
  static Api api = [] {
    Api a;
    HMODULE m = LoadSystemDll("advapi32.dll");
    if (!m) return a;
    Find(m, "ConvertStringSecurityDescriptorToSecurityDescriptorA", &a.to_sd);
    Find(m, "ConvertSecurityDescriptorToStringSecurityDescriptorA", &a.to_text);
    Find(m, "SetNamedSecurityInfoA", &a.set_named);
    Find(m, "SetSecurityInfo", &a.set_handle);
    Find(m, "GetNamedSecurityInfoA", &a.get_named);
    Find(m, "GetSecurityDescriptorOwner", &a.get_owner);
    Find(m, "GetSecurityDescriptorDacl", &a.get_dacl);
    Find(m, "IsWellKnownSid", &a.well_known);
    Find(m, "OpenProcessToken", &a.open_token);
    Find(m, "GetTokenInformation", &a.token_info);
    Find(m, "EqualSid", &a.equal_sid);
    Find(m, "ConvertSidToStringSidA", &a.sid_text);
    Find(m, "GetSecurityInfo", &a.get_handle);
    a.ok = a.to_sd && a.to_text && a.set_named && a.set_handle && a.get_named && a.get_owner &&
           a.get_dacl && a.well_known && a.open_token && a.token_info && a.equal_sid &&
           a.sid_text && a.get_handle;
    return a;
  }();
  return api;
}

constexpr SECURITY_INFORMATION kOwnerAndList =
    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION;

// The user this process runs as, handed to `use` while the token's copy is alive.
template <class Use>
bool WithProcessUser(Use use) {
  const Api& api = Functions();
  HANDLE token = nullptr;
  if (!api.ok || !api.open_token(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  AutoCloseHandle owned(token);
  union {
    TOKEN_USER user;
    BYTE bytes[256];
  } info;
  DWORD size = 0;
  return api.token_info(token, TokenUser, &info, sizeof info, &size) && use(info.user.User.Sid);
}

bool IsProcessUser(PSID sid) {
  return WithProcessUser([sid](PSID user) { return Functions().equal_sid(user, sid) != FALSE; });
}

bool OwnerIsOurs(PSID owner) {
  const Api& api = Functions();
  return owner && (api.well_known(owner, WinBuiltinAdministratorsSid) ||
                   api.well_known(owner, WinLocalSystemSid) || IsProcessUser(owner));
}

// Owner and access list out of a descriptor made from SDDL.
bool Parts(const Descriptor& d, PSID* owner, PACL* dacl) {
  const Api& api = Functions();
  BOOL defaulted = FALSE, present = FALSE;
  return d.valid() && api.get_owner(d.get(), owner, &defaulted) && *owner &&
         api.get_dacl(d.get(), &present, dacl, &defaulted) && present;
}

}  // namespace

const char* WithoutOwner(const char* sddl) {
  return lstrlenA(sddl) > 4 && sddl[0] == 'O' && sddl[1] == ':' && sddl[2] == 'B' && sddl[3] == 'A'
             ? sddl + 4
             : sddl;
}

Descriptor::Descriptor(const char* sddl) {
  const Api& api = Functions();
  if (!api.ok || !api.to_sd(sddl, SDDL_REVISION_1, &sd_, nullptr)) sd_ = nullptr;
  sa_.nLength = sizeof sa_;
  sa_.lpSecurityDescriptor = sd_;
  sa_.bInheritHandle = FALSE;
}

Descriptor::~Descriptor() {
  if (sd_) LocalFree(sd_);
}

bool Apply(const std::string& path, const char* sddl) {
  Descriptor d(sddl);
  PSID owner = nullptr;
  PACL dacl = nullptr;
  if (!Parts(d, &owner, &dacl)) return false;
  std::string p = path;
  DWORD r =
      Functions().set_named(&p[0], SE_FILE_OBJECT, kOwnerAndList, owner, nullptr, dacl, nullptr);
  if (r == ERROR_INVALID_OWNER)
    r = Functions().set_named(&p[0], SE_FILE_OBJECT, kOwnerAndList & ~OWNER_SECURITY_INFORMATION,
                              nullptr, nullptr, dacl, nullptr);
  return r == ERROR_SUCCESS;
}

bool Apply(HANDLE file, const char* sddl) {
  Descriptor d(sddl);
  PSID owner = nullptr;
  PACL dacl = nullptr;
  if (!Parts(d, &owner, &dacl)) return false;
  DWORD r =
      Functions().set_handle(file, SE_FILE_OBJECT, kOwnerAndList, owner, nullptr, dacl, nullptr);
  if (r == ERROR_INVALID_OWNER)
    r = Functions().set_handle(file, SE_FILE_OBJECT, kOwnerAndList & ~OWNER_SECURITY_INFORMATION,
                               nullptr, nullptr, dacl, nullptr);
  return r == ERROR_SUCCESS;
}

std::string Read(const std::string& path) {
  const Api& api = Functions();
  if (!api.ok) return {};
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (api.get_named(path.c_str(), SE_FILE_OBJECT,
                    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                    nullptr, nullptr, &sd) != ERROR_SUCCESS)
    return {};
  LPSTR text = nullptr;
  std::string out;
  if (api.to_text(sd, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                  &text, nullptr)) {
    out = text;
    LocalFree(text);
  }
  LocalFree(sd);
  return out;
}

bool OwnedByAdministrators(const std::string& path) {
  const Api& api = Functions();
  if (!api.ok) return false;
  PSECURITY_DESCRIPTOR sd = nullptr;
  PSID owner = nullptr;
  if (api.get_named(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                    nullptr, nullptr, &sd) != ERROR_SUCCESS)
    return false;
  bool ours = OwnerIsOurs(owner);
  LocalFree(sd);
  return ours;
}

bool OwnedByAdministrators(HANDLE file) {
  const Api& api = Functions();
  if (!api.ok) return false;
  PSECURITY_DESCRIPTOR sd = nullptr;
  PSID owner = nullptr;
  if (api.get_handle(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                     nullptr, &sd) != ERROR_SUCCESS)
    return false;
  bool ours = OwnerIsOurs(owner);
  LocalFree(sd);
  return ours;
}

std::string UserOnly() {
  std::string sddl;
  WithProcessUser([&sddl](PSID user) {
    LPSTR text = nullptr;
    if (!Functions().sid_text(user, &text)) return false;
    sddl = std::string("D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;") + text + ")";
    LocalFree(text);
    return true;
  });
  return sddl;
}

bool CreateFolder(const std::string& path, const char* sddl) {
  Descriptor d(sddl);
  if (!d.valid()) return false;
  if (CreateDirectoryA(path.c_str(), d.attributes())) return true;
  if (GetLastError() != ERROR_INVALID_OWNER) return false;
  Descriptor mine(WithoutOwner(sddl));
  return mine.valid() && CreateDirectoryA(path.c_str(), mine.attributes());
}

}  // namespace kestrane::security
