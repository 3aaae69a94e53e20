#include "panelframe.h"

#include <QStyleFactory>
#include <QtTest>

// PanelFrame stands in for a QGroupBox and must look exactly like one under Fusion.
class PanelFrameTest : public QObject {
  Q_OBJECT

  static QImage picture(QGroupBox& box, const QFont& font, qreal pixelRatio) {
    box.setFont(font);
    box.resize(393, 313);
    QImage image(box.size() * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::transparent);
    box.render(&image);
    return image;
  }

 private slots:
  void initTestCase() { QApplication::setStyle(QStyleFactory::create("Fusion")); }

  void looksLikeAGroupBox_data() {
    QTest::addColumn<qreal>("pointSize");
    QTest::addColumn<qreal>("pixelRatio");
    QTest::newRow("8 pt") << 8.0 << 1.0;
    QTest::newRow("8 pt on twice the pixels") << 8.0 << 2.0;
    QTest::newRow("24 pt, a title taller than a radio button") << 24.0 << 1.0;
  }
  void looksLikeAGroupBox() {
    QFETCH(qreal, pointSize);
    QFETCH(qreal, pixelRatio);
    QFont font;
    font.setPointSizeF(pointSize);
    const QString title = QStringLiteral("CONTROL  PANNEL");
    QGroupBox groupBox(title);
    PanelFrame panelFrame(title);
    QCOMPARE(picture(panelFrame, font, pixelRatio), picture(groupBox, font, pixelRatio));
  }
};

QTEST_MAIN(PanelFrameTest)
#include "panelframe_test.moc"
