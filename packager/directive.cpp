#include "packager/directive.h"

#include <map>

#include "common/paths.h"
#include "common/package_format.h"

namespace kestrane {

namespace {

using Section = std::vector<std::pair<std::string, std::string>>;  // in file order

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::string Unquote(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return std::string(v);
}

class Reader {
 public:
  bool Load(std::string_view text, std::string* error) {
    Section* current = nullptr;
    size_t line_no = 0;
    while (!text.empty()) {
      size_t nl = text.find('\n');
      std::string_view line = Trim(text.substr(0, nl));
      text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
      ++line_no;
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        if (line.back() != ']') {
          *error = "line " + std::to_string(line_no) + ": unclosed section name";
          return false;
        }
        current = &sections_[AsciiLower(Trim(line.substr(1, line.size() - 2)))];
        continue;
      }
      if (!current) {
        *error = "line " + std::to_string(line_no) + ": text before the first section";
        return false;
      }
      size_t eq = line.find('=');
      std::string_view key = Trim(line.substr(0, eq));
      std::string_view value = eq == std::string_view::npos ? "" : Trim(line.substr(eq + 1));
      current->emplace_back(std::string(key), std::string(value));
    }
    if (const Section* strings = Find("Strings"))
      for (const auto& [k, v] : *strings) strings_.emplace(AsciiLower(k), Unquote(v));
    return true;
  }

  const Section* Find(std::string_view name) const {
    auto it = sections_.find(AsciiLower(name));
    return it == sections_.end() ? nullptr : &it->second;
  }

  // The value of a key, %NAME% references resolved; nothing when the key is absent.
  std::optional<std::string> Get(std::string_view section, std::string_view key,
                                 std::string* error) const {
    const Section* s = Find(section);
    if (!s) return std::nullopt;
    std::string lower = AsciiLower(key);
    for (const auto& [k, v] : *s)
      if (AsciiLower(k) == lower) return Resolve(v, error);
    return std::nullopt;
  }

  // "%%" stands for one percent sign; a reference to a name [Strings] lacks is an error, since
  // the packager would otherwise carry the reference itself as a path or a title.
  std::optional<std::string> Resolve(std::string_view v, std::string* error) const {
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) {
      if (v[i] != '%') {
        out += v[i];
        continue;
      }
      size_t end = v.find('%', i + 1);
      if (end == std::string_view::npos) {
        *error = "unclosed reference in \"" + std::string(v) + "\"";
        return std::nullopt;
      }
      std::string_view name = v.substr(i + 1, end - i - 1);
      if (name.empty()) {
        out += '%';
      } else {
        auto it = strings_.find(AsciiLower(name));
        if (it == strings_.end()) {
          *error = "undefined reference %" + std::string(name) + "%";
          return std::nullopt;
        }
        out += it->second;
      }
      i = end;
    }
    return out;
  }

 private:
  std::map<std::string, Section> sections_;
  std::map<std::string, std::string> strings_;
};

bool ReadFiles(const Reader& r, const std::string& list_section, Directive* d, std::string* error) {
  const Section* folders = r.Find(list_section);
  if (!folders) {
    *error = "section [" + list_section + "] is missing";
    return false;
  }
  std::map<std::string, std::string> seen;  // lower-case name to its spelling
  for (const auto& [folder_key, folder_value] : *folders) {
    auto folder = r.Resolve(folder_value, error);
    if (!folder) return false;
    *folder = Unquote(*folder);
    auto key = r.Resolve(folder_key, error);
    if (!key) return false;
    const Section* files = r.Find(*key);
    if (!files) {
      *error = "section [" + *key + "] is missing";
      return false;
    }
    for (const auto& entry : *files) {
      auto name = r.Resolve(entry.first, error);
      if (!name) return false;
      *name = Unquote(*name);
      if (!IsSafeEntryName(name->c_str())) {
        *error = "\"" + *name + "\" is not a plain file name";
        return false;
      }
      auto [it, fresh] = seen.emplace(AsciiLower(*name), *name);
      if (!fresh) {
        *error = "two files are named \"" + *name + "\"";
        return false;
      }
      d->files.push_back({*folder, *name});
    }
  }
  if (d->files.empty()) {
    *error = "the directive lists no files";
    return false;
  }
  return true;
}

