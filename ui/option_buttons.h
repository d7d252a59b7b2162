#pragma once
// The mode panel's check boxes and radio buttons: room kept for a chosen option's bold caption,
// and radio buttons the user can only switch on.
#include <QCheckBox>
#include <QFontMetrics>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <type_traits>

namespace ui {

// A chosen option shows in bold: its room is kept for the bold caption, so the panel neither
// cuts a caption nor changes width as options are chosen.
template <class Button>
class BoldRoom : public Button {
public:
    using Button::Button;
    // Measured as the button measures itself, with the bold letters; its minimum size hint asks
    // this one.
    QSize sizeHint() const override {
        constexpr bool box = std::is_same_v<Button, QCheckBox>;
        QStyleOptionButton option;
        this->initStyleOption(&option);
        QFont bold = this->font();
        bold.setBold(true);
        const QSize text = QFontMetrics(bold).size(Qt::TextShowMnemonic, this->text());
        const QStyle* style = this->style();
        const int indicator = style->pixelMetric(box ? QStyle::PM_IndicatorWidth : QStyle::PM_ExclusiveIndicatorWidth,
                                                 &option, this);
        const int indicatorHeight = style->pixelMetric(
            box ? QStyle::PM_IndicatorHeight : QStyle::PM_ExclusiveIndicatorHeight, &option, this);
        const int spacing = style->pixelMetric(
            box ? QStyle::PM_CheckBoxLabelSpacing : QStyle::PM_RadioButtonLabelSpacing, &option, this);
        const QSize contents(text.width() + indicator + spacing, std::max(text.height(), indicatorHeight));
        return style->sizeFromContents(box ? QStyle::CT_CheckBox : QStyle::CT_RadioButton, &option, contents, this);
    }
};

using OptionBox = BoldRoom<QCheckBox>;

// A radio button the user can only switch on; its partner is switched off in code, so both
// members of a pair may also read unchecked (as a settings file can leave them).
class OptionButton : public BoldRoom<QRadioButton> {
public:
    using BoldRoom<QRadioButton>::BoldRoom;

protected:
    void nextCheckState() override {
        if (!isChecked()) setChecked(true);
    }
};

}  // namespace ui
