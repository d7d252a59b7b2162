#include "ui/text_emphasis.h"

#include <QPalette>
#include <QWidget>

namespace ui {

void SetTextEmphasis(QWidget* w, const QColor& colour, bool bold) {
    // A palette with nothing set follows the parent; only the enabled groups get the colour, so
    // the disabled group keeps resolving to the style's.
    QPalette pal;
    if (colour.isValid()) {
        for (auto group : {QPalette::Active, QPalette::Inactive})
            for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
                pal.setColor(group, role, colour);
    }
    w->setPalette(pal);
    QFont font = w->font();
    font.setBold(bold);
    w->setFont(font);
}

}  // namespace ui
