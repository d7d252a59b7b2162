// The desktop's commands reach the transport buttons' handlers; what plays reaches the desktop.
#include "app/desktop_link.h"

#include <cstdlib>

#include "app/main_window.h"
#include "app/now_playing.h"
#include "platform/guard.h"

namespace app {

namespace {
constexpr qint64 kJumpMs = 2000;  // more than ticks drift: Forward moved the deck
}

DesktopLink::DesktopLink(TForm1& form, QDBusConnection bus)
    : form_(form), player_(std::make_unique<desktop::MprisPlayer>(*this, std::move(bus))) {
    Update();
}

DesktopLink::~DesktopLink() = default;

void DesktopLink::Update() {
    session::Party& party = form_.Party();
    const NowPlaying now = NowPlayingIn(party);
    desktop::PlayerTrack track;
    if (now.row >= 0) {
        const tracks::TrackRow& r = party.Queue().Row(now.row);
        track = {r.FileName, r.Title, r.Artist, r.Album, now.deck ? now.deck->Length() : 0};
    }
    player_->SetTrack(track);
    const bool playing = party.AnyDeckPlaying();
    player_->SetStatus(playing                 ? desktop::PlaybackStatus::Playing
                       : party.AnyDeckPaused() ? desktop::PlaybackStatus::Paused
                                               : desktop::PlaybackStatus::Stopped);
    // A position that moved otherwise than the clock did was jumped: players showing a moving
    // position take it up again.
    const qint64 position = now.deck ? now.deck->Position() : -1;
    if (position >= 0 && track.fileName == lastFile_ && lastPosition_ >= 0) {
        const qint64 expected = lastPosition_ + (lastPlaying_ ? sinceLast_.elapsed() : 0);
        if (std::llabs(position - expected) > kJumpMs) player_->Seeked(position);
    }
    lastFile_ = track.fileName;
    lastPosition_ = position;
    lastPlaying_ = playing;
    sinceLast_.restart();
    const session::Controls& c = party.ControlStates();
    player_->SetButtons({c.playList, c.pause, c.forward, c.stop});
}

void DesktopLink::PlayList() { platform::Guarded([this] { form_.Button_PlayListClick(); }); }
void DesktopLink::PauseOrGoOn() { platform::Guarded([this] { form_.Button_PauseClick(); }); }
void DesktopLink::Forward() { platform::Guarded([this] { form_.Button_FFClick(); }); }
void DesktopLink::Stop() { platform::Guarded([this] { form_.Button_StopClick(); }); }

qint64 DesktopLink::PositionMs() const {
    const NowPlaying now = NowPlayingIn(form_.Party());
    return now.deck ? now.deck->Position() : 0;
}

}  // namespace app
