// The menus, the About box and the icon chooser, driven from outside.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/reg_key_win.h"
#include "common/scoped_win.h"
#include "converter/tests/wizard_win.h"
#include "converter/texts.h"

namespace kestrane {
namespace {

namespace d = driver;

// The mail program the shell starts for mailto: links, replaced by the recorder while a test runs.
class MailHandler {
 public:
  MailHandler() {
    RegKey k;
    if (k.Open(HKEY_CLASSES_ROOT, kKey) == ERROR_SUCCESS) {
      char buf[1024] = {};
      DWORD size = sizeof buf;
      if (RegQueryValueExA(k.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buf),
                           &size) == ERROR_SUCCESS)
        saved_ = buf, had_ = true;
    }
    Set("\"" + Bin() + "\\record_command.exe\" \"%1\"");
  }
  ~MailHandler() {
    if (had_) Set(saved_);
  }

 private:
  static constexpr char kKey[] = "mailto\\shell\\open\\command";
  void Set(const std::string& v) {
    RegKey k;
    if (k.Create(HKEY_CLASSES_ROOT, kKey) == ERROR_SUCCESS)
      RegSetValueExA(k.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                     static_cast<DWORD>(v.size() + 1));
  }
  std::string saved_;
  bool had_ = false;
};

TEST_F(Wizard, HelpMenuOpensTheHomePageAndASupportMail) {
  SetEnvironmentVariableA("USERNAME", "jdoe");
  SetEnvironmentVariableA("OS", "Windows_NT");
  SetEnvironmentVariableA("PROCESSOR_IDENTIFIER",
                          "x86 Family 6 Model 15 Stepping 11, GenuineIntel");
  MailHandler mail;
  Start();
  d::ChooseMenuItem(form, "Technical Support");
  const std::string link =
      "mailto:support@example.com?Subject=kestrane version 1.0 (jdoe; Windows_NTx86 Family 6 "
      "Model 15 Stepping 11, GenuineIntel)";
  EXPECT_TRUE(d::WaitUntil([&] { return Recorded().find(link) != std::string::npos; }))
      << Recorded();

  // The home page opens in the Windows folder's file manager, never in a program of that name
  // beside the converter (where the tests keep their recorder).
  auto before = FileManagers();
  d::ChooseMenuItem(form, "Tamsworth Web Site");
  EXPECT_FALSE(
      d::WaitUntil([&] { return Recorded().find("explorer.exe http") != std::string::npos; }, 3s))
      << Recorded();
  EndFileManagersSince(before);
  EXPECT_TRUE(app.Running());
}

TEST_F(Wizard, ConvertMenuFollowsMakeExe) {
  Start();
  for (const char* text : {"x", "  ", "C:\\missing.ppt"}) {
    d::SetText(Ctl(ids::kText1), text);
    EXPECT_EQ(ConvertMenuEnabled(), d::Enabled(Ctl(ids::kCommand2))) << text;
  }
  // The menu item runs the same conversion as the button, with the same checks.
  d::ChooseMenuItem(form, "Convert to EXE");
  EXPECT_EQ(AnswerMessage(form), kMsgMissing);
}

class AboutBox : public Wizard {
 protected:
  HWND Open() {
    d::ChooseMenuItem(form, "About kestrane...");
    HWND box = d::WaitTopWindow(app.pid(), "About kestrane", kFormClass);
    // Keys go to the focus, so wait until the box has taken it.
    if (box) d::WaitUntil([&] { return d::Visible(box) && GetForegroundWindow() == box; });
    return box;
  }
};

TEST_F(AboutBox, ShowsTheProductAndClosesWithEscOrOk) {
  Start();
  HWND box = Open();
  ASSERT_TRUE(box);
  RECT client;
  GetClientRect(box, &client);
  EXPECT_EQ(client.right, 416);
  EXPECT_EQ(client.bottom, 275);
  EXPECT_FALSE(d::Enabled(form));  // modal
  EXPECT_TRUE(d::ChildByText(box, "Static", "version 1.0"));
  EXPECT_EQ(d::Text(d::Child(box, ids::kAboutLink)), "www.example.com");
  d::SaveScreenshot(box, "about");

  d::KeyToFocus(box, VK_ESCAPE);
  EXPECT_TRUE(d::WaitUntil([&] { return !IsWindow(box); }));
  EXPECT_TRUE(d::WaitUntil([&] { return d::Enabled(form); }));

  // Each showing is a new box; OK and Enter close it too.
  box = Open();
  ASSERT_TRUE(box);
  d::KeyToFocus(box, VK_RETURN);
  EXPECT_TRUE(d::WaitUntil([&] { return !IsWindow(box); }));
  box = Open();
  ASSERT_TRUE(box);
  d::Click(d::ChildByText(box, "Button", "OK"));
  EXPECT_TRUE(d::WaitUntil([&] { return !IsWindow(box); }));
  EXPECT_TRUE(app.Running());
}

TEST_F(AboutBox, LegalInformationShowsTheTrademarkNotice) {
  Start();
  HWND box = Open();
  ASSERT_TRUE(box);
  d::MouseClick(d::Child(box, ids::kAboutLegal));
  std::string caption;
  EXPECT_EQ(AnswerMessage(box, IDOK, &caption),
            "Microsoft and PowerPoint are either registered trademarks or trademarks of Microsoft "
            "Corporation in the United States and/or other countries.");
  EXPECT_EQ(caption, "kestrane");
  EXPECT_TRUE(IsWindow(box));
}

class Chooser : public Wizard {
 protected:
  HWND Open() {
    d::Click(Ctl(ids::kCommand8));
    HWND c = d::WaitTopWindow(app.pid(), "Executable File Icon", kFormClass);
    if (c) d::WaitUntil([&] { return d::Visible(c) && GetForegroundWindow() == c; });
    return c;
  }
  HWND Box(HWND c, int n) { return d::Child(c, ids::kChooserBox1 + n - 1); }
  HWND Bar(HWND c, int n) { return d::Child(c, ids::kChooserBar1 + n - 1); }
  bool Bordered(HWND c, int n) {
    return (GetWindowLongA(Box(c, n), GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0;
  }
  // The numbers whose bar shows, and whether exactly their boxes are bordered.
  std::string Selected(HWND c) {
    std::string s;
    for (int n = 1; n <= 6; ++n) {
      if (d::Visible(Bar(c, n))) s += std::to_string(n);
      if (d::Visible(Bar(c, n)) != Bordered(c, n)) s += "!";
    }
    return s;
  }
  void Press(HWND c, const char* button) {
    d::Click(d::ChildByText(c, "Button", button));
    d::WaitUntil([&] { return !IsWindow(c); });
  }
  std::string Stored() { return GetSetting("kestrane", "kestrane", "icon"); }
};

TEST_F(Chooser, PreselectsTheStoredIcon) {
  Start();
  HWND c = Open();
  ASSERT_TRUE(c);
  EXPECT_FALSE(d::Enabled(form));
  EXPECT_TRUE(d::WaitUntil([&] { return Selected(c) == "1"; })) << Selected(c);
  d::SaveScreenshot(c, "chooser");
  Press(c, "Save");
  EXPECT_EQ(Stored(), "1");
  EXPECT_TRUE(d::WaitUntil([&] { return d::Enabled(form); }));

  SaveSetting("kestrane", "kestrane", "icon", "3");
  c = Open();
  ASSERT_TRUE(c);
  EXPECT_TRUE(d::WaitUntil([&] { return Selected(c) == "3"; }, 2s)) << Selected(c);
  EXPECT_NE(d::RectIn(Box(c, 3), c).left, d::RectIn(Box(c, 2), c).left);
  Press(c, "Cancel");

  SaveSetting("kestrane", "kestrane", "icon", "7");
  c = Open();
  ASSERT_TRUE(c);
  Sleep(300);
  EXPECT_EQ(Selected(c), "");
  Press(c, "Save");
  EXPECT_EQ(Stored(), "7");
}

TEST_F(Chooser, ClicksSelectAndOnlySaveStores) {
  SaveSetting("kestrane", "kestrane", "icon", "3");
  Start();
  HWND c = Open();
  ASSERT_TRUE(c);
  ASSERT_TRUE(d::WaitUntil([&] { return Selected(c) == "3"; }));
  d::MouseClick(Box(c, 5));
  EXPECT_TRUE(d::WaitUntil([&] { return Selected(c) == "5"; })) << Selected(c);
  Press(c, "Cancel");
  EXPECT_EQ(Stored(), "3");

  // The close box and Esc store nothing either; the next opening starts afresh.
  c = Open();
  ASSERT_TRUE(c);
  EXPECT_TRUE(d::WaitUntil([&] { return Selected(c) == "3"; }));
  d::MouseClick(Box(c, 6));
  PostMessageA(c, WM_CLOSE, 0, 0);
  EXPECT_TRUE(d::WaitUntil([&] { return !IsWindow(c); }));
  c = Open();
  ASSERT_TRUE(c);
  d::MouseClick(Box(c, 6));
  d::KeyToFocus(c, VK_ESCAPE);
  EXPECT_TRUE(d::WaitUntil([&] { return !IsWindow(c); }));
  EXPECT_EQ(Stored(), "3");

  // Two clicks leave the second selected, and Enter saves it.
  c = Open();
  ASSERT_TRUE(c);
  d::MouseClick(Box(c, 2));
  d::MouseClick(Box(c, 6));
  EXPECT_TRUE(d::WaitUntil([&] { return Selected(c) == "6"; })) << Selected(c);
  d::KeyToFocus(c, VK_RETURN);
  EXPECT_TRUE(d::WaitUntil([&] { return !IsWindow(c); }));
  EXPECT_EQ(Stored(), "6");

  // A double click stores at once.
  c = Open();
  ASSERT_TRUE(c);
  d::MouseDoubleClick(Box(c, 2));
  EXPECT_TRUE(d::WaitUntil([&] { return !IsWindow(c); }));
  EXPECT_EQ(Stored(), "2");
}

}  // namespace
}  // namespace kestrane
