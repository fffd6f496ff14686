#pragma once
// The working tree, one table for every program: its folders and their access, what the
// installer puts where (the uninstaller removes by the same list), and the files a conversion
// stages and forms paths to. Paths are relative to the working drive.
#include <string>
#include <vector>

#include "common/paths.h"

namespace kestrane {

// The files a conversion stages in the working tree (relative to the working drive), in the order
// it removes them; an interrupted conversion may leave them.
const std::vector<const char*>& StagedFiles();

// The working root below the working drive.
constexpr char kWorkingRoot[] = ":\\kestrane";

// The working tree's folders and the files that a conversion forms paths to.
namespace tree {
constexpr char kTools[] = ":\\kestrane\\tools";
constexpr char kStubFolder[] = ":\\kestrane\\tools\\wextract";
constexpr char kTemp[] = ":\\kestrane\\temp";
constexpr char kConverter[] = ":\\kestrane\\kestrane.exe";
constexpr char kPackager[] = ":\\kestrane\\tools\\IExpress.exe";
constexpr char kInstalledLauncher[] = ":\\kestrane\\PELLUM.DLL";
// The six stubs: this text, the icon number "1" to "6", then ".dat".
constexpr char kStubVariants[] = ":\\kestrane\\tools\\wextract\\wextract";
constexpr char kStagedStub[] = ":\\kestrane\\tools\\wextract.exe";
constexpr char kStagedLauncher[] = ":\\kestrane\\view.exe";
constexpr char kStagedPresentation[] = ":\\kestrane\\view.ppt";
constexpr char kStagedManifest[] = ":\\kestrane\\view.exe.manifest";
constexpr char kStagedDirective[] = ":\\kestrane\\tools\\view.sed";
constexpr char kPackage[] = ":\\kestrane\\temp\\temp.exe";
// What the packager writes while it builds, beside the package; a stopped packager leaves it.
constexpr char kPackagerScratch[] = ":\\kestrane\\temp\\~pk*.tmp";
}  // namespace tree

enum class Base { kTools, kRoot, kPath1 };

struct InstalledFile {
  const char* source;  // in the setup folder, with its leading backslash
  Base base;
  const char* name;  // below the base, with its leading backslash
};

// The files in installation order.
const std::vector<InstalledFile>& InstalledFiles();

// Working-tree folders, in creation order, relative to the working drive.
const std::vector<const char*>& TreeFolders();

// Owner and access lists of the tree, as SDDL. Every user may create and replace the files a
// conversion stages (in the root, tools and temp); what the installer puts there (the programs,
// the stubs, the launcher) only Administrators and SYSTEM may change. Files that users create
// stay changeable by every user (their owner included, but no more), so that one user's leftover
// cannot block the next user's conversion.
constexpr char kStagingFolderAccess[] =
    "O:BAD:P(A;OICI;0x1f01ff;;;SY)(A;OICI;0x1f01ff;;;BA)(A;OICI;0x1200a9;;;BU)(A;;0x100002;;;BU)"
    "(A;OIIO;0x1301bf;;;BU)(A;OIIO;0x1301bf;;;S-1-3-4)";
constexpr char kProgramFolderAccess[] =
    "O:BAD:P(A;OICI;0x1f01ff;;;SY)(A;OICI;0x1f01ff;;;BA)(A;OICI;0x1200a9;;;BU)";
constexpr char kInstalledFileAccess[] =
    "O:BAD:P(A;;0x1f01ff;;;SY)(A;;0x1f01ff;;;BA)(A;;0x1200a9;;;BU)";

// The access list of each tree folder, by its place in TreeFolders().
const char* TreeFolderAccess(size_t index);

// Where a file written to `path` by a 32-bit program really lands: under WOW64 the system folder
// is the 32-bit one. `system` is the folder the program sees as its system folder, `wow64` the
// real place (empty on a 32-bit Windows, where nothing changes).
std::string WhereFileLands(const std::string& path, const std::string& system,
                           const std::string& wow64);

constexpr char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\kestrane";
constexpr char kStartMenuFolder[] = "\\kestrane";
constexpr char kConverterLink[] = "\\kestrane\\kestrane.lnk";
constexpr char kUninstallerLink[] = "\\kestrane\\Uninstall kestrane.lnk";
constexpr char kDesktopLink[] = "\\kestrane.lnk";

// The leading decimal number of a text (0 when it has none), rounded to the nearest integer with
// halves to the even neighbour, as a registry DWORD holds it.
unsigned long DwordFromText(const std::string& text);

}  // namespace kestrane
