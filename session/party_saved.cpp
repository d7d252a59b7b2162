// The party as it is saved between runs, and taken up again.
#include "session/party.h"
#include "session/party_inner.h"
#include "web/listener.h"

namespace session {

Party::Saved Party::SavedNow() const {
    // Before the first Play List no row has been heard: there is no current row to keep.
    return {queueStartedOnce_ ? player_->CurIndex() : -1, settings_, languageLoaded_, listener_ && listener_->Active()};
}

void Party::NoteChanges() {
    Saved now = SavedNow();
    const bool changed = listsChanged_ || !(now == saved_);
    listsChanged_ = false;
    saved_ = std::move(now);
    if (changed && changed_) changed_();
}

PartySnapshot Party::SavedParty() const {
    PartySnapshot s;
    s.queue = lists_[0]->Rows();
    s.requests = lists_[1]->Rows();
    s.guestPool = lists_[2]->Rows();
    s.presets = lists_[3]->Rows();
    s.current = SavedNow().current;
    s.settings = settings_;
    s.language = languageLoaded_;
    s.webServerOn = listener_->Active();
    return s;
}

std::optional<std::vector<settings::LanguageText>> Party::Resume(const PartySnapshot& saved) {
    Event e(*this);
    std::optional<std::vector<settings::LanguageText>> texts;
    if (!saved.language.isEmpty() && saved.language != languageLoaded_) texts = LoadLanguage(saved.language);
    // The record whole, as it was in force; the named lists are not loaded again: the saved
    // rows are the night.
    settings_ = saved.settings;
    const std::pair<ListId, const std::vector<tracks::TrackRow>*> lists[] = {
        {ListId::Queue, &saved.queue},
        {ListId::Requests, &saved.requests},
        {ListId::Pool, &saved.guestPool},
        {ListId::Presets, &saved.presets}};
    for (const auto& [id, rows] : lists) {
        List(id).ClearRows();
        List(id).AppendRows(*rows);
    }
    if (Queue().ValidIndex(saved.current)) {
        player_->FindCurrentAgain(Queue().SubItem(saved.current, tracks::siFileName));
        Queue().SelectRow(saved.current);  // Play List takes the night up at this row
        queueStartedOnce_ = true;
    }
    // The controls the lists allow, then the options as their clicks would set them, with the
    // timers they start.
    Step(ControlStep::ListsChanged);
    Step(ControlStep::Forward);
    GuestUseChanged();
    PresetUseChanged();
    event_->refresh |= kPoolWords;
    ShowWebConfig();
    e.Finish();
    return texts;
}

}  // namespace session
