#include "converter/form4_win.h"

#include "converter/form1_win.h"
#include "converter/resource.h"
#include "converter/texts.h"
#include "converter/window_texts.h"

namespace kestrane {

constexpr char kTrademarkNotice[] =
    "Microsoft and PowerPoint are either registered trademarks or trademarks of Microsoft "
    "Corporation in the United States and/or other countries.";

Form4::Form4()
    : arial_("Arial", 8.25),
      name_("Arial", 9.75, true),
      version_("Arial", 9.75),
      link_("Arial", 8.25, false, false, true),
      legal_("Arial", 8.25, false, true) {}

bool Form4::Create() {
  SetControlFont(arial_.get());
  if (!CreateWindowed(Style::FixedDialog("About kestrane", 416, 275))) return false;

  HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_HANDPOINTER));
  Picture1.Create(*this, {16, 12, 32, 32});
  Picture1.SetIcon(ui::LoadIconSized(IDI_PRODUCT, 32), 32);
  Label1.Create(*this, "kestrane", {66, 10, 0, 0});
  Label1.SetFont(name_.get());
  Label2.Create(*this, "version 1.0", {66, 29, 0, 0});
  Label2.SetFont(version_.get());
  Label3.Create(*this,
                "Convert your Microsoft PowerPoint Presentation files (PPT) into self-running "
                "executable files.",
                {66, 63, 308, 36}, ui::Label::kLeft, true);
  Label4.Create(*this,
                "Version 1.0 developed by Tamsworth. For updates and possible add-ons, please use "
                "the web address below.",
                {66, 99, 314, 43}, ui::Label::kLeft, true);
  Label6.SetId(ids::kAboutLink);
  Label6.Create(*this, kHomeHost, {66, 137, 0, 0});
  Label6.SetFont(link_.get());
  Label6.SetColor(RGB(0, 0, 192));
  Label6.MakeLink(hand);
  Label8.SetId(ids::kAboutLegal);
  Label8.Create(*this, "Legal information", {327, 3, 0, 0});
  Label8.SetFont(legal_.get());
  Label8.MakeLink(hand);
  Command2.Create(*this, "OK", {307, 244, 98, 24});
  SetDefaultButton(&Command2);
  SetCancelButton(&Command2);

  Label6.on_click = [] { OpenHomePage(); };
  Label8.on_click = [this] { Label8_Click(); };
  Command2.on_click = [this] { Unload(); };
  return true;
}

void Form4::Label8_Click() {
  MessageBoxA(hwnd(), kTrademarkNotice, kTitle, MB_OK);
}

}  // namespace kestrane
