#include "textfit.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QtMath>
#include <algorithm>
#include <functional>

namespace {

constexpr int kNarrowestStretch = 75;  // percent of the design's width
constexpr qreal kPointStep = 0.1;

// Where a label draws its text: its contents less the margin, and less the indent, which
// for a framed label with none set is half an 'x' of the font on the sides it is aligned to.
QRectF labelRoom(const QLabel* label, const QFont& font) {
  const int margin = label->margin();
  QRectF room = QRectF(label->contentsRect()).adjusted(margin, margin, -margin, -margin);
  int indent = label->indent();
  if (indent < 0 && label->frameWidth() > 0)
    indent = QFontMetrics(font, label).horizontalAdvance(QLatin1Char('x')) / 2 - margin;
  if (indent <= 0) return room;
  const Qt::Alignment alignment = label->alignment();
  if (alignment & Qt::AlignLeft) room.setLeft(room.left() + indent);
  if (alignment & Qt::AlignRight) room.setRight(room.right() - indent);
  if (alignment & Qt::AlignTop) room.setTop(room.top() + indent);
  if (alignment & Qt::AlignBottom) room.setBottom(room.bottom() - indent);
  return room;
}

// The rectangle the style gives the control's text.
QRectF textRoom(const QWidget* control, const QFont& font) {
  if (const auto* label = qobject_cast<const QLabel*>(control)) return labelRoom(label, font);
  QStyleOptionButton option;
  option.initFrom(control);
  const QRectF contents =
      control->style()->subElementRect(QStyle::SE_PushButtonContents, &option, control);
  return contents.adjusted(1, 0, -1, 0);  // a pixel clear of the bevel on either side
}

bool wraps(const QWidget* control) {
  const auto* label = qobject_cast<const QLabel*>(control);
  return label && label->wordWrap();
}

// The width and height that `text` takes in `room`: from the left of its box or ink, whichever
// comes first, to the right of whichever ends last, and from the top of the line to the
// lowest ink. Wrapped text takes its lines' boxes.
QSizeF needed(const QWidget* control, const QFontMetricsF& metrics, const QRectF& room,
              const QString& text) {
  if (wraps(control))
    return metrics.boundingRect(QRectF(0, 0, room.width(), 0), Qt::TextWordWrap, text).size();
  const QRectF ink = metrics.tightBoundingRect(text);
  const qreal width =
      std::max(ink.right(), metrics.horizontalAdvance(text)) - std::min(ink.left(), 0.0);
  return {width, metrics.ascent() + std::max(ink.bottom(), 0.0)};
}

// The largest size that each text needs; no texts need the height of a line above its baseline.
QSizeF largestNeeded(const QWidget* control, const QFont& font, const QStringList& texts) {
  const QFontMetricsF metrics(font, control);
  const QRectF room = textRoom(control, font);
  QSizeF largest(0, metrics.ascent());
  for (const QString& text : texts)
    largest = largest.expandedTo(needed(control, metrics, room, text));
  return largest;
}

bool tooTall(const QWidget* control, const QFont& font, const QStringList& texts) {
  return largestNeeded(control, font, texts).height() > textRoom(control, font).height();
}

void shrinkWhile(QFont& font, const std::function<bool(const QFont&)>& overflows) {
  while (overflows(font) && font.pointSizeF() > kPointStep)
    font.setPointSizeF(font.pointSizeF() - kPointStep);
}

}  // namespace

bool textFits(const QWidget* control, const QFont& font, const QStringList& texts) {
  const QSizeF size = largestNeeded(control, font, texts);
  const QRectF room = textRoom(control, font);
  return size.width() <= room.width() && size.height() <= room.height();
}

void fitFont(QWidget* control, const QFont& font, const QStringList& texts) {
  QFont fitted = font;
  const auto overflows = [&](const QFont& candidate) {
    return !textFits(control, candidate, texts);
  };
  shrinkWhile(fitted, [&](const QFont& candidate) { return tooTall(control, candidate, texts); });
  for (int stretch = 99; stretch >= kNarrowestStretch && overflows(fitted); --stretch)
    fitted.setStretch(stretch);
  shrinkWhile(fitted, overflows);
  control->setFont(fitted);
}

void keepBelowFrameLine(QLabel* label, const QFont& font) {
  const QFontMetricsF metrics(font, label);
  const qreal inkTop =
      label->y() + metrics.ascent() + metrics.tightBoundingRect(label->text()).top();
  const int contentsTop = label->parentWidget()->contentsRect().top();
  label->setContentsMargins(0, std::max(0, qCeil(contentsTop - inkTop)), 0, 0);
}
