// The main window created in the test's own process, for what cannot cross processes: a drop.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "converter/form1_win.h"

namespace kestrane {
namespace {

// A drop as the shell delivers it: a DROPFILES block followed by the names, each ended by a
// zero, with one more zero at the end.
HDROP MakeDrop(const std::vector<std::string>& files) {
  std::string names;
  for (const auto& f : files) names += f + '\0';
  names += '\0';
  HGLOBAL g = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size());
  auto* df = static_cast<DROPFILES*>(GlobalLock(g));
  df->pFiles = sizeof(DROPFILES);
  df->fWide = FALSE;
  memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), names.data(), names.size());
  GlobalUnlock(g);
  return static_cast<HDROP>(g);
}

TEST(MainWindow, DroppedFilesLeaveTheLastInThePresentationField) {
  Form1 form;
  ASSERT_TRUE(form.Create());
  form.Load();
  EXPECT_FALSE(form.Command2.Enabled());

  SendMessageA(
      form.Text1.hwnd(), WM_DROPFILES,
      reinterpret_cast<WPARAM>(MakeDrop({"C:\\a\\one.ppt", "C:\\b\\two.ppt", "C:\\c\\notes.txt"})),
      0);
  EXPECT_EQ(form.Text1.Text(), "C:\\c\\notes.txt");
  EXPECT_TRUE(form.Command2.Enabled());
  EXPECT_TRUE(form.convert.Enabled());

  // Only the presentation field takes files.
  EXPECT_TRUE(GetWindowLongA(form.Text1.hwnd(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  for (HWND h : {form.hwnd(), form.Text2.hwnd(), form.Command1.hwnd(), form.Label1.hwnd()})
    EXPECT_FALSE(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
}

TEST(MainWindow, AFailedConversionRestoresTheSelectionPage) {
  Form1 form;
  ASSERT_TRUE(form.Create());
  form.Text1.SetText("C:\\talk.ppt");
  form.DisableConvertMenu();
  form.CoverPage();
  form.UseResultTabOrder();
  EXPECT_EQ(form.Picture1.Bounds().y, 0);
  EXPECT_EQ(form.default_button(), &form.Command5);

  form.RestoreSelectionPage();
  EXPECT_EQ(form.Picture1.Bounds().y, 210);
  EXPECT_FALSE(form.Picture3.Visible());
  EXPECT_TRUE(form.convert.Enabled());
  EXPECT_TRUE(form.Command2.Enabled());
  EXPECT_TRUE(form.Text1.TabStop());
  EXPECT_FALSE(form.Command5.TabStop());
  EXPECT_EQ(form.default_button(), nullptr);
}

}  // namespace
}  // namespace kestrane
