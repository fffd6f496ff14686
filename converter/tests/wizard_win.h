#pragma once
// The converter started for a test, with its main window found.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <set>

#include <string>

#include "common/environment_win.h"
#include "common/settings_win.h"
#include "converter/resource.h"
#include "tests/driver/driver_win.h"
#include "tests/win/tree_fixture_win.h"

namespace kestrane {

namespace d = driver;
using namespace std::chrono_literals;
using testing::ReadFile;
using testing::WriteFile;

inline constexpr char kFormClass[] = "KestraneForm";
inline const std::string kTemp = "C:\\ktmp";
inline const std::string kRecord = kTemp + "\\record.txt";

inline std::string Bin() {
  return OwnFolder();
}

// The file manager processes that run now, by id. The converter starts the Windows folder's
// explorer.exe; a test ends those it caused, so that their windows do not stay in the way.
inline std::set<DWORD> FileManagers() {
  std::set<DWORD> ids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 e{};
  e.dwSize = sizeof e;
  for (BOOL more = Process32First(snap, &e); more; more = Process32Next(snap, &e))
    if (lstrcmpiA(e.szExeFile, "explorer.exe") == 0) ids.insert(e.th32ProcessID);
  CloseHandle(snap);
  return ids;
}

inline void EndFileManagersSince(const std::set<DWORD>& before) {
  for (DWORD id : FileManagers())
    if (!before.count(id))
      if (HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, id)) {
        TerminateProcess(p, 0);
        CloseHandle(p);
      }
}

class Wizard : public ::testing::Test {
 public:
  void SetUp() override {
    testing::RemoveTree(kTemp);
    CreateDirectoryA(kTemp.c_str(), nullptr);
    SetEnvironmentVariableA("TMP", kTemp.c_str());
    SetEnvironmentVariableA("PATH", "C:\\windows\\system32;C:\\windows");
    SetEnvironmentVariableA("KESTRANE_RECORD", kRecord.c_str());
    SetEnvironmentVariableA("KESTRANE_FAKE_PACKAGER", nullptr);
    DeleteSettingSection("kestrane");
  }
  void TearDown() override {
    app.Kill();
    DeleteSettingSection("kestrane");
  }

  // Starts the converter and waits for its main window.
  void Start() {
    ASSERT_TRUE(app.Start(Bin() + "\\kestrane\\kestrane.exe"));
    form = d::WaitTopWindow(app.pid(), "kestrane", kFormClass);
    ASSERT_TRUE(form);
    ASSERT_TRUE(d::WaitUntil([&] { return d::Visible(form); }));
  }

  HWND Ctl(int id) { return d::Child(form, id); }
  int PanelTop() { return d::RectIn(Ctl(ids::kPicture1), form).top; }
  bool ConvertMenuEnabled() { return d::MenuItem(form, "Convert to EXE").enabled; }
  bool Ended() { return app.WaitExit(10s); }
  std::string Recorded() { return ReadFile(kRecord); }

  // Confirms a message box of the converter and returns its text.
  std::string AnswerMessage(HWND owner, int button = IDOK, std::string* caption = nullptr) {
    HWND box = d::WaitDialog(app.pid(), owner);
    if (!box) return "<no message>";
    if (caption) *caption = d::Text(box);
    std::string text;
    for (HWND s : d::Children(box, "Static"))
      if (d::Text(s).size() > text.size()) text = d::Text(s);
    d::Click(d::Child(box, button, "Button"));
    d::WaitUntil([&] { return !IsWindow(box); });
    return text;
  }

  d::Process app;
  HWND form = nullptr;
};

}  // namespace kestrane
