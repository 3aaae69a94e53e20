// Prints where the smoke test clicks each cell of the grid: one line "x y" per cell, in the
// window's pixels, at the middle of the area that the hit-test gives the cell.
#include <cstdio>

#include "grid.h"

int main() {
  for (int i = 0; i < segno::kCells; ++i)
    std::printf("%d %d\n", segno::hitCentreX(i) / segno::kTwipsPerPixel,
                segno::hitCentreY(i) / segno::kTwipsPerPixel);
}
