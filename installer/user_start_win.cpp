#include "installer/user_start_win.h"

#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shlguid.h>
#include <shobjidl.h>

#include "common/scoped_win.h"
#include "common/system_dll_win.h"

namespace kestrane {

namespace {

// BSTR functions from the system folder's oleaut32, looked up when first needed.
struct Bstr {
  explicit Bstr(const std::string& text) {
    using Alloc = BSTR(WINAPI*)(const OLECHAR*);
    static auto alloc = SystemFunction<Alloc>("oleaut32.dll", "SysAllocString");
    std::wstring wide(text.size() + 1, L'\0');
    int n =
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    if (n > 0 && alloc) b = alloc(wide.c_str());
  }
  ~Bstr() {
    using Free = void(WINAPI*)(BSTR);
    static auto free = SystemFunction<Free>("oleaut32.dll", "SysFreeString");
    if (b && free) free(b);
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  VARIANT Variant() const {
    VARIANT v;
    ZeroMemory(&v, sizeof v);
    v.vt = VT_BSTR;
    v.bstrVal = b;
    return v;
  }
  BSTR b = nullptr;
};

// The desktop window's shell: the Explorer that the signed-in user's session runs.
bool DesktopShell(ComPtr<IShellDispatch2>* shell) {
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                              windows.receive_void())))
    return false;
  VARIANT where, empty;
  ZeroMemory(&where, sizeof where);
  ZeroMemory(&empty, sizeof empty);
  where.vt = VT_I4;
  where.lVal = CSIDL_DESKTOP;
  empty.vt = VT_EMPTY;
  long hwnd = 0;
  ComPtr<IDispatch> desktop;
  if (windows->FindWindowSW(&where, &empty, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH,
                            desktop.receive()) != S_OK ||
      !desktop)
    return false;
  ComPtr<IServiceProvider> services;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  ComPtr<IDispatch> background, application;
  ComPtr<IShellFolderViewDual> folder_view;
  return SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, services.receive_void())) &&
         SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                          browser.receive_void())) &&
         SUCCEEDED(browser->QueryActiveShellView(view.receive())) && view &&
         SUCCEEDED(
             view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.receive_void())) &&
         SUCCEEDED(
             background->QueryInterface(IID_IShellFolderViewDual, folder_view.receive_void())) &&
         SUCCEEDED(folder_view->get_Application(application.receive())) && application &&
         SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell->receive_void()));
}

std::string CurrentFolder() {
  char folder[MAX_PATH];
  DWORD n = GetCurrentDirectoryA(MAX_PATH, folder);
  return n && n < MAX_PATH ? std::string(folder, n) : std::string();
}

// Only a program is handed to the shell: for anything else it would show its own error dialog,
// where a failed start here stays silent.
bool LooksLikeProgram(const std::string& file) {
  AutoFileHandle f(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr));
  char head[2] = {};
  DWORD got = 0;
  return f && ReadFile(f.get(), head, 2, &got, nullptr) && got == 2 && head[0] == 'M' &&
         head[1] == 'Z';
}

}  // namespace

bool StartAsDesktopUser(const std::string& file, const std::string& parameters) {
  if (LooksLikeProgram(file)) {
    ScopedCoInit com;
    ComPtr<IShellDispatch2> shell;
    if (DesktopShell(&shell)) {
      Bstr name(file), args(parameters), dir(CurrentFolder()), verb("open");
      VARIANT show;
      ZeroMemory(&show, sizeof show);
      show.vt = VT_I4;
      show.lVal = SW_SHOWNORMAL;
      if (name.b && SUCCEEDED(shell->ShellExecute(name.b, args.Variant(), dir.Variant(),
                                                  verb.Variant(), show)))
        return true;
    }
  }
  // No desktop shell to ask (none runs, or it is not Explorer). Started from here, the program
  // would run elevated, with every right of this installer: it is not started at all.
  return false;
}

}  // namespace kestrane
