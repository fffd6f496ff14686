#include "app/password_win.h"

#include <vector>

#include "ppt/crypto.h"

namespace viewer {
namespace {

// Dialog units of the layout.
constexpr short kWidth = 230, kHeight = 92, kMargin = 7;
constexpr short kButtonWidth = 50, kButtonHeight = 14;
constexpr short kFontPoints = 8;
constexpr WORD kClassButton = 0x0080, kClassEdit = 0x0081, kClassStatic = 0x0082;
constexpr WORD kAtom = 0xFFFF;           // a class given by its predefined number
constexpr WORD kNoId = 0xFFFF;           // a label nothing refers to
constexpr int kMaxPassword = 255;        // characters a password can have
constexpr size_t kPasswordBuffer = 256;  // the longest password and its terminator

// A dialog template written in memory, so that the program needs no resource script for it.
class Template {
 public:
  void Dialog(DWORD style, WORD items, const wchar_t* title) {
    DWord(style);
    DWord(0);
    Word(items);
    Rect(0, 0, kWidth, kHeight);
    Word(0);  // no menu
    Word(0);  // the standard dialog class
    Text(title);
    Word(kFontPoints);
    Text(L"MS Shell Dlg");
  }
  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls,
            const wchar_t* text) {
    while (words_.size() % 2) Word(0);  // items start on a DWORD boundary
    DWord(style | WS_CHILD | WS_VISIBLE);
    DWord(0);
    Rect(x, y, cx, cy);
    Word(id);
    Word(kAtom);
    Word(cls);
    Text(text);
    Word(0);  // no creation data
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Word(WORD w) { words_.push_back(w); }
  void DWord(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void Rect(short x, short y, short cx, short cy) {
    Word(WORD(x));
    Word(WORD(y));
    Word(WORD(cx));
    Word(WORD(cy));
  }
  void Text(const wchar_t* s) {
    while (*s) Word(WORD(*s++));
    Word(0);
  }
  std::vector<WORD> words_;
};

struct Context {
  std::wstring prompt;
  const PasswordCheck* opens;
};

std::wstring Wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(size_t(n > 0 ? n : 1), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], n);
  w.resize(w.size() - 1);
  return w;
}

void Submit(HWND dlg, const Context& ctx) {
  wchar_t typed[kPasswordBuffer] = L"";
  int n = GetDlgItemTextW(dlg, kPasswordEdit, typed, int(kPasswordBuffer));
  std::u16string password(reinterpret_cast<const char16_t*>(typed), size_t(n > 0 ? n : 0));
  ppt::Wipe(typed, sizeof typed);
  bool done = (*ctx.opens)(password);
  ppt::Wipe(&password[0], password.size() * sizeof(char16_t));
  if (done) {
    EndDialog(dlg, IDOK);
    return;
  }
  SetDlgItemTextW(dlg, kPasswordMessage,
                  L"The password is incorrect. Check that Caps Lock is off, then type it again.");
  SetDlgItemTextW(dlg, kPasswordEdit, L"");
  SetFocus(GetDlgItem(dlg, kPasswordEdit));
  MessageBeep(MB_ICONWARNING);
}

INT_PTR CALLBACK Proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dlg, DWLP_USER, lp);
      const Context* ctx = reinterpret_cast<const Context*>(lp);
      SetDlgItemTextW(dlg, kPasswordPrompt, ctx->prompt.c_str());
      SendDlgItemMessageW(dlg, kPasswordEdit, EM_LIMITTEXT, kMaxPassword, 0);
      SetForegroundWindow(dlg);
      SetFocus(GetDlgItem(dlg, kPasswordEdit));
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      const Context* ctx = reinterpret_cast<const Context*>(GetWindowLongPtrW(dlg, DWLP_USER));
      if (LOWORD(wp) == IDOK && ctx) {
        Submit(dlg, *ctx);
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL) {  // the Cancel button, Esc and the close box
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

bool AskPassword(const std::string& file_name, const PasswordCheck& opens) {
  Template t;
  const std::wstring title = Wide(kPasswordTitle);
  t.Dialog(DS_MODALFRAME | DS_SETFONT | DS_CENTER | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION |
               WS_SYSMENU,
           6, title.c_str());
  const short inner = kWidth - 2 * kMargin;
  const short buttons_y = kHeight - kMargin - kButtonHeight;
  t.Item(SS_LEFT, kMargin, kMargin, inner, 18, kPasswordPrompt, kClassStatic, L"");
  t.Item(SS_LEFT, kMargin, 28, 40, 8, kNoId, kClassStatic, L"&Password:");
  t.Item(ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kMargin + 42, 26, inner - 42, 12,
         kPasswordEdit, kClassEdit, L"");
  t.Item(SS_LEFT, kMargin, 44, inner, 18, kPasswordMessage, kClassStatic, L"");
  t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, kWidth - kMargin - 2 * kButtonWidth - 4, buttons_y,
         kButtonWidth, kButtonHeight, IDOK, kClassButton, L"OK");
  t.Item(BS_PUSHBUTTON | WS_TABSTOP, kWidth - kMargin - kButtonWidth, buttons_y, kButtonWidth,
         kButtonHeight, IDCANCEL, kClassButton, L"Cancel");
  Context ctx{L"\"" + Wide(file_name) +
                  L"\" is protected by a password. Type the password to "
                  L"open the presentation.",
              &opens};
  INT_PTR r = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.get(), nullptr, Proc,
                                      reinterpret_cast<LPARAM>(&ctx));
  return r == IDOK;
}

}  // namespace viewer
