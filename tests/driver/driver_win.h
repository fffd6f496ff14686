#pragma once
// Drives the windows of another process as a user would, for GUI tests under Wine and Xvfb:
// finds windows by caption and class, reads their texts and states, types, clicks and presses
// keys by posted messages, and saves screenshots for people to look at.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace kestrane::driver {

using namespace std::chrono_literals;
using Duration = std::chrono::milliseconds;

// Polls until `done` holds or the time is up; true when it held.
bool WaitUntil(const std::function<bool()>& done, Duration limit = 10s);

// A program started for a test. Ends it, if still running, when it goes.
class Process {
 public:
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();
  // The program runs with the test's environment, in `dir` (its own folder when empty).
  bool Start(const std::string& exe, const std::string& args = "", const std::string& dir = "");
  DWORD pid() const { return pid_; }
  bool Running() const;
  // True when the process has ended within the limit.
  bool WaitExit(Duration limit = 10s) const;
  DWORD ExitCode() const;
  void Kill();

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// Top-level windows of a process (every process when pid is 0), by exact caption and class;
// an empty caption or class matches any. Hidden windows are found too.
std::vector<HWND> TopWindows(DWORD pid, const std::string& caption, const std::string& cls);
HWND WaitTopWindow(DWORD pid, const std::string& caption, const std::string& cls,
                   Duration limit = 10s);
// A visible standard dialog box ("#32770": message boxes, file dialogs) of the process; with an
// owner given, only one owned by it.
HWND WaitDialog(DWORD pid, HWND owner = nullptr, Duration limit = 10s);

// Descendants, searched depth-first in z-order.
HWND Child(HWND parent, int id);
HWND Child(HWND parent, int id, const std::string& cls);
HWND ChildByText(HWND parent, const std::string& cls, const std::string& text);
// The control once it shows and its window has the focus: a window shows before it takes the
// focus, and a click before then may be lost.
HWND ReadyChild(HWND top, const std::string& cls, const std::string& text);
std::vector<HWND> Children(HWND parent, const std::string& cls);

std::string Text(HWND h);
std::string ClassOf(HWND h);
bool Visible(HWND h);  // the window and every parent visible
bool Enabled(HWND h);
bool HasStyle(HWND h, LONG style);
RECT RectIn(HWND h, HWND ancestor);  // h's window rectangle in the ancestor's client coordinates
HWND Focus(HWND top);                // the focused window of top's thread
HWND Owner(HWND h);

void SetText(HWND h, const std::string& text);  // WM_SETTEXT, as a program would
void Click(HWND button);                        // BM_CLICK, posted
void Key(HWND h, UINT vk);                      // key down and up, posted
void KeyToFocus(HWND top, UINT vk);             // to whatever has the focus in top's thread
void MouseClick(HWND h, int x = 2, int y = 2);
void MouseDoubleClick(HWND h, int x = 2, int y = 2);

// Menu items of a window's menu bar, by their caption.
struct MenuItemState {
  bool found = false;
  bool enabled = false;
  UINT id = 0;
};
MenuItemState MenuItem(HWND top, const std::string& caption);
void ChooseMenuItem(HWND top, const std::string& caption);

// Saves what the screen shows of the window as <artifacts>/<name>.bmp. The folder is
// $KESTRANE_BUILD/artifacts, else an "artifacts" folder beside the test program.
bool SaveScreenshot(HWND top, const std::string& name);
std::string ArtifactsFolder();

}  // namespace kestrane::driver
