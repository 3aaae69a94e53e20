#pragma once

#include <array>
#include <cstdint>

namespace segno {

// Drawing grid: 5 columns by 6 rows, cell index = row * 5 + column.
constexpr int kGridCols = 5;
constexpr int kGridRows = 6;
constexpr int kCells = kGridCols * kGridRows;

// The window is laid out in twips; 15 of them make one device-independent pixel.
constexpr int kTwipsPerPixel = 15;

// Placement in twips on the window's client area. Squares are laid out at a pitch of 360
// but are 372 wide, so neighbours overlap by 12 twips.
constexpr int kGridLeft = 360;
constexpr int kGridTop = 120;
constexpr int kCellPitch = 360;
constexpr int kCellSize = 372;
constexpr int kGridRight = kGridLeft + (kGridCols - 1) * kCellPitch + kCellSize;  // 2172
constexpr int kGridBottom = kGridTop + (kGridRows - 1) * kCellPitch + kCellSize;  // 2292

using Colour = uint32_t;  // 24-bit RGB
constexpr Colour kBlack = 0x000000;
constexpr Colour kWhite = 0xFFFFFF;

// The grid's whole state: one colour per cell. Only exact black counts as painted.
using Grid = std::array<Colour, kCells>;

// Top-left corner of the drawn square of cell i, in twips. 0 <= i < kCells.
constexpr int cellLeft(int i) {
  return kGridLeft + kCellPitch * (i % kGridCols);
}
constexpr int cellTop(int i) {
  return kGridTop + kCellPitch * (i / kGridCols);
}

// The middle of the area that the hit-test gives cell i, in twips: those areas are kCellSize
// apart from the grid's corner, so they drift 12 twips a column and a row from the squares
// drawn. 0 <= i < kCells.
constexpr int hitCentreX(int i) {
  return kGridLeft + kCellSize * (i % kGridCols) + kCellSize / 2;
}
constexpr int hitCentreY(int i) {
  return kGridTop + kCellSize * (i / kGridCols) + kCellSize / 2;
}

// Whether a pointer position in twips lies strictly inside the grid's outer edges.
bool isInsideGrid(float x, float y);

// Cell under a pointer position in twips. Precondition: isInsideGrid(x, y). Divides by the
// cell size (372), not the pitch, so its boundaries drift 12 twips per column and row.
int16_t cellUnderPointer(float x, float y);

// Every cell white.
void clearGrid(Grid& grid);

}  // namespace segno
