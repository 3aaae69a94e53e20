#include "labelvalidator.h"

#include <QLineEdit>

#include "formstate.h"

LabelValidator::LabelValidator(QLineEdit* box) : QValidator(box) {
  connect(box, &QLineEdit::textChanged, this, [this](const QString& text) { accepted = text; });
  box->setValidator(this);
}

QValidator::State LabelValidator::validate(QString& input, int& pos) const {
  if (input == accepted) return Acceptable;
  const auto cursor = static_cast<size_t>(input.left(pos).toUtf8().size());
  const QString text = QString::fromStdString(
      segno::labelBoxText(accepted.toStdString(), input.toStdString(), cursor));
  // Refusing restores the text without a change signal, as for a key the box will not take.
  if (text == accepted) return Invalid;
  input = text;
  pos = static_cast<int>(text.size());
  return Acceptable;
}
