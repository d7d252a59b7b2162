// The party's playback: the queue as the queue player sees it, the transport, the tick, and the
// options of the mode panel.
#include "session/party.h"
#include "session/party_inner.h"
#include "tracks/time_format.h"
#include "web/listener.h"

namespace session {

void Party::QueueStarted() {
    queueStartedOnce_ = true;
    event_->decks = true;
    ShowDeckLines();
    SetPanel(1, Text(u"H25"));
    Step(ControlStep::Playing);
}

void Party::QueueStopped() {
    event_->decks = true;
    view_.PlaybackStopped();
    MarkQueue();
    if (CheckWebConfig() || listener_->Active()) event_->pages |= kPagesFollow;
    Step(ControlStep::Stopped);
    SwitchTimers(TimerCause::PlaybackStopped);
    SetPanel(0, QString());
    SetPanel(1, Text(u"H26"));
}

void Party::ShowDeckLines() {
    // A row that no longer exists leaves the now line naming the track the deck still plays.
    const tracks::TrackList& q = Queue();
    const int cur = player_->CurIndex(), next = player_->NextIndex();
    if (q.ValidIndex(cur))
        banner_.now = QStringLiteral("\"%1\" (%2)").arg(q.SubItem(cur, tracks::siTitle), q.SubItem(cur, tracks::siArtist));
    banner_.next = q.ValidIndex(next)
                       ? QStringLiteral("%1: \"%2\"").arg(Text(u"str_coming_up"), q.SubItem(next, tracks::siTitle))
                       : Text(u"str_coming_up") + QStringLiteral(": ");
}

void Party::MarkQueue() {
    // What the rows show is what they hold while a deck is busy: a saved queue carries these
    // words too.
    if (!AnyDeckBusy()) return;
    MarkRow(Queue(), player_->NextIndex(), u"st_next");
    MarkRow(Queue(), player_->CurIndex(), u"st_running");
}

void Party::PlayList() {
    // Mid-party the queue is already playing: a second start would put a track on top of it.
    if (AnyDeckBusy()) return;
    Event e(*this);
    SwitchTimers(TimerCause::PlayList);
    player_->PlayList();
    event_->refresh |= kQueueStates;
    ShowWebConfig();
    e.Finish();
}

void Party::Pause() {
    Event e(*this);
    player_->Pause();
    event_->decks = true;
    e.Finish();
}

void Party::Stop() {
    Event e(*this);
    player_->StopPlayback();
    event_->decks = true;
    e.Finish();
}

void Party::Forward() {
    Event e(*this);
    player_->Forward();
    event_->decks = true;
    e.Finish();
}

void Party::Tick() {
    // A modal box or an event pass inside a hand-over must not run a second hand-over.
    if (inTick_) return;
    inTick_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{inTick_};
    Event e(*this);
    event_->decks = true;
    if (AnyDeckPlaying()) SetPanel(0, tracks::FormatClock(options_.clock()));
    // A track that stopped before its hand-over is followed at this tick: playback goes on.
    if (deck1_->Mode() == playback::mpStopped && deck2_->Mode() == playback::mpStopped && !player_->StoppedEarly()) {
        SwitchTimers(TimerCause::BothDecksStopped);
        SetPanel(0, QString());
    }
    player_->HandOver();
    ShowDeckLines();
    MarkQueue();
    e.Finish();
}

void Party::CloseDecks() {
    for (playback::AudioDeck* deck : {deck1_.get(), deck2_.get()})
        if (deck->Mode() == playback::mpPlaying) deck->Close();
}

// ---------------------------------------------------------------- the mode panel

void Party::SetFade(int seconds) {
    Event e(*this);
    settings_.FadeSec = static_cast<uint8_t>(seconds);
    e.Finish();
}

void Party::BlockRecentChanged() {
    event_->refresh |= kQueueStates | kPoolWords;
    if (CheckWebConfig() || listener_->Active()) event_->pages |= kPagesFollow;
}

void Party::SetBlockRecent(bool on) {
    Event e(*this);
    settings_.CB_block = on;
    BlockRecentChanged();
    e.Finish();
}

void Party::SelectPlayListOnce() {
    Event e(*this);
    settings_.RB_finish = true;
    settings_.RB_restart = false;
    e.Finish();
}

void Party::SelectRepeatList() {
    Event e(*this);
    settings_.RB_restart = true;
    settings_.RB_finish = false;
    e.Finish();
}

void Party::GuestUseChanged() {
    if (settings_.CB_Guest) SwitchTimers(TimerCause::GuestUse);
    ShowGuestMode();
}

void Party::SetGuestUse(bool on) {
    Event e(*this);
    settings_.CB_Guest = on;
    GuestUseChanged();
    e.Finish();
}

void Party::SelectWebFirst() {
    Event e(*this);
    settings_.RB_web_first = true;
    settings_.RB_web_mix_preselect = false;
    ShowGuestMode();
    e.Finish();
}

void Party::SelectWebMix() {
    Event e(*this);
    settings_.RB_web_mix_preselect = true;
    settings_.RB_web_first = false;
    ShowGuestMode();
    e.Finish();
}

void Party::PresetUseChanged() {
    if (settings_.CB_preset) SwitchTimers(TimerCause::PresetUse);
    ShowPresetMode();
}

void Party::SetPresetUse(bool on) {
    Event e(*this);
    settings_.CB_preset = on;
    PresetUseChanged();
    e.Finish();
}

void Party::SelectInOrder() {
    Event e(*this);
    settings_.RB_preset_1by1 = true;
    settings_.RB_preset_random = false;
    ShowPresetMode();
    e.Finish();
}

void Party::SelectAtRandom() {
    Event e(*this);
    settings_.RB_preset_random = true;
    settings_.RB_preset_1by1 = false;
    ShowPresetMode();
    e.Finish();
}

}  // namespace session
