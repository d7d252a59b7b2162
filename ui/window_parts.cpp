// The main window's parts that know nothing of the party.
#include "ui/window_parts.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLibraryInfo>
#include <QPalette>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVBoxLayout>
#include <algorithm>
#include <type_traits>

#include "tracks/time_format.h"
#include "ui/text_emphasis.h"

namespace ui {

namespace {

template <class T>
T* Named(T* object, const char* name) {
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

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

// A radio button the user can only switch on.
class OptionButton : public BoldRoom<QRadioButton> {
public:
    using BoldRoom<QRadioButton>::BoldRoom;

protected:
    void nextCheckState() override {
        if (!isChecked()) setChecked(true);
    }
};

QCheckBox* OptionBox(QWidget* parent, const char* name) { return Named<QCheckBox>(new BoldRoom<QCheckBox>(parent), name); }

QRadioButton* Radio(QWidget* parent, const char* name) {
    QRadioButton* button = Named<QRadioButton>(new OptionButton(parent), name);
    button->setAutoExclusive(false);
    return button;
}

}  // namespace

ModePanel::ModePanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Panel1"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    RadioGroup_Repeat = Named(new QGroupBox(this), "RadioGroup_Repeat");
    CheckBox_block_latest = OptionBox(RadioGroup_Repeat, "CheckBox_block_latest");
    RadioButton_finish = Radio(RadioGroup_Repeat, "RadioButton_finish");
    RadioButton_restart = Radio(RadioGroup_Repeat, "RadioButton_restart");
    TrackBar_fader = Named(new QSlider(Qt::Horizontal, this), "TrackBar_fader");
    TrackBar_fader->setRange(0, 15);
    TrackBar_fader->setPageStep(1);
    TrackBar_fader->setTickPosition(QSlider::TicksBelow);
    TrackBar_fader->setTickInterval(1);
    Label_fadesec = Named(new QLabel(this), "Label_fadesec");
    Label_fadesec->setTextFormat(Qt::PlainText);
    GroupBox_Guest = Named(new QGroupBox(this), "GroupBox_Guest");
    CheckBox_guest_use = OptionBox(GroupBox_Guest, "CheckBox_guest_use");
    RadioButton_web_first = Radio(GroupBox_Guest, "RadioButton_web_first");
    RadioButton_web_mix_preselect = Radio(GroupBox_Guest, "RadioButton_web_mix_preselect");
    GroupBox_Preset = Named(new QGroupBox(this), "GroupBox_Preset");
    CheckBox_preset_use = OptionBox(GroupBox_Preset, "CheckBox_preset_use");
    RadioButton_preset_1by1 = Radio(GroupBox_Preset, "RadioButton_preset_1by1");
    RadioButton_preset_random = Radio(GroupBox_Preset, "RadioButton_preset_random");
    ListBox_Log = Named(new QListWidget(this), "ListBox_Log");
    // One line per item: without this every added line measures all earlier ones, and a party's
    // worth of request lines makes each new one cost milliseconds on the user-interface thread.
    ListBox_Log->setUniformItemSizes(true);

