#include "tests/support/test_deck.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

using namespace playback;

namespace {

struct TestDeckFixture : ::testing::Test {
    std::shared_ptr<TTestClock> clock = std::make_shared<TTestClock>();
    std::unique_ptr<AudioDeck> deck = TestDeckFactory(clock)();

    void OpenFile(const QString& path, int length) {
        clock->SetLength(path, length);
        deck->SetFileName(path);
        deck->Open();
    }
};

TEST_F(TestDeckFixture, PlaysWithTheClockUntilTheEnd) {
    OpenFile("/music/a.mp3", 10000);
    EXPECT_TRUE(deck->IsOpen());
    EXPECT_EQ(deck->Mode(), mpStopped);
    EXPECT_EQ(deck->Length(), 10000);
    EXPECT_EQ(deck->Position(), 0);

    clock->Advance(500);  // time before Play does not count
    deck->Play();
    EXPECT_EQ(deck->Mode(), mpPlaying);
    clock->Advance(9999);
    EXPECT_EQ(deck->Position(), 9999);
    EXPECT_EQ(deck->Mode(), mpPlaying);
    clock->Advance(1);
    EXPECT_EQ(deck->Mode(), mpStopped);
    clock->Advance(5000);
    EXPECT_EQ(deck->Position(), 10000);  // never beyond the length
    EXPECT_TRUE(deck->IsOpen());

    deck->Play();  // at the end: nothing left to play
    EXPECT_EQ(deck->Mode(), mpStopped);
}

TEST_F(TestDeckFixture, PauseResumeStopAndSeek) {
    OpenFile("/music/a.mp3", 10000);
    deck->Play();
    clock->Advance(2000);
    deck->Pause();
    EXPECT_EQ(deck->Mode(), mpPaused);
    clock->Advance(3000);
    EXPECT_EQ(deck->Position(), 2000);
    deck->Play();  // resumes
    EXPECT_EQ(deck->Mode(), mpPlaying);
    clock->Advance(1000);
    EXPECT_EQ(deck->Position(), 3000);

    deck->SetPosition(7000);  // halts until the next Play
    EXPECT_EQ(deck->Mode(), mpStopped);
    clock->Advance(1000);
    EXPECT_EQ(deck->Position(), 7000);
    deck->Play();
    clock->Advance(500);
    EXPECT_EQ(deck->Position(), 7500);

    deck->SetPosition(99999);
    EXPECT_EQ(deck->Position(), 10000);
    deck->SetPosition(-5);
    EXPECT_EQ(deck->Position(), 0);

    deck->Play();
    clock->Advance(1000);
    deck->Stop();  // stays open, keeps the position
    EXPECT_EQ(deck->Mode(), mpStopped);
    EXPECT_TRUE(deck->IsOpen());
    clock->Advance(1000);
    EXPECT_EQ(deck->Position(), 1000);

    deck->Pause();  // not playing: no effect
    EXPECT_EQ(deck->Mode(), mpStopped);
}

TEST_F(TestDeckFixture, ClosedDeckIgnoresCommands) {
    deck->Stop();
    deck->Close();
    deck->Play();
    deck->Pause();
    deck->SetPosition(100);
    EXPECT_FALSE(deck->IsOpen());
    EXPECT_EQ(deck->Mode(), mpStopped);
    EXPECT_EQ(deck->Position(), 0);
    EXPECT_EQ(deck->Length(), 0);

    OpenFile("/music/a.mp3", 4000);
    deck->Play();
    clock->Advance(1000);
    deck->Close();
    EXPECT_FALSE(deck->IsOpen());
    EXPECT_EQ(deck->Mode(), mpStopped);
    EXPECT_EQ(deck->Position(), 0);
}

TEST_F(TestDeckFixture, FailedOpenLeavesTheDeckClosed) {
    OpenFile("/music/a.mp3", 4000);
    deck->Play();
    clock->SetUnplayable("/music/broken.mp3", "Unsupported format");
    deck->SetFileName("/music/broken.mp3");
    try {
        deck->Open();
        FAIL() << "Open must fail";
    } catch (const DeckError& e) {
        EXPECT_STREQ(e.what(), "Unsupported format");
    }
    EXPECT_FALSE(deck->IsOpen());
    EXPECT_EQ(deck->Mode(), mpStopped);

    deck->SetFileName("/music/unknown.mp3");  // never registered
    try {
        deck->Open();
        FAIL() << "Open must fail";
    } catch (const DeckError& e) {
        EXPECT_NE(std::string(e.what()).find("unknown.mp3"), std::string::npos);
    }
    clock->SetDefaultLength(3000);
    deck->Open();
    EXPECT_EQ(deck->Length(), 3000);
    EXPECT_EQ(deck->FileName(), "/music/unknown.mp3");

    // Reopening starts the new file from the beginning.
    OpenFile("/music/b.mp3", 8000);
    EXPECT_EQ(deck->Position(), 0);
    EXPECT_EQ(deck->Length(), 8000);
}

// Fades run on the clock as on a real deck: a fade-out stops the deck where it falls silent,
// Pause holds it, a fade-in turns it back, Play after it goes on; Open forgets gain and fades.
TEST_F(TestDeckFixture, FadesRunOnTheClock) {
    using D = AudioDeck&;
    using C = TTestClock&;
    const std::tuple<const char*, std::function<void(D, C)>, TMPModes, int> cases[] = {
        {"a fade-out ends the play", [](D d, C c) { d.Play(); c.Advance(1000); d.FadeOut(3000); c.Advance(5000); }, mpStopped, 4000},
        {"paused in a fade-out, it fades on after Go On",
         [](D d, C c) { d.Play(); d.FadeOut(2000); c.Advance(500); d.Pause(); c.Advance(5000); d.Play(); c.Advance(1000); }, mpPlaying, 1500},
        {"a fade-in turns it back", [](D d, C c) { d.Play(); d.FadeOut(2000); c.Advance(1000); d.FadeIn(2000); c.Advance(5000); }, mpPlaying, 6000},
        {"Play after the fade-out goes on", [](D d, C c) { d.Play(); d.FadeOut(1000); c.Advance(2000); d.Play(); c.Advance(500); }, mpPlaying, 1500},
        {"the file's end comes first", [](D d, C c) { d.Play(); c.Advance(9000); d.FadeOut(3000); c.Advance(2000); }, mpStopped, 10000},
    };
    for (const auto& [name, steps, mode, position] : cases) {
        OpenFile("/music/a.mp3", 10000);
        steps(*deck, *clock);
        EXPECT_EQ(deck->Mode(), mode) << name;
        EXPECT_EQ(deck->Position(), position) << name;
    }
    auto& test = static_cast<TTestDeck&>(*deck);
    deck->SetGain(-4.5);
    deck->FadeIn(3000);
    EXPECT_EQ(std::tuple(test.GainDb(), test.FadeInMs()), std::tuple(-4.5, 3000));
    EXPECT_EQ(clock->Commands().mid(clock->Commands().size() - 2), QStringList({"1:SetGain", "1:FadeIn"}));
    OpenFile("/music/b.mp3", 10000);
    EXPECT_EQ(std::tuple(test.GainDb(), test.FadeInMs()), std::tuple(0.0, 0));
}

TEST(TestDeck, DecksShareTheClockAndLogCommands) {
    auto clock = std::make_shared<TTestClock>();
    auto factory = TestDeckFactory(clock);
    auto one = factory(), two = factory();
    clock->SetLength("/a.mp3", 5000);
    clock->SetLength("/b.mp3", 5000);
    one->SetFileName("/a.mp3");
    one->Open();
    one->Play();
    clock->Advance(4000);
    two->SetFileName("/b.mp3");
    two->Open();
    two->Play();
    clock->Advance(1500);
    EXPECT_EQ(one->Mode(), mpStopped);
    EXPECT_EQ(two->Mode(), mpPlaying);
    EXPECT_EQ(two->Position(), 1500);
    EXPECT_EQ(clock->DecksMade(), 2);
    EXPECT_EQ(clock->Commands(), QStringList({"1:Open", "1:Play", "2:Open", "2:Play"}));
    EXPECT_THROW(clock->Advance(-1), std::invalid_argument);
}

}  // namespace
