#include <gtest/gtest.h>

#include "formstate.h"

namespace segno {
namespace {

TEST(HitTest, FindsTheCellUnderThePointerAndNothingOnTheEdges) {
  // x and y in twips, then the cell (-1: outside). Boundaries drift 12 twips a column and a row
  // from the drawn squares, and halves round to even before dividing.
  const std::tuple<float, float, int> cases[] = {
      {360, 300, -1},  {2172, 300, -1},  {500, 120, -1},   {500, 2292, -1},
      {361, 121, 0},   {2171, 2291, 29}, {1820, 300, 3},   {1850, 300, 4},
      {500, 1950, 20}, {500, 1980, 25},  {731.5f, 300, 1}, {730.5f, 300, 0}};
  for (const auto& [x, y, cell] : cases) {
    EXPECT_EQ(isInsideGrid(x, y), cell >= 0) << x << ", " << y;
    if (cell >= 0) {
      EXPECT_EQ(cellUnderPointer(x, y), cell) << x << ", " << y;
    }
  }
}

TEST(Mouse, APressActsWithAnyButtonAMoveWithTheLeftAlone) {
  // Press or move, Button, Shift: then cell 12 is Painted, Erased or left alone.
  const std::tuple<bool, int16_t, int16_t, char> cases[] = {
      {true, 1, 0, 'P'},  {true, 2, 0, 'P'},  {true, 4, 0, 'P'},  {true, 1, 1, 'E'},
      {true, 2, 1, 'E'},  {true, 1, 2, 'P'},  {true, 1, 3, 'P'},  {true, 1, 4, 'P'},
      {false, 1, 0, 'P'}, {false, 1, 1, 'E'}, {false, 1, 2, 'E'}, {false, 1, 3, 'E'},
      {false, 1, 4, 'E'}, {false, 2, 0, '-'}, {false, 3, 0, '-'}, {false, 0, 0, '-'}};
  for (const auto& [press, button, shift, action] : cases) {
    for (const Colour before : {kWhite, kBlack}) {
      FormState state;
      state.grid.fill(before);
      Grid expected = state.grid;
      state.LBch = "A";
      (press ? formMouseDown : formMouseMove)(state, button, shift, 1290, 1050);  // cell 12
      expected[12] = action == 'P' ? kBlack : action == 'E' ? kWhite : before;
      EXPECT_EQ(state.grid, expected) << press << button << shift << " on " << before;
      EXPECT_EQ(state.LBch, press ? "" : "A") << press << button << shift;
    }
  }
}

}  // namespace
}  // namespace segno
