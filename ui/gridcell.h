#pragma once

#include <QWidget>

#include "grid.h"

// One square of the drawing grid: an opaque fill with a thin black outline. It takes no
// mouse input, so presses and drags over it reach the window underneath.
class GridCell : public QWidget {
  Q_OBJECT

 public:
  explicit GridCell(QWidget* parent = nullptr);

  // Fill colour as 24-bit RGB: 0x000000 painted, 0xFFFFFF blank.
  void setColour(segno::Colour colour);
  segno::Colour colour() const { return colour_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  segno::Colour colour_ = segno::kWhite;
};
