#include "playback/audio_deck.h"
#include "playback/test_deck.h"

namespace playback {

// Stand-in until the libsndfile deck lands: a silent deck whose clock never moves.
std::unique_ptr<AudioDeck> MakeRealDeck() {
    static auto clock = [] {
        auto c = std::make_shared<TTestClock>();
        c->SetDefaultLength(0);
        return c;
    }();
    return std::make_unique<TTestDeck>(clock);
}

}  // namespace playback
