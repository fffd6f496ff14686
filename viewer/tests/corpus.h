#pragma once
// The shared corpus of real presentations ($KESTRANE_PPT_CORPUS), for the tests that read it and
// skip where it is absent.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ppt/presentation.h"

namespace corpus {

inline std::string Dir() {
  const char* env = getenv("KESTRANE_PPT_CORPUS");
  return env ? env : "/work/shared/corpus/ppt";
}

inline std::string Path(const std::string& name) {
  return Dir() + "/" + name;
}

// False when the file is not there.
inline bool Read(const std::string& name, std::vector<uint8_t>* out) {
  std::ifstream f(Path(name), std::ios::binary);
  if (!f) return false;
  out->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return true;
}

// False when the file is not there or does not load.
inline bool Load(const std::string& name, ppt::Presentation* p) {
  std::vector<uint8_t> b;
  return Read(name, &b) && ppt::Load(b.data(), b.size(), p) == ppt::LoadError::kNone;
}

}  // namespace corpus
