// The main window showing the party: controls, options, positions, status panels, banner lines,
// timers, the log, and the captions of a language.
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QSignalBlocker>
#include <QTime>
#include <algorithm>

#include "app/main_window.h"
#include "settings/settings_file.h"
#include "tracks/time_format.h"
#include "ui/Dlg_Details.h"
#include "ui/Dlg_Settings.h"
#include "ui/info_box.h"
#include "ui/list_presentation.h"
#include "ui/qr_window.h"
#include "ui/text_emphasis.h"
#include "web/listener.h"

namespace app {

using playback::mpPaused;
using playback::mpPlaying;
using playback::mpStopped;

namespace {

// Red background of a paused deck's bar, or the default one.
void SetBarPaused(QProgressBar* bar, bool paused) {
    if (paused == bar->autoFillBackground()) return;
    QPalette pal;
    if (paused) pal = bar->palette(), pal.setColor(QPalette::Base, Qt::red), pal.setColor(QPalette::Window, Qt::red);
    bar->setPalette(pal);
    bar->setAutoFillBackground(paused);
}

void SetTimer(QTimer* timer, bool on) {
    // Switching on a timer that runs keeps its running interval.
    if (!on)
        timer->stop();
    else if (!timer->isActive())
        timer->start();
}

// A chosen option in its colour and bold, set only when it changes.
void Emphasise(QWidget* w, bool on, const QColor& colour) {
    const QString look = on ? colour.name() : QString();
    if (w->property("emphasis").toString() == look && w->font().bold() == on) return;
    w->setProperty("emphasis", look);
    ui::SetTextEmphasis(w, on ? colour : QColor(), on);
}

}  // namespace

QString TForm1::StatusPanel(int panel) const {
    return panel >= 0 && panel < 5 ? StatusPanels[static_cast<size_t>(panel)]->text() : QString();
}

void TForm1::Show(bool decks) {
    const session::Party& p = *party_;
    ShowControls();
    if (decks) ShowDecks();
    for (int i = 0; i < 5; ++i) StatusPanels[static_cast<size_t>(i)]->setText(p.Panel(i));
    const QString fade = QString::number(p.Settings().FadeSec);
    Label_fadesec->setText((fade.size() < 2 ? QStringLiteral(" ") : QString()) + fade + QLatin1Char(' ') +
                           Text(u"LB_fadeunit") + QLatin1Char(' ') + Text(u"LB_fadeover"));
    CheckBox_block_latest->setText(
        settings::BlockCaption(Text(u"CB_doblock"), p.Settings().number_block, p.Settings().CB_block));
    // The jump length shows from the first start, language or confirmed settings on. A word that
    // carries its own access key keeps it: "&F" would clash with the File menu.
    forwardCaption_ = forwardCaption_ || p.ControlStates().pause;
    const QString forward = Text(u"str_forward");
    if (forwardCaption_)
        Button_FF->setText((forward.contains(u'&') ? forward : QStringLiteral("&") + forward) + QStringLiteral(" [") +
                           p.Settings().FFsecText + QStringLiteral("]"));
    Button_Pause->setText(Text(p.AnyDeckPaused() ? u"str_go_on" : u"str_pause"));
    if (!p.Banner().now.isEmpty()) Form_InfoBox->Label_Now->setText(p.Banner().now);
    if (!p.Banner().next.isEmpty()) Form_InfoBox->Label_Next->setText(p.Banner().next);
    ui::QueueMarks marks{p.AnyDeckBusy(), p.Player().CurIndex(), p.Player().NextIndex()};
    if (queueDelegate_) {
        queueDelegate_->SetQueueMarks(marks);
        ListView_soon->viewport()->update();
    }
    ShowWeb();
    for (auto [a, code] : {std::pair{M37, "fra"}, std::pair{M38, "deu"}, std::pair{M39, "eng"}})
        a->setChecked(p.LanguageLoaded() == QLatin1String(code));
    SetTimer(Timer1, p.Timers().tick);
    SetTimer(Timer2, p.Timers().requests);
    SetTimer(Timer3, p.Timers().presets);
}

void TForm1::ShowControls() {
    const session::Controls& c = party_->ControlStates();
    const settings::TSetRec& s = party_->Settings();
    const std::pair<QWidget*, bool> enabled[] = {
        {Button_PlayList, c.playList},     {Button_Pause, c.pause},         {Button_Stop, c.stop},
        {Button_FF, c.forward},            {Button_fadenow, c.fadeNow},     {CheckBox_block_latest, c.block},
        {RadioButton_finish, c.playOnce},  {RadioButton_restart, c.repeat}, {CheckBox_guest_use, c.guestUse},
        {RadioButton_web_first, c.webFirst}, {RadioButton_web_mix_preselect, c.webMix},
        {CheckBox_preset_use, c.presetUse}, {RadioButton_preset_1by1, c.inOrder}, {RadioButton_preset_random, c.atRandom}};
    for (const auto& [w, on] : enabled) w->setEnabled(on);
    M70->setEnabled(c.webOn);
    M80->setEnabled(c.webOff);
    const std::pair<QAbstractButton*, bool> options[] = {
        {CheckBox_block_latest, s.CB_block},    {RadioButton_finish, s.RB_finish},
        {RadioButton_restart, s.RB_restart},    {CheckBox_guest_use, s.CB_Guest},
        {RadioButton_web_first, s.RB_web_first}, {RadioButton_web_mix_preselect, s.RB_web_mix_preselect},
        {CheckBox_preset_use, s.CB_preset},     {RadioButton_preset_1by1, s.RB_preset_1by1},
        {RadioButton_preset_random, s.RB_preset_random}};
    for (const auto& [button, on] : options) {
        const QSignalBlocker quiet(button);
        button->setChecked(on);
    }
    {
        const QSignalBlocker quiet(TrackBar_fader);
        TrackBar_fader->setValue(s.FadeSec);
    }
    // A disabled box shows greyed whatever its colour; the two that block or admit are not
    // emphasised while they cannot be used.
    Emphasise(CheckBox_block_latest, s.CB_block && c.block, ui::kBlue);
    Emphasise(CheckBox_guest_use, s.CB_Guest && c.guestUse, ui::kBlue);
    Emphasise(CheckBox_preset_use, s.CB_preset, ui::kBlue);
    for (auto [rb, on] : {std::pair{RadioButton_finish, s.RB_finish}, std::pair{RadioButton_restart, s.RB_restart},
                          std::pair{RadioButton_web_first, s.RB_web_first},
                          std::pair{RadioButton_web_mix_preselect, s.RB_web_mix_preselect},
                          std::pair{RadioButton_preset_1by1, s.RB_preset_1by1},
                          std::pair{RadioButton_preset_random, s.RB_preset_random}})
        Emphasise(rb, on, ui::kTeal);
}

void TForm1::ShowDecks() {
    struct Row {
        playback::AudioDeck* deck;
        QLabel *pos, *von, *length, *unit;
        QProgressBar* bar;
    };
    for (const Row& r : {Row{MediaPlayer1, Label_Pos1, Label_von1, Label_Length1, Label_unit1, ProgressBar1},
                         Row{MediaPlayer2, Label_Pos2, Label_von2, Label_Length2, Label_unit2, ProgressBar2}}) {
        const auto mode = r.deck->Mode();
        const bool playing = mode == mpPlaying;
        r.pos->setText(playing ? tracks::FormatMinSec(r.deck->Position()) : QString());
        r.length->setText(playing ? tracks::FormatMinSec(r.deck->Length()) : QString());
        r.von->setText(playing ? Text(u"str_of") : QString());
        r.unit->setText(playing ? QStringLiteral("min") : QString());
        Emphasise(r.pos, playing, ui::kRed);
        if (mode == mpStopped) r.bar->setValue(0);
        if (playing) {
            // A zero range would turn the bar into a busy indicator.
            r.bar->setRange(0, std::max(1, r.deck->Length()));
            r.bar->setValue(std::clamp(r.deck->Position(), 0, r.bar->maximum()));
        }
        SetBarPaused(r.bar, mode == mpPaused);
    }
}

void TForm1::ShowWeb() {
    const session::WebState& w = party_->Web();
    Label_IP->setText(w.label);
    Label_IP->setToolTip(w.serverURL);
    M70->setChecked(w.running);
    M80->setChecked(w.tried && !w.running);
    // The QR codes follow the listener: they show the guest address while it runs and vanish with it.
    if (w.guestURL == guestShown_) return;
    guestShown_ = w.guestURL;
    Form_InfoBox->SetGuestAddress(w.guestURL);
    if (Form_QR && (w.guestURL.isEmpty() || Form_QR->isVisible())) Form_QR->SetAddress(w.guestURL);
}

void TForm1::ShowProbing() {
    StatusPanels[4]->setText(party_->Panel(4));
    StatusPanels[4]->repaint();
}

void TForm1::AddLog(const QStringList& lines) {
    if (lines.isEmpty()) return;
    ListBox_Log->addItems(lines);
    // Dropped in batches, so the view does not shift its rows for every new line.
    if (const int excess = ListBox_Log->count() - logLines_; excess > 0 && excess >= logLines_ / 10)
        ListBox_Log->model()->removeRows(0, excess);
    ListBox_Log->setCurrentRow(ListBox_Log->count() - 1);
    // Scrolling lays out every line again, which a hidden list would do for nothing at each batch.
    if (ListBox_Log->isVisible()) ListBox_Log->scrollToBottom();
}

void TForm1::AddDetails(const QStringList& lines) {
    if (!lines.isEmpty()) Form3->AddText(lines.join(QLatin1Char('\n')));
}

void TForm1::PlaybackStopped() { Form_InfoBox->close(); }

// ---------------------------------------------------------------- language

void TForm1::ApplyCaptions(const std::vector<settings::LanguageText>& texts) {
    using Set = void (*)(TForm1&, const QString&);
    static const std::pair<std::u16string_view, Set> targets[] = {
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
        {u"CB_doblock", [](TForm1& f, const QString& t) { f.CheckBox_block_latest->setText(t); }},
        {u"CB_guest", [](TForm1& f, const QString& t) { f.CheckBox_guest_use->setText(t); }},
        {u"CB_preset", [](TForm1& f, const QString& t) { f.CheckBox_preset_use->setText(t); }},
        {u"RG_repeat", [](TForm1& f, const QString& t) { f.RadioGroup_Repeat->setTitle(t); }},
        {u"GB_Guest", [](TForm1& f, const QString& t) { f.GroupBox_Guest->setTitle(t); }},
        {u"GB_Preset", [](TForm1& f, const QString& t) { f.GroupBox_Preset->setTitle(t); }},
        {u"str_of", [](TForm1& f, const QString& t) { f.Label_von1->setText(t), f.Label_von2->setText(t); }},
        {u"H01", [](TForm1& f, const QString& t) { f.ListView_soon->setToolTip(t); }},
        {u"H02", [](TForm1& f, const QString& t) { f.ListView_Guest_Pool->setToolTip(t); }},
        {u"H03", [](TForm1& f, const QString& t) { f.ListView_Guest->setToolTip(t); }},
        {u"H04", [](TForm1& f, const QString& t) { f.ListView_preselect->setToolTip(t); }},
    };
    for (const settings::LanguageText& t : texts) {
        if (t.key->use == settings::LanguageUse::DisplayText) continue;
        for (const auto& [key, set] : targets)
            if (key == t.key->key) set(*this, QString::fromStdU16String(t.text));
    }
}

void TForm1::ShowLanguage(const std::optional<std::vector<settings::LanguageText>>& texts) {
    if (texts) {
        forwardCaption_ = true;
        ApplyCaptions(*texts);
        Form2->ApplyLanguage(*texts);
        const std::filesystem::path path = settings::LanguageFile(party_->LanguageCode().toStdU16String());
        const auto columns = settings::ReadColumnCaptions(platform::IniFile(path));
        for (ui::TListView* list : {ListView_soon, ListView_Guest, ListView_Guest_Pool, ListView_preselect})
            for (int c = 0; c < 8; ++c) list->SetColumnCaption(c, QString::fromStdU16String(columns[static_cast<size_t>(c)]));
        InstallQtTranslation(party_->LanguageCode());
        ShowRemoveCaption();
        Form_InfoBox->SetMenuCaptions(party_->Texts());
        if (Form_QR) Form_QR->setWindowTitle(Text(u"str_join"));
        FitTexts();
    }
    Show(false);
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

void TForm1::FitTexts() {
    QStringList words;
    for (const char16_t* key : {u"st_ready", u"st_blocked", u"st_played", u"st_running", u"st_error", u"st_soon",
                                u"st_next", u"st_chosen"})
        words << Text(key);
    for (ui::TListView* list : {ListView_soon, ListView_Guest, ListView_Guest_Pool, ListView_preselect})
        ui::FitColumns(list, words);
    // The message panel takes the longest of its messages; the others keep their widths.
    QLabel* panel = StatusPanels[1];
    QLabel measure;  // the panel's frame and font, for the width each message needs
    measure.setFrameStyle(panel->frameStyle());
    measure.setFont(panel->font());
    int width = 200;
    for (const char16_t* key : {u"H21", u"H22", u"H23", u"H24", u"H25", u"H26"}) {
        measure.setText(Text(key));
        width = std::max(width, measure.sizeHint().width());
    }
    panel->setFixedWidth(width);
}

void TForm1::ShowRemoveCaption() {
    if (!pop2->isEnabled()) return;
    QString title = removeTitle_;
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));  // an ampersand in a title is no access key
    pop2->setText(Text(u"str_remove") + QStringLiteral(" *") + title + QStringLiteral("*"));
}

}  // namespace app
