// Playlist commands on the main window: loading and saving a track list through the file dialogs.
#include "app/main_window.h"
#include "platform/user_interface.h"
#include "tracks/playlist_file.h"
#include "ui/track_list_view.h"

namespace app {

using tracks::TListView;

void TForm1::LoadListDialog(TListView* list) {
    const auto chosen = platform::UserInterface().OpenFiles(tracks::OpenPlayListDialog1());
    if (!chosen.empty()) {
        const QString file = QString::fromStdU16String(chosen.front());
        tracks::LVfromFile(
            list->List(), file, [this](const QString& line) { AddLog(line); },
            [this](const QString& text) { AddDetails(text); });
        AddLog(QStringLiteral("Geladen: \r\n\"") + file + u'"');
    }
    AddLog(QStringLiteral("Erzeuge Playlist"));
}

void TForm1::pop3Click() {
    if (!PopupList) {
        return;
    }
    LoadListDialog(PopupList);
    RefreshAllListStates();
    SetControlState(ControlPhase::ListsChanged);
    SetStatusPanel(4, QString());
    ShowWebConfigAndMakePages();
}

void TForm1::pop4Click() {
    if (!PopupList) {
        return;
    }
    if (const auto chosen = platform::UserInterface().SaveFile(tracks::SaveListDialog1())) {
        tracks::LVtoFile(PopupList->List(), QString::fromStdU16String(*chosen));
    }
}

}  // namespace app
