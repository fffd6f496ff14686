#include "converter/form1_win.h"

#include <commdlg.h>

#include "common/product.h"
#include "common/environment_win.h"
#include "common/programs_win.h"
#include "common/settings_win.h"
#include "converter/form4_win.h"
#include "converter/form5_win.h"
#include "converter/resource.h"
#include "converter/texts.h"
#include "converter/window_texts.h"

namespace kestrane {

void OpenHomePage() {
  StartWindowsProgram("explorer.exe", HomePageCommand(), SW_SHOWNORMAL);
}

Form1::Form1()
    : arial_("Arial", 8.25),
      small_fonts_("Small Fonts", 6),
      symbol_("Wingdings 3", 15.75, false, false, false, SYMBOL_CHARSET) {}

bool Form1::Create() {
  SetControlFont(arial_.get());
  SetMenuBar({{&file, {&convert, &sep1, &exit1}}, {&help, {&tamsworth, &support, &sep2, &about}}});
  convert.SetEnabled(false);
  Style s;
  s.title = kTitle;
  s.client_w = 420;
  s.client_h = 205;
  s.minimize_box = true;
  s.icon = ui::LoadIconSized(IDI_PRODUCT, GetSystemMetrics(SM_CXICON));
  s.small_icon = ui::LoadIconSized(IDI_PRODUCT, GetSystemMetrics(SM_CXSMICON));
  if (!CreateWindowed(s)) return false;
  CreateMainPage();
  CreateResultPage();

  // Held texts, out of sight and out of the tab order.
  Text3.SetId(ids::kText3);
  Text3.Create(*this, kDirectiveTemplate, {440, 0, 100, 20}, ui::Edit::kMultiLineHolder);
  Text4.SetId(ids::kText4);
  Text4.Create(*this, kManifestText, {440, 30, 100, 20}, ui::Edit::kMultiLineHolder);

  // Tab order follows z-order; the cover panel comes first so that it lies on top.
  SetTabOrder({&Picture1, &Label1, &Text1, &Command1, &Label3, &Text2, &Command4, &Command8,
               &Label9, &Command3, &Command2, &Text3, &Text4});
  SetCancelButton(&Command3);
  ConnectHandlers();
  return true;
}

void Form1::CreateMainPage() {
  Label1.Create(*this,
                "Select the Microsoft PowerPoint Presentation file (PPT) file to be converted:",
                {20, 20, 384, 23});
  Text1.SetId(ids::kText1);
  Text1.Create(*this, "", {20, 39, 383, 21});
  Command1.SetId(ids::kCommand1);
  Command1.Create(*this, "&Browse...", {298, 63, 105, 25});
  Label3.Create(*this, "Output file: (Your single presentation executable)", {20, 100, 0, 0});
  Text2.SetId(ids::kText2);
  Text2.Create(*this, "", {20, 119, 339, 21}, ui::Edit::kReadOnly);
  Command4.SetId(ids::kCommand4);
  Command4.Create(*this, "...", {360, 119, 21, 22});
  Command8.SetId(ids::kCommand8);
  Command8.Create(*this, "ico", {383, 119, 21, 22});
  Command8.SetFont(small_fonts_.get());
  Label9.Create(*this, "i", {327, 146, 14, 25}, ui::Label::kCenter);
  Label9.SetFont(symbol_.get());
  Label9.SetColor(RGB(0, 192, 0));
  Command3.SetId(ids::kCommand3);
  Command3.Create(*this, "&Cancel", {147, 171, 114, 25});
  Command2.SetId(ids::kCommand2);
  Command2.Create(*this, "Make &EXE", {265, 171, 139, 25});
  Command2.SetEnabled(false);
}

// The wait and result pages lie on a panel that waits below the client area.
void Form1::CreateResultPage() {
  Picture1.SetId(ids::kPicture1);
  Picture1.Create(*this, {-2, 210, 423, 206}, ui::Panel::kSunken);
  Label2.SetId(ids::kLabel2);
  Label2.Create(Picture1, "Please wait...", {22, 15, 87, 17});
  Picture3.SetId(ids::kPicture3);
  Picture3.Create(Picture1, {10, 8, 403, 187});
  Picture3.SetVisible(false);
  Picture2.Create(Picture3, {1, 5, 32, 32});
  Picture2.SetIcon(LoadIconA(nullptr, IDI_INFORMATION), 32);
  Label4.Create(Picture3, "Your single presentation executable file has been successfully created.",
                {43, 3, 321, 29}, ui::Label::kLeft, true);
  Label5.Create(Picture3, "Microsoft PowerPoint Presentation file (PPT):", {43, 53, 0, 0});
  Label5.SetColor(RGB(0, 0, 192));
  Label6.SetId(ids::kLabel6);
  Label6.Create(Picture3, "Label6", {43, 70, 0, 0});
  Command7.SetId(ids::kCommand7);
  Command7.Create(Picture3, "View your single executable file", {41, 102, 235, 25});
  Command5.SetId(ids::kCommand5);
  Command5.Create(Picture3, "Finish", {279, 156, 114, 25});
  Command7.SetTabStop(false);
  Command5.SetTabStop(false);
}

void Form1::ConnectHandlers() {
  Text1.on_change = [this] { Text1_Change(); };
  Text1.AcceptFiles([this](const std::vector<std::string>& f) { Text1_Drop(f); });
  Command1.on_click = [this] { Command1_Click(); };
  Command4.on_click = [this] { Command4_Click(); };
  Command8.on_click = [this] { Command8_Click(); };
  Command3.on_click = [] { EndConverter(); };
  Command2.on_click = [this] { MakeExe(); };
  Command7.on_click = [this] { Command7_Click(); };
  Command5.on_click = [] { EndConverter(); };
  convert.on_click = [this] { MakeExe(); };
  exit1.on_click = [] { EndConverter(); };
  tamsworth.on_click = [] { OpenHomePage(); };
  support.on_click = [this] { support_Click(); };
  about.on_click = [this] { about_Click(); };
}

void Form1::Load() {
  Text2.SetText(GetEnv("TMP") + "\\view.exe");
  Text3.SetText(FillDirectiveMarkers(Text3.Text(), WorkingDrive(), WorkingDrive()));
}

void Form1::ShowCentred() {
  Show();
  Text1.Focus();
}

void Form1::OnClose() {
  EndConverter();
}

// The packager's start lets queued input through once, so a second click, Space or the menu can
// arrive here while a conversion runs; and the result page has nothing left to convert.
void Form1::MakeExe() {
  if (converting_ || finished_) return;
  converting_ = true;
  kestrane::MakeExe(*this);
  converting_ = false;
}

bool Form1::ShellFileCopy(const std::string& src, const std::string& dest, bool NoConfirm) {
  return kestrane::ShellFileCopy(src, dest, NoConfirm);
}

void Form1::Navigate(const std::string& NavTo) {
  kestrane::Navigate(NavTo);
}

void Form1::ShowError(const std::string& text) {
  MessageBoxA(hwnd(), text.c_str(), kTitle, MB_OK | MB_ICONSTOP);
}

void Form1::DisableConvertMenu() {
  convert.SetEnabled(false);
}

void Form1::CoverPage() {
  Picture1.Move(-2, 0);
}

void Form1::SelectionTabOrder(bool on) {
  for (ui::Control* c :
       {static_cast<ui::Control*>(&Text1), static_cast<ui::Control*>(&Command1),
        static_cast<ui::Control*>(&Command4), static_cast<ui::Control*>(&Command3),
        static_cast<ui::Control*>(&Command2), static_cast<ui::Control*>(&Command8)})
    c->SetTabStop(on);
  Command5.SetTabStop(!on);
  Command7.SetTabStop(!on);
  SetDefaultButton(on ? nullptr : &Command5);
}

void Form1::UseResultTabOrder() {
  SelectionTabOrder(false);
}

void Form1::SetResultFileName(const std::string& name) {
  Label6.SetText(name);
}

// The covered controls stay enabled behind the result page, but must not answer their access
// keys there: Alt+E would convert again, Alt+B open the file dialog.
void Form1::CoveredAccessKeys(bool off) {
  if (off)
    SetAccessKeysOff({&Text1, &Command1, &Command4, &Command3, &Command2, &Command8});
  else
    SetAccessKeysOff({});
}

void Form1::ShowResultPanel() {
  finished_ = true;
  CoveredAccessKeys(true);
  Picture3.SetVisible(true);
  Picture3.BringToTop();
  // The covered button that started the conversion must not keep the focus: Enter means Finish.
  Command5.Focus();
}

void Form1::RestoreSelectionPage() {
  Picture3.SetVisible(false);
  Picture1.Move(-2, 210);
  SelectionTabOrder(true);
  Text1_Change();
  Text1.Focus();
}

void Form1::Text1_Change() {
  bool on = HasPresentationText(Text1.Text());
  Command2.SetEnabled(on);
  convert.SetEnabled(on);
}

void Form1::Text1_Drop(const std::vector<std::string>& files) {
  for (const std::string& f : files) Text1.SetText(f);
}

void Form1::Command1_Click() {
  cd1.SetFilter("Microsoft PowerPoint Presentation files (*.ppt)|*.ppt");
  cd1.SetFlags(0);
  if (cd1.ShowOpen(hwnd())) Text1.SetText(cd1.file_name);
}

void Form1::Command4_Click() {
  cd2.SetFilter("Single Executable File|*.exe");
  if (cd2.file_name.empty()) cd2.file_name = "view.exe";
  cd2.SetFlags(OFN_OVERWRITEPROMPT);
  if (cd2.ShowSave(hwnd())) Text2.SetText(cd2.file_name);
}

void Form1::Command8_Click() {
  std::string icon =
      GetSetting(product::kSettingsApp, product::kSettingsSection, product::kIconSetting);
  if (icon.empty()) icon = "1";
  Form5 chooser;
  chooser.Create();
  for (int n = 1; n <= 6; ++n)
    if (icon == std::to_string(n)) chooser.Arm(n);
  chooser.ShowModal();
}

void Form1::Command7_Click() {
  StartWindowsProgram("explorer.exe", ViewCommand(Text2.Text()), SW_SHOWNORMAL);
}

void Form1::support_Click() {
  Navigate(SupportMailLink(GetEnv("USERNAME"), GetEnv("OS"), GetEnv("PROCESSOR_IDENTIFIER")));
}

void Form1::about_Click() {
  Form4 box;
  box.Create();
  box.ShowModal();
}

bool Form2::Create() {
  Style s;
  s.title = product::kConverterMarker;
  s.client_w = 63;
  s.client_h = 2;
  s.centred = false;
  s.x = -4366;
  s.y = -4340;
  s.in_taskbar = false;
  s.dialog_frame = true;
  if (!CreateWindowed(s)) return false;
  ShowWindow(hwnd(), SW_SHOWNA);
  return true;
}

void Form2::OnClose() {
  EndConverter();
}

}  // namespace kestrane
