// The packager and the self-extractor together, under the conditions a package meets: the
// converter's own directive, hostile cabinets, damaged files and an unusable %TEMP%.
#include <gtest/gtest.h>
#include <windows.h>
#include <fci.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/reg_key_win.h"
#include "common/scoped_win.h"
#include "common/security_win.h"
#include "common/environment_win.h"
#include "common/files_win.h"
#include "converter/texts.h"
#include "packager/cabinet_win.h"
#include "packager/package_win.h"
#include "common/package_format.h"
#include "tests/win/files_win.h"

namespace kestrane {
namespace {

const std::string kRoot = "C:\\pktest";
const std::string kTree = "C:\\kestrane";
const std::string kTemp = kRoot + "\\temp";
const std::string kRecord = kRoot + "\\record.txt";
// What the programs print, kept apart from the folders whose listings the tests check.
const std::string kOutput = "C:\\pkoutput";
const std::string kPackage = kTree + "\\temp\\temp.exe";
const char* const kNames[] = {"GDIPLUS.DLL",       "INTLDATE.DLL", "PPTVIEW.EXE", "PPVWINTL.DLL",
                              "view.ppt",          "SAEXT.DLL",    "view.exe",    "UNICOWS.DLL",
                              "view.exe.manifest", "msvbvm60.dll"};

using testfs::Listing;
using testfs::RemoveTree;
using testfs::Slurp;
using testfs::Spit;

std::map<std::string, std::string> RecordLines(const std::string& kind) {
  std::map<std::string, std::string> out;
  std::string text = Slurp(kRecord);
  size_t n = 0;
  for (size_t pos = 0; pos < text.size();) {
    size_t nl = text.find('\n', pos);
    std::string line = text.substr(pos, nl - pos);
    pos = nl == std::string::npos ? text.size() : nl + 1;
    if (line.compare(0, kind.size() + 1, kind + " ") == 0)
      out[kind + std::to_string(n++)] = line.substr(kind.size() + 1);
  }
  return out;
}

std::string Record(const std::string& kind) {
  auto lines = RecordLines(kind);
  return lines.empty() ? std::string() : lines.begin()->second;
}

struct Dialog {
  std::string caption, text;
};

struct Outcome {
  bool started = false;
  DWORD exit_code = 0;
  std::vector<Dialog> dialogs;
  std::string stderr_text;
};

struct DialogSearch {
  DWORD pid;
  std::set<HWND>* seen;
  std::vector<Dialog>* found;
};

BOOL CALLBACK CollectText(HWND child, LPARAM param) {
  char cls[32], text[1024];
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0)
    *reinterpret_cast<std::string*>(param) += text;
  return TRUE;
}

BOOL CALLBACK FindDialog(HWND w, LPARAM param) {
  auto* s = reinterpret_cast<DialogSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  char cls[32];
  GetClassNameA(w, cls, sizeof cls);
  if (pid != s->pid || !IsWindowVisible(w) || lstrcmpA(cls, "#32770") != 0 || s->seen->count(w))
    return TRUE;
  Dialog d;
  char caption[256];
  GetWindowTextA(w, caption, sizeof caption);
  d.caption = caption;
  EnumChildWindows(w, CollectText, reinterpret_cast<LPARAM>(&d.text));
  s->found->push_back(d);
  s->seen->insert(w);
  PostMessageA(w, WM_COMMAND, IDOK, 0);
  return TRUE;
}

// Runs a program, answers every message box it shows with OK (recording it), and waits for it.
Outcome RunProgram(const std::string& program, const std::string& args = "") {
  Outcome o;
  // A file of its own for every run, read sharing writers: whatever the program started may hold
  // its error output open after it ended (under Wine, the desktop process that the first window
  // of a session starts keeps the handle of the program that started it).
  static int runs = 0;
  CreateDirectoryA(kOutput.c_str(), nullptr);
  const std::string err_path = kOutput + "\\stderr" + std::to_string(++runs) + ".txt";
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE err = CreateFileA(err_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                           CREATE_ALWAYS, 0, nullptr);
  if (err == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "cannot create " << err_path << ": error " << GetLastError();
    return o;
  }
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdError = err;
  si.hStdOutput = err;
  PROCESS_INFORMATION pi;
  std::string line = "\"" + program + "\"" + (args.empty() ? "" : " " + args);
  o.started = CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &si, &pi);
  CloseHandle(err);
  if (!o.started) return o;
  std::set<HWND> seen;
  DialogSearch search{pi.dwProcessId, &seen, &o.dialogs};
  for (int waited = 0; WaitForSingleObject(pi.hProcess, 100) == WAIT_TIMEOUT; waited += 100) {
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    if (waited > 120000) {
      ADD_FAILURE() << "still running: " << line;
      TerminateProcess(pi.hProcess, 999);
    }
  }
  GetExitCodeProcess(pi.hProcess, &o.exit_code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  o.stderr_text = Slurp(err_path);
  DeleteFileA(err_path.c_str());
  return o;
}

// Sets a folder's times back an hour, as if an earlier run had left it then.
void MakeOld(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t = {{now.dwLowDateTime, now.dwHighDateTime}};
  t.QuadPart -= 3600ull * 10000000;
  const FILETIME hour_ago = {t.LowPart, t.HighPart};
  EXPECT_TRUE(SetFileTime(h, &hour_ago, &hour_ago, &hour_ago));
  CloseHandle(h);
}

// Bytes that compress well, like the text of a presentation, or not at all, like its pictures.
std::string Content(size_t size, unsigned seed, bool compressible) {
  std::string s(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = compressible ? "slide title body text "[(x >> 16) % 22] : static_cast<char>(x >> 24);
  }
  return s;
}

class Package : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveTree(kRoot);
    RemoveTree(kTree);
    for (const std::string& d : {kRoot, kTemp, kTree, kTree + "\\tools", kTree + "\\temp"})
      CreateDirectoryA(d.c_str(), nullptr);
    SetEnvironmentVariableA("TEMP", kTemp.c_str());
    SetEnvironmentVariableA("TMP", kTemp.c_str());
    SetEnvironmentVariableA("KESTRANE_RECORD", kRecord.c_str());
    for (const char* v : {"KESTRANE_RECORD_EXIT", "KESTRANE_RECORD_SLEEP", "KESTRANE_RECORD_CHILD",
                          "KESTRANE_RECORD_OUTSIDE"})
      SetEnvironmentVariableA(v, nullptr);
    unsigned seed = 1;
    for (const char* name : kNames) {
      std::string path = kTree + "\\" + name;
      if (std::string(name) == "view.exe")
        ASSERT_TRUE(CopyFileA((OwnFolder() + "\\recorder.exe").c_str(), path.c_str(), FALSE));
      else
        Spit(path, Content(seed * 37000, seed, seed % 2 == 0));
      sources_[name] = Slurp(path);
      ++seed;
    }
    ASSERT_TRUE(CopyFileA((OwnFolder() + "\\IExpress.exe").c_str(),
                          (kTree + "\\tools\\IExpress.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(Stub().c_str(), (kTree + "\\tools\\wextract.exe").c_str(), FALSE));
    directive_ = FillDirectiveMarkers(kDirectiveTemplate, "C", "C") + "\r\n";
  }
  void TearDown() override {
    RemoveTree(kRoot);
    RemoveTree(kTree);
  }

  static std::string Stub() { return OwnFolder() + "\\wextract1.exe"; }

  Outcome Pack() {
    Spit(kTree + "\\tools\\view.sed", directive_);
    return RunProgram(kTree + "\\tools\\IExpress.exe", "/N /M /Q " + kTree + "\\tools\\view.sed");
  }

  // A package around a cabinet made from the given entries, without the packager's checks.
  void PackRaw(const std::vector<CabinetEntry>& entries, const std::string& target) {
    std::string error;
    ASSERT_TRUE(WritePackage(Stub(), entries, Decisions(), target, &error)) << error;
  }

  static PackageDecisions Decisions() {
    PackageDecisions d;
    d.title = "kestrane";
    d.program = "view.exe";
    return d;
  }

  std::vector<CabinetEntry> Entries() {
    std::vector<CabinetEntry> e;
    for (const char* name : kNames) e.push_back({kTree + "\\" + name, name});
    return e;
  }

  // What a failed start must leave: no program run, nothing in %TEMP%.
  void ExpectStoppedCleanly(const Outcome& o, const char* what) {
    EXPECT_NE(o.exit_code, 0u) << what;
    EXPECT_EQ(Slurp(kRecord), "") << what;
    EXPECT_TRUE(Listing(kTemp).empty()) << what;
  }

  std::map<std::string, std::string> sources_;
  std::string directive_;
};

TEST_F(Package, BuildsFromTheConvertersDirectiveAndRunsThePresentationsLauncher) {
  Outcome built = Pack();
  ASSERT_TRUE(built.started);
  ASSERT_EQ(built.exit_code, 0u) << built.stderr_text;
  EXPECT_TRUE(built.dialogs.empty());
  EXPECT_EQ(Listing(kTree + "\\temp"), std::set<std::string>{"temp.exe"});  // no scratch left

  // The package carries the stub's icon.
  auto icon_group = [](const std::string& file) {
    std::string bytes;
    HMODULE m = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (HRSRC r = m ? FindResourceA(m, MAKEINTRESOURCEA(1), RT_GROUP_ICON) : nullptr)
      bytes.assign(static_cast<const char*>(LockResource(LoadResource(m, r))),
                   SizeofResource(m, r));
    if (m) FreeLibrary(m);
    return bytes;
  };
  EXPECT_FALSE(icon_group(Stub()).empty());
  EXPECT_EQ(icon_group(kPackage), icon_group(Stub()));

  // Content that does not compress is stored, in a folder apart from the compressed files.
  const std::string package = Slurp(kPackage);
  const size_t cab = package.find("MSCF\0\0\0\0", 0, 8);
  ASSERT_NE(cab, std::string::npos);
  uint16_t folders = 0;
  memcpy(&folders, package.data() + cab + 26, 2);
  std::set<uint16_t> kinds;
  for (uint16_t f = 0; f < folders; ++f) {
    uint16_t kind = 0;
    memcpy(&kind, package.data() + cab + 36 + 8 * f + 6, 2);
    kinds.insert(kind & 0x000F);
  }
  EXPECT_EQ(kinds, (std::set<uint16_t>{tcompTYPE_NONE, tcompTYPE_MSZIP}));

  SetEnvironmentVariableA("KESTRANE_RECORD_EXIT", "42");
  Outcome ran = RunProgram(kPackage);
  EXPECT_EQ(ran.exit_code, 42u);
  EXPECT_TRUE(ran.dialogs.empty());
  const std::string exe = Record("exe"), cwd = Record("cwd");
  ASSERT_EQ(exe.rfind(kTemp + "\\pk", 0), 0u) << exe;
  EXPECT_EQ(exe, cwd + "\\view.exe");
  EXPECT_EQ(Record("line"), "\"" + exe + "\"");
  EXPECT_EQ(Record("show"), "1");  // SW_SHOWNORMAL
  std::map<std::string, std::string> unpacked;
  for (const auto& [key, line] : RecordLines("file")) {
    unpacked[line.substr(0, line.find(' '))] = line;
  }
  ASSERT_EQ(unpacked.size(), 10u);
  for (const auto& [name, bytes] : sources_) {
    char expect[64];
    snprintf(expect, sizeof expect, " %zu %08x", bytes.size(),
             static_cast<unsigned>(Crc32(0, bytes.data(), bytes.size())));
    EXPECT_EQ(unpacked[name], name + expect);
  }
  EXPECT_TRUE(Listing(kTemp).empty());  // the folder is gone

  // A second start unpacks into a folder of another name.
  DeleteFileA(kRecord.c_str());
  EXPECT_EQ(RunProgram(kPackage).exit_code, 42u);
  EXPECT_NE(Record("cwd"), cwd);
  EXPECT_TRUE(Listing(kTemp).empty());
}

TEST_F(Package, WaitsForWhatTheProgramLeftRunningBeforeCleaningUp) {
  ASSERT_EQ(Pack().exit_code, 0u);
  SetEnvironmentVariableA("KESTRANE_RECORD_CHILD", "1500");
  SetEnvironmentVariableA("KESTRANE_RECORD_EXIT", "7");
  Outcome ran = RunProgram(kPackage);
  EXPECT_EQ(ran.exit_code, 7u);
  EXPECT_NE(Slurp(kRecord).find("child done"), std::string::npos);
  EXPECT_TRUE(Listing(kTemp).empty());
}

TEST_F(Package, WaitsForItsOwnProgramsWhenTempIsGivenInShortForm) {
  ASSERT_EQ(Pack().exit_code, 0u);
  const std::string long_temp = kRoot + "\\a long temporary folder";
  CreateDirectoryA(long_temp.c_str(), nullptr);
  char short_temp[MAX_PATH];
  DWORD n = GetShortPathNameA(long_temp.c_str(), short_temp, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || long_temp == short_temp) GTEST_SKIP() << "no short names here";
  SetEnvironmentVariableA("TEMP", short_temp);
  SetEnvironmentVariableA("TMP", short_temp);
  // Longer than the self-extractor retries a folder whose files are in use.
  SetEnvironmentVariableA("KESTRANE_RECORD_CHILD", "11000");
  EXPECT_EQ(RunProgram(kPackage).exit_code, 0u);
  EXPECT_NE(Slurp(kRecord).find("child done"), std::string::npos);
  EXPECT_TRUE(Listing(long_temp).empty());
}

// A package started inside a job of someone else's (a scheduler, a compatibility shim) may not get
// a job of its own on every Windows; it must still wait for its programs before cleaning up.
TEST_F(Package, WaitsForItsProgramsWhenStartedInsideAJob) {
  ASSERT_EQ(Pack().exit_code, 0u);
  SetEnvironmentVariableA("KESTRANE_RECORD_CHILD", "1500");
  SetEnvironmentVariableA("KESTRANE_RECORD_EXIT", "9");
  HANDLE outer = CreateJobObjectA(nullptr, nullptr);
  ASSERT_TRUE(outer);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  std::string line = "\"" + kPackage + "\"";
  ASSERT_TRUE(CreateProcessA(kPackage.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                             nullptr, nullptr, &si, &pi));
  EXPECT_TRUE(AssignProcessToJobObject(outer, pi.hProcess));
  ResumeThread(pi.hThread);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  CloseHandle(outer);
  EXPECT_EQ(code, 9u);
  EXPECT_NE(Slurp(kRecord).find("child done"), std::string::npos) << "cleaned up too early";
  EXPECT_TRUE(Listing(kTemp).empty());
}

TEST_F(Package, DoesNotWaitForProgramsFromOutsideItsFolder) {
  // A desktop or browser process that the show happened to start may run on for hours.
  ASSERT_EQ(Pack().exit_code, 0u);
  const std::string outside = kRoot + "\\outside.exe";
  ASSERT_TRUE(CopyFileA((OwnFolder() + "\\recorder.exe").c_str(), outside.c_str(), FALSE));
  SetEnvironmentVariableA("KESTRANE_RECORD_OUTSIDE", outside.c_str());
  SetEnvironmentVariableA("KESTRANE_RECORD_CHILD", "4000");
  Outcome ran = RunProgram(kPackage);
  EXPECT_EQ(ran.exit_code, 0u);
  EXPECT_EQ(Slurp(kRecord).find("child done"), std::string::npos) << "waited for the outsider";
  EXPECT_TRUE(Listing(kTemp).empty());
  for (int i = 0; i < 100 && Slurp(kRecord).find("child done") == std::string::npos; ++i)
    Sleep(100);
}

// Ended from the Task Manager, a package takes its show with it; the folder it could not remove
// goes at the next start of a package, once no package holds it.
TEST_F(Package, AKilledPackageLeavesNoShowRunningAndItsFolderGoesNextTime) {
  ASSERT_EQ(Pack().exit_code, 0u);
  SetEnvironmentVariableA("KESTRANE_RECORD_SLEEP", "60000");
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  std::string line = "\"" + kPackage + "\"";
  ASSERT_TRUE(CreateProcessA(kPackage.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &si, &pi));
  for (int i = 0; i < 300 && Record("pid").empty(); ++i) Sleep(100);
  const DWORD show_pid = static_cast<DWORD>(atoi(Record("pid").c_str()));
  ASSERT_NE(show_pid, 0u) << "the packaged program never started";
  AutoCloseHandle show(OpenProcess(SYNCHRONIZE, FALSE, show_pid));
  ASSERT_TRUE(show);
  TerminateProcess(pi.hProcess, 1);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(WaitForSingleObject(show.get(), 10000), WAIT_OBJECT_0) << "the show runs on";

  // What the killed package left, as if it had been left an hour ago.
  const std::set<std::string> left = Listing(kTemp);
  ASSERT_EQ(left.size(), 1u);
  const std::string stale = kTemp + "\\" + *left.begin();
  MakeOld(stale);
  SetEnvironmentVariableA("KESTRANE_RECORD_SLEEP", nullptr);
  EXPECT_EQ(RunProgram(kPackage).exit_code, 0u);
  EXPECT_TRUE(Listing(kTemp).empty());
}

// Only the user's own unpacking folders that no package holds and that are not brand new go.
TEST_F(Package, LeavesFoldersThatAreNotStaleUnpackingFolders) {
  ASSERT_EQ(Pack().exit_code, 0u);
  auto folder = [&](const std::string& name, bool old) {
    const std::string path = kTemp + "\\" + name;
    EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    Spit(path + "\\view.ppt", "slides");
    if (old) MakeOld(path);
    return path;
  };
  folder("pk00112233445566ff", true);      // stale: goes
  folder("pk0011223344556677", false);     // just made by a package starting now
  folder("pkg-of-another-program", true);  // not an unpacking folder's name
  folder("PK00112233445566aa", true);      // not a name a package gives
  const std::string held = folder("pk8899aabbccddeeff", true);
  // Held as a running package holds its folder.
  AutoFileHandle hold(CreateFileA(held.c_str(), FILE_LIST_DIRECTORY,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  ASSERT_TRUE(hold);
  const std::string others = folder("pkffeeddccbbaa9988", true);
  const bool second_account = testfs::GiveToAnotherAccount(others);
  Spit(kTemp + "\\pkaaaaaaaaaaaaaaaa", "a file, not a folder");
  EXPECT_EQ(RunProgram(kPackage).exit_code, 0u);
  std::set<std::string> expected = {"pk0011223344556677", "pkg-of-another-program",
                                    "PK00112233445566aa", "pk8899aabbccddeeff",
                                    "pkaaaaaaaaaaaaaaaa"};
  if (second_account) expected.insert("pkffeeddccbbaa9988");
  EXPECT_EQ(Listing(kTemp), expected);
  EXPECT_EQ(Slurp(held + "\\view.ppt"), "slides");
}

TEST_F(Package, RunsTheAfterCommandInTheStoredWindowState) {
  directive_ = directive_.replace(directive_.find("ShowInstallProgramWindow=0"), 26,
                                  "ShowInstallProgramWindow=1");
  directive_ = directive_.replace(directive_.find("PostInstallCmd=<None>"), 21,
                                  "PostInstallCmd=\"view.exe\" /after");
  ASSERT_EQ(Pack().exit_code, 0u);
  SetEnvironmentVariableA("KESTRANE_RECORD_EXIT", "5");
  Outcome ran = RunProgram(kPackage);
  EXPECT_EQ(ran.exit_code, 5u);  // the program's, not the after command's
  auto lines = RecordLines("line"), shows = RecordLines("show");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines["line1"], lines["line0"] + " /after");
  EXPECT_EQ(shows, (std::map<std::string, std::string>{{"show0", "0"}, {"show1", "0"}}));
  EXPECT_TRUE(Listing(kTemp).empty());
}

TEST_F(Package, PackagerWritesNothingFromABrokenDirective) {
  const std::string good = directive_;
  const struct {
    const char* what;
    std::string directive;
    const char* remove;
    const char* reason;
  } cases[] = {
      {"missing file", good, "UNICOWS.DLL", "UNICOWS.DLL is missing"},
      {"missing stub", good, "tools\\wextract.exe", "wextract.exe is missing"},
      {"undefined reference",
       good.substr(0, good.find("FriendlyName=kestrane")) +
           good.substr(good.find("AppLaunched=view.exe")),
       nullptr, "undefined reference %FriendlyName%"},
      {"two files of one name",
       good.substr(0, good.find("FILE5=")) + "FILE5=\"GDIPLUS.DLL\"" +
           good.substr(good.find("\r\nFILE6=")),
       nullptr, "two files are named"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    directive_ = c.directive;
    Spit(kPackage, "a package from an earlier conversion");
    if (c.remove) {
      ASSERT_TRUE(DeleteFileA((kTree + "\\" + c.remove).c_str()));
    }
    Outcome o = Pack();
    EXPECT_EQ(o.exit_code, 1u);
    EXPECT_TRUE(o.dialogs.empty());  // /Q: no dialog
    EXPECT_NE(o.stderr_text.find(c.reason), std::string::npos) << o.stderr_text;
    EXPECT_EQ(o.stderr_text.find('\n'), o.stderr_text.size() - 1) << o.stderr_text;
    EXPECT_TRUE(Listing(kTree + "\\temp").empty());  // neither package, stale one, nor scratch
  }
}

// The tree lets every user add files; a file placed there by someone else, or a link to one, must
// never become part of this user's package, nor choose what is packed.
TEST_F(Package, PackagerRefusesFilesOfAnotherUserAndLinks) {
  const struct {
    const char* what;
    const char* file;
    bool link;  // a second name of another file, else another user's own
    const char* reason;
  } cases[] = {
      {"stub by a second name", "tools\\wextract.exe", true, "is a link"},
      {"presentation by a second name", "view.ppt", true, "is a link"},
      {"another user's stub", "tools\\wextract.exe", false, "belongs to another user"},
      {"another user's launcher", "view.exe", false, "belongs to another user"},
      {"another user's directive", "tools\\view.sed", false, "belongs to another user"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    const std::string path = kTree + "\\" + c.file;
    Spit(kTree + "\\tools\\view.sed", directive_);
    if (c.link) {
      Spit(kRoot + "\\elsewhere", "someone else's bytes");
      ASSERT_TRUE(DeleteFileA(path.c_str()));
      if (!CreateHardLinkA(path.c_str(), (kRoot + "\\elsewhere").c_str(), nullptr)) {
        std::printf("[ SKIPPED  ] %s: no hard links here\n", c.what);
        continue;
      }
    } else if (!testfs::GiveToAnotherAccount(path)) {
      std::printf("[ SKIPPED  ] %s: owners cannot be set here\n", c.what);
      continue;
    }
    Outcome o =
        RunProgram(kTree + "\\tools\\IExpress.exe", "/N /M /Q " + kTree + "\\tools\\view.sed");
    EXPECT_EQ(o.exit_code, 1u);
    EXPECT_NE(o.stderr_text.find(c.reason), std::string::npos) << o.stderr_text;
    EXPECT_FALSE(FileExists(kPackage));
    EXPECT_TRUE(Listing(kTree + "\\temp").empty());
  }
}

TEST_F(Package, ThePackageIsReadableByItsUserOnly) {
  ASSERT_EQ(Pack().exit_code, 0u);
  const std::string access = security::Read(kPackage);
  if (access.empty()) GTEST_SKIP() << "access lists cannot be read here";
  // Wine keeps only what its file modes can hold (the owner's entry and SYSTEM's); Windows keeps
  // the protected list as given. Either way nobody else may open the package.
  const std::string owner = access.substr(2, access.find("D:") - 2);
  EXPECT_NE(access.find(";;;" + owner + ")"), std::string::npos) << access;
  for (const char* other : {";;;BU)", ";;;WD)", ";;;AU)", ";;;IU)"})
    EXPECT_EQ(access.find(other), std::string::npos) << access;
}

TEST_F(Package, RefusesEntryNamesThatLeaveItsFolder) {
  for (const char* name :
       {"..\\evil.exe", "..\\..\\pktest\\evil.exe", "C:\\pktest\\evil.exe", "\\pktest\\evil.exe",
        "C:evil.exe", "view.ppt:evil", "sub\\..\\..\\evil.exe", "CON", "nul.txt", "evil.exe."}) {
    SCOPED_TRACE(name);
    auto entries = Entries();
    entries.insert(entries.begin() + 3, {kTree + "\\view.exe", name});
    PackRaw(entries, kRoot + "\\hostile.exe");
    Outcome o = RunProgram(kRoot + "\\hostile.exe");
    ExpectStoppedCleanly(o, name);
    ASSERT_EQ(o.dialogs.size(), 1u);
    EXPECT_EQ(o.dialogs[0].caption, "kestrane");
    EXPECT_NE(o.dialogs[0].text.find("which no package may hold"), std::string::npos)
        << o.dialogs[0].text;
    EXPECT_EQ(Listing(kRoot), (std::set<std::string>{"hostile.exe", "temp"}));
    EXPECT_EQ(GetFileAttributesA("C:\\evil.exe"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA("C:\\pktest\\evil.exe"), INVALID_FILE_ATTRIBUTES);
  }
}

TEST_F(Package, StopsWithOneMessageWhenDamagedOrTruncated) {
  ASSERT_EQ(Pack().exit_code, 0u);
  const std::string good = Slurp(kPackage);
  const std::string damaged = kRoot + "\\damaged.exe";
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::string flipped_early = good, flipped_late = good;
  flipped_early[good.size() / 3] ^= 0x10;
  // Near the end of the cabinet, wherever the resources around it put it.
  const size_t cabinet = good.find("MSCF\0\0\0\0", 0, 8);
  ASSERT_NE(cabinet, std::string::npos);
  uint32_t cabinet_size;
  memcpy(&cabinet_size, good.data() + cabinet + 8, 4);
  flipped_late[cabinet + cabinet_size - 50] ^= 0x01;
  // Damage that turns a listed name into one no package may hold is still damage.
  std::string bad_name = good;
  const size_t name = good.find("view.exe.manifest", cabinet);
  ASSERT_NE(name, std::string::npos);
  bad_name[name + 4] = '\\';
  std::vector<Case> cases = {{"byte flipped in the cabinet", flipped_early},
                             {"byte flipped near the end", flipped_late},
                             {"name damaged into a path", bad_name},
                             {"truncated", good.substr(0, good.size() * 2 / 3)},
                             {"stub without a package", Slurp(Stub())}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Spit(damaged, c.bytes);
    Outcome o = RunProgram(damaged);
    if (!o.started) continue;  // Windows itself refused the image: nothing ran, nothing unpacked
    ExpectStoppedCleanly(o, c.what);
    EXPECT_LE(o.dialogs.size(), 1u);
    if (!o.dialogs.empty()) {
      EXPECT_NE(o.dialogs[0].text.find("damaged or incomplete"), std::string::npos)
          << o.dialogs[0].text;
    }
  }
}

TEST_F(Package, StopsWhenTempCannotBeWritten) {
  ASSERT_EQ(Pack().exit_code, 0u);
  SetEnvironmentVariableA("TEMP", (kRoot + "\\no such folder").c_str());
  SetEnvironmentVariableA("TMP", (kRoot + "\\no such folder").c_str());
  Outcome o = RunProgram(kPackage);
  EXPECT_NE(o.exit_code, 0u);
  EXPECT_EQ(Slurp(kRecord), "");
  ASSERT_EQ(o.dialogs.size(), 1u);
  EXPECT_EQ(o.dialogs[0].caption, "kestrane");
  EXPECT_NE(o.dialogs[0].text.find("cannot be written"), std::string::npos) << o.dialogs[0].text;
  EXPECT_EQ(Listing(kRoot), (std::set<std::string>{"temp"}));
}

// Needs a small drive, which full_disk.sh lays out as KESTRANE_SMALL_DRIVE.
TEST_F(Package, StopsWhenTheDiskIsFull) {
  const std::string drive = GetEnv("KESTRANE_SMALL_DRIVE");
  if (drive.empty()) GTEST_SKIP() << "no small drive";
  ULARGE_INTEGER free_bytes;
  ASSERT_TRUE(GetDiskFreeSpaceExA((drive + "\\").c_str(), &free_bytes, nullptr, nullptr));
  ASSERT_EQ(Pack().exit_code, 0u);
  uint64_t unpacked = 0;
  for (const auto& s : sources_) unpacked += s.second.size();
  ASSERT_GT(unpacked, free_bytes.QuadPart);
  SetEnvironmentVariableA("TEMP", (drive + "\\").c_str());
  SetEnvironmentVariableA("TMP", (drive + "\\").c_str());
  Outcome o = RunProgram(kPackage);
  EXPECT_EQ(o.exit_code, static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(Slurp(kRecord), "");
  ASSERT_EQ(o.dialogs.size(), 1u);
  EXPECT_EQ(o.dialogs[0].caption, "kestrane");
  EXPECT_NE(o.dialogs[0].text.find("not enough free space"), std::string::npos)
      << o.dialogs[0].text;
  EXPECT_TRUE(Listing(drive).empty());
}

TEST_F(Package, NeverLoadsALibraryLeftBesideIt) {
  ASSERT_EQ(Pack().exit_code, 0u);
  const std::string downloads = kRoot + "\\Downloads";
  CreateDirectoryA(downloads.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(kPackage.c_str(), (downloads + "\\talk.exe").c_str(), FALSE));
  // The cabinet library it unpacks with, and where Windows keeps the random numbers it names
  // its folder with.
  for (const char* dll : {"cabinet.dll", "cryptbase.dll"}) {
    ASSERT_TRUE(CopyFileA((OwnFolder() + "\\planted.dll").c_str(), (downloads + "\\" + dll).c_str(),
                          FALSE));
  }
  const std::string marker = kRoot + "\\planted-loaded";
  SetEnvironmentVariableA("KESTRANE_PLANTED", marker.c_str());
  SetEnvironmentVariableA("KESTRANE_RECORD_EXIT", "3");
  // Wine prefers its own copy of the library to any file; told to prefer files for this program,
  // it loads a planted one wherever the program looks it up by name, as Windows would. (Only
  // these: Wine's own user32 imports others that Windows' does not, before the stub runs.)
  const char kAppOverrides[] = "Software\\Wine\\AppDefaults\\talk.exe\\DllOverrides";
  {
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kAppOverrides), ERROR_SUCCESS);
    for (const char* dll : {"cabinet", "cryptbase"}) {
      RegSetValueExA(key.get(), dll, 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"),
                     15);
    }
  }
  SetCurrentDirectoryA(downloads.c_str());
  Outcome o = RunProgram(downloads + "\\talk.exe");
  SetCurrentDirectoryA("C:\\");
  RegDeleteKeyA(HKEY_CURRENT_USER, kAppOverrides);
  EXPECT_EQ(o.exit_code, 3u);  // unpacked with the system's library and ran
  EXPECT_EQ(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES);
  SetEnvironmentVariableA("KESTRANE_PLANTED", nullptr);
}

}  // namespace
}  // namespace kestrane
