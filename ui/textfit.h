#pragma once

#include <QFont>
#include <QStringList>

class QLabel;
class QWidget;

// Fits a control's text into the rectangle that its style gives that text, whatever face the
// desktop puts in place of the design's. The control's place and size never change.

// Gives `control` the design's `font` where every text in `texts` shows whole in it; otherwise
// the largest smaller size at which the texts are short enough, then the widest narrower face
// in which they fit, shrinking again below three quarters of the width. No texts stands for a
// line of any text, such as a label the user types: a character must stand whole on its
// baseline. Handles buttons and labels.
void fitFont(QWidget* control, const QFont& font, const QStringList& texts = {});

// Whether every text in `texts` shows whole inside `control`'s text rectangle in `font`.
bool textFits(const QWidget* control, const QFont& font, const QStringList& texts);

// Moves the text of `label`, a frameless, top-aligned label in a group box, down until its ink
// in `font` starts where the box's contents do: the style draws the box's line above them.
void keepBelowFrameLine(QLabel* label, const QFont& font);
