// The settings dialog: its controls, the record it edits and its own texts.
#include "ui/Dlg_Settings.h"

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
#include "settings/settings_file.h"

namespace ui {

namespace {

constexpr char16_t kSettingsFilter[] = u"Settings (*.stg)|*.stg|All Files (*.*)|*.*";

// A tooltip reads what looks like markup as markup; such a file name is escaped, so it shows as
// it stands.
QString PlainToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text)) return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
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

TForm2::TForm2(QWidget* parent) : TForm2(TSetRec(), nullptr, parent) {}

TForm2::TForm2(const TSetRec& rec, const platform::DisplayTexts* texts, QWidget* parent)
    : QDialog(parent), shown_(rec), texts_(texts) {
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

    // The fair shares, the artist option and the sound of the hand-overs take free room, so the
    // groups above stay as they are. The loudness target is a settings file's key only.
    auto* extras = new QWidget(this);
    Label_perguest = new QLabel(QStringLiteral("Re&quests Per Guest"), extras);
    SpinEdit_perguest = new QSpinBox(extras);
    SpinEdit_perguest->setRange(0, 99);
    SpinEdit_perguest->setMinimumWidth(60);
    SpinEdit_perguest->setSpecialValueText(QStringLiteral("\u221E"));  // 0: no limit
    Label_perguest->setBuddy(SpinEdit_perguest);
    CheckBox_artist_apart = new QCheckBox(QStringLiteral("No &Artist Twice In A Row"), extras);
    CheckBox_leveling = new QCheckBox(QStringLiteral("Even Lo&udness"), extras);
    CheckBox_crossfade = new QCheckBox(QStringLiteral("Cr&ossfade"), extras);
    CheckBox_nodeadair = new QCheckBox(QStringLiteral("No &Dead Air"), extras);
    {
        auto* grid = new QGridLayout;
        grid->addWidget(Label_perguest, 0, 0);
        grid->addWidget(SpinEdit_perguest, 0, 1);
        grid->setColumnStretch(2, 1);
        grid->addWidget(CheckBox_artist_apart, 1, 0, 1, 3);
        auto* sound = new QVBoxLayout;
        sound->setSpacing(0);
        sound->addWidget(CheckBox_leveling);
        sound->addWidget(CheckBox_crossfade);
        sound->addWidget(CheckBox_nodeadair);
        auto* row = new QHBoxLayout(extras);
        row->setContentsMargins(11, 0, 0, 0);
        row->setSpacing(2);  // the longest captions of the two sides need every pixel
        row->addLayout(grid, 1);
        row->addLayout(sound);
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
    Edit_FFsec->setText(rec.FFsecText);
    Label_fadesec->setText(QString::number(rec.FadeSec));
    Label_blocked->setText(QString::number(rec.number_block));
    Edit_HTMLpath->setText(rec.HTMLpath);

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

std::optional<TSetRec> TForm2::Edit(const TSetRec& rec) {
    shown_ = rec;
    ShowRecord(rec);
    ShowError(QString());
    // The hints and the status bar say what was chosen in a confirmed opening.
    const QString hints[] = {Edit_PlayList->toolTip(), Edit_webList->toolTip(), Edit_PresetList->toolTip(),
                             StatusPanel1->text()};
    if (exec() == QDialog::Accepted) return Record();
    ShowRecord(rec);
    ShowError(QString());
    Edit_PlayList->setToolTip(hints[0]);
    Edit_webList->setToolTip(hints[1]);
    Edit_PresetList->setToolTip(hints[2]);
    StatusPanel1->setText(hints[3]);
    return std::nullopt;
}

TSetRec TForm2::Record() const {
    TSetRec rec;
    rec.FadeSec = static_cast<uint8_t>(TrackBar_Blende->value());
    rec.FFsecText = Edit_FFsec->text();
    try {
        rec.FFsec = static_cast<uint8_t>(settings::ForwardSecondsOf(rec.FFsecText));  // kept in 8 bits
    } catch (const platform::Error&) {
        rec.FFsec = 0;
    }
    rec.RB_finish = RadioButton_finish->isChecked();
    rec.RB_restart = RadioButton_Repeat->isChecked();
    rec.StdPlayList = Edit_PlayList->text();
    rec.StdWebList = Edit_webList->text();
    rec.StdPresetList = Edit_PresetList->text();
    rec.HTMLpath = Edit_HTMLpath->text();
    rec.CB_block = CheckBox_blockLatest->isChecked();
    rec.number_block = TrackBar_blocked->value();
    rec.CB_Guest = CheckBox_webselect->isChecked();
    rec.RB_web_first = RadioButton_web_first->isChecked();
    rec.RB_web_mix_preselect = RadioButton_web_mix_preselect->isChecked();
    rec.CB_preset = CheckBox_preset->isChecked();
    rec.RB_preset_1by1 = RadioButton_preset_1by1->isChecked();
    rec.RB_preset_random = RadioButton_preset_random->isChecked();
    rec.RequestsPerGuest = SpinEdit_perguest->value();
    rec.CB_artist_apart = CheckBox_artist_apart->isChecked();
    rec.CB_leveling = CheckBox_leveling->isChecked();
    rec.LevelTarget = levelTarget_;
    rec.CB_crossfade = CheckBox_crossfade->isChecked();
    rec.CB_no_dead_air = CheckBox_nodeadair->isChecked();
    return rec;
}

void TForm2::ShowRecord(const TSetRec& rec) {
    // In the order of the settings file's keys; the bars clamp to their ranges.
    TrackBar_Blende->setValue(rec.FadeSec);
    Edit_FFsec->setText(rec.FFsecText);
    Edit_PlayList->setText(rec.StdPlayList);
    Edit_webList->setText(rec.StdWebList);
    Edit_PresetList->setText(rec.StdPresetList);
    Edit_HTMLpath->setText(rec.HTMLpath);
    CheckBox_blockLatest->setChecked(rec.CB_block);
    TrackBar_blocked->setValue(rec.number_block);
    SetRadio(RadioButton_finish, rec.RB_finish);
    SetRadio(RadioButton_Repeat, rec.RB_restart);
    CheckBox_webselect->setChecked(rec.CB_Guest);
    SetRadio(RadioButton_web_first, rec.RB_web_first);
    SetRadio(RadioButton_web_mix_preselect, rec.RB_web_mix_preselect);
    CheckBox_preset->setChecked(rec.CB_preset);
    SetRadio(RadioButton_preset_1by1, rec.RB_preset_1by1);
    SetRadio(RadioButton_preset_random, rec.RB_preset_random);
    SpinEdit_perguest->setValue(rec.RequestsPerGuest);
    CheckBox_artist_apart->setChecked(rec.CB_artist_apart);
    CheckBox_leveling->setChecked(rec.CB_leveling);
    levelTarget_ = rec.LevelTarget;
    CheckBox_crossfade->setChecked(rec.CB_crossfade);
    CheckBox_nodeadair->setChecked(rec.CB_no_dead_air);
}

void TForm2::Button_OKClick() {
    bool ok = true;
    try {
        settings::ForwardSecondsOf(Edit_FFsec->text());
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

void TForm2::ShowError(const QString& text) {
    QPalette pal = StatusPanel1->palette();
    pal.setColor(QPalette::WindowText, text.isEmpty() ? palette().color(QPalette::WindowText) : QColor(192, 0, 0));
    StatusPanel1->setPalette(pal);
    StatusPanel1->setText(text);
}

void TForm2::ApplyLanguage(const std::vector<settings::LanguageText>& texts) {
    using Set = void (*)(TForm2&, const QString&);
    static const std::pair<std::u16string_view, Set> targets[] = {
        {u"bu_load", [](TForm2& d, const QString& t) { d.Button_Load->setText(t); }},
        {u"bu_save", [](TForm2& d, const QString& t) { d.Button_Save->setText(t); }},
        {u"bu_ok", [](TForm2& d, const QString& t) { d.Button_OK->setText(t); }},
        {u"bu_cancel", [](TForm2& d, const QString& t) { d.Button_Cancel->setText(t); }},
        {u"rb_finish", [](TForm2& d, const QString& t) { d.RadioButton_finish->setText(t); }},
        {u"rb_restart", [](TForm2& d, const QString& t) { d.RadioButton_Repeat->setText(t); }},
        {u"rb_web_first", [](TForm2& d, const QString& t) { d.RadioButton_web_first->setText(t); }},
        {u"rb_web_mix", [](TForm2& d, const QString& t) { d.RadioButton_web_mix_preselect->setText(t); }},
        {u"rb_pre_1by1", [](TForm2& d, const QString& t) { d.RadioButton_preset_1by1->setText(t); }},
        {u"rb_pre_random", [](TForm2& d, const QString& t) { d.RadioButton_preset_random->setText(t); }},
        {u"CB_doblock", [](TForm2& d, const QString& t) { d.CheckBox_blockLatest->setText(t); }},
        {u"CB_guest", [](TForm2& d, const QString& t) { d.CheckBox_webselect->setText(t); }},
        {u"CB_preset", [](TForm2& d, const QString& t) { d.CheckBox_preset->setText(t); }},
        {u"LB_fadeunit", [](TForm2& d, const QString& t) { d.Label_fadeunit->setText(t); }},
        // The block bar's label is the block box's caption, without its number.
        {u"LB_fade",
         [](TForm2& d, const QString& t) {
             d.Label_blende->setText(t);
             d.Label_numberblocked->setText(d.CheckBox_blockLatest->text());
         }},
        {u"LB_ffsec", [](TForm2& d, const QString& t) { d.Label_FFsec->setText(t); }},
        {u"LB_playlist", [](TForm2& d, const QString& t) { d.Label_PlayList->setText(t); }},
        {u"LB_webList", [](TForm2& d, const QString& t) { d.Label_webList->setText(t); }},
        {u"LB_preselect", [](TForm2& d, const QString& t) { d.Label_preselectList->setText(t); }},
        {u"LB_HTML", [](TForm2& d, const QString& t) { d.Label_HTMLpath->setText(t); }},
        {u"LB_perguest", [](TForm2& d, const QString& t) { d.Label_perguest->setText(t); }},
        {u"CB_artist", [](TForm2& d, const QString& t) { d.CheckBox_artist_apart->setText(t); }},
        {u"CB_leveling", [](TForm2& d, const QString& t) { d.CheckBox_leveling->setText(t); }},
        {u"CB_crossfade", [](TForm2& d, const QString& t) { d.CheckBox_crossfade->setText(t); }},
        {u"CB_nodeadair", [](TForm2& d, const QString& t) { d.CheckBox_nodeadair->setText(t); }},
        {u"RG_repeat", [](TForm2& d, const QString& t) { d.GroupBox_Repeat->setTitle(t); }},
        {u"GB_Guest", [](TForm2& d, const QString& t) { d.GroupBox_Guest->setTitle(t); }},
        {u"GB_Preset", [](TForm2& d, const QString& t) { d.GroupBox_Preset->setTitle(t); }},
        {u"GB_Settings",
         [](TForm2& d, const QString& t) {
             d.GroupBox_Settings->setTitle(t);
             d.setWindowTitle(t);
         }},
        {u"GB_Playlists", [](TForm2& d, const QString& t) { d.GroupBox_PlayLists->setTitle(t); }},
        {u"GB_HTML", [](TForm2& d, const QString& t) { d.GroupBox_HTML->setTitle(t); }},
    };
    for (const settings::LanguageText& t : texts) {
        if (t.key->use == settings::LanguageUse::DisplayText) continue;
        for (const auto& [key, set] : targets)
            if (key == t.key->key) set(*this, Q(t.text));
    }
    ShowLanguage();
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
        platform::UserInterface().ChooseFolder(U16(WithoutAccessKey(Label_HTMLpath->text())), U16(shown_.HTMLpath));
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

void TForm2::SaveSettingsTo(const QString& fileName) { settings::SaveSettingsFile(fileName, Record()); }

void TForm2::LoadSettingsFrom(const QString& fileName) { ShowRecord(settings::LoadSettingsFile(fileName)); }

}  // namespace ui
