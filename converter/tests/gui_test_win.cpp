// The converter's windows driven from outside, as a user would drive them.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "common/scoped_win.h"
#include "common/files_win.h"
#include "common/settings_win.h"
#include "converter/resource.h"
#include "converter/tests/wizard_win.h"
#include "converter/texts.h"

namespace kestrane {
namespace {

namespace d = driver;
using testing::ReadFile;
using testing::WriteFile;

TEST_F(Wizard, OpensOnTheSelectionPage) {
  Start();
  RECT client;
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, 420);
  EXPECT_EQ(client.bottom, 205);
  EXPECT_FALSE(d::Enabled(Ctl(ids::kCommand2)));
  EXPECT_EQ(d::Text(Ctl(ids::kCommand2)), "Make &EXE");
  auto convert = d::MenuItem(form, "Convert to EXE");
  EXPECT_TRUE(convert.found);
  EXPECT_FALSE(convert.enabled);
  EXPECT_TRUE(d::MenuItem(form, "Exit").enabled);
  EXPECT_TRUE(d::WaitUntil([&] { return d::Focus(form) == Ctl(ids::kText1); }));
  EXPECT_EQ(d::Text(Ctl(ids::kText1)), "");
  EXPECT_EQ(d::Text(Ctl(ids::kText2)), kTemp + "\\view.exe");
  EXPECT_EQ(PanelTop(), 210);
  EXPECT_FALSE(d::Visible(Ctl(ids::kPicture3)));

  // The directive names the package and the source folder on the working drive.
  std::string directive = d::Text(Ctl(ids::kText3));
  EXPECT_NE(directive.find("TargetName=C:\\kestrane\\temp\\temp.exe\r\n"), std::string::npos);
  EXPECT_NE(directive.find("SourceFiles0=C:\\kestrane\\\r\n"), std::string::npos);
  EXPECT_EQ(d::Text(Ctl(ids::kText4)), kManifestText);

