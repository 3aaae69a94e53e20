#pragma once

#include <cstdint>
#include <optional>

namespace segno {

// 16-bit signed arithmetic that reports overflow instead of wrapping: nullopt when the
// exact result does not fit in int16_t.
inline std::optional<int16_t> checkedAdd(int16_t a, int16_t b) {
  int16_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) return std::nullopt;
  return sum;
}

inline std::optional<int16_t> checkedMul(int16_t a, int16_t b) {
  int16_t product = 0;
  if (__builtin_mul_overflow(a, b, &product)) return std::nullopt;
  return product;
}

}  // namespace segno
