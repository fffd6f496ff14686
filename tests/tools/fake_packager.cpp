// A packager for tests: honours the packager's contract just enough to test the converter. It
// reads the directive named last on its command line, records what it saw next to itself, and
// writes a package (the stub beside it followed by the listed files) to the directive's target.
// KESTRANE_FAKE_PACKAGER=fail makes it write nothing; =slow makes it take two seconds.
#include <windows.h>
#include <sddl.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Slurp(const std::string& path, bool* ok = nullptr) {
  std::ifstream f(path, std::ios::binary);
  if (ok) *ok = static_cast<bool>(f);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string Unquote(std::string v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return v;
}

std::string Access(const std::string& path) {
  const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD size = 0;
  GetFileSecurityA(path.c_str(), what, nullptr, 0, &size);
  std::string sd(size, '\0');
  if (size == 0 || !GetFileSecurityA(path.c_str(), what, &sd[0], size, &size)) return "unreadable";
  LPSTR text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(&sd[0], SDDL_REVISION_1, what, &text,
                                                            nullptr))
    return "unreadable";
  std::string out = text;
  LocalFree(text);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string dir(self);
  dir = dir.substr(0, dir.find_last_of('\\'));
  if (argc < 2) return 2;
  std::string directive_path = argv[argc - 1];
  std::string directive = Slurp(directive_path);
  {
    std::ofstream(dir + "\\captured.sed", std::ios::binary) << directive;
    std::ofstream args(dir + "\\captured_args.txt", std::ios::binary);
    for (int i = 1; i < argc; ++i) args << argv[i] << "\n";
  }

  std::map<std::string, std::string> strings;
  std::string section, source_folder;
  std::vector<std::string> listed;
  std::istringstream in(directive);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line.front() == '[') {
      section = line;
      continue;
    }
    size_t eq = line.find('=');
    std::string key = line.substr(0, eq),
                value = eq == std::string::npos ? "" : line.substr(eq + 1);
    if (section == "[Strings]") strings[key] = Unquote(value);
    if (section == "[SourceFiles]" && key == "SourceFiles0") source_folder = value;
    if (section == "[SourceFiles0]" && key.size() > 2)
      listed.push_back(key.substr(1, key.size() - 2));
  }

  std::string mode;
  if (const char* m = getenv("KESTRANE_FAKE_PACKAGER")) mode = m;
  if (mode == "slow") Sleep(2000);

  // Who may open each staged file while it waits to be packed.
  {
    std::ofstream access(dir + "\\captured_access.txt", std::ios::binary);
    for (const auto& ref : listed)
      access << strings[ref] << " " << Access(source_folder + strings[ref]) << "\n";
    access << "view.sed " << Access(directive_path) << "\n";
    access << "wextract.exe " << Access(dir + "\\wextract.exe") << "\n";
  }

  std::ofstream seen(dir + "\\captured_files.txt", std::ios::binary);
  std::string package = Slurp(dir + "\\wextract.exe");
  seen << "wextract.exe " << (package.empty() ? "missing" : package) << "\n";
  for (const auto& ref : listed) {
    std::string name = strings[ref];
    bool ok = false;
    std::string bytes = Slurp(source_folder + name, &ok);
    seen << name << " " << (ok ? "present" : "missing") << "\n";
    package += bytes;
  }
  seen.close();
  if (mode == "fail") return 1;
  std::ofstream(strings["TargetName"], std::ios::binary) << package;
  return 0;
}
