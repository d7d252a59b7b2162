// What the mode panel looks like on screen: disabled controls drawn as the style draws any
// disabled control, enabled ones with their emphasis.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QStyle>

#include "app/main_window.h"
#include "platform/user_interface.h"
#include "playback/test_deck.h"
#include "tests/support/qt_app.h"

namespace {

QImage Shot(QWidget* w) { return w->grab().toImage(); }

// The same control without any emphasis: same kind, text, font, check and enabled state.
QImage PlainShot(QAbstractButton* control) {
    std::unique_ptr<QAbstractButton> plain;
    if (qobject_cast<QCheckBox*>(control))
        plain = std::make_unique<QCheckBox>(control->text(), control->parentWidget());
    else
        plain = std::make_unique<QRadioButton>(control->text(), control->parentWidget());
    plain->setAutoExclusive(false);
    plain->setChecked(control->isChecked());
    plain->setFont(control->font());
    plain->setEnabled(control->isEnabled());
    plain->resize(control->size());
    return Shot(plain.get());
}

// The most saturated pixel right of the indicator, i.e. in the caption: high for coloured text.
int CaptionSaturation(QAbstractButton* control, const QImage& image) {
    const int from = control->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, control) + 2;
    int most = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = from; x < image.width(); ++x) most = std::max(most, image.pixelColor(x, y).hsvSaturation());
    return most;
}

tracks::TrackRow Row(const QString& file) {
    tracks::TrackRow r;
    r.Status = QStringLiteral("ready");
    r.Title = file;
    r.FileName = file;
    return r;
}

TEST(ModePanelLook, DisabledControlsLookDisabledAndEnabledOnesKeepTheirEmphasis) {
    test_support::EnsureApplication();
    platform::ScopedRecorder recorder;
    auto form = app::CreateWindows(playback::TestDeckFactory(std::make_shared<playback::TTestClock>()));
    form->show();
    QApplication::processEvents();
    const std::vector<QAbstractButton*> controls = {
        form->CheckBox_block_latest, form->RadioButton_finish,  form->RadioButton_restart,
        form->CheckBox_guest_use,    form->RadioButton_web_first, form->RadioButton_web_mix_preselect,
        form->CheckBox_preset_use,   form->RadioButton_preset_1by1, form->RadioButton_preset_random};
    const auto expectPlainWhenDisabled = [&](const char* when) {
        for (QAbstractButton* c : controls) {
            if (c->isEnabled()) continue;
            EXPECT_TRUE(Shot(c) == PlainShot(c))
                << when << ": " << c->text().toStdString() << " does not look like a disabled control";
        }
    };

    for (QAbstractButton* c : controls) ASSERT_FALSE(c->isEnabled()) << c->text().toStdString();
    expectPlainWhenDisabled("at start");

    // Every list filled, both options on: everything enabled, the chosen ones emphasised.
    form->ListView_soon->AppendRow(Row(QStringLiteral("/m/a.mp3")));
    form->ListView_Guest->AppendRow(Row(QStringLiteral("/m/b.mp3")));
    form->ListView_Guest_Pool->AppendRow(Row(QStringLiteral("/m/b.mp3")));
    form->ListView_preselect->AppendRow(Row(QStringLiteral("/m/c.mp3")));
    form->SetControlState(3);
    form->CheckBox_block_latest->setChecked(true);
    form->CheckBox_block_latestClick();
    form->CheckBox_guest_use->setChecked(true);
    form->CheckBox_guest_useClick();
    form->CheckBox_preset_use->setChecked(true);
    form->CheckBox_preset_useClick();
    QApplication::processEvents();
    for (QAbstractButton* c : controls) {
        ASSERT_TRUE(c->isEnabled()) << c->text().toStdString();
        const QImage shot = Shot(c), plain = PlainShot(c);
        if (c->isChecked()) {
            EXPECT_GT(CaptionSaturation(c, shot), 128) << c->text().toStdString() << " is not coloured";
            EXPECT_LT(CaptionSaturation(c, plain), 64) << c->text().toStdString();
            EXPECT_TRUE(c->font().bold()) << c->text().toStdString();
        } else {
            EXPECT_TRUE(shot == plain) << c->text().toStdString() << " should look plain";
        }
    }

    // Emptied lists disable the controls again, still checked and emphasised underneath.
    form->ListView_soon->ClearRows();
    form->ListView_Guest->ClearRows();
    form->ListView_preselect->ClearRows();
    form->SetControlState(3);
    QApplication::processEvents();
    EXPECT_FALSE(form->RadioButton_finish->isEnabled());
    expectPlainWhenDisabled("after the lists were emptied");
}

}  // namespace
