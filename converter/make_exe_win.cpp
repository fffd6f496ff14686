#include "converter/make_exe_win.h"

#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <vector>

#include "common/paths.h"
#include "common/product.h"
#include "common/system_win.h"
#include "converter/texts.h"

namespace kestrane {

namespace {

// A tree path that cannot be formed makes the step that needs it fail, like any other failure.
void CopyIntoTree(const std::optional<std::string>& src, const std::optional<std::string>& dst) {
  if (src && dst) CopyFileA(src->c_str(), dst->c_str(), FALSE);
}

void DeleteIfFormed(const std::optional<std::string>& path) {
  if (path) DeleteFileA(path->c_str());
}

// Staged files are removed where they were staged. On an installed system the converter's own
// folder is the working root; elsewhere, deleting beside the program would remove a user's files
// and leave the staged ones in the tree.
void RemoveStagedFiles() {
  for (const char* staged : StagedFiles()) DeleteIfFormed(TreePath(staged));
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

  // From here on a failing step is skipped and the next one runs.
  DeleteIfFormed(TreePath(":\\kestrane\\tools\\wextract.exe"));
  DeleteIfFormed(TreePath(":\\kestrane\\view.exe"));
  // A package left by an interrupted run must never be delivered as this one's.
  DeleteIfFormed(TreePath(":\\kestrane\\temp\\temp.exe"));

  std::string icon =
      GetSetting(product::kSettingsApp, product::kSettingsSection, product::kIconSetting);
  if (icon.empty()) icon = "1";
  for (const char* n : {"1", "2", "3", "4", "5", "6"}) {
    if (icon == n)
      CopyIntoTree(TreePath(std::string(":\\kestrane\\tools\\wextract\\wextract") + n + ".dat"),
                   TreePath(":\\kestrane\\tools\\wextract.exe"));
  }
  CopyIntoTree(TreePath(":\\kestrane\\PELLUM.DLL"), TreePath(":\\kestrane\\view.exe"));
  CopyIntoTree(input, TreePath(":\\kestrane\\view.ppt"));
  if (auto sed = TreePath(":\\kestrane\\tools\\view.sed"))
    WriteTextFile(*sed, window.DirectiveText());
  if (auto man = TreePath(":\\kestrane\\view.exe.manifest"))
    WriteTextFile(*man, window.ManifestText());

  window.UseResultTabOrder();

  auto packager = TreePath(":\\kestrane\\tools\\IExpress.exe");
  auto directive = TreePath(":\\kestrane\\tools\\view.sed");
  if (packager && directive) RunAndWait(*packager + " /N /M /Q " + *directive, SW_SHOWNORMAL);

  // A conversion that built or delivered nothing must not end on the success page.
  auto fail = [&] {
    RemoveStagedFiles();
    window.RestoreSelectionPage();
    window.ShowError(kMsgNotCreated);
  };
  auto package = TreePath(":\\kestrane\\temp\\temp.exe");
  if (!package || !FileExists(*package)) return fail();

  if (auto name = FindOrdinaryFile(input)) window.SetResultFileName(*name);
  if (!ShellFileCopy(*package, window.OutputPath(), true)) return fail();

  window.ShowResultPanel();
  RemoveStagedFiles();
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
