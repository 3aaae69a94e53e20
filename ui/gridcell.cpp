#include "gridcell.h"

#include <QPainter>

GridCell::GridCell(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void GridCell::setColour(segno::Colour colour) {
  if (colour == colour_) return;
  colour_ = colour;
  update();
}

void GridCell::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor::fromRgb(colour_));
  painter.setPen(Qt::black);
  // Neighbours overlap by one pixel, so adjacent outlines fall on the same line.
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
