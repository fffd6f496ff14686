#include "app/command_line.h"

#include <cctype>
#include <cstdlib>

namespace viewer {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(tolower(static_cast<unsigned char>(c)));
  return s;
}

bool IsSwitch(const std::string& t, char letter) {
  return t.size() == 2 && (t[0] == '/' || t[0] == '-') && tolower(t[1]) == letter;
}

// Where the program's own path ends. An unquoted path may hold spaces, so it runs to ".exe"
// when that is followed by a blank or the end.
size_t ProgramEnd(const std::string& line) {
  size_t i = 0;
  while (i < line.size() && isspace(static_cast<unsigned char>(line[i]))) i++;
  if (i < line.size() && line[i] == '"') {
    size_t q = line.find('"', i + 1);
    return q == std::string::npos ? line.size() : q + 1;
  }
  std::string low = Lower(line);
  for (size_t p = low.find(".exe", i); p != std::string::npos; p = low.find(".exe", p + 1)) {
    size_t e = p + 4;
    if (e == low.size() || isspace(static_cast<unsigned char>(low[e])) || low[e] == '"') return e;
  }
  size_t e = i;
  while (e < line.size() && !isspace(static_cast<unsigned char>(line[e]))) e++;
  return e;
}

std::string Join(const std::vector<std::string>& v, size_t from) {
  std::string s;
  for (size_t i = from; i < v.size(); i++) s += (i > from ? " " : "") + v[i];
  return s;
}

}  // namespace

std::vector<std::string> SplitArguments(const std::string& s) {
  std::vector<std::string> out;
  std::string cur;
  bool quoted = false, have = false;
  for (char c : s) {
    if (c == '"') {
      quoted = !quoted;
      have = true;
    } else if (!quoted && isspace(static_cast<unsigned char>(c))) {
      if (have) out.push_back(cur);
      cur.clear();
      have = false;
    } else {
      cur += c;
      have = true;
    }
  }
  if (have) out.push_back(cur);
  return out;
}

Command ParseCommandLine(const std::string& line) {
  std::vector<std::string> args = SplitArguments(line.substr(ProgramEnd(line)));
  Command c;
  if (args.empty()) return c;
  if (IsSwitch(args[0], 'r')) {
    // /R folder width [file]: the file defaults to the one a package shows.
    c.mode = Command::kRender;
    if (args.size() < 3) {
      c.mode = Command::kBad;
      return c;
    }
    c.folder = args[1];
    char* end = nullptr;
    long w = strtol(args[2].c_str(), &end, 10);
    if (!end || *end || w < 16 || w > 16384) c.mode = Command::kBad;
    c.width = int(w);
    c.file = args.size() > 3 ? Join(args, 3) : "view.ppt";
    return c;
  }
  size_t first = IsSwitch(args[0], 's') ? 1 : 0;
  // Other switches of older viewers (printing, playlists) are not supported; a lone switch
  // without a file asks for one.
  while (first < args.size() && args[first].size() == 2 && args[first][0] == '/') first++;
  if (first >= args.size()) return c;
  c.mode = Command::kShow;
  // An unquoted file name with spaces arrives in pieces.
  c.file = Join(args, first);
  return c;
}

}  // namespace viewer
