// PPTVIEW: shows a presentation as a full-screen slide show ("/S file"), or renders the slides a
// show would display to numbered PNG files ("/R folder width [file]").
#include <windows.h>
#include <commdlg.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/mapped_file_win.h"
#include "app/password_win.h"
#include "app/render_win.h"
#include "app/show_win.h"
#include "common/comctl_win.h"
#include "common/system_dll_win.h"
#include "ppt/crypto.h"
#include "ppt/presentation.h"

namespace {

constexpr char kCaption[] = "PowerPoint Viewer";

enum Exit { kOk = 0, kUsage = 1, kNoFile = 2, kCannotShow = 3, kRenderFailed = 4 };

bool quiet = false;  // rendering for tests: report on stderr instead of a message box

int Fail(int code, const std::string& text) {
  if (quiet) {
    std::string line = text + "\n";
    DWORD n;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), DWORD(line.size()), &n, nullptr);
  } else {
    MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
  }
  return code;
}

std::string LoadMessage(ppt::LoadError e, const std::string& name) {
  std::string q = "\"" + name + "\"";
  switch (e) {
    case ppt::LoadError::kEncrypted:
      return q +
             " is encrypted in a way PowerPoint Viewer cannot read. Open it in PowerPoint and "
             "save it again with its password.";
    case ppt::LoadError::kWrongPassword:
      return "The password of " + q + " is incorrect.";
    case ppt::LoadError::kOldFormat:
      return q +
             " was saved in an early version of PowerPoint that PowerPoint Viewer cannot read. "
             "Open it in PowerPoint and save it again.";
    case ppt::LoadError::kDamaged:
      return q + " is damaged and cannot be shown.";
    default:
      return q + " is not a PowerPoint presentation, or it is damaged.";
  }
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ChooseFile() {
  char name[MAX_PATH] = "";
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.lpstrFilter =
      "PowerPoint Presentations (*.ppt;*.pps;*.pot)\0*.ppt;*.pps;*.pot\0"
      "All Files (*.*)\0*.*\0";
  ofn.lpstrFile = name;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrTitle = kCaption;
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  return kestrane::lib::GetOpenFileNameA(&ofn) ? std::string(name) : std::string();
}

bool WriteAll(const std::string& path, const std::string& bytes) {
  kestrane::AutoFileHandle f(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD n = 0;
  return f && WriteFile(f.get(), bytes.data(), DWORD(bytes.size()), &n, nullptr) &&
         n == bytes.size();
}

// One line per text line painted: left, top, right, bottom in pixels, then its text.
std::string LinesTable(const std::vector<viewer::LineBox>& lines) {
  std::string out;
  for (const viewer::LineBox& l : lines) {
    std::string text = l.text;
    for (char& ch : text)
      if (ch == '\t' || ch == '\r' || ch == '\n') ch = ' ';
    out += std::to_string(l.box.left) + "\t" + std::to_string(l.box.top) + "\t" +
           std::to_string(l.box.right) + "\t" + std::to_string(l.box.bottom) + "\t" + text + "\n";
  }
  return out;
}

int Render(const ppt::Presentation& p, const viewer::Command& c) {
  CreateDirectoryA(c.folder.c_str(), nullptr);
  viewer::SlideRenderer renderer(p);
  int width = c.width;
  int height = std::max(1, int(double(width) * p.height / p.width + 0.5));
  int number = 0;
  for (size_t index : p.ShowOrder()) {
    viewer::Canvas canvas(width, height);
    if (!canvas.ok()) return Fail(kRenderFailed, "Out of memory.");
    std::string text;
    std::vector<viewer::LineBox> lines;
    viewer::SlideView view;
    view.lines = &lines;
    RECT where{0, 0, width, height};
    renderer.Paint(canvas.dc(), index, where, &text, &view);
    char base[32];
    snprintf(base, sizeof base, "\\slide-%03d", ++number);
    if (!viewer::SavePng(canvas, c.folder + base + ".png"))
      return Fail(kRenderFailed, "Cannot write " + c.folder + base + ".png");
    WriteAll(c.folder + base + ".txt", text);
    WriteAll(c.folder + base + ".lines", LinesTable(lines));
  }
  return kOk;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The packaged folder holds stand-ins named like system DLLs.
  kestrane::RestrictDllSearchToSystem();
  SetProcessDPIAware();
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  viewer::Command c = viewer::ParseCommandLine(GetCommandLineA());
  quiet = c.mode == viewer::Command::kRender;
  if (c.mode == viewer::Command::kBad)
    return Fail(kUsage, "Usage: PPTVIEW /S presentation.ppt\nor: PPTVIEW /R folder width [file]");
  if (c.mode == viewer::Command::kChoose) {
    c.file = ChooseFile();
    if (c.file.empty()) return kOk;
  }
  // The mapping outlives the presentation: its pictures are read from it while the show runs.
  viewer::MappedFile file;
  DWORD error = 0;
  if (!file.Open(c.file, &error)) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        error == ERROR_INVALID_NAME)
      return Fail(kNoFile, "PowerPoint Viewer cannot find the presentation \"" + c.file + "\".");
    return Fail(kNoFile, "PowerPoint Viewer cannot open the presentation \"" + c.file + "\".");
  }
  ppt::Presentation p;
  ppt::LoadError e = ppt::Load(file.data(), file.size(), &p);
  if (e == ppt::LoadError::kEncrypted && c.mode == viewer::Command::kRender)
    return Fail(kCannotShow, "\"" + c.file +
                                 "\" is protected by a password; its slides are rendered only in "
                                 "a show, where the password is asked for.");
  if (e == ppt::LoadError::kEncrypted) {
    ppt::LoadOptions options;
    bool taken = viewer::AskPassword(BaseName(c.file), [&](const std::u16string& password) {
      options.password = password;
      e = ppt::Load(file.data(), file.size(), &p, options);
      ppt::Wipe(&options.password[0], options.password.size() * sizeof(char16_t));
      return e != ppt::LoadError::kWrongPassword;
    });
    if (!taken) return kOk;  // cancelled: the show ends before its first slide
  }
  if (e != ppt::LoadError::kNone) return Fail(kCannotShow, LoadMessage(e, c.file));
  if (c.mode == viewer::Command::kRender) return Render(p, c);
  std::string title = "PowerPoint Viewer - [" + c.file + "]";
  viewer::SlideShow show(p);
  return show.Run(instance, title.c_str());
}
