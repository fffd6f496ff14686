// A presentation with a password to open, shown as a package shows it: the viewer asks before
// the show, refuses a wrong password and asks again, shows the slides for the right one, ends
// on Cancel or Esc, and never writes what it decrypted anywhere.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/password_win.h"
#include "app/show_win.h"
#include "viewer/tests/deck_builder.h"
#include "viewer/tests/show_driver_win.h"

namespace {

using namespace showtest;

// Text no file on disk holds unless the viewer wrote what it decrypted.
constexpr char kSecret[] = "Quarterly zebra forecast 4471";

deck::Bytes LockedDeck() {
  deck::DeckSpec spec = Deck(3);
  spec.slides[1].text = kSecret;
  return deck::Encrypt(deck::Build(spec));  // password "secret"
}

std::string ControlText(HWND dlg, int id) {
  char buf[512] = "";
  DWORD_PTR r = 0;
  SendMessageTimeoutA(GetDlgItem(dlg, id), WM_GETTEXT, sizeof buf, LPARAM(buf), SMTO_ABORTIFHUNG,
                      5000, &r);
  return buf;
}

// The dialog once it is set up and on screen: the window exists a moment before that.
HWND WaitDialog(Viewer& v) {
  for (int i = 0; i < 600 && !v.Exited(); i++) {
    HWND d = v.Find("#32770", viewer::kPasswordTitle);
    if (d && IsWindowVisible(d) && !ControlText(d, viewer::kPasswordPrompt).empty()) return d;
    Sleep(50);
  }
  return nullptr;
}

// Types into the password box and presses OK; sent, so the viewer has checked it on return.
void Enter(HWND dlg, const char* password) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(GetDlgItem(dlg, viewer::kPasswordEdit), WM_SETTEXT, 0, LPARAM(password),
                      SMTO_ABORTIFHUNG, 5000, &r);
  SendMessageTimeoutA(dlg, WM_COMMAND, IDOK, 0, SMTO_ABORTIFHUNG, 30000, &r);
}

TEST(PasswordWine, WrongPasswordAsksAgainAndTheRightOneShowsTheSlides) {
  Folder f;
  Viewer v(f, LockedDeck());
  ASSERT_TRUE(v.started());
  HWND dlg = WaitDialog(v);
  ASSERT_TRUE(dlg);
  HWND edit = GetDlgItem(dlg, viewer::kPasswordEdit);
  ASSERT_TRUE(edit);
  EXPECT_TRUE(GetWindowLongA(edit, GWL_STYLE) & ES_PASSWORD);
  EXPECT_NE(ControlText(dlg, viewer::kPasswordPrompt).find("view.ppt"), std::string::npos);
  EXPECT_FALSE(v.Find(viewer::kShowWindowClass, nullptr));

  Enter(dlg, "Secret");
  EXPECT_FALSE(v.Exited());
  EXPECT_TRUE(IsWindow(dlg));
  EXPECT_NE(ControlText(dlg, viewer::kPasswordMessage).find("incorrect"), std::string::npos);
  EXPECT_EQ(ControlText(dlg, viewer::kPasswordEdit), "");  // cleared for the next try
  EXPECT_FALSE(v.Find(viewer::kShowWindowClass, nullptr));

  Enter(dlg, "secret");
  HWND w = v.Window();
  ASSERT_TRUE(w);
  EXPECT_FALSE(IsWindow(dlg));
  EXPECT_EQ(Viewer::Shown(w), 1);
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 2);
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 3);
  EXPECT_EQ(v.EndWith(w, VK_ESCAPE), 0);
}

TEST(PasswordWine, CancelOrEscapeEndsTheProcessWithoutAShow) {
  Folder f;
  f.Write("view.ppt", LockedDeck());
  {
    Viewer v(f);
    HWND dlg = WaitDialog(v);
    ASSERT_TRUE(dlg);
    PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(v.ExitCode(), 0);
  }
  {
    Viewer v(f);
    HWND dlg = WaitDialog(v);
    ASSERT_TRUE(dlg);
    Enter(dlg, "wrong");  // a failed try does not change what Esc does
    HWND edit = GetDlgItem(dlg, viewer::kPasswordEdit);
    PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(edit, WM_KEYUP, VK_ESCAPE, 0xC0000000);
    EXPECT_EQ(v.ExitCode(), 0);
    EXPECT_FALSE(v.Find(viewer::kShowWindowClass, nullptr));
  }
}

