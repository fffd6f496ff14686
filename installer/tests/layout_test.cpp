#include <gtest/gtest.h>

#include <set>
#include <string>

#include "installer/layout.h"

namespace kestrane {
namespace {

TEST(DwordFromText, TakesTheLeadingNumberRoundingHalvesToEven) {
  const std::pair<const char*, unsigned long> cases[] = {
      {"1.0", 1}, {"1.00.0001", 1},     {"2.5", 2},    {"3.5", 4}, {"0.5", 0},
      {"1.5", 2}, {"42abc", 42},        {"  7", 7},    {"", 0},    {"abc", 0},
      {".5", 0},  {"1e3", 1000},        {"2.4999", 2}, {"+3", 3},  {"-", 0},
      {"1e", 1},  {"-1", 0xFFFFFFFFul},
  };
  for (const auto& [text, number] : cases) EXPECT_EQ(DwordFromText(text), number) << text;
}

TEST(Layout, InstallsEveryDeliveredFileOnceUnderItsInstalledName) {
  std::set<std::string> sources, targets;
  for (const auto& f : InstalledFiles()) {
    EXPECT_TRUE(sources.insert(f.source).second) << f.source;
    EXPECT_TRUE(targets.insert(std::to_string(int(f.base)) + f.name).second) << f.name;
  }
  EXPECT_EQ(InstalledFiles().size(), 25u);
  EXPECT_EQ(InstalledFiles().front().source, std::string("\\Advpack.dll"));
  EXPECT_EQ(InstalledFiles().back().name, std::string("\\kestrane_uninstall.exe.manifest"));
}

}  // namespace
}  // namespace kestrane
