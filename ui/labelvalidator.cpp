#include "labelvalidator.h"

#include <QLineEdit>
#include <QTextBoundaryFinder>

#include "formstate.h"

namespace {

// The characters a reader sees in `text`, each in its composed form where one exists, so that
// an e with a combining accent becomes the é that the sample file can hold.
segno::Characters characters(const QString& text) {
  segno::Characters found;
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  for (qsizetype start = 0, end = 0; (end = finder.toNextBoundary()) > 0; start = end)
    found.push_back(
        text.mid(start, end - start).normalized(QString::NormalizationForm_C).toStdString());
  return found;
}

}  // namespace

LabelValidator::LabelValidator(QLineEdit* box) : QValidator(box) {
  connect(box, &QLineEdit::textChanged, this, [this](const QString& text) { accepted = text; });
  box->setValidator(this);
}

QValidator::State LabelValidator::validate(QString& input, int& pos) const {
  if (input == accepted) return Acceptable;
  QString text;
  for (const std::string& character : segno::labelBoxText(characters(accepted), characters(input),
                                                          characters(input.left(pos)).size()))
    text += QString::fromStdString(character);
  // Refusing restores the text without a change signal, as for a key the box will not take.
  if (text == accepted) return Invalid;
  input = text;
  pos = static_cast<int>(text.size());
  return Acceptable;
}
