#include "grid.h"

#include <gtest/gtest.h>

namespace segno {
namespace {

struct HitCase {
  const char* name;
  float x;
  float y;
  int cell;  // -1: outside the grid
};

TEST(HitTest, FindsTheCellOrNothingAtTheEdgePoints) {
  const HitCase cases[] = {
      {"left edge", 360.0f, 300.0f, -1},
      {"right edge", 2172.0f, 300.0f, -1},
      {"top edge", 500.0f, 120.0f, -1},
      {"bottom edge", 500.0f, 2292.0f, -1},
      {"just inside top-left", 361.0f, 121.0f, 0},
      {"just inside bottom-right", 2171.0f, 2291.0f, 29},
      {"left edge of drawn column 4 selects column 3", 1820.0f, 300.0f, 3},
      {"past the shifted boundary", 1850.0f, 300.0f, 4},
      {"top of drawn row 5 selects row 4", 500.0f, 1950.0f, 20},
      {"half rounds up to even 372", 360.0f + 371.5f, 300.0f, 1},
      {"half rounds down to even 370", 360.0f + 370.5f, 300.0f, 0},
      {"column boundary 732", 732.0f, 300.0f, 1},
      {"row boundary 1980", 500.0f, 1980.0f, 25},
  };
  for (const HitCase& c : cases) {
    SCOPED_TRACE(c.name);
    const bool inside = isInsideGrid(c.x, c.y);
    EXPECT_EQ(inside, c.cell >= 0);
    if (inside) {
      EXPECT_EQ(cellUnderPointer(c.x, c.y), c.cell);
    }
  }
}

TEST(HitTest, DividesRoundedOperandsAndTruncates) {
  EXPECT_EQ(roundedIntegerDivide(371.5f, 372.0f), 1);
  EXPECT_EQ(roundedIntegerDivide(370.5f, 372.0f), 0);
  EXPECT_EQ(roundedIntegerDivide(743.0f, 372.0f), 1);
  EXPECT_EQ(roundedIntegerDivide(744.0f, 372.0f), 2);
}

TEST(GridPlacement, CellsOverlapTheirNeighboursByTwelveTwips) {
  EXPECT_EQ(cellLeft(4), 1800);
  EXPECT_EQ(cellTop(25), 1920);
  EXPECT_EQ(kGridRight, 2172);
  EXPECT_EQ(kGridBottom, 2292);
  EXPECT_EQ(cellLeft(0) + kCellSize - cellLeft(1), 12);
}

}  // namespace
}  // namespace segno
