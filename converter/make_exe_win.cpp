#include "converter/make_exe_win.h"

#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <vector>

#include "common/paths.h"
#include "common/tree_layout.h"
#include "common/private_file_win.h"
#include "common/product.h"
#include "common/scoped_win.h"
#include "common/environment_win.h"
#include "common/files_win.h"
#include "common/programs_win.h"
#include "common/settings_win.h"
#include "converter/texts.h"

namespace kestrane {

namespace {

bool conversion_running = false;

// Staged files are removed where they were staged. On an installed system the converter's own
// folder is the working root; elsewhere, deleting beside the program would remove a user's files
// and leave the staged ones in the tree.
void RemoveStagedFiles() {
  for (const char* staged : StagedFiles())
    if (auto path = TreePath(staged)) RemoveLeftFile(*path);
}

// A packager stopped half-way leaves its scratch file beside the package.
void RemovePackagerScratch() {
  auto pattern = TreePath(tree::kPackagerScratch);
  if (!pattern) return;
  const std::string folder = pattern->substr(0, pattern->find_last_of('\\') + 1);
  WIN32_FIND_DATAA fd;
  AutoFindHandle find(FindFirstFileA(pattern->c_str(), &fd));
  if (!find) return;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) RemoveLeftFile(folder + fd.cFileName);
  } while (FindNextFileA(find.get(), &fd));
}

// Every file the packager is given is this conversion's own: whatever stood at its name is
// removed, and the file is created new, for this user only, with the bytes it must hold. The
// staging folders let every user add files, so a file found there may be another user's, made to
// be packed into this user's package; and one left by an interrupted conversion is stale. Any
// step that fails stops the conversion before anything is packed.
bool Stage(ConversionWindow& window, const std::string& input) {
  for (const char* staged : StagedFiles()) {
    auto path = TreePath(staged);
    if (!path || !RemoveLeftFile(*path)) return false;
  }
  std::string icon =
      GetSetting(product::kSettingsApp, product::kSettingsSection, product::kIconSetting);
  if (icon.empty()) icon = "1";
  std::optional<std::string> stub;
  for (const char* n : {"1", "2", "3", "4", "5", "6"})
    if (icon == n) stub = TreePath(std::string(tree::kStubVariants) + n + ".dat");
  auto copy = [](const std::optional<std::string>& from, const char* to) {
    auto path = TreePath(to);
    return from && path && CopyToPrivateFile(*from, *path);
  };
  auto write = [](const char* to, const std::string& text) {
    auto path = TreePath(to);
    return path && WritePrivateTextFile(*path, text);
  };
  return copy(stub, tree::kStagedStub) &&
         copy(TreePath(tree::kInstalledLauncher), tree::kStagedLauncher) &&
         copy(input, tree::kStagedPresentation) &&
         write(tree::kStagedDirective, window.DirectiveText()) &&
         write(tree::kStagedManifest, window.ManifestText());
}

// The presentation is never written, and the tree's files are the product's own (staged ones are
// deleted after delivery, PELLUM.dll would break every later package). Compared in full, long
// form, so that a short name, another case or a second name of the same file is recognised too.
const char* RefusedOutput(const std::string& input, const std::string& output) {
  if (output.empty()) return nullptr;
  const std::string out = LongFullPath(output);
  if (SamePath(out, LongFullPath(input)) || SameExistingFile(output, input))
    return kMsgOutputIsInput;
  auto root = TreePath(kWorkingRoot);
  if (root && PathWithin(out, LongFullPath(*root))) return kMsgOutputInTree;
  return nullptr;
}

}  // namespace

void MakeExe(ConversionWindow& window) {
  struct Running {
    Running() { conversion_running = true; }
    ~Running() { conversion_running = false; }
  } running;
  const std::string input = window.InputPath();
  if (!HasPptExtension(input)) {
    window.ShowError(kMsgNotPpt);
    return;
  }
  if (!FindOrdinaryFile(input)) {
    window.ShowError(kMsgMissing);
    return;
  }
  if (const char* refused = RefusedOutput(input, window.OutputPath())) {
    window.ShowError(refused);
    return;
  }

  window.DisableConvertMenu();
  window.CoverPage();

  const bool staged = Stage(window, input);
  window.UseResultTabOrder();
  if (staged) {
    auto packager = TreePath(tree::kPackager);
    auto directive = TreePath(tree::kStagedDirective);
    if (packager && directive) RunAndWait(*packager + " /N /M /Q " + *directive, SW_SHOWNORMAL);
  }

  // A conversion that built or delivered nothing must not end on the success page.
  auto fail = [&] {
    RemoveStagedFiles();
    window.RestoreSelectionPage();
    window.ShowError(kMsgNotCreated);
  };
  auto package = TreePath(tree::kPackage);
  if (!staged || !package || !FileExists(*package)) return fail();

  if (auto name = FindOrdinaryFile(input)) window.SetResultFileName(*name);
  if (!ShellFileCopy(*package, window.OutputPath(), true)) return fail();

  window.ShowResultPanel();
  RemoveStagedFiles();
}

void AbandonConversion() {
  if (!conversion_running) return;
  if (HANDLE packager = ProcessBeingWaitedFor()) {
    TerminateProcess(packager, 1);
    // Its files must be closed before they can go; a packager that will not end keeps them.
    WaitForSingleObject(packager, 5000);
  }
  RemoveStagedFiles();
  RemovePackagerScratch();
}

void EndConverter() {
  AbandonConversion();
  EndProgram();
}

bool ShellFileCopy(const std::string& src, const std::string& dest, bool NoConfirm) {
  std::vector<char> from(src.begin(), src.end()), to(dest.begin(), dest.end());
  from.insert(from.end(), 2, '\0');
  to.insert(to.end(), 2, '\0');
  SHFILEOPSTRUCTA op{};
  op.hwnd = nullptr;
  op.wFunc = FO_COPY;
  op.pFrom = from.data();
  op.pTo = to.data();
  op.fFlags =
      static_cast<FILEOP_FLAGS>(NoConfirm ? (FOF_ALLOWUNDO | FOF_NOCONFIRMATION) : FOF_ALLOWUNDO);
  op.fAnyOperationsAborted = FALSE;
  op.hNameMappings = nullptr;
  op.lpszProgressTitle = nullptr;
  return SHFileOperationA(&op) == 0;
}

void Navigate(const std::string& NavTo) {
  ShellExecuteA(nullptr, "open", NavTo.c_str(), "", "", SW_SHOWNORMAL);
}

}  // namespace kestrane
