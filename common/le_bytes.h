#pragma once
// Little-endian fields, as every format this product reads or writes stores them (presentations,
// cabinets, executables, packages, pictures). Header-only and free of the C++ library, so the
// package stub can use it too. Callers check bounds; these only assemble and split the bytes.
#include <stddef.h>
#include <stdint.h>

namespace kestrane {
namespace le {

inline uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace le
}  // namespace kestrane
