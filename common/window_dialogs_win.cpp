// The common file dialogs.
#include "common/window_dialogs_win.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cmath>
#include <vector>

#include "common/comctl_win.h"
#include "common/window_internal_win.h"

namespace kestrane::ui {

// ---- FileDialog

bool FileDialog::ShowOpen(HWND owner) {
  return Show(owner, false);
}
bool FileDialog::ShowSave(HWND owner) {
  return Show(owner, true);
}

bool FileDialog::Show(HWND owner, bool save) {
  std::string filter = filter_;
  for (char& c : filter)
    if (c == '|') c = '\0';
  filter.append(2, '\0');
  std::vector<char> buffer(32768, '\0');
  lstrcpynA(buffer.data(), file_name.c_str(), static_cast<int>(buffer.size()));
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.Flags = flags_ | OFN_EXPLORER;
  BOOL ok = save ? lib::GetSaveFileNameA(&ofn) : lib::GetOpenFileNameA(&ofn);
  if (!ok) return false;
  file_name = buffer.data();
  return true;
}

}  // namespace kestrane::ui
