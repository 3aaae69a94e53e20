#include "grid.h"

#include <gtest/gtest.h>

using namespace segno;

TEST(HitTest, FindsTheCellUnderThePointerAndNothingOnTheEdges) {
  // Boundaries drift 12 twips a column and a row from the drawn squares, and halves round to
  // even before dividing.
  const struct {
    const char* name;
    float x, y;
    int cell;  // -1: outside
  } cases[] = {{"left edge", 360, 300, -1},
               {"right edge", 2172, 300, -1},
               {"top edge", 500, 120, -1},
               {"bottom edge", 500, 2292, -1},
               {"just inside the top left", 361, 121, 0},
               {"on drawn cell 4, still column 3", 1820, 300, 3},
               {"column 4 from x = 1848", 1850, 300, 4},
               {"on drawn cell 25, still row 4", 500, 1950, 20},
               {"371.5 rounds up to 372", 731.5f, 300, 1},
               {"370.5 rounds down to 370", 730.5f, 300, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(isInsideGrid(c.x, c.y), c.cell >= 0);
    if (c.cell >= 0) {
      EXPECT_EQ(cellUnderPointer(c.x, c.y), c.cell);
    }
  }
}
