#include "common/environment_win.h"

#include "common/paths.h"
#include "common/process_win.h"

namespace kestrane {

namespace {

std::optional<std::string> PathValue() {
  DWORD n = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (n == 0) return std::nullopt;
  std::string v(n, '\0');
  n = GetEnvironmentVariableA("PATH", &v[0], n);
  v.resize(n);
  return v;
}
}  // namespace

std::string GetEnv(const char* name) {
  DWORD n = GetEnvironmentVariableA(name, nullptr, 0);
  if (n == 0) return {};
  std::string v(n, '\0');
  n = GetEnvironmentVariableA(name, &v[0], n);
  v.resize(n);
  return v;
}

std::optional<std::string> FirstPathEntry() {
  auto v = PathValue();
  return kestrane::FirstPathEntry(v ? v->c_str() : nullptr);
}

std::optional<std::string> WorkingDrive() {
  auto v = PathValue();
  return kestrane::WorkingDrive(v ? v->c_str() : nullptr);
}

std::optional<std::string> TreePath(std::string_view rest) {
  auto v = PathValue();
  return kestrane::TreePath(v ? v->c_str() : nullptr, rest);
}

std::string OwnFolder() {
  char buf[MAX_PATH * 4];
  return kestrane::OwnFolder(buf, sizeof buf) ? std::string(buf) : std::string();
}

}  // namespace kestrane