// Rendering runs unattended: no dialog to wait on, a plain message and a failure exit.
TEST(PasswordWine, RenderingAnEncryptedDeckFailsAtOnce) {
  Folder f;
  f.Write("view.ppt", LockedDeck());
  Viewer v(f, "/R out 320");
  int code = v.ExitCode(30000);
  EXPECT_GT(code, 0);
  EXPECT_FALSE(v.Find("#32770", viewer::kPasswordTitle));
  EXPECT_EQ(GetFileAttributesA((f.path() + "\\out\\slide-001.png").c_str()),
            INVALID_FILE_ATTRIBUTES);
  RemoveDirectoryA((f.path() + "\\out").c_str());
}

// A file marked encrypted that holds no way to decrypt it: the password is asked for, then the
// file is reported as damaged.
TEST(PasswordWine, MarkedEncryptedWithoutASessionIsReportedAfterTheDialog) {
  Folder f;
  deck::DeckSpec spec = Deck(1);
  spec.encrypted = true;
  Viewer v(f, deck::Build(spec));
  HWND dlg = WaitDialog(v);
  ASSERT_TRUE(dlg);
  Enter(dlg, "anything");
  HWND box = nullptr;
  for (int i = 0; i < 600 && !box && !v.Exited(); i++) {
    box = v.Find("#32770", "PowerPoint Viewer");
    if (!box) Sleep(50);
  }
  ASSERT_TRUE(box);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_GT(v.ExitCode(), 0);
}

// --- nothing decrypted reaches the disk --------------------------------------------------------

bool Contains(const std::string& data, const std::string& needle) {
  if (data.find(needle) != std::string::npos) return true;
  std::string wide;
  for (char c : needle) {
    wide += c;
    wide += '\0';
  }
  return data.find(wide) != std::string::npos;
}

// Files under `dir` written since `since` that hold `needle`, as 8-bit or UTF-16 text.
void Scan(const std::string& dir, const FILETIME& since, const std::string& needle, int depth,
          std::vector<std::string>* hits) {
  if (depth > 12) return;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = fd.cFileName;
    // Wine's drive links lead out of the prefix, into the whole file system.
    if (name == "." || name == ".." || name == "dosdevices") continue;
    std::string path = dir + "\\" + name;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      Scan(path, since, needle, depth + 1, hits);
      continue;
    }
    if (CompareFileTime(&fd.ftLastWriteTime, &since) < 0 || fd.nFileSizeHigh ||
        fd.nFileSizeLow > (64u << 20))
      continue;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) continue;
    std::string data(fd.nFileSizeLow, '\0');
    data.resize(fread(&data[0], 1, data.size(), file));
    fclose(file);
    if (Contains(data, needle)) hits->push_back(path);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
}

// The Wine prefix as a Windows path, or the system drive when not under Wine.
std::string PrefixRoot() {
  char prefix[MAX_PATH] = "";
  if (GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH) && prefix[0] == '/') {
    std::string p = std::string("Z:") + prefix;
    for (char& c : p)
      if (c == '/') c = '\\';
    return p;
  }
  return "C:";
}

TEST(PasswordWine, NothingDecryptedIsWrittenToDisk) {
  FILETIME start;
  GetSystemTimeAsFileTime(&start);
  ULARGE_INTEGER t{{start.dwLowDateTime, start.dwHighDateTime}};
  t.QuadPart -= 20000000;  // file times may be coarse: two seconds of slack
  start.dwLowDateTime = t.LowPart;
  start.dwHighDateTime = t.HighPart;
  Folder f;
  f.Write("view.ppt", LockedDeck());
  {
    Viewer v(f);
    HWND dlg = WaitDialog(v);
    ASSERT_TRUE(dlg);
    Enter(dlg, "secret");
    HWND w = v.Window();
    ASSERT_TRUE(w);
    EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 2);  // the slide with the secret text is painted
    PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(v.ExitCode(), 0);
  }
  // The scan's own check: a file that does hold the text, as UTF-16, where the scan looks.
  std::string wide;
  for (const char* c = kSecret; *c; c++) wide += std::string(1, *c) + '\0';
  f.Write("canary.bin", deck::Bytes(wide.begin(), wide.end()));
  std::vector<std::string> hits;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string temp_dir = temp;
  if (!temp_dir.empty() && temp_dir.back() == '\\') temp_dir.pop_back();
  Scan(temp_dir, start, kSecret, 0, &hits);
  Scan(PrefixRoot(), start, kSecret, 0, &hits);
  size_t seen = 0;
  for (const std::string& hit : hits) {
    if (hit.find("canary.bin") != std::string::npos) {
      seen++;
      continue;
    }
    ADD_FAILURE() << "decrypted text in " << hit;
  }
  EXPECT_GE(seen, 1u) << "the scan missed the file that holds the text";
}

}  // namespace
