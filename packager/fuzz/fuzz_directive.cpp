// libFuzzer entry: the directive reader and the entry-name rules on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "packager/directive.h"
#include "common/package_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  if (auto d = kestrane::ReadDirective(text, &error)) {
    for (const auto& f : d->files) {
      // Whatever the reader accepts, the self-extractor must accept too.
      if (!kestrane::IsSafeEntryName(f.name.c_str())) __builtin_trap();
    }
  }
  kestrane::ReadTarget(text);
  size_t n;
  const char* rest;
  const char* p = kestrane::SplitProgram(text.c_str(), &n, &rest);
  if (p + n > text.c_str() + text.size() || rest > text.c_str() + text.size()) __builtin_trap();
  kestrane::IsSafeEntryName(text.c_str());
  return 0;
}
