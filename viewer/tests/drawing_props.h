#pragma once
// What the tests store in shapes' drawing properties: ids by the parser's own names, the packed
// flags with their "use" bits, and 16.16 fixed-point values.
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "ppt/props.h"

namespace drawing {

using namespace ppt::prop;
using Props = std::vector<std::pair<uint16_t, uint32_t>>;

constexpr uint32_t kFilled = 0x00100010, kNoFill = 0x00100000;
constexpr uint32_t kLined = 0x00080008, kNoLine = 0x00080000;
constexpr uint32_t kShadowOn = 0x00020002;

inline uint32_t Fixed(double v) {
  return uint32_t(int32_t(std::lround(v * 65536)));
}

}  // namespace drawing
