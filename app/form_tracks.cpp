// The main window's commands that add tracks to a list, and removing the selected row.
#include <optional>

#include "app/main_window.h"
#include "platform/user_interface.h"
#include "tracks/track_adder.h"
#include "ui/track_list_view.h"
#include "web/listener.h"

namespace app {

using tracks::TListView;

using tracks::siFileName;

void TForm1::MakeTrackAdder() {
    Adder = std::make_unique<tracks::TrackAdder>(
        [this](const QString& path) {
            MediaPlayer3->SetFileName(path);
            MediaPlayer3->Open();
            const int length = MediaPlayer3->Length();
            MediaPlayer3->Close();
            return length;
        },
        [this](const QString& path, bool paint) {
            SetStatusPanel(4, Text(u"str_check") + QStringLiteral(": ") + path);
            if (paint) StatusPanels[4]->repaint();
        });
}

void TForm1::AddTrack(TListView* list, const QString& path, const QString& source) {
    Adder->Add(list->List(), path, source, Text(u"st_ready"));
}

void TForm1::AddFilesDialog(TListView* list) {
    platform::FileDialogOptions options;
    options.title = u"Audio-Datei w\u00e4hlen";
    options.filter = u"MP3-Audio (*.mp3)|*.mp3|WAV-Audio (*.wav)|*.wav";
    options.defaultExt = u"*.mp3";
    options.multiSelect = true;
    const std::vector<std::u16string> files = platform::UserInterface().OpenFiles(options);
    if (files.empty()) return;

    // The feeding timers add to and trim the queue from their ticks: not while the batch lets
    // pending events through between files.
    const std::vector<QString> failed =
        Adder->AddBatch(list->List(), files, Text(u"str_file"), Text(u"st_ready"), {Timer2, Timer3});

    SetControlState(ControlPhase::Stopped);
    if (CheckWebConfig()) {
        SetStatusPanel(1, Text(u"H22"));
        M70->setEnabled(!TcpServer1->Active());
        if (!AnyDeckBusy()) Button_PlayList->setEnabled(true);
        MakeHTML();
        MakeGuestPoolHTML();
    } else {
        SetStatusPanel(1, Text(u"H21"));
        M70->setEnabled(false);
        if (TcpServer1->Active()) {
            MakeHTML();
            MakeGuestPoolHTML();
        }
    }
    UpdateQueueStates();
    if (!failed.empty()) {
        QStringList lines(failed.begin(), failed.end());
        platform::UserInterface().ShowError(lines.join(QLatin1Char('\n')).toStdU16String());
    }
}

void TForm1::M11Click() {
    if (Adder->Busy()) return;
    AddFilesDialog(ListView_soon);
    SetStatusPanel(2, QString());
}

void TForm1::pop1Click() {
    if (Adder->Busy() || !PopupList) return;
    AddFilesDialog(PopupList);
    RefreshAllListStates();
    ShowWebConfigAndMakePages();
    SetControlState(ControlPhase::ListsChanged);
    SetStatusPanel(4, QString());
}

void TForm1::RemoveSelected(TListView* list) {
    const int selected = list->SelectedIndex();
    if (selected < 0) return;
    if (list != ListView_soon) {
        list->DeleteRow(selected);
        return;
    }
    // The current row may already be gone (cleared list): then there is no current track.
    const std::optional<QString> current = Player->CurrentFile();
    list->DeleteRow(selected);
    Player->FindCurrentAgain(current);
}

void TForm1::pop2Click() {
    if (Adder->Busy()) return;
    if (PopupList == ListView_soon || PopupList == ListView_preselect) RemoveSelected(PopupList);
    if (ListView_soon->Count() > 0) ListView_soon->ScrollToLast();
}

}  // namespace app
