// What plays now, from the queue player's rows and the decks.
#include "app/now_playing.h"

#include <QRegularExpression>

namespace app {

bool IsGuestRequest(const tracks::TrackRow& row) {
    // Files carry the word for a file and presets their list's source; a guest is a numeric
    // IPv4 or IPv6 address.
    static const QRegularExpression address(QStringLiteral("^(\\d{1,3}(\\.\\d{1,3}){3}|[0-9A-Fa-f]*:[0-9A-Fa-f:.]*)$"));
    return address.match(row.Src).hasMatch();
}

NowPlaying NowPlayingIn(session::Party& party) {
    const int row = party.Player().CurIndex();
    if (!party.AnyDeckBusy() || !party.Queue().ValidIndex(row)) return {};
    const QString file = party.Queue().SubItem(row, tracks::siFileName);
    // In the overlap both decks play: the one holding the current row's file is the one now.
    const playback::AudioDeck* busy = nullptr;
    for (int n : {1, 2}) {
        const playback::AudioDeck& deck = party.Deck(n);
        if (deck.Mode() != playback::mpPlaying && deck.Mode() != playback::mpPaused) continue;
        if (deck.FileName() == file) return {row, &deck};
        busy = busy ? busy : &deck;
    }
    return {row, busy};
}

QString RoomMenuCaption(const platform::DisplayTexts& texts) {
    const std::u16string word = texts.Get(u"room_open");
    return QString::fromStdU16String(word.empty() ? std::u16string(settings::LanguageDefault(u"room_open")) : word);
}

ui::RoomView RoomViewOf(session::Party& party) {
    const tracks::TrackList& queue = party.Queue();
    const auto track = [&](int row) {
        const tracks::TrackRow& r = queue.Row(row);
        const QString title = r.Title.isEmpty() ? r.FileName.section(QLatin1Char('/'), -1) : r.Title;
        return ui::RoomTrack{title, r.Artist, IsGuestRequest(r)};
    };
    ui::RoomView v;
    const NowPlaying now = NowPlayingIn(party);
    int next = -1;
    if (now.row >= 0) {
        v.now = track(now.row);
        if (now.deck) {
            v.positionMs = now.deck->Position();
            v.lengthMs = now.deck->Length();
        }
        if (party.Player().PlayOn()) next = party.Player().NextIndex();
    } else if (!party.AnyDeckBusy() && !party.QueueStartedOnce()) {
        // Before the night starts: what Play List will start. Once it has played, a stopped
        // queue promises nothing.
        next = queue.ValidIndex(queue.SelectedIndex()) ? queue.SelectedIndex() : 0;
    }
    if (queue.ValidIndex(next)) {
        v.next = track(next);
        for (int row = next + 1; row < queue.Count() && v.later.size() < ui::RoomDisplay::kLaterRows; ++row)
            v.later.push_back(track(row));
    }
    v.guestAddress = party.Web().guestURL;
    v.texts = ui::RoomTextsFrom(party.Texts());
    return v;
}

}  // namespace app