    // At least its usual width; wider when a language's captions need it.
    setMinimumWidth(213);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* panelBox = new QVBoxLayout(this);
    panelBox->setContentsMargins(4, 4, 4, 4);
    const auto group = [&](QGroupBox* box, std::initializer_list<QWidget*> members) {
        auto* column = new QVBoxLayout(box);
        for (QWidget* w : members) column->addWidget(w);
        panelBox->addWidget(box);
    };
    group(RadioGroup_Repeat, {CheckBox_block_latest, RadioButton_finish, RadioButton_restart});
    panelBox->addWidget(TrackBar_fader);
    panelBox->addWidget(Label_fadesec);
    group(GroupBox_Guest, {CheckBox_guest_use, RadioButton_web_first, RadioButton_web_mix_preselect});
    group(GroupBox_Preset, {CheckBox_preset_use, RadioButton_preset_1by1, RadioButton_preset_random});
    panelBox->addStretch(1);
    panelBox->addWidget(ListBox_Log, 1);
}

std::array<QLabel*, 5> MakeStatusPanels(QStatusBar* bar) {
    std::array<QLabel*, 5> panels{};
    const int widths[5] = {100, 200, 100, 100, 50};
    for (int i = 0; i < 5; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setTextFormat(Qt::PlainText);  // it shows titles and file names
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // The last panel takes what is left, like the last panel of a status bar should.
        if (i < 4)
            panel->setFixedWidth(widths[i]);
        else
            panel->setMinimumWidth(widths[i]);
        bar->addWidget(panel, i < 4 ? 0 : 1);
        panels[static_cast<size_t>(i)] = panel;
    }
    return panels;
}

void FitPanel(QLabel* panel, const QStringList& texts, int minimum) {
    QLabel measure;  // the panel's frame and font, for the width each text needs
    measure.setFrameStyle(panel->frameStyle());
    measure.setFont(panel->font());
    int width = minimum;
    for (const QString& text : texts) {
        measure.setText(text);
        width = std::max(width, measure.sizeHint().width());
    }
    panel->setFixedWidth(width);
}

void DeckRow::Show(bool playing, bool paused, int positionMs, int lengthMs, const QString& of) const {
    pos->setText(playing ? tracks::FormatMinSec(positionMs) : QString());
    length->setText(playing ? tracks::FormatMinSec(lengthMs) : QString());
    von->setText(playing ? of : QString());
    unit->setText(playing ? QStringLiteral("min") : QString());
    if (pos->font().bold() != playing) SetTextEmphasis(pos, playing ? QColor(255, 0, 0) : QColor(), playing);
    if (playing) {
        // A zero range would turn the bar into a busy indicator.
        bar->setRange(0, std::max(1, lengthMs));
        bar->setValue(std::clamp(positionMs, 0, bar->maximum()));
    } else if (!paused) {
        bar->setValue(0);
    }
    if (paused == bar->autoFillBackground()) return;
    QPalette pal;
    if (paused) {
        pal = bar->palette();
        pal.setColor(QPalette::Base, Qt::red);
        pal.setColor(QPalette::Window, Qt::red);
    }
    bar->setPalette(pal);
    bar->setAutoFillBackground(paused);
}

void QtTranslation::Install(const QString& code) {
    static const std::pair<const char*, const char*> locales[] = {{"deu", "de"}, {"fra", "fr"}};
    QString locale;
    for (const auto& [ours, qt] : locales)
        if (code == QLatin1String(ours)) locale = QString::fromLatin1(qt);
    if (translator_) QCoreApplication::removeTranslator(translator_.get());
    translator_.reset();
    if (locale.isEmpty()) return;  // English is Qt's own
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_") + locale, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(translator.get());
    translator_ = std::move(translator);
}

void SetCaption(QObject* root, std::initializer_list<const char*> names, const char* property, const QString& text) {
    for (const char* name : names)
        if (QObject* target = root->findChild<QObject*>(QString::fromLatin1(name))) target->setProperty(property, text);
}

QWidget* LayOutMainWindow(const MainParts& p) {
    // Queue with the position display and the transport buttons below it.
    auto* queueArea = new QWidget;
    queueArea->setMinimumSize(500, 140);
    auto* queueBox = new QVBoxLayout(queueArea);
    queueBox->setContentsMargins(0, 0, 0, 2);
    queueBox->setSpacing(2);
    queueBox->addWidget(p.queue, 1);
    auto* positions = new QGridLayout;
    positions->setContentsMargins(4, 0, 4, 0);
    const auto& rows = p.positions;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c) {
            positions->addWidget(rows[r][c], r, c);
            rows[r][c]->setMinimumWidth(c == 1 || c == 3 ? 30 : 45);
        }
    positions->addWidget(p.bars[0], 0, 4);
    positions->addWidget(p.bars[1], 1, 4);
    positions->setColumnStretch(4, 1);
    queueBox->addLayout(positions);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(4, 0, 4, 0);
    for (QPushButton* b : p.buttons) buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(p.address);
    queueBox->addLayout(buttons);

    auto* guestSplitter = new QSplitter(Qt::Horizontal);
    guestSplitter->setObjectName(QStringLiteral("Splitter_Guest"));
    guestSplitter->addWidget(p.requests);
    guestSplitter->addWidget(p.pool);
    guestSplitter->setStretchFactor(0, 1);
    guestSplitter->setStretchFactor(1, 0);
    guestSplitter->setChildrenCollapsible(false);
    guestSplitter->setMinimumHeight(140);
    guestSplitter->setSizes({500, 307});
    p.presets->setMinimumHeight(140);
    auto* mainSplitter = new QSplitter(Qt::Vertical);
    mainSplitter->setObjectName(QStringLiteral("Splitter_Main"));
    mainSplitter->addWidget(queueArea);
    mainSplitter->addWidget(guestSplitter);
    mainSplitter->addWidget(p.presets);
    mainSplitter->setHandleWidth(5);
    mainSplitter->setStyleSheet(QStringLiteral("QSplitter#Splitter_Main::handle { background: rgb(128, 0, 128); }"));
    mainSplitter->setChildrenCollapsible(false);
    mainSplitter->setStretchFactor(0, 1);
    mainSplitter->setStretchFactor(1, 0);
    mainSplitter->setStretchFactor(2, 0);
    mainSplitter->setSizes({300, 200, 159});

    auto* central = new QWidget;
    auto* centralBox = new QHBoxLayout(central);
    centralBox->setContentsMargins(0, 0, 0, 0);
    centralBox->setSpacing(0);
    centralBox->addWidget(mainSplitter, 1);
    centralBox->addWidget(p.panel);
    return central;
}

}  // namespace ui
