// The presentation and output file dialogs, driven from outside.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "converter/tests/wizard_win.h"

namespace kestrane {
namespace {

namespace d = driver;

class FileDialogs : public Wizard {
 public:
  void SetUp() override {
    Wizard::SetUp();
    testing::RemoveTree("C:\\shows");
    WriteFile("C:\\shows\\talk.ppt", "deck");
    WriteFile("C:\\shows\\existing.exe", "old");
  }
  // Opens a dialog with its button and returns it.
  HWND Open(int button) {
    d::Click(Ctl(button));
    return d::WaitDialog(app.pid(), form);
  }
  // The file name field of the platform's file dialog.
  static HWND NameField(HWND dialog) {
    for (int id : {0x47c /* combo box */, 0x480 /* edit */}) {
      HWND h = d::Child(dialog, id);
      if (!h) continue;
      if (d::ClassOf(h) == "ComboBox" || d::ClassOf(h) == "ComboBoxEx32") {
        HWND edit = d::Children(h, "Edit").empty() ? nullptr : d::Children(h, "Edit").front();
        if (edit) return edit;
      }
      return h;
    }
    return nullptr;
  }
  std::string Offered(HWND dialog) { return d::Text(NameField(dialog)); }
  void Choose(HWND dialog, const std::string& name) {
    d::SetText(NameField(dialog), name);
    d::Click(d::Child(dialog, IDOK, "Button"));
  }
  void Cancel(HWND dialog) {
    d::Click(d::Child(dialog, IDCANCEL, "Button"));
    d::WaitUntil([&] { return !IsWindow(dialog); });
  }
  bool Closed(HWND dialog) {
    return d::WaitUntil([&] { return !IsWindow(dialog); });
  }
};

TEST_F(FileDialogs, BrowseFillsThePresentationAndKeepsTheName) {
  Start();
  d::SetText(Ctl(ids::kText1), "C:\\typed.ppt");
  HWND dialog = Open(ids::kCommand1);
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(NameField(dialog));
  Cancel(dialog);
  EXPECT_EQ(d::Text(Ctl(ids::kText1)), "C:\\typed.ppt");

  dialog = Open(ids::kCommand1);
  ASSERT_TRUE(dialog);
  Choose(dialog, "C:\\shows\\talk.ppt");
  ASSERT_TRUE(Closed(dialog));
  EXPECT_EQ(d::Text(Ctl(ids::kText1)), "C:\\shows\\talk.ppt");
  EXPECT_TRUE(d::Enabled(Ctl(ids::kCommand2)));

  dialog = Open(ids::kCommand1);
  ASSERT_TRUE(dialog);
  EXPECT_NE(Offered(dialog).find("talk.ppt"), std::string::npos) << Offered(dialog);
  Cancel(dialog);
  EXPECT_EQ(d::Text(Ctl(ids::kText1)), "C:\\shows\\talk.ppt");
}

TEST_F(FileDialogs, SaveOffersViewExeAddsNoExtensionAndAsksBeforeReplacing) {
  Start();
  HWND dialog = Open(ids::kCommand4);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Offered(dialog), "view.exe");
  Cancel(dialog);
  EXPECT_EQ(d::Text(Ctl(ids::kText2)), kTemp + "\\view.exe");

  dialog = Open(ids::kCommand4);
  ASSERT_TRUE(dialog);
  Choose(dialog, "C:\\shows\\talk");
  ASSERT_TRUE(Closed(dialog));
  EXPECT_EQ(d::Text(Ctl(ids::kText2)), "C:\\shows\\talk");

  // An existing file is chosen only after the dialog has asked.
  dialog = Open(ids::kCommand4);
  ASSERT_TRUE(dialog);
  EXPECT_NE(Offered(dialog).find("talk"), std::string::npos) << Offered(dialog);
  Choose(dialog, "C:\\shows\\existing.exe");
  HWND ask = d::WaitDialog(app.pid(), dialog);
  ASSERT_TRUE(ask);
  d::Click(d::Child(ask, IDYES, "Button"));
  ASSERT_TRUE(Closed(dialog));
  EXPECT_EQ(d::Text(Ctl(ids::kText2)), "C:\\shows\\existing.exe");

  dialog = Open(ids::kCommand4);
  ASSERT_TRUE(dialog);
  Cancel(dialog);
  EXPECT_EQ(d::Text(Ctl(ids::kText2)), "C:\\shows\\existing.exe");
}

TEST_F(FileDialogs, TabVisitsTheSelectionControlsInOrder) {
  Start();
  d::SetText(Ctl(ids::kText1), "C:\\x.ppt");
  ASSERT_TRUE(d::WaitUntil([&] { return d::Focus(form) == Ctl(ids::kText1); }));
  for (int id : {ids::kCommand1, ids::kCommand4, ids::kCommand8, ids::kCommand3, ids::kCommand2,
                 ids::kText1}) {
    d::KeyToFocus(form, VK_TAB);
    EXPECT_TRUE(d::WaitUntil([&] { return d::Focus(form) == Ctl(id); }, 3s)) << id;
  }
}

}  // namespace
}  // namespace kestrane
