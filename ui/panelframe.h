#pragma once

#include <QGroupBox>
#include <QPixmap>

// Frame1, the group box around the control panel. It looks exactly like a QGroupBox, but under
// Qt 6.4's Fusion style it draws the frame without loading Qt's image-format plugins.
class PanelFrame : public QGroupBox {
 public:
  explicit PanelFrame(const QString& title, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool drawsFusionFrame();

  QPixmap fusionFrame_;  // Fusion's frame image, decoded on the first paint
};
