#include "settings/Dlg_Settings.h"

#include <QEvent>
#include <QTextDocument>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <array>
#include <tuple>

#include "platform/errors.h"
#include "platform/guard.h"
#include "platform/ini_file.h"
#include "platform/text_codec.h"
#include "settings/apply_settings.h"

namespace settings {

namespace {

constexpr char16_t kSection[] = u"standard";
// A value no key can read as: values are trimmed.
constexpr char16_t kAbsent[] = u" ";
constexpr char16_t kSettingsFilter[] = u"Settings (*.stg)|*.stg|All Files (*.*)|*.*";

// A tooltip reads what looks like markup as markup; such a file name is escaped, so it shows as
// it stands.
QString PlainToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text)) return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

const TSetRec& ZeroRecord() {
    static const TSetRec zero;
    return zero;
}

platform::FileDialogOptions Options(const char16_t* title, const char16_t* filter,
                                    const char16_t* ext) {
    platform::FileDialogOptions o;
    o.title = title;
    o.filter = filter;
    o.defaultExt = ext;
    return o;
}

std::u16string U16(const QString& s) {
    return s.toStdU16String();
}

QString Q(const std::u16string& s) {
    return QString::fromStdU16String(s);
}

const char16_t* Flag(bool on) {
    return on ? u"1" : u"0";
}

// F4 and Alt+Down open a chooser as they open a combo box's list: the keyboard's double click.
bool OpensChooser(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    return (key->key() == Qt::Key_F4 && key->modifiers() == Qt::NoModifier) ||
           (key->key() == Qt::Key_Down && key->modifiers() == Qt::AltModifier);
}

QSlider* MakeBar(int max, QWidget* parent) {
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setRange(0, max);
    return bar;
}

// A caption as read, without the ampersand that marks its access key ("&&" is an ampersand).
QString WithoutAccessKey(const QString& caption) {
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

// The small button beside a path field that opens its chooser.
QPushButton* MakeBrowse(const char* name, QWidget* parent) {
    auto* button = new QPushButton(QStringLiteral("\u2026"), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);  // Return in the dialog still means OK
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("\u2026")) + 24);
    return button;
}

// A field only its chooser fills looks like one: the window's background instead of the
// editable white.
void LookReadOnly(QLineEdit* edit) {
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Window));
    edit->setPalette(pal);
}

constexpr QSize kUsualSize{638, 440};

}  // namespace

platform::FileDialogOptions SaveSettingsDialog() {
    return Options(u"Save Settings", kSettingsFilter, u".stg");
}

platform::FileDialogOptions LoadSettingsDialog() {
    return Options(u"Load Settings", kSettingsFilter, u".stg");
}

platform::FileDialogOptions ListFileDialog() {
    return Options(u"Config Play List  File", u"Play List (*.lst)|*.lst|All Files (*.*)|*.*", u".lst");
}

TForm2::TForm2(QWidget* parent) : TForm2(nullptr, nullptr, parent) {}