  // The marker window: out of sight, and no way for the user to reach it.
  HWND marker = d::WaitTopWindow(app.pid(), "TunaTunaTunaTuna", kFormClass);
  ASSERT_TRUE(marker);
  RECT mr;
  GetWindowRect(marker, &mr);
  EXPECT_LT(mr.right, 0);
  EXPECT_LT(mr.bottom, 0);
  EXPECT_TRUE(d::Owner(marker));  // owned windows stay off the taskbar
  d::SaveScreenshot(form, "converter-selection");
}

TEST_F(Wizard, MakeExeFollowsThePresentationField) {
  Start();
  HWND text1 = Ctl(ids::kText1), make = Ctl(ids::kCommand2);
  struct Case {
    const char* text;
    bool available;
  } cases[] = {{"   ", false}, {"   x", true}, {"\t", true}, {"", false}, {"C:\\a b.ppt", true}};
  for (const Case& c : cases) {
    d::SetText(text1, c.text);
    EXPECT_EQ(d::Enabled(make), c.available) << '"' << c.text << '"';
    EXPECT_EQ(ConvertMenuEnabled(), c.available) << '"' << c.text << '"';
  }
}

TEST_F(Wizard, RejectedInputLeavesTheSelectionPage) {
  testing::RemoveTree("C:\\talks");
  WriteFile("C:\\talks\\notes.doc", "words");
  Start();
  struct Case {
    const char* input;
    const char* message;
  } cases[] = {{"C:\\talks\\notes.doc", kMsgNotPpt}, {"C:\\talks\\missing.ppt", kMsgMissing}};
  for (const Case& c : cases) {
    d::SetText(Ctl(ids::kText1), c.input);
    d::Click(Ctl(ids::kCommand2));
    std::string caption;
    EXPECT_EQ(AnswerMessage(form, IDOK, &caption), c.message);
    EXPECT_EQ(caption, "kestrane");
    EXPECT_EQ(PanelTop(), 210);
    EXPECT_TRUE(ConvertMenuEnabled());
    EXPECT_TRUE(d::Enabled(Ctl(ids::kCommand2)));
    EXPECT_EQ(d::Text(Ctl(ids::kText1)), c.input);
  }
}

class Conversion : public Wizard {
 protected:
  void SetUp() override {
    Wizard::SetUp();
    testing::LayInstalledTree(Bin() + "\\fake_packager.exe");
    testing::RemoveTree("C:\\talks");
    testing::RemoveTree("C:\\out");
    WriteFile("C:\\talks\\Quarterly Talk.ppt", "\xD0\xCF\x11\xE0 deck");
    CreateDirectoryA("C:\\out", nullptr);
  }
  void Convert(const std::string& output = "C:\\out\\talk.exe") {
    d::SetText(Ctl(ids::kText1), "C:\\talks\\Quarterly Talk.ppt");
    d::SetText(Ctl(ids::kText2), output);
    d::Click(Ctl(ids::kCommand2));
  }
  bool OnResultPage() {
    return d::WaitUntil([&] { return d::Visible(Ctl(ids::kPicture3)); }, 60s);
  }
};

TEST_F(Conversion, EndsOnTheResultPageWithFinishAsDefault) {
  SetEnvironmentVariableA("KESTRANE_FAKE_PACKAGER", "slow");
  Start();
  Convert();
  ASSERT_TRUE(d::WaitUntil([&] { return PanelTop() == 0; }));
  EXPECT_FALSE(ConvertMenuEnabled());
  Sleep(500);
  d::SaveScreenshot(form, "converter-wait");
  ASSERT_TRUE(OnResultPage());

  EXPECT_EQ(d::Text(Ctl(ids::kLabel6)), "Quarterly Talk.ppt");
  EXPECT_EQ(PanelTop(), 0);
  EXPECT_FALSE(ConvertMenuEnabled());
  EXPECT_TRUE(testing::ReadFile("C:\\out\\talk.exe").size() > 0);
  HWND finish = Ctl(ids::kCommand5);
  EXPECT_EQ(GetWindowLongA(finish, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_TRUE(d::HasStyle(finish, WS_TABSTOP));
  EXPECT_TRUE(d::HasStyle(Ctl(ids::kCommand7), WS_TABSTOP));
  for (int id : {ids::kText1, ids::kCommand1, ids::kCommand4, ids::kCommand3, ids::kCommand2,
                 ids::kCommand8})
    EXPECT_FALSE(d::HasStyle(Ctl(id), WS_TABSTOP)) << id;
  d::SaveScreenshot(form, "converter-result");

  EXPECT_EQ(d::Focus(form), finish);
  d::KeyToFocus(form, VK_RETURN);
  EXPECT_TRUE(Ended());
}

TEST_F(Conversion, ThatBuildsNothingReturnsToTheSelectionPage) {
  SetEnvironmentVariableA("KESTRANE_FAKE_PACKAGER", "fail");
  Start();
  Convert();
  EXPECT_EQ(AnswerMessage(form), kMsgNotCreated);
  EXPECT_EQ(PanelTop(), 210);
  EXPECT_FALSE(d::Visible(Ctl(ids::kPicture3)));
  EXPECT_TRUE(ConvertMenuEnabled());
  EXPECT_TRUE(d::Enabled(Ctl(ids::kCommand2)));
  EXPECT_TRUE(d::HasStyle(Ctl(ids::kText1), WS_TABSTOP));
  EXPECT_FALSE(d::HasStyle(Ctl(ids::kCommand5), WS_TABSTOP));

  // The user can mend the cause and try again.
  SetEnvironmentVariableA("KESTRANE_FAKE_PACKAGER", nullptr);
  app.Kill();
  Start();
  Convert();
  EXPECT_TRUE(OnResultPage());
}

// A package carries the icon chosen before the conversion.
TEST_F(Conversion, CarriesTheChosenIcon) {
  for (int n = 1; n <= 6; ++n)
    CopyFileA((Bin() + "\\icon_stub" + std::to_string(n) + ".exe").c_str(),
              ("C:\\kestrane\\tools\\wextract\\wextract" + std::to_string(n) + ".dat").c_str(),
              FALSE);
  Start();
  d::Click(Ctl(ids::kCommand8));
  HWND chooser = d::WaitTopWindow(app.pid(), "Executable File Icon", kFormClass);
  ASSERT_TRUE(chooser);
  ASSERT_TRUE(d::WaitUntil([&] { return d::Visible(chooser); }));
  d::MouseClick(d::Child(chooser, ids::kChooserBox1 + 3), 10, 10);
  d::Click(d::ChildByText(chooser, "Button", "Save"));
  ASSERT_TRUE(d::WaitUntil([&] { return !IsWindow(chooser); }));
  EXPECT_EQ(GetSetting("kestrane", "kestrane", "icon"), "4");
  Convert();
  ASSERT_TRUE(OnResultPage());

  auto icons = [](const std::string& file) {
    std::map<std::string, std::string> out;
    HMODULE m = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!m) return out;
    for (LPCSTR type : {RT_ICON, RT_GROUP_ICON})
      for (int id = 1; id < 64; ++id)
        if (HRSRC r = FindResourceA(m, MAKEINTRESOURCEA(id), type)) {
          auto* p = static_cast<const char*>(LockResource(LoadResource(m, r)));
          out[std::to_string(reinterpret_cast<UINT_PTR>(type)) + "/" + std::to_string(id)] =
              std::string(p, SizeofResource(m, r));
        }
    FreeLibrary(m);
    return out;
  };
  auto package = icons("C:\\out\\talk.exe");
  EXPECT_FALSE(package.empty());
  EXPECT_EQ(package, icons(Bin() + "\\icon_stub4.exe"));
  EXPECT_NE(package, icons(Bin() + "\\icon_stub1.exe"));

  // The file manager is the Windows folder's: a program of that name beside the converter (the
  // recorder the tests put there) or in the current folder is never started.
  auto before = FileManagers();
  d::Click(Ctl(ids::kCommand7));
  EXPECT_FALSE(d::WaitUntil([&] { return !Recorded().empty(); }, 3s)) << Recorded();
  EndFileManagersSince(before);
  EXPECT_TRUE(app.Running());
}

// A second click, queued while the first conversion starts the packager, must not start another
// conversion inside it (which delivered the file, and then had the first report a failure).
TEST_F(Conversion, ASecondClickDuringTheConversionDoesNothing) {
  SetEnvironmentVariableA("KESTRANE_FAKE_PACKAGER", "slow");
  Start();
  d::SetText(Ctl(ids::kText1), "C:\\talks\\Quarterly Talk.ppt");
  d::SetText(Ctl(ids::kText2), "C:\\out\\talk.exe");
  d::Click(Ctl(ids::kCommand2));
  d::Click(Ctl(ids::kCommand2));
  d::Key(Ctl(ids::kCommand2), VK_SPACE);
  ASSERT_TRUE(OnResultPage());
  EXPECT_FALSE(d::WaitDialog(app.pid(), nullptr, 5s)) << "a message after the result page";
  EXPECT_TRUE(d::Visible(Ctl(ids::kPicture3)));
  EXPECT_TRUE(FileExists("C:\\out\\talk.exe"));
}

int Running(const char* program) {
  int n = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32 e{};
  e.dwSize = sizeof e;
  for (BOOL more = Process32First(snap, &e); more; more = Process32Next(snap, &e))
    if (lstrcmpiA(e.szExeFile, program) == 0) ++n;
  CloseHandle(snap);
  return n;
}

// Ending the program while the packager runs (its start lets queued input through) stops the
// packager and leaves the tree as setup left it: no staged file, no package, no scratch.
TEST_F(Conversion, EndingItDuringTheConversionStopsThePackagerAndRemovesWhatWasStaged) {
  SetEnvironmentVariableA("KESTRANE_FAKE_PACKAGER", "slow");
  const char* const captures[] = {"captured.sed", "captured_args.txt", "captured_access.txt",
                                  "captured_files.txt"};
  auto tree = [&] {
    auto now = testing::Snapshot("C:\\kestrane");
    for (const char* f : captures) now.erase(std::string("tools\\") + f);
    return now;
  };
  const auto installed = tree();
  const std::pair<const char*, int> ways[] = {{"close box", 0}, {"Cancel", ids::kCommand3}};
  for (const auto& [way, button] : ways) {
    SCOPED_TRACE(way);
    for (const char* f : captures) DeleteFileA((std::string("C:\\kestrane\\tools\\") + f).c_str());
    Start();
    d::SetText(Ctl(ids::kText1), "C:\\talks\\Quarterly Talk.ppt");
    d::SetText(Ctl(ids::kText2), "C:\\out\\talk.exe");
    d::Click(Ctl(ids::kCommand2));
    if (button)
      d::Click(Ctl(button));
    else
      PostMessageA(form, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Ended());
    EXPECT_EQ(Running("IExpress.exe"), 0);
    Sleep(3000);  // longer than the packager would have taken
    EXPECT_EQ(ReadFile("C:\\kestrane\\tools\\captured_files.txt"), "") << "the packager went on";
    EXPECT_FALSE(FileExists("C:\\out\\talk.exe"));
    EXPECT_EQ(tree(), installed);
    app.Kill();
  }
}

// Behind the result page, Alt+E ran the conversion again and Alt+B opened the file dialog.
TEST_F(Conversion, TheResultPageIgnoresTheAccessKeysOfTheCoveredControls) {
  Start();
  Convert();
  ASSERT_TRUE(OnResultPage());
  ASSERT_TRUE(DeleteFileA("C:\\out\\talk.exe"));
  for (char key : {'e', 'b'}) {
    PostMessageA(d::Focus(form), WM_SYSCHAR, key, 1 | (1 << 29));
    EXPECT_FALSE(d::WaitDialog(app.pid(), nullptr, 3s)) << key;
    PostMessageA(d::Focus(form), WM_CHAR, key, 1);  // the letter alone, on a button
    EXPECT_FALSE(d::WaitDialog(app.pid(), nullptr, 3s)) << key;
  }
  EXPECT_FALSE(FileExists("C:\\out\\talk.exe"));
  EXPECT_TRUE(d::Visible(Ctl(ids::kPicture3)));
  EXPECT_TRUE(app.Running());
}

TEST_F(Wizard, SecondStartEndsWithoutAWindow) {
  Start();
  d::SetText(Ctl(ids::kText1), "C:\\first.ppt");
  d::Process second;
  ASSERT_TRUE(second.Start(Bin() + "\\kestrane\\kestrane.exe"));
  EXPECT_TRUE(second.WaitExit(20s));
  EXPECT_TRUE(d::TopWindows(second.pid(), "", kFormClass).empty());
  EXPECT_TRUE(app.Running());
  EXPECT_EQ(d::Text(Ctl(ids::kText1)), "C:\\first.ppt");
  EXPECT_TRUE(d::Enabled(Ctl(ids::kCommand2)));
}

// The working tree belongs to the machine: a converter of another session, whose instance name
// this one may not even open, counts as running.
TEST_F(Wizard, AConverterOfAnotherSessionCountsAsRunning) {
  for (bool foreign : {false, true}) {
    SCOPED_TRACE(foreign ? "made by another user" : "made in another session");
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    alignas(DWORD) BYTE empty[64];
    InitializeAcl(reinterpret_cast<ACL*>(empty), sizeof empty, ACL_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, reinterpret_cast<ACL*>(empty), FALSE);
    SECURITY_ATTRIBUTES sa{sizeof sa, &sd, FALSE};
    HANDLE other =
        CreateMutexA(foreign ? &sa : nullptr, FALSE, "Global\\kestrane.converter.instance");
    ASSERT_TRUE(other);
    d::Process second;
    ASSERT_TRUE(second.Start(Bin() + "\\kestrane\\kestrane.exe"));
    EXPECT_TRUE(second.WaitExit(20s));
    EXPECT_TRUE(d::TopWindows(second.pid(), "", kFormClass).empty());
    second.Kill();
    CloseHandle(other);
  }
}

TEST_F(Wizard, StartClosesARunningLauncher) {
  HWND launcher = CreateWindowExA(0, "STATIC", "TunaTunaTuna", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_TRUE(launcher);
  Start();
  MSG m;
  EXPECT_TRUE(PeekMessageA(&m, launcher, WM_CLOSE, WM_CLOSE, PM_REMOVE));
  DestroyWindow(launcher);
}

TEST_F(Wizard, EveryWayOutEndsTheProgramAtOnce) {
  struct Way {
    const char* name;
    std::function<void(Wizard&)> act;
  } ways[] = {
      {"Esc", [](Wizard& w) { d::KeyToFocus(w.form, VK_ESCAPE); }},
      {"Cancel", [](Wizard& w) { d::Click(w.Ctl(ids::kCommand3)); }},
      {"close box", [](Wizard& w) { PostMessageA(w.form, WM_CLOSE, 0, 0); }},
      {"Exit", [](Wizard& w) { d::ChooseMenuItem(w.form, "Exit"); }},
      {"marker closed",
       [](Wizard& w) {
         PostMessageA(d::WaitTopWindow(w.app.pid(), "TunaTunaTunaTuna", kFormClass), WM_CLOSE, 0,
                      0);
       }},
  };
  for (const Way& way : ways) {
    Start();
    d::SetText(Ctl(ids::kText1), "C:\\x.ppt");
    way.act(*this);
    EXPECT_TRUE(Ended()) << way.name;
    app.Kill();
  }
}

}  // namespace
}  // namespace kestrane

namespace kestrane {
namespace {

std::string VersionString(const std::vector<char>& info, const char* name) {
  char* value = nullptr;
  UINT len = 0;
  std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
  if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &len)) return "";
  return std::string(value, len ? len - 1 : 0);
}

TEST(Program, CarriesItsIconVersionAndManifest) {
  const std::string exe = Bin() + "\\kestrane\\kestrane.exe";
  DWORD size = GetFileVersionInfoSizeA(exe.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, info.data()));
  EXPECT_EQ(VersionString(info, "ProductName"), "kestrane");
  EXPECT_EQ(VersionString(info, "FileVersion"), "1.00");
  EXPECT_EQ(VersionString(info, "ProductVersion"), "1.00");
  EXPECT_EQ(VersionString(info, "InternalName"), "kestrane");
  EXPECT_EQ(VersionString(info, "OriginalFilename"), "kestrane.exe");
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);

  HMODULE m = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(m);
  HRSRC group = FindResourceA(m, MAKEINTRESOURCEA(1), RT_GROUP_ICON);
  ASSERT_TRUE(group);
  auto* dir = static_cast<const WORD*>(LockResource(LoadResource(m, group)));
  EXPECT_EQ(dir[2], 8);  // images in the product icon
  HRSRC manifest = FindResourceA(m, MAKEINTRESOURCEA(1), RT_MANIFEST);
  ASSERT_TRUE(manifest);
  std::string text(static_cast<const char*>(LockResource(LoadResource(m, manifest))),
                   SizeofResource(m, manifest));
  EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(text.find("asInvoker"), std::string::npos);
  FreeLibrary(m);
}

}  // namespace
}  // namespace kestrane
