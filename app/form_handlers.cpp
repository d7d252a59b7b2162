// The main window's handlers: each hands its work to the party, which tells the window to show
// the outcome; only what belongs to the windows themselves is done here.
#include <QApplication>

#include "app/desktop_link.h"
#include "app/main_window.h"
#include "app/now_playing.h"
#include "ui/Dlg_Details.h"
#include "ui/Dlg_Settings.h"
#include "ui/info_box.h"
#include "ui/qr_window.h"
#include "ui/room_display.h"

namespace app {

using session::ListId;

namespace {

// A Display menu item: its check mark says whether its window or panel is shown.
void ToggleShown(QAction* item, QWidget* shown) {
    const bool show = !item->isChecked();
    shown->setVisible(show);
    item->setChecked(show);
}

}  // namespace

void TForm1::FormShow() { ShowLanguage(party_->FirstShow()); }

void TForm1::AddTrack(ui::TListView* list, const QString& path, const QString& source) {
    party_->AddTrack(IdOf(list), path, source);
}
void TForm1::AddFilesDialog(ui::TListView* list) { party_->AddFilesDialog(IdOf(list)); }

void TForm1::Button_PlayListClick() { party_->PlayList(); }
void TForm1::Button_PauseClick() { party_->Pause(); }
void TForm1::Button_StopClick() { party_->Stop(); }
void TForm1::Button_FFClick() { party_->Forward(); }
void TForm1::Timer1Timer() { party_->Tick(); }
void TForm1::Timer2Timer() { party_->RequestStep(); }
void TForm1::Timer3Timer() { party_->PresetStep(); }
void TForm1::TrackBar_faderChange() { party_->SetFade(TrackBar_fader->value()); }
void TForm1::CheckBox_block_latestClick() { party_->SetBlockRecent(CheckBox_block_latest->isChecked()); }
void TForm1::RadioButton_finishClick() { party_->SelectPlayListOnce(); }
void TForm1::RadioButton_restartClick() { party_->SelectRepeatList(); }
void TForm1::CheckBox_guest_useClick() { party_->SetGuestUse(CheckBox_guest_use->isChecked()); }
void TForm1::CheckBox_preset_useClick() { party_->SetPresetUse(CheckBox_preset_use->isChecked()); }
void TForm1::RadioButton_web_firstClick() { party_->SelectWebFirst(); }
void TForm1::RadioButton_web_mix_preselectClick() { party_->SelectWebMix(); }
void TForm1::RadioButton_preset_1by1Click() { party_->SelectInOrder(); }
void TForm1::RadioButton_preset_randomClick() { party_->SelectAtRandom(); }

void TForm1::M11Click() { party_->AddAudioFile(); }
void TForm1::M31Click() {
    const std::optional<settings::TSetRec> confirmed = Form2->Edit(party_->Settings());
    forwardCaption_ = forwardCaption_ || confirmed.has_value();
    party_->CloseSettings(confirmed);
}
void TForm1::M37Click() { ShowLanguage(party_->SwitchLanguage(QStringLiteral("fra"))); }
void TForm1::M38Click() { ShowLanguage(party_->SwitchLanguage(QStringLiteral("deu"))); }
void TForm1::M39Click() { ShowLanguage(party_->SwitchLanguage(QStringLiteral("eng"))); }
void TForm1::M70Click() { party_->StartWebServer(); }
void TForm1::M80Click() { party_->StopWebServer(); }
// The context commands act on the list the menu was opened on; Clear List without one only
// brings the controls in line with the lists.
void TForm1::pop0Click() { party_->ClearList(PopupList ? std::optional(IdOf(PopupList)) : std::nullopt); }
void TForm1::pop1Click() { PopupList ? party_->AddSoundFiles(IdOf(PopupList)) : void(); }
void TForm1::pop2Click() { PopupList ? party_->RemoveSelected(IdOf(PopupList)) : void(); }
void TForm1::pop3Click() { PopupList ? party_->LoadPlaylist(IdOf(PopupList)) : void(); }
void TForm1::pop4Click() { PopupList ? party_->SavePlaylist(IdOf(PopupList)) : void(); }
void TForm1::ListView_ColumnClick(ui::TListView* list, int column) { party_->SortPool(IdOf(list), column); }
void TForm1::ListBox_LogClick() {
    if (const QListWidgetItem* item = ListBox_Log->currentItem()) party_->ShowInPanel(4, item->text());
}

void TForm1::M19Click() {
    party_->CloseDecks();
    close();
}

void TForm1::M61Click() {
    ToggleShown(M61, Form_InfoBox);
    Form_InfoBox->SetMenuCaptions(party_->Texts());
}

void TForm1::M62Click() { ToggleShown(M62, Panel1); }

void TForm1::M69Click() { ToggleShown(M69, Form3); }

void TForm1::ListView_SelectItem(ui::TListView* list, int row) {
    if (list && list->List().ValidIndex(row) && !list->Caption(row).isEmpty()) {
        removeTitle_ = list->SubItem(row, tracks::siTitle);
        pop2->setEnabled(true);
        ShowRemoveCaption();
    } else {
        pop2->setEnabled(false);
    }
}

void TForm1::Label_IPClick() {
    const QString url = party_->Web().guestURL;
    if (Label_IP->text().isEmpty() || url.isEmpty()) return;
    if (!Form_QR) Form_QR = new ui::QrWindow(this);
    Form_QR->setWindowTitle(Text(u"str_join"));
    Form_QR->SetAddress(url);
    Form_QR->show();
    Form_QR->raise();
    Form_QR->activateWindow();
}

void TForm1::M63Click() {
    if (!Form_Room) {
        Form_Room = new ui::RoomDisplay(this);
        Form_Room->setWindowTitle(QString::fromUtf8(kTitle));
    } else if (Form_Room->isVisible()) {
        roomScreen_ = Form_Room->screen()->name();
    }
    Form_Room->OpenOn(ui::RoomScreen(roomScreen_));
    Form_Room->Show(RoomViewOf(*party_));
}

void TForm1::ResumeParty(const session::PartySnapshot& saved) { ShowLanguage(party_->Resume(saved)); }

void TForm1::ConnectDesktop(const QDBusConnection& bus) { desktop_ = std::make_unique<DesktopLink>(*this, bus); }

}  // namespace app