TForm2::TForm2(const TSetRec* rec, const platform::DisplayTexts* texts, QWidget* parent)
    : QDialog(parent), rec_(rec ? rec : &ZeroRecord()), texts_(texts) {
    setObjectName(QStringLiteral("Form2"));
    setModal(true);

    // Basic values.
    GroupBox_Settings = new QGroupBox(QStringLiteral("Basic Values"), this);
    Label_blende = new QLabel(QStringLiteral("Fading"), GroupBox_Settings);
    TrackBar_Blende = MakeBar(15, GroupBox_Settings);
    Label_fadesec = new QLabel(GroupBox_Settings);
    // The main window's block check box reads the display text at this point.
    Label_numberblocked = new QLabel(Word(u"CB_doblock", u"Block Recent Tracks"), GroupBox_Settings);
    TrackBar_blocked = MakeBar(100, GroupBox_Settings);
    TrackBar_blocked->setTickInterval(5);
    TrackBar_blocked->setTickPosition(QSlider::TicksBelow);
    Label_blocked = new QLabel(GroupBox_Settings);
    Label_FFsec = new QLabel(QStringLiteral("&Forward Jump [sec]"), GroupBox_Settings);
    Edit_FFsec = new QLineEdit(GroupBox_Settings);
    Label_FFsec->setBuddy(Edit_FFsec);
    // Only typing is restricted; a loaded text is taken as it is.
    Edit_FFsec->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), Edit_FFsec));
    Label_fadeunit = new QLabel(QStringLiteral("seconds"), GroupBox_Settings);
    {
        auto* grid = new QGridLayout(GroupBox_Settings);
        grid->addWidget(Label_blende, 0, 0);
        grid->addWidget(TrackBar_Blende, 0, 1);
        grid->addWidget(Label_fadesec, 0, 2);
        grid->addWidget(Label_numberblocked, 1, 0);
        grid->addWidget(TrackBar_blocked, 1, 1);
        grid->addWidget(Label_blocked, 1, 2);
        grid->addWidget(Label_FFsec, 2, 0);
        // The unit stands right after the short edit, not at the far end of the bars.
        auto* jump = new QHBoxLayout;
        jump->addWidget(Edit_FFsec);
        jump->addWidget(Label_fadeunit);
        jump->addStretch(1);
        grid->addLayout(jump, 2, 1, 1, 2);
        // Room for "100" and a unit word, so the bars keep their length as the labels change.
        grid->setColumnMinimumWidth(2, 90);
        Edit_FFsec->setMaximumWidth(80);
    }

    // Playlist files.
    GroupBox_PlayLists = new QGroupBox(QStringLiteral("Playlist Files"), this);
    Label_PlayList = new QLabel(QStringLiteral("&Playlist File"), GroupBox_PlayLists);
    Edit_PlayList = new QLineEdit(GroupBox_PlayLists);
    Edit_PlayList->setReadOnly(true);
    Label_webList = new QLabel(QStringLiteral("&Remote Request File"), GroupBox_PlayLists);
    Edit_webList = new QLineEdit(GroupBox_PlayLists);
    Label_preselectList = new QLabel(QStringLiteral("Pr&eselect File"), GroupBox_PlayLists);
    Edit_PresetList = new QLineEdit(GroupBox_PlayLists);
    Button_BrowsePlayList = MakeBrowse("Button_BrowsePlayList", GroupBox_PlayLists);
    Button_BrowseWebList = MakeBrowse("Button_BrowseWebList", GroupBox_PlayLists);
    Button_BrowsePresetList = MakeBrowse("Button_BrowsePresetList", GroupBox_PlayLists);
    {
        auto* grid = new QGridLayout(GroupBox_PlayLists);
        grid->addWidget(Label_PlayList, 0, 0);
        grid->addWidget(Edit_PlayList, 0, 1);
        grid->addWidget(Button_BrowsePlayList, 0, 2);
        grid->addWidget(Label_webList, 1, 0);
        grid->addWidget(Edit_webList, 1, 1);
        grid->addWidget(Button_BrowseWebList, 1, 2);
        grid->addWidget(Label_preselectList, 2, 0);
        grid->addWidget(Edit_PresetList, 2, 1);
        grid->addWidget(Button_BrowsePresetList, 2, 2);
    }

    // HTML settings.
    GroupBox_HTML = new QGroupBox(QStringLiteral("HTML Settings"), this);
    Label_HTMLpath = new QLabel(QStringLiteral("&HTML Path"), GroupBox_HTML);
    Edit_HTMLpath = new QLineEdit(GroupBox_HTML);
    Edit_HTMLpath->setReadOnly(true);
    Button_BrowseHTML = MakeBrowse("Button_BrowseHTML", GroupBox_HTML);
    {
        auto* row = new QHBoxLayout(GroupBox_HTML);
        row->addWidget(Label_HTMLpath);
        row->addWidget(Edit_HTMLpath, 1);
        row->addWidget(Button_BrowseHTML);
    }
    LookReadOnly(Edit_PlayList);
    LookReadOnly(Edit_HTMLpath);
    // A label's access key presses its row's button.
    Label_PlayList->setBuddy(Button_BrowsePlayList);
    Label_webList->setBuddy(Button_BrowseWebList);
    Label_preselectList->setBuddy(Button_BrowsePresetList);
    Label_HTMLpath->setBuddy(Button_BrowseHTML);

    // Mode choices; each exclusive pair sits in a group of its own.
    const auto modeGroup = [this](const QString& caption, QCheckBox*& box, const QString& boxCaption,
                                  QRadioButton*& first, const QString& firstCaption,
                                  QRadioButton*& second, const QString& secondCaption) {
        auto* group = new QGroupBox(caption, this);
        box = new QCheckBox(boxCaption, group);
        first = new QRadioButton(firstCaption, group);
        second = new QRadioButton(secondCaption, group);
        auto* column = new QVBoxLayout(group);
        column->addWidget(box);
        column->addWidget(first);
        column->addWidget(second);
        return group;
    };
    GroupBox_Repeat = modeGroup(QStringLiteral("Queue Play Mode"), CheckBox_blockLatest,
                                Word(u"CB_doblock", u"Block Recent Tracks"), RadioButton_finish,
                                QStringLiteral("Play List Once"), RadioButton_Repeat,
                                QStringLiteral("Repeat List"));
    GroupBox_Guest = modeGroup(QStringLiteral("Guest's Requests"), CheckBox_webselect,
                               QStringLiteral("Allow Remote Requests"), RadioButton_web_first,
                               QStringLiteral("Prefer Web"), RadioButton_web_mix_preselect,
                               QStringLiteral("Mix Web"));
    GroupBox_Preset = modeGroup(QStringLiteral("Pool Of Presets"), CheckBox_preset,
                                QStringLiteral("Add Preset Tracks"), RadioButton_preset_1by1,
                                QStringLiteral("Play In Order"), RadioButton_preset_random,
                                QStringLiteral("Play At Random"));

    // The fair shares and the artist option take free room, so the groups above stay as they are.
    auto* extras = new QWidget(this);
    Label_perguest = new QLabel(QStringLiteral("Re&quests Per Guest"), extras);
    SpinEdit_perguest = new QSpinBox(extras);
    SpinEdit_perguest->setRange(0, 99);
    SpinEdit_perguest->setMinimumWidth(60);
    SpinEdit_perguest->setSpecialValueText(QStringLiteral("\u221E"));  // 0: no limit
    Label_perguest->setBuddy(SpinEdit_perguest);
    CheckBox_artist_apart = new QCheckBox(QStringLiteral("No &Artist Twice In A Row"), extras);
    {
        auto* grid = new QGridLayout(extras);
        grid->setContentsMargins(11, 0, 11, 0);
        grid->addWidget(Label_perguest, 0, 0);
        grid->addWidget(SpinEdit_perguest, 0, 1);
        grid->setColumnStretch(2, 1);
        grid->addWidget(CheckBox_artist_apart, 1, 0, 1, 3);
    }

    Button_Load = new QPushButton(QStringLiteral("&Load"), this);
    Button_Save = new QPushButton(QStringLiteral("&Save"), this);
    Button_OK = new QPushButton(QStringLiteral("O&K"), this);
    Button_Cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    Button_OK->setDefault(true);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setTextFormat(Qt::PlainText);  // it shows file names
    StatusBar1->addWidget(StatusPanel1, 1);

    {
        auto* left = new QVBoxLayout;
        left->addWidget(GroupBox_Settings);
        left->addWidget(GroupBox_PlayLists);
        left->addWidget(GroupBox_HTML);
        left->addWidget(extras);
        left->addStretch(1);
        auto* right = new QVBoxLayout;
        right->addWidget(GroupBox_Repeat);
        right->addWidget(GroupBox_Guest);
        right->addWidget(GroupBox_Preset);
        right->addStretch(1);
        auto* columns = new QHBoxLayout;
        columns->addLayout(left, 3);
        columns->addLayout(right, 2);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(Button_Load);
        buttons->addWidget(Button_Save);
        buttons->addWidget(Button_OK);
        buttons->addWidget(Button_Cancel);
        buttons->addStretch(1);
        auto* all = new QVBoxLayout(this);
        all->setContentsMargins(8, 8, 8, 0);
        all->addLayout(columns, 1);
        all->addLayout(buttons);
        all->addWidget(StatusBar1);
    }
    setWindowTitle(GroupBox_Settings->title());

    // Values at creation: bare numbers, no unit.
    Edit_FFsec->setText(QString::number(rec_->FFsec));
    Label_fadesec->setText(QString::number(rec_->FadeSec));
    Label_blocked->setText(QString::number(rec_->number_block));
    Edit_HTMLpath->setText(rec_->HTMLpath);

    connect(TrackBar_Blende, &QSlider::valueChanged, this, [this] { TrackBar_BlendeChange(); });
    connect(TrackBar_blocked, &QSlider::valueChanged, this, [this] { TrackBar_blockedChange(); });
    for (QLineEdit* edit : {Edit_PlayList, Edit_webList, Edit_PresetList, Edit_HTMLpath}) {
        edit->installEventFilter(this);
    }
    connect(Button_Load, &QPushButton::clicked, this, [this] { platform::Guarded([this] { LoadSettingsFile(); }); });
    connect(Button_Save, &QPushButton::clicked, this, [this] { platform::Guarded([this] { SaveSettingsFile(); }); });
    for (auto [button, edit] : {std::pair{Button_BrowsePlayList, Edit_PlayList}, std::pair{Button_BrowseWebList, Edit_webList},
                                std::pair{Button_BrowsePresetList, Edit_PresetList}}) {
        connect(button, &QPushButton::clicked, this,
                [this, edit = edit] { platform::Guarded([this, edit] { Edit_ListDblClick(edit); }); });
    }
    connect(Button_BrowseHTML, &QPushButton::clicked, this,
            [this] { platform::Guarded([this] { Edit_HTMLpathDblClick(); }); });
    connect(Button_OK, &QPushButton::clicked, this, [this] { platform::Guarded([this] { Button_OKClick(); }); });
    connect(Button_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    ShowLanguage();
}

