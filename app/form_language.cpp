// The language of the interface: reading a language file into the controls and display texts,
// the language items, the first showing, and the banner item of the Display menu.
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QListWidget>
#include <QTranslator>

#include "app/main_window.h"
#include "settings/settings_file.h"
#include "ui/Dlg_Settings.h"
#include "ui/info_box.h"
#include "settings/language_file.h"
#include "ui/track_list_view.h"
#include "ui/qr_window.h"
#include "web/listener.h"

namespace app {

using tracks::TListView;

namespace {

using Setter = void (*)(TForm1&, const QString&);

struct CaptionTarget {
    std::u16string_view key;
    Setter set;
};

// What each key's caption is written to, in the order the targets are named for that key.
const CaptionTarget kTargets[] = {
    {u"MP10", [](TForm1& f, const QString& t) { f.M10->setTitle(t); }},
    {u"MP19", [](TForm1& f, const QString& t) { f.M19->setText(t); }},
    {u"MP21", [](TForm1& f, const QString& t) { f.M11->setText(t); }},
    {u"MP30", [](TForm1& f, const QString& t) { f.M30->setTitle(t); }},
    {u"MP31", [](TForm1& f, const QString& t) { f.M31->setText(t); }},
    {u"MP60", [](TForm1& f, const QString& t) { f.M60->setTitle(t); }},
    {u"MP61", [](TForm1& f, const QString& t) { f.M61->setText(t); }},
    {u"MP62", [](TForm1& f, const QString& t) { f.M62->setText(t); }},
    {u"MP69", [](TForm1& f, const QString& t) { f.M69->setText(t); }},
    {u"MP70", [](TForm1& f, const QString& t) { f.M70->setText(t); }},
    {u"MP80", [](TForm1& f, const QString& t) { f.M80->setText(t); }},
    {u"MP90", [](TForm1& f, const QString& t) { f.M90->setTitle(t); }},
    {u"pop0", [](TForm1& f, const QString& t) { f.pop0->setText(t); }},
    {u"pop1", [](TForm1& f, const QString& t) { f.pop1->setText(t); }},
    {u"pop2", [](TForm1& f, const QString& t) { f.pop2->setText(t); }},
    {u"pop3", [](TForm1& f, const QString& t) { f.pop3->setText(t); }},
    {u"pop4", [](TForm1& f, const QString& t) { f.pop4->setText(t); }},

    {u"bu_playlist", [](TForm1& f, const QString& t) { f.Button_PlayList->setText(t); }},
    {u"bu_pause", [](TForm1& f, const QString& t) { f.Button_Pause->setText(t); }},
    {u"bu_stop", [](TForm1& f, const QString& t) { f.Button_Stop->setText(t); }},
    {u"bu_ff", [](TForm1& f, const QString& t) { f.Button_FF->setText(t); }},
    {u"bu_fade", [](TForm1& f, const QString& t) { f.Button_fadenow->setText(t); }},
    {u"rb_finish", [](TForm1& f, const QString& t) { f.RadioButton_finish->setText(t); }},
    {u"rb_restart", [](TForm1& f, const QString& t) { f.RadioButton_restart->setText(t); }},
    {u"rb_web_first", [](TForm1& f, const QString& t) { f.RadioButton_web_first->setText(t); }},
    {u"rb_web_mix", [](TForm1& f, const QString& t) { f.RadioButton_web_mix_preselect->setText(t); }},
    {u"rb_pre_1by1", [](TForm1& f, const QString& t) { f.RadioButton_preset_1by1->setText(t); }},
    {u"rb_pre_random", [](TForm1& f, const QString& t) { f.RadioButton_preset_random->setText(t); }},

    // Without the number of blocked tracks.
    {u"CB_doblock", [](TForm1& f, const QString& t) { f.CheckBox_block_latest->setText(t); }},
    {u"CB_guest", [](TForm1& f, const QString& t) { f.CheckBox_guest_use->setText(t); }},
    {u"CB_preset", [](TForm1& f, const QString& t) { f.CheckBox_preset_use->setText(t); }},

    {u"RG_repeat", [](TForm1& f, const QString& t) { f.RadioGroup_Repeat->setTitle(t); }},
    {u"GB_Guest", [](TForm1& f, const QString& t) { f.GroupBox_Guest->setTitle(t); }},
    {u"GB_Preset", [](TForm1& f, const QString& t) { f.GroupBox_Preset->setTitle(t); }},

    {u"str_of",
     [](TForm1& f, const QString& t) {
         f.Label_von1->setText(t);
         f.Label_von2->setText(t);
     }},

    {u"H01", [](TForm1& f, const QString& t) { f.ListView_soon->setToolTip(t); }},
    {u"H02", [](TForm1& f, const QString& t) { f.ListView_Guest_Pool->setToolTip(t); }},
    {u"H03", [](TForm1& f, const QString& t) { f.ListView_Guest->setToolTip(t); }},
    {u"H04", [](TForm1& f, const QString& t) { f.ListView_preselect->setToolTip(t); }},
};

// Display texts that stay on the screen after they were written.
constexpr const char16_t* kShownWords[] = {u"H21", u"H22", u"H23", u"H24", u"H25", u"H26", u"str_check",
                                           u"str_coming_up"};

void SetCaption(TForm1& f, std::u16string_view key, const QString& text) {
    for (const CaptionTarget& target : kTargets)
        if (target.key == key) return target.set(f, text);
}

// Each target is set as its key comes, so later keys see the captions of earlier ones.
void ApplyLanguage(TForm1& f, const std::vector<settings::LanguageText>& texts) {
    using settings::LanguageUse;
    for (const settings::LanguageText& t : texts) {
        if (t.key->use != LanguageUse::Caption) f.Texts.Set(t.key->key, t.text);
        if (t.key->use != LanguageUse::DisplayText)
            SetCaption(f, t.key->key, QString::fromStdU16String(t.text));
        else if (t.key->key == u"LB_fadeunit")
            f.TrackBar_faderChange();  // the fade label shows the new words at once
    }
}

void SwitchLanguage(TForm1& f, const char* code) {
    for (QAction* a : {f.M37, f.M38, f.M39}) a->setChecked(false);
    f.LanguageCode = QString::fromLatin1(code);
    f.LoadLanguage(f.LanguageCode);
    // Rows show their status in the new words.
    f.UpdatePoolStates();
    for (tracks::TListView* list : {f.ListView_soon, f.ListView_preselect, f.ListView_Guest_Pool, f.ListView_Guest})
        f.RefreshListStates(list);
    // One preset step, the one the preset timer runs.
    f.InsertPreset();
    for (tracks::TListView* list : {f.ListView_soon, f.ListView_Guest, f.ListView_Guest_Pool, f.ListView_preselect})
        f.LoadColumnCaptions(list, f.LanguageCode);
    // The guests' site speaks the new language at once.
    if (f.TcpServer1->Active() || f.WebConfigComplete()) {
        f.MakeHTML();
        f.MakeGuestPoolHTML();
    }
}

}  // namespace

void TForm1::FormShow() {
    for (QAction* a : {M37, M38, M39}) a->setChecked(false);
    LanguageCode = QStringLiteral("eng");
    LoadLanguage(LanguageCode);
    SetStatusPanel(1, Text(u"H21"));
}

void TForm1::LoadLanguage(const QString& code) {
    const std::filesystem::path path = settings::LanguageFile(code.toStdU16String());
    if (path.empty()) return;
    // The words of the last language, to find them where they are shown.
    QHash<QString, QString> before;
    for (const char16_t* key : kShownWords) before.insert(QString::fromUtf16(key), Text(key));
    const std::vector<settings::LanguageText> texts = settings::ReadLanguage(platform::IniFile(path), Texts);
    ApplyLanguage(*this, texts);
    Form2->ApplyLanguage(texts);
    for (TListView* list : {ListView_soon, ListView_Guest, ListView_Guest_Pool, ListView_preselect})
        LoadColumnCaptions(list, code);
    UpdateForwardCaption();
    if (code == QStringLiteral("fra")) M37->setChecked(true);
    if (code == QStringLiteral("deu")) M38->setChecked(true);
    if (code == QStringLiteral("eng")) M39->setChecked(true);
    InstallQtTranslation(code);
    ShowTextsInLanguage(before);
}

void TForm1::InstallQtTranslation(const QString& code) {
    // Qt's own dialogs and boxes ("Look in", "Cancel") speak the language too.
    static const std::pair<const char*, const char*> locales[] = {{"deu", "de"}, {"fra", "fr"}};
    QString locale;
    for (const auto& [ours, qt] : locales)
        if (code == QLatin1String(ours)) locale = QString::fromLatin1(qt);
    if (qtTranslator_) QCoreApplication::removeTranslator(qtTranslator_.get());
    qtTranslator_.reset();
    if (locale.isEmpty()) return;  // English is Qt's own
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_") + locale, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(translator.get());
    qtTranslator_ = std::move(translator);
}

void TForm1::ShowTextsInLanguage(const QHash<QString, QString>& before) {
    const auto was = [&](const char16_t* key) { return before.value(QString::fromUtf16(key)); };
    // What the panels and buttons were showing in the last language, in the new one.
    for (const char16_t* key : {u"H21", u"H22", u"H23", u"H24", u"H25", u"H26"})
        if (StatusPanel(1) == was(key)) SetStatusPanel(1, Text(key));
    const QString check = was(u"str_check") + QStringLiteral(": ");
    if (!was(u"str_check").isEmpty() && StatusPanel(4).startsWith(check))
        SetStatusPanel(4, Text(u"str_check") + QStringLiteral(": ") + StatusPanel(4).mid(check.size()));
    if (MediaPlayer1->Mode() == playback::mpPaused || MediaPlayer2->Mode() == playback::mpPaused)
        Button_Pause->setText(Text(u"str_go_on"));
    CheckBox_block_latest->setText(
        settings::BlockCaption(Text(u"CB_doblock"), SetRec.number_block, CheckBox_block_latest->isChecked()));
    ShowRemoveCaption();
    QString next = Form_InfoBox->Label_Next->text();
    const QString coming = was(u"str_coming_up") + QLatin1Char(':');
    if (next.startsWith(coming)) Form_InfoBox->Label_Next->setText(Text(u"str_coming_up") + next.mid(coming.size() - 1));
    Form_InfoBox->SetMenuCaptions(Texts);
    if (Form_QR) Form_QR->setWindowTitle(Text(u"str_join"));
    FitTexts();
}

void TForm1::LoadColumnCaptions(TListView* list, const QString& code) {
    const std::filesystem::path path = settings::LanguageFile(code.toStdU16String());
    if (path.empty() || !list) return;
    const auto captions = settings::ReadColumnCaptions(platform::IniFile(path));
    for (int c = 0; c < 8; ++c) list->SetColumnCaption(c, QString::fromStdU16String(captions[static_cast<size_t>(c)]));
}

void TForm1::UpdateForwardCaption() {
    const QString seconds = ForwardSecondsText();
    // A word that carries its own access key keeps it: "&F" would clash with the File menu.
    const QString word = Text(u"str_forward");
    Button_FF->setText((word.contains(u'&') ? word : QStringLiteral("&") + word) + QStringLiteral(" [") +
                       seconds + QStringLiteral("]"));
    // The button follows the length at once while a deck plays, and is off while none does; no
    // jump length leaves nothing to jump. The length itself stays editable, or a zero could never
    // be changed.
    Button_FF->setEnabled(AnyDeckBusy() && seconds > QStringLiteral("0"));
}

void TForm1::M37Click() { SwitchLanguage(*this, "fra"); }
void TForm1::M38Click() { SwitchLanguage(*this, "deu"); }
void TForm1::M39Click() { SwitchLanguage(*this, "eng"); }

}  // namespace app
