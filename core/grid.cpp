#include "grid.h"

#include <cmath>

namespace segno {

namespace {

// Both operands rounded to the nearest whole number (halves to even), then the quotient
// truncated toward zero. divisor != 0 once rounded.
int32_t roundedIntegerDivide(float dividend, float divisor) {
  // nearbyint rounds halves to even under the default rounding mode.
  const auto a = static_cast<int32_t>(std::nearbyint(dividend));
  const auto b = static_cast<int32_t>(std::nearbyint(divisor));
  return a / b;
}

}  // namespace

bool isInsideGrid(float x, float y) {
  return x > static_cast<float>(kGridLeft) && x < static_cast<float>(kGridRight) &&
         y > static_cast<float>(kGridTop) && y < static_cast<float>(kGridBottom);
}

int16_t cellUnderPointer(float x, float y) {
  const float dx = x - static_cast<float>(kGridLeft);
  const float dy = y - static_cast<float>(kGridTop);
  const int32_t column = roundedIntegerDivide(dx, static_cast<float>(kCellSize));
  const int32_t row = roundedIntegerDivide(dy, static_cast<float>(kCellSize));
  return static_cast<int16_t>(row * kGridCols + column);
}

void clearGrid(Grid& grid) {
  for (Colour& cell : grid) cell = kWhite;
}

}  // namespace segno
