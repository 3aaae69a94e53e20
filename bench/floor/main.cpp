// The floor for Segno's start-up: the least that a Qt Widgets program showing a window like
// Segno's can cost. One window of the same client size (566 x 326) with one label,
// "Carattere:", in the font Segno looks up for its larger captions, and nothing else.
// scripts/startup-vs-floor starts it and Segno in turn and compares the two.
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QWidget>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Segno floor"));
  window.setFixedSize(566, 326);
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(9.6);
  auto* label = new QLabel(QStringLiteral("Carattere:"), &window);
  label->setFont(font);
  label->setGeometry(24, 168, 65, 17);  // where Segno puts it
  window.show();
  return QApplication::exec();
}
