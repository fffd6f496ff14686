#include "common/paths.h"

namespace kestrane {

std::optional<std::string> FirstPathEntry(const char* path_value) {
  if (!path_value) return std::nullopt;
  std::string_view v(path_value);
  std::string_view first = v.substr(0, v.find(';'));
  if (first.empty()) return std::nullopt;
  return std::string(first);
}

std::optional<std::string> WorkingDrive(const char* path_value) {
  auto entry = FirstPathEntry(path_value);
  if (!entry) return std::nullopt;
  return entry->substr(0, entry->find(':'));
}

std::optional<std::string> TreePath(const char* path_value, std::string_view rest) {
  auto drive = WorkingDrive(path_value);
  if (!drive) return std::nullopt;
  return *drive + std::string(rest);
}

std::string_view LastComponent(std::string_view path) {
  size_t cut = path.find_last_of("\\/:");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string ExtensionName(std::string_view path) {
  std::string_view name = LastComponent(path);
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  return std::string(name.substr(dot + 1));
}

std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

namespace {

// Without trailing backslashes, and without a stream name after the last component's colon.
std::string_view FileOf(std::string_view p) {
  while (p.size() > 3 && (p.back() == '\\' || p.back() == '/')) p.remove_suffix(1);
  size_t start = p.find_last_of("\\/");
  start = start == std::string_view::npos ? 0 : start + 1;
  if (start == 0 && p.size() >= 2 && p[1] == ':') start = 2;  // "C:name"
  size_t colon = p.find(':', start);
  if (colon != std::string_view::npos) p = p.substr(0, colon);
  return p;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] == '/' ? '\\' : a[i], y = b[i] == '/' ? '\\' : b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

bool SamePath(std::string_view a, std::string_view b) {
  return SameText(FileOf(a), FileOf(b));
}

bool PathWithin(std::string_view path, std::string_view folder) {
  path = FileOf(path);
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
    folder.remove_suffix(1);
  if (folder.empty()) return false;
  if (SameText(path, folder)) return true;
  return path.size() > folder.size() &&
         (path[folder.size()] == '\\' || path[folder.size()] == '/') &&
         SameText(path.substr(0, folder.size()), folder);
}


}  // namespace kestrane
