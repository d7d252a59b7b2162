// The main window showing the party: controls, options, positions, status panels, banner lines,
// timers, the log, and the captions of a language.
#include <QSignalBlocker>

#include "app/main_window.h"
#include "app/desktop_link.h"
#include "app/now_playing.h"
#include "settings/settings_file.h"
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
    if (decks)
        for (auto [deck, row] : {std::pair{MediaPlayer1, ui::DeckRow{Label_Pos1, Label_von1, Label_Length1, Label_unit1, ProgressBar1}},
                                 std::pair{MediaPlayer2, ui::DeckRow{Label_Pos2, Label_von2, Label_Length2, Label_unit2, ProgressBar2}}})
            row.Show(deck->Mode() == mpPlaying, deck->Mode() == mpPaused, deck->Position(), deck->Length(), Text(u"str_of"));
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
    // The room display and the desktop follow every event; an unchanged view costs nothing.
    if (Form_Room && Form_Room->isVisible()) Form_Room->Show(RoomViewOf(*party_));
    if (desktop_) desktop_->Update();
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
    struct Target {
        std::u16string_view key;
        std::initializer_list<const char*> names;
        const char* property;
    };
    static const Target targets[] = {
        {u"MP10", {"M10"}, "title"},  {u"MP19", {"M19"}, "text"},   {u"MP21", {"M11"}, "text"},
        {u"MP30", {"M30"}, "title"},  {u"MP31", {"M31"}, "text"},   {u"MP60", {"M60"}, "title"},
        {u"MP61", {"M61"}, "text"},   {u"MP62", {"M62"}, "text"},   {u"MP69", {"M69"}, "text"},
        {u"MP70", {"M70"}, "text"},   {u"MP80", {"M80"}, "text"},   {u"MP90", {"M90"}, "title"},
        {u"pop0", {"pop0"}, "text"},  {u"pop1", {"pop1"}, "text"},  {u"pop2", {"pop2"}, "text"},
        {u"pop3", {"pop3"}, "text"},  {u"pop4", {"pop4"}, "text"},  {u"bu_playlist", {"Button_PlayList"}, "text"},
        {u"bu_pause", {"Button_Pause"}, "text"}, {u"bu_stop", {"Button_Stop"}, "text"}, {u"bu_ff", {"Button_FF"}, "text"},
        {u"bu_fade", {"Button_fadenow"}, "text"}, {u"rb_finish", {"RadioButton_finish"}, "text"},
        {u"rb_restart", {"RadioButton_restart"}, "text"}, {u"rb_web_first", {"RadioButton_web_first"}, "text"},
        {u"rb_web_mix", {"RadioButton_web_mix_preselect"}, "text"}, {u"rb_pre_1by1", {"RadioButton_preset_1by1"}, "text"},
        {u"rb_pre_random", {"RadioButton_preset_random"}, "text"}, {u"CB_doblock", {"CheckBox_block_latest"}, "text"},
        {u"CB_guest", {"CheckBox_guest_use"}, "text"}, {u"CB_preset", {"CheckBox_preset_use"}, "text"},
        {u"RG_repeat", {"RadioGroup_Repeat"}, "title"}, {u"GB_Guest", {"GroupBox_Guest"}, "title"},
        {u"GB_Preset", {"GroupBox_Preset"}, "title"}, {u"str_of", {"Label_von1", "Label_von2"}, "text"},
        {u"H01", {"ListView_soon"}, "toolTip"}, {u"H02", {"ListView_Guest_Pool"}, "toolTip"},
        {u"H03", {"ListView_Guest"}, "toolTip"}, {u"H04", {"ListView_preselect"}, "toolTip"},
    };
    for (const settings::LanguageText& t : texts) {
        if (t.key->use == settings::LanguageUse::DisplayText) continue;
        for (const Target& target : targets)
            if (target.key == t.key->key)
                ui::SetCaption(this, target.names, target.property, QString::fromStdU16String(t.text));
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
        qtTranslation_.Install(party_->LanguageCode());
        ShowRemoveCaption();
        Form_InfoBox->SetMenuCaptions(party_->Texts());
        M63->setText(RoomMenuCaption(party_->Texts()));
        if (Form_QR) Form_QR->setWindowTitle(Text(u"str_join"));
        FitTexts();
    }
    Show(false);
}

void TForm1::FitTexts() {
    QStringList words;
    for (const char16_t* key : {u"st_ready", u"st_blocked", u"st_played", u"st_running", u"st_error", u"st_soon",
                                u"st_next", u"st_chosen"})
        words << Text(key);
    for (ui::TListView* list : {ListView_soon, ListView_Guest, ListView_Guest_Pool, ListView_preselect})
        ui::FitColumns(list, words);
    // The message panel takes the longest of its messages; the others keep their widths.
    QStringList messages;
    for (const char16_t* key : {u"H21", u"H22", u"H23", u"H24", u"H25", u"H26"}) messages << Text(key);
    ui::FitPanel(StatusPanels[1], messages, 200);
}

void TForm1::ShowRemoveCaption() {
    if (!pop2->isEnabled()) return;
    QString title = removeTitle_;
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));  // an ampersand in a title is no access key
    pop2->setText(Text(u"str_remove") + QStringLiteral(" *") + title + QStringLiteral("*"));
}

}  // namespace app
