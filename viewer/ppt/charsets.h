#pragma once
// The single-byte character set Windows writes western text in.
#include <cstdint>

namespace ppt {

// Windows' western character set's 0x80-0x9F, 0 where it has no character; the rest of its
// upper half is Latin-1.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// One byte of western text as its character; bytes the set leaves empty stay as they are.
inline char16_t FromWindows1252(uint8_t c) {
  if (c < 0x80 || c >= 0xA0) return c;
  char16_t u = kWindows1252High[c - 0x80];
  return u ? u : char16_t(c);
}

}  // namespace ppt
