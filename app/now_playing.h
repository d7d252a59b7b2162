#pragma once
// What plays now and what follows, as the room display and the desktop are shown it.
#include "session/party.h"
#include "ui/room_display.h"

namespace app {

// A row a guest asked for carries the guest's address as its source.
bool IsGuestRequest(const tracks::TrackRow& row);

// The queue row playing now (or paused) and the deck that holds it; row -1 when none does.
struct NowPlaying {
    int row = -1;
    const playback::AudioDeck* deck = nullptr;
};
NowPlaying NowPlayingIn(session::Party& party);

// The room display's menu items, in the active language.
QString RoomMenuCaption(const platform::DisplayTexts& texts);

// The room display's view of the party as it is.
ui::RoomView RoomViewOf(session::Party& party);

}  // namespace app