void TForm2::Button_OKClick() {
    bool ok = true;
    try {
        ForwardSecondsOf(Edit_FFsec->text());
    } catch (const platform::Error&) {
        ok = false;
    }
    if (ok) {
        ShowError(QString());
        accept();
        return;
    }
    QString message = Word(u"H27", u"'%s' is not a valid integer value");
    message.replace(QStringLiteral("%s"), Edit_FFsec->text());
    ShowError(message);
    Edit_FFsec->setFocus(Qt::OtherFocusReason);
    Edit_FFsec->selectAll();
}

TForm2::EditTexts TForm2::Edits() const {
    return {Edit_FFsec->text(),       Edit_PlayList->text(),    Edit_webList->text(),
            Edit_PresetList->text(),  Edit_HTMLpath->text(),    Edit_PlayList->toolTip(),
            Edit_webList->toolTip(),  Edit_PresetList->toolTip(), StatusPanel1->text()};
}

void TForm2::SetEdits(const EditTexts& t) {
    Edit_FFsec->setText(t.ffsec);
    Edit_PlayList->setText(t.playList);
    Edit_webList->setText(t.webList);
    Edit_PresetList->setText(t.presetList);
    Edit_HTMLpath->setText(t.htmlPath);
    Edit_PlayList->setToolTip(t.playHint);
    Edit_webList->setToolTip(t.webHint);
    Edit_PresetList->setToolTip(t.presetHint);
    ShowError(QString());
    StatusPanel1->setText(t.status);
}

