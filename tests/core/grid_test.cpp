#include "grid.h"

#include <gtest/gtest.h>

TEST(HitTest, FindsTheCellUnderThePointerAndNothingOnTheEdges) {
  // Boundaries drift 12 twips a column and a row from the drawn squares, and halves round to
  // even before dividing.
  // Where, then the cell under the pointer there (-1: outside the grid).
  const std::tuple<const char*, float, float, int> cases[] = {
      {"left edge", 360, 300, -1},
      {"right edge", 2172, 300, -1},
      {"top edge", 500, 120, -1},
      {"bottom edge", 500, 2292, -1},
      {"just inside the top left", 361, 121, 0},
      {"on drawn cell 4, still column 3", 1820, 300, 3},
      {"column 4 from x = 1848", 1850, 300, 4},
      {"371.5 rounds up to 372", 731.5f, 300, 1},
      {"370.5 rounds down to 370", 730.5f, 300, 0}};
  for (const auto& [name, x, y, cell] : cases)
    EXPECT_EQ(segno::isInsideGrid(x, y) ? segno::cellUnderPointer(x, y) : -1, cell) << name;
}
