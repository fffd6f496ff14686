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

}  // namespace kestrane
