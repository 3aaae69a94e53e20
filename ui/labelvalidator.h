#pragma once

#include <QValidator>

class QLineEdit;

// Keeps a line edit at one character as a reader counts them, every edit taken as if typed: a
// paste puts in the first character of its first line, composed, and an edit that would leave
// two characters is refused.
class LabelValidator : public QValidator {
  Q_OBJECT

 public:
  // Validates `box`'s edits, and belongs to it.
  explicit LabelValidator(QLineEdit* box);

  State validate(QString& input, int& pos) const override;

 private:
  QString accepted;  // the box's text before the edit under validation
};
