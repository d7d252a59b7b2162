#pragma once
// Coloured, bold text that marks the active choice of a control, without hiding a disabled one.
#include <QColor>

class QWidget;

namespace ui {

// `colour` and `bold` while the control is enabled; an invalid colour gives the plain text colour.
// A disabled control always shows the style's greyed text, so it never looks clickable.
void SetTextEmphasis(QWidget* w, const QColor& colour, bool bold);

}  // namespace ui