// The program a command names must be one of the packaged files: the package runs nothing else.
bool CheckCommand(const Directive& d, const std::string& key, const std::string& command,
                  std::string* error) {
  size_t n;
  const char* rest;
  const char* program = SplitProgram(command.c_str(), &n, &rest);
  std::string name = AsciiLower(std::string_view(program, n));
  for (const auto& f : d.files)
    if (AsciiLower(f.name) == name) return true;
  *error = key + " names \"" + std::string(program, n) + "\", which the package does not hold";
  return false;
}

}  // namespace

std::string PackageFile::Path() const {
  if (folder.empty() || folder.back() == '\\' || folder.back() == '/') return folder + name;
  return folder + "\\" + name;
}

std::optional<std::string> ReadTarget(std::string_view text) {
  Reader r;
  std::string error;
  if (!r.Load(text, &error)) return std::nullopt;
  auto v = r.Get("Options", "TargetName", &error);
  if (!v || Unquote(*v).empty()) return std::nullopt;
  return Unquote(*v);
}

std::optional<Directive> ReadDirective(std::string_view text, std::string* error) {
  Reader r;
  if (!r.Load(text, error)) return std::nullopt;
  if (!r.Find("Options")) {
    *error = "section [Options] is missing";
    return std::nullopt;
  }
  Directive d;
  auto option = [&](const char* key, std::string* out, bool required) {
    std::string e;
    auto v = r.Get("Options", key, &e);
    if (!e.empty()) {
      *error = e;
      return false;
    }
    if (v) *out = Unquote(*v);
    if (required && out->empty()) {
      *error = std::string(key) + " is missing or empty";
      return false;
    }
    return true;
  };
  std::string purpose, show, reboot, license, list_section;
  if (!option("TargetName", &d.target, true) || !option("FriendlyName", &d.title, false) ||
      !option("AppLaunched", &d.program, true) ||
      !option("PostInstallCmd", &d.post_program, false) ||
      !option("PackagePurpose", &purpose, false) ||
      !option("ShowInstallProgramWindow", &show, false) || !option("RebootMode", &reboot, false) ||
      !option("InstallPrompt", &d.install_prompt, false) ||
      !option("FinishMessage", &d.finish_message, false) ||
      !option("DisplayLicense", &license, false) || !option("SourceFiles", &list_section, true))
    return std::nullopt;

  if (!purpose.empty() && AsciiLower(purpose) != "installapp") {
    *error = "PackagePurpose " + purpose + " is not supported (only InstallApp)";
    return std::nullopt;
  }
  if (!license.empty()) {
    *error = "DisplayLicense is not supported";
    return std::nullopt;
  }
  if (!show.empty()) {
    if (show.size() != 1 || show[0] < '0' || show[0] > '3') {
      *error = "ShowInstallProgramWindow must be 0, 1, 2 or 3";
      return std::nullopt;
    }
    d.show_window = show[0] - '0';
  }
  if (!reboot.empty() && AsciiLower(reboot) != "n") {
    *error = "RebootMode " + reboot + " is not supported (only N)";
    return std::nullopt;
  }
  if (AsciiLower(d.post_program) == "<none>") d.post_program.clear();

  if (!ReadFiles(r, list_section, &d, error)) return std::nullopt;
  if (!CheckCommand(d, "AppLaunched", d.program, error)) return std::nullopt;
  if (!d.post_program.empty() && !CheckCommand(d, "PostInstallCmd", d.post_program, error))
    return std::nullopt;
  return d;
}

}  // namespace kestrane
