// The floor for Segno's start-up: the least that a Qt Widgets program showing a window like
// Segno's can cost. One window of the same client size (566 x 326) with one label,
// "Carattere:", in the font Segno looks up for its larger captions, and nothing else. The label
// sits in a layout, as in any window that sizes itself to its text, so the floor loads its
// font before the window is mapped, as Segno does.
// scripts/startup-vs-floor starts it and Segno in turn and compares the two.
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QVBoxLayout>
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
  auto* label = new QLabel(QStringLiteral("Carattere:"));
  label->setFont(font);
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(label, 0, Qt::AlignLeft | Qt::AlignBottom);
  window.show();
  return QApplication::exec();
}