void TForm2::ShowError(const QString& text) {
    QPalette pal = StatusPanel1->palette();
    pal.setColor(QPalette::WindowText, text.isEmpty() ? palette().color(QPalette::WindowText) : QColor(192, 0, 0));
    StatusPanel1->setPalette(pal);
    StatusPanel1->setText(text);
}

void TForm2::ShowLanguage() {
    // A bar that never moved shows its bare number; one that did shows number and unit.
    if (fadeUnitShown_) TrackBar_BlendeChange();
    if (blockedUnitShown_) TrackBar_blockedChange();
    // The hint: in an empty field, and on its button.
    const QString field = Word(u"H05", u"Double-click or \u2026");
    const QString button = Word(u"H06", u"Choose in a dialog; a double click on the field does the same");
    for (QLineEdit* edit : {Edit_PlayList, Edit_webList, Edit_PresetList, Edit_HTMLpath}) edit->setPlaceholderText(field);
    for (QPushButton* b : {Button_BrowsePlayList, Button_BrowseWebList, Button_BrowsePresetList, Button_BrowseHTML})
        b->setToolTip(button);
    // Longer captions widen the dialog rather than cut its texts; it never shrinks below its size.
    layout()->activate();
    setFixedSize(layout()->totalSizeHint().expandedTo(kUsualSize));
}

