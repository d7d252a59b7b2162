// The party's list commands: adding tracks, removing and clearing rows, playlists and sorting.
#include <optional>

#include "platform/user_interface.h"
#include "session/party.h"
#include "session/party_inner.h"
#include "tracks/playlist_file.h"
#include "tracks/track_adder.h"

namespace session {

void Party::AddTrack(ListId id, const QString& path, const QString& source) {
    adder_->Add(List(id), path, source, Text(u"st_ready"));
}

QStringList Party::AddFiles(ListId id) {
    platform::FileDialogOptions options;
    options.title = u"Audio-Datei w\u00e4hlen";
    options.filter = u"MP3-Audio (*.mp3)|*.mp3|WAV-Audio (*.wav)|*.wav";
    options.defaultExt = u"*.mp3";
    options.multiSelect = true;
    const std::vector<std::u16string> files = platform::UserInterface().OpenFiles(options);
    if (files.empty()) return {};
    // The feeding steps wait while the batch lets pending events through between files.
    const std::vector<QString> failed = adder_->AddBatch(List(id), files, Text(u"str_file"), Text(u"st_ready"));
    Step(ControlStep::Stopped);
    const bool complete = CheckWebConfig();
    SetPanel(1, Text(complete ? u"H22" : u"H21"));
    Step(ControlStep::FilesAdded);
    event_->pages |= kPagesFollow;
    event_->refresh |= kQueueStates;
    return QStringList(failed.begin(), failed.end());
}

void Party::ShowFailures(const QStringList& failed) {
    if (!failed.isEmpty()) platform::UserInterface().ShowError(failed.join(QLatin1Char('\n')).toStdU16String());
}

void Party::AddFilesDialog(ListId id) {
    Event e(*this);
    const QStringList failed = AddFiles(id);
    e.Finish();
    ShowFailures(failed);
}

void Party::AddAudioFile() {
    if (adder_->Busy()) return;
    Event e(*this);
    const QStringList failed = AddFiles(ListId::Queue);
    SetPanel(2, QString());
    e.Finish();
    ShowFailures(failed);
}

void Party::AddSoundFiles(ListId id) {
    if (adder_->Busy()) return;
    Event e(*this);
    const QStringList failed = AddFiles(id);
    event_->refresh |= kAllFiles;
    ShowWebConfig();
    Step(ControlStep::ListsChanged);
    SetPanel(4, QString());
    e.Finish();
    ShowFailures(failed);
}

void Party::RemoveSelected(ListId id) {
    if (adder_->Busy()) return;
    Event e(*this);
    tracks::TrackList& list = List(id);
    const int selected = list.SelectedIndex();
    if (selected >= 0 && id == ListId::Presets) {
        list.DeleteRow(selected);
    } else if (selected >= 0 && id == ListId::Queue) {
        // The current row may already be gone (cleared list): then there is no current track.
        const std::optional<QString> current = player_->CurrentFile();
        list.DeleteRow(selected);
        player_->FindCurrentAgain(current);
    }
    Queue().ScrollToLast();
    e.Finish();
}

void Party::ClearList(std::optional<ListId> id) {
    Event e(*this);
    if (id) List(*id).ClearRows();
    Step(ControlStep::ListsChanged);
    e.Finish();
}

void Party::LoadPlaylist(ListId id) {
    Event e(*this);
    const auto chosen = platform::UserInterface().OpenFiles(tracks::OpenPlayListDialog1());
    if (!chosen.empty()) {
        const QString file = QString::fromStdU16String(chosen.front());
        tracks::LVfromFile(
            List(id), file, [this](const QString& line) { Log(line); },
            [this](const QString& text) { view_.AddDetails({text}); });
        Log(QStringLiteral("Geladen: \r\n\"") + file + u'"');
    }
    Log(QStringLiteral("Erzeuge Playlist"));
    event_->refresh |= kAllFiles;
    Step(ControlStep::ListsChanged);
    SetPanel(4, QString());
    ShowWebConfig();
    e.Finish();
}

void Party::SavePlaylist(ListId id) {
    if (const auto chosen = platform::UserInterface().SaveFile(tracks::SaveListDialog1()))
        tracks::LVtoFile(List(id), QString::fromStdU16String(*chosen));
}

void Party::SortPool(ListId id, int column) {
    Event e(*this);
    sortColumn_ = column;
    sortDescending_ = column == sortLastColumn_ && !sortDescending_;
    sortLastColumn_ = column;
    tracks::SortList(List(id), column, sortDescending_);
    e.Finish();
}

}  // namespace session
