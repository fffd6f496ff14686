#pragma once
// The common file dialogs.
#include <windows.h>

#include <string>

namespace kestrane::ui {

// A common file dialog that keeps its file name from one opening to the next.
class FileDialog {
 public:
  // "Description|pattern" pairs, separated by '|'.
  void SetFilter(const std::string& filter) { filter_ = filter; }
  void SetFlags(DWORD flags) { flags_ = flags; }
  std::string file_name;
  // True when the user confirmed; file_name then holds the chosen path.
  bool ShowOpen(HWND owner);
  bool ShowSave(HWND owner);

 private:
  bool Show(HWND owner, bool save);
  std::string filter_;
  DWORD flags_ = 0;
};

}  // namespace kestrane::ui
