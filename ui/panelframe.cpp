#include "panelframe.h"

#include <qdrawutil.h>

#include <QImageReader>
#include <QLibraryInfo>
#include <QStyleOptionGroupBox>
#include <QStylePainter>
#include <QVersionNumber>

namespace {

const QString kFusionFrameImage =
    QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png");
constexpr int kFusionFrameTopMargin = 3;
constexpr QMargins kFusionFrameBorder(6, 6, 6, 6);

}  // namespace

PanelFrame::PanelFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

// Fusion draws a group box's frame from an image that it loads through QPixmap, whose reader
// opens every image-format plugin (and with them libjpeg) to ask whether it reads the file,
// before it falls back to its own PNG reader: half a millisecond of the window's first picture
// and some memory, for plugins nothing else uses. The same image read as PNG with detection off
// needs no plugin; it is drawn here as Qt 6.4's Fusion draws it, and Fusion draws the rest. In
// any other style, version or kind of group box, the box draws itself as usual.
void PanelFrame::paintEvent(QPaintEvent* event) {
  if (!drawsFusionFrame()) {
    QGroupBox::paintEvent(event);
    return;
  }
  QStylePainter painter(this);
  QStyleOptionGroupBox option;
  initStyleOption(&option);
  const int top =
      qMax(style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight), option.fontMetrics.height()) +
      kFusionFrameTopMargin;
  const QRect frame =
      style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, this);
  qDrawBorderPixmap(&painter, frame.adjusted(0, top, 0, 0), kFusionFrameBorder, fusionFrame_);
  option.subControls &= ~QStyle::SC_GroupBoxFrame;
  painter.drawComplexControl(QStyle::CC_GroupBox, option);
}

// True when the style is Qt 6.4's Fusion itself, the box is titled, plain and not flat, and the
// frame image could be read.
bool PanelFrame::drawsFusionFrame() {
  const QVersionNumber qt = QLibraryInfo::version();
  if (qstrcmp(style()->metaObject()->className(), "QFusionStyle") != 0 || qt.majorVersion() != 6 ||
      qt.minorVersion() != 4 || title().isEmpty() || isCheckable() || isFlat())
    return false;
  if (fusionFrame_.isNull()) {
    QImageReader reader(kFusionFrameImage, "png");
    reader.setAutoDetectImageFormat(false);
    fusionFrame_ = QPixmap::fromImage(reader.read());
  }
  return !fusionFrame_.isNull();
}
