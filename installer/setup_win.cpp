#include "installer/setup_win.h"

#include <commctrl.h>

#include "common/comctl_win.h"
#include "common/product.h"
#include "common/system_dll_win.h"
#include "common/environment_win.h"
#include "common/programs_win.h"
#include "common/shell_folders_win.h"
#include "installer/install_win.h"
#include "installer/setup_resources.h"
#include "installer/user_start_win.h"

namespace kestrane {

namespace {

constexpr char kTitle[] = "kestrane Setup";
constexpr char kFinished[] =
    "kestrane version 1.0 has been successfully installed on your computer.";
// Setup runs as an administrator; what it starts must run as the user, through the desktop's own
// shell. Where that cannot be asked, the user starts it.
constexpr char kStartFromMenu[] =
    "kestrane has been installed, but Setup could not start it for you. Start kestrane from the "
    "Start menu: Programs, kestrane, kestrane.";
constexpr char kHomePageElsewhere[] =
    "Setup could not open the kestrane home page for you. Open this address in your browser: ";
constexpr char kIncomplete[] =
    "kestrane version 1.0 could not be installed completely. These items could not be installed:";

HBITMAP LoadBitmapResource(int id) {
  return static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0));
}

}  // namespace

Form3::Form3() : font_("Arial", 8.25) {}

