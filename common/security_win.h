#pragma once
// Owners and access lists of the folders and files that the product protects, written as SDDL
// text. The functions come from the system's advapi32 at first use, so that no program imports
// more than registry functions from it at load time.
#include <windows.h>

#include <string>

namespace kestrane::security {

// Administrators and SYSTEM only, for the folders and files of a program that runs elevated.
constexpr char kAdminsOnly[] = "O:BAD:P(A;OICI;0x1f01ff;;;SY)(A;OICI;0x1f01ff;;;BA)";

// The same text without its owner, for a process that may not make Administrators the owner (one
// that is not elevated): the access list still holds, the owner is then this process's user.
const char* WithoutOwner(const char* sddl);

// A security descriptor made from SDDL text, for CreateDirectory and CreateFile.
class Descriptor {
 public:
  explicit Descriptor(const char* sddl);
  ~Descriptor();
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  bool valid() const { return sd_ != nullptr; }
  SECURITY_ATTRIBUTES* attributes() { return valid() ? &sa_ : nullptr; }
  PSECURITY_DESCRIPTOR get() const { return sd_; }

 private:
  PSECURITY_DESCRIPTOR sd_ = nullptr;
  SECURITY_ATTRIBUTES sa_{};
};

// Gives a file or folder the owner and the protected access list of `sddl`, by name or through an
// open handle (which needs WRITE_DAC and WRITE_OWNER). Inheritable entries reach what the folder
// holds. False when either could not be set.
bool Apply(const std::string& path, const char* sddl);
bool Apply(HANDLE file, const char* sddl);

// Owner and access list of a file or folder as SDDL text ("O:BAD:P(A;...)"); empty when unreadable.
std::string Read(const std::string& path);

// True when the owner of a file or folder is the Administrators group, SYSTEM or the user this
// process runs as.
bool OwnedByAdministrators(const std::string& path);

// The same for an open file or folder (opened with READ_CONTROL).
bool OwnedByAdministrators(HANDLE file);

// A protected access list for files of one user's own work: that user (the one this process runs
// as), SYSTEM and Administrators; nobody else. Empty when the user cannot be told.
std::string UserOnly();

// Creates a folder with the owner and access list of `sddl`. False also when it existed.
bool CreateFolder(const std::string& path, const char* sddl);

}  // namespace kestrane::security