QString TForm2::Word(const char16_t* key, const char16_t* english) const {
    if (texts_ && texts_->Has(key)) {
        return Q(texts_->Get(key));
    }
    return QString::fromUtf16(english);
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick || OpensChooser(event)) {
        if (watched == Edit_HTMLpath) {
            platform::Guarded([this] { Edit_HTMLpathDblClick(); });
            return true;
        }
        for (QLineEdit* edit : {Edit_PlayList, Edit_webList, Edit_PresetList}) {
            if (watched == edit) {
                platform::Guarded([this, edit] { Edit_ListDblClick(edit); });
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm2::TrackBar_BlendeChange() {
    fadeUnitShown_ = true;
    Label_fadesec->setText(QString::number(TrackBar_Blende->value()) + u' ' +
                           Word(u"str_seconds", u"Seconds"));
}

void TForm2::TrackBar_blockedChange() {
    blockedUnitShown_ = true;
    Label_blocked->setText(QString::number(TrackBar_blocked->value()) + u' ' +
                           Word(u"str_tracks", u"Tracks"));
}

void TForm2::Edit_ListDblClick(QLineEdit* edit) {
    const auto chosen = platform::UserInterface().OpenFiles(ListFileDialog());
    if (chosen.empty()) {
        return;
    }
    const QString name = Q(chosen.front());
    edit->setText(name);
    edit->setToolTip(PlainToolTip(name));
    StatusPanel1->setText(name);
}

void TForm2::Edit_HTMLpathDblClick() {
    const auto folder =
        platform::UserInterface().ChooseFolder(U16(WithoutAccessKey(Label_HTMLpath->text())), U16(rec_->HTMLpath));
    if (folder) {
        Edit_HTMLpath->setText(Q(*folder));
    }
}

void TForm2::SetRadio(QRadioButton* button, bool checked) {
    if (checked) {
        button->setChecked(true);  // auto-exclusive: clears its partner
    } else if (button->isChecked()) {
        // An auto-exclusive button refuses to be cleared directly.
        const bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(exclusive);
    }
}

void TForm2::SaveSettingsFile() {
    const auto chosen = platform::UserInterface().SaveFile(SaveSettingsDialog());
    if (chosen) {
        SaveSettingsTo(Q(*chosen));
    }
}

void TForm2::LoadSettingsFile() {
    const auto chosen = platform::UserInterface().OpenFiles(LoadSettingsDialog());
    if (!chosen.empty()) {
        LoadSettingsFrom(Q(chosen.front()));
    }
}

void TForm2::SaveSettingsTo(const QString& fileName) {
    const std::array<std::pair<const char16_t*, QString>, 16> values{{
        {u"fade", QString::number(TrackBar_Blende->value())},
        {u"ffsec", Edit_FFsec->text()},
        {u"playfile", Edit_PlayList->text()},
        {u"webfile", Edit_webList->text()},
        {u"preselectfile", Edit_PresetList->text()},
        {u"htmlpath", Edit_HTMLpath->text()},
        {u"doBlock", QString::fromUtf16(Flag(CheckBox_blockLatest->isChecked()))},
        {u"blocknumber", QString::number(TrackBar_blocked->value())},
        {u"rb_finish", QString::fromUtf16(Flag(RadioButton_finish->isChecked()))},
        {u"rb_repeat", QString::fromUtf16(Flag(RadioButton_Repeat->isChecked()))},
        {u"webselect", QString::fromUtf16(Flag(CheckBox_webselect->isChecked()))},
        {u"rb_web_first", QString::fromUtf16(Flag(RadioButton_web_first->isChecked()))},
        {u"rb_web_mix_preselect", QString::fromUtf16(Flag(RadioButton_web_mix_preselect->isChecked()))},
        {u"preselect", QString::fromUtf16(Flag(CheckBox_preset->isChecked()))},
        {u"rb_preset_1by1", QString::fromUtf16(Flag(RadioButton_preset_1by1->isChecked()))},
        {u"rb_preset_random", QString::fromUtf16(Flag(RadioButton_preset_random->isChecked()))},
    }};
    // One key at a time: a failure leaves the keys written before it in the file.
    platform::IniFile ini(platform::PathFromU16(U16(fileName)));
    // Switched off, the additions leave a file as it was without them; a value the file holds
    // already is overwritten, so a limit taken back is not read again.
    const auto has = [&](const char16_t* key) { return ini.ReadString(kSection, key, kAbsent) != kAbsent; };
    const std::array<std::tuple<const char16_t*, QString, bool>, 2> additions{{
        {u"perguest", QString::number(SpinEdit_perguest->value()), SpinEdit_perguest->value() != 0 || has(u"perguest")},
        {u"artistapart", QString::fromUtf16(Flag(CheckBox_artist_apart->isChecked())),
         CheckBox_artist_apart->isChecked() || has(u"artistapart")},
    }};
    for (const auto& [key, value] : values) {
        ini.WriteString(kSection, key, U16(value));
    }
    for (const auto& [key, value, write] : additions) {
        if (write) ini.WriteString(kSection, key, U16(value));
    }
}

void TForm2::LoadSettingsFrom(const QString& fileName) {
    const platform::IniFile ini(platform::PathFromU16(U16(fileName)));
    const auto text = [&](const char16_t* key, const char16_t* def) {
        return Q(ini.ReadString(kSection, key, def));
    };
    const auto flag = [&](const char16_t* key, bool def) { return ini.ReadBool(kSection, key, def); };

    // In key order; the bars clamp to their ranges and rewrite their labels only on a change.
    TrackBar_Blende->setValue(ini.ReadInteger(kSection, u"fade", 5));
    Edit_FFsec->setText(text(u"ffsec", u"6"));
    Edit_PlayList->setText(text(u"playfile", u""));
    Edit_webList->setText(text(u"webfile", u""));
    Edit_PresetList->setText(text(u"preselectfile", u""));
    Edit_HTMLpath->setText(text(u"htmlpath", u""));
    CheckBox_blockLatest->setChecked(flag(u"doBlock", false));
    TrackBar_blocked->setValue(ini.ReadInteger(kSection, u"blocknumber", 10));
    SetRadio(RadioButton_finish, flag(u"rb_finish", true));
    SetRadio(RadioButton_Repeat, flag(u"rb_repeat", false));
    CheckBox_webselect->setChecked(flag(u"webselect", false));
    SetRadio(RadioButton_web_first, flag(u"rb_web_first", false));
    SetRadio(RadioButton_web_mix_preselect, flag(u"rb_web_mix_preselect", true));
    CheckBox_preset->setChecked(flag(u"preselect", false));
    SetRadio(RadioButton_preset_1by1, flag(u"rb_preset_1by1", true));
    SetRadio(RadioButton_preset_random, flag(u"rb_preset_random", false));
    SpinEdit_perguest->setValue(ini.ReadInteger(kSection, u"perguest", 0));  // clamped to 0..99
    CheckBox_artist_apart->setChecked(flag(u"artistapart", false));
}

}  // namespace settings