bool Form3::Create(const std::vector<std::string>& missing) {
  if (!CreateWindowed(Style::FixedDialog(kTitle, Px(4875), Px(2430)))) return false;
  SetControlFont(font_.get());

  Picture1.Create(*this, {Px(285), Px(210), Px(480), Px(480)});
  Picture1.SetIcon(
      missing.empty() ? ui::LoadIconSized(IDI_FINISH, 32) : LoadIconA(nullptr, IDI_WARNING), 32);

  std::string message = kFinished;
  int extra = 0;
  if (!missing.empty()) {
    // The finish window grows to name everything that is missing.
    message = kIncomplete;
    for (const auto& m : missing) message += "\r\n" + m;
    ui::WindowDC dc(hwnd());
    HGDIOBJ old = SelectObject(dc.get(), font_.get());
    RECT r{0, 0, Px(3795), 0};
    DrawTextA(dc.get(), message.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc.get(), old);
    extra = r.bottom > Px(495) ? r.bottom - Px(495) : 0;
  }
  Label1.Create(*this, message, {Px(900), Px(225), Px(3795), Px(495) + extra}, ui::Label::kLeft,
                true);
  Check1.Create(*this, "&Run kestrane", {Px(900), Px(1095) + extra, Px(1275), Px(210)}, true);
  Command1.Create(*this, "OK", {Px(2940), Px(1965) + extra, Px(1665), Px(360)});
  Command1.on_click = [this] { OnClose(); };
  SetDefaultButton(&Command1);
  SetCancelButton(&Command1);
  SetTabOrder({&Command1, &Check1});
  if (extra) {
    RECT w;
    GetWindowRect(hwnd(), &w);
    SetWindowPos(hwnd(), nullptr, w.left, w.top - extra / 2, w.right - w.left,
                 w.bottom - w.top + extra, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return true;
}

// OK, Enter, Esc and the close box all end here.
void Form3::OnClose() {
  if (Check1.Checked()) {
    const std::string converter = ConverterPath();
    if (!StartAsDesktopUser(converter, ""))
      MessageBoxA(hwnd(), kStartFromMenu, kTitle, MB_OK | MB_ICONINFORMATION);
  }
  EndProgram();
}

Form1::Form1()
    : Timer2(*this),
      Timer1(*this),
      font_("Arial", 8.25),
      byline_font_("Arial", 6.75),
      link_font_("Arial", 8.25, true),
      heading_font_("Arial", 9.75, true),
      glyph_font_("Wingdings 3", 15.75, false, false, false, SYMBOL_CHARSET) {}

bool Form1::Create() {
  Style s;
  s.title = "kestrane 1.0 Setup";
  s.client_w = Px(6735);
  s.client_h = Px(5385);
  s.minimize_box = true;
  s.icon = ui::LoadIconSized(IDI_SETUP, 32);
  s.small_icon = ui::LoadIconSized(IDI_SETUP, 16);
  if (!CreateWindowed(s)) return false;
  SetControlFont(font_.get());

  Background.Create(*this, {0, 0, 450, 360}, ui::Panel::kNone, RGB(255, 255, 255));
  background_bitmap_.reset(LoadBitmapResource(IDB_BACKGROUND));
  Background.SetBitmap(background_bitmap_.get(), false);

  Picture1.Create(Background, {Px(2010), Px(855), Px(3060), Px(870)}, ui::Panel::kNone,
                  RGB(255, 255, 255));
  logo_bitmap_.reset(LoadBitmapResource(IDB_LOGO));
  Picture1.SetBitmap(logo_bitmap_.get(), false);
  Label10.Create(Picture1, "by Tamsworth", {Px(1860), Px(660), 0, 0});
  Label10.SetFont(byline_font_.get());
  Label10.SetColor(RGB(0, 192, 0));

  HCURSOR hand = static_cast<HCURSOR>(LoadImageA(
      GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_LINK_HAND), IMAGE_CURSOR, 32, 32, 0));
  Label3.Create(Background, product::kHomeHost, {Px(4770), Px(525), Px(1755), Px(210)});
  Label3.SetFont(link_font_.get());
  Label3.SetColor(RGB(0, 0, 255));
  Label3.MakeLink(hand);
  Label3.on_click = [this] {
    if (!StartAsDesktopUser(WindowsFolderProgram("explorer.exe"), product::kHomePage))
      MessageBoxA(hwnd(), (std::string(kHomePageElsewhere) + product::kHomePage).c_str(), kTitle,
                  MB_OK | MB_ICONINFORMATION);
  };

  Label1.Create(Background, "Welcome to kestrane Setup", {Px(300), Px(1980), 0, 0});
  Label1.SetFont(heading_font_.get());
  Label1.SetColor(RGB(192, 64, 0));
  Label2.Create(Background,
                "This quick setup wizard will install kestrane 1.0 software on your computer. To "
                "continue, click the 'Install' button below.\r\n\r\nIf for any reason, you'd like "
                "to uninstall this software in the future, you can use the ADD/REMOVE Programs "
                "icon found in your Control Panel.",
                {Px(300), Px(2355), Px(6105), Px(1290)}, ui::Label::kLeft, true);

  Check1.Create(Background, "Add a &shortcut on Windows desktop",
                {Px(345), Px(4290), Px(2970), Px(240)}, true);
  Label9.Create(Background, "i", {Px(5625), Px(4515), Px(210), Px(375)}, ui::Label::kCenter);
  Label9.SetFont(glyph_font_.get());
  Command2.Create(Background, "Exit", {Px(3135), Px(4890), Px(1665), Px(360)});
  Command1.Create(Background, "Install", {Px(4875), Px(4890), Px(1665), Px(360)});
  Picture2.Create(Background, {0, Px(855), Px(120), Px(4650)}, ui::Panel::kNone,
                  RGB(255, 255, 255));

  Command1.on_click = [this] { Command1_Click(); };
  Command2.on_click = [] { EndProgram(); };
  SetDefaultButton(&Command1);
  SetCancelButton(&Command2);
  SetTabOrder({&Command1, &Command2, &Check1});

  Timer2.SetInterval(100);
  Timer2.on_tick = [this] { Timer2_Timer(); };
  Timer1.SetInterval(1000);
  Timer1.on_tick = [this] { Timer1_Timer(); };
  return true;
}

void Form1::OnClose() {
  EndProgram();
}

void Form1::Command1_Click() {
  ShowWindow(hwnd(), SW_HIDE);
  Timer2.SetEnabled(true);
}

void Form1::Timer2_Timer() {
  Timer2.SetEnabled(false);
  missing_ = RunInstallSequence(Check1.Checked(), OwnFolder());
  Timer1.SetEnabled(true);
}

void Form1::Timer1_Timer() {
  Timer1.SetEnabled(false);
  Form3 finish;
  if (!finish.Create(missing_)) EndProgram();
  finish.ShowModal();
  EndProgram();
}

}  // namespace kestrane

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  kestrane::RestrictDllSearchToSystem();
  kestrane::lib::InitCommonControls();
  if (!kestrane::ProbeWriteAccess()) {
    MessageBoxA(nullptr,
                "Please make sure you have enough privilages to run this software on this "
                "computer and try again.\r\rSetup wil not be terminated now.",
                "kestrane Setup", MB_OK | MB_ICONERROR);
    return 1;
  }
  kestrane::Form1 welcome;
  if (!welcome.Create()) return 1;
  welcome.Show();
  return kestrane::ui::Form::RunMessageLoop();
}
