// Queue playback, transport and status marking in the party, on test decks whose position moves
// only with the test clock.
#include <QFile>
#include <functional>
#include <utility>

#include "tests/session/party_fixture.h"

namespace session_test {
namespace {

using playback::mpPaused;
using playback::mpPlaying;
using playback::mpStopped;

constexpr int kMinute = 60 * 1000;

using Playback = PartyTest;

TEST_F(Playback, HandOverStartsTheNextRowAtTheFirstTickInsideTheFadeWindow) {
    const QString a = AddRow("a.mp3", 3 * kMinute), b = AddRow("b.mp3", 3 * kMinute);
    AddRow("c.mp3", 3 * kMinute);
    party.SetFade(10);
    Run([&] { party.PlayList(); });

    ASSERT_EQ(Deck(1).Mode(), mpPlaying);
    EXPECT_EQ(Deck(1).OpenedFile(), a);
    EXPECT_TRUE(Deck(1).Notify() && Deck(2).Notify());
    EXPECT_TRUE(party.Timers().tick && party.Timers().presets);
    EXPECT_EQ(party.Panel(1), "Web configuration missing");
    EXPECT_EQ(party.Queue().Caption(0), "running");
    EXPECT_EQ(party.Player().CurIndex(), 0);
    EXPECT_EQ(party.Player().NextIndex(), 1);
    EXPECT_FALSE(party.ControlStates().playList);
    EXPECT_TRUE(party.ControlStates().stop);

    for (int s = 1; s <= 170; ++s) Tick();
    EXPECT_EQ(Deck(1).Position(), 170000);
    EXPECT_FALSE(Deck(2).IsOpen()) << "2:50 of 3:00 with 10 s is not yet beyond the window";
    EXPECT_EQ(party.Panel(0), "21:07:45") << "the clock shows while a deck plays";

    Tick();
    EXPECT_EQ(Deck(2).OpenedFile(), b);
    EXPECT_EQ(Deck(2).Mode(), mpPlaying);
    EXPECT_TRUE(Deck(2).Wait());
    EXPECT_EQ(Deck(1).Mode(), mpPlaying) << "the tracks overlap";
    EXPECT_EQ(party.Panel(4), b);
    EXPECT_EQ(Words(ListId::Queue), (QStringList{"played", "running", "next"}));
    EXPECT_EQ(party.Player().CurIndex(), 1);
    EXPECT_EQ(party.Queue().SelectedIndex(), 2);
    EXPECT_EQ(party.Banner().now, "\"Title b.mp3\" (Artist b.mp3)");
    EXPECT_EQ(party.Banner().next, "Coming up: \"Title c.mp3\"");

    for (int s = 0; s < 10; ++s) Tick();
    EXPECT_EQ(Deck(1).Mode(), mpStopped);
    EXPECT_TRUE(party.Timers().tick);
}

// Tracks are measured as they join a list while leveling or no dead air is on, the row about to
// play first; the measurement reaches the deck's gain and the queue's tooltip.
TEST_F(Playback, TheSoundOptionsMeasureTracksAndLevelTheDecks) {
    const QString a = AddRow("a.mp3", 3 * kMinute), b = AddRow("b.mp3", 3 * kMinute);
    EXPECT_TRUE(measured.isEmpty()) << "all off, nothing is measured";
    EXPECT_EQ(party.LoudnessText(a), "");
    Confirm([](settings::TSetRec& r) { r.CB_crossfade = true; });
    EXPECT_TRUE(measured.isEmpty()) << "a crossfade needs no measurement";

    Confirm([](settings::TSetRec& r) { r.CB_leveling = true; });
    EXPECT_EQ(measured, (QStringList{"!a.mp3", "a.mp3", "b.mp3"})) << "the listed ones, the first to play first";
    party.Pool().AppendRow(Row(File("p.mp3")));
    EXPECT_EQ(measured.last(), "p.mp3");
    EXPECT_EQ(party.LoudnessText(a), "Loudness: being measured\u2026");

    playback::TrackAnalysis quiet;
    quiet.ok = true;
    quiet.loudness = -20.04;
    quiet.peak = 0.25;
    playback::TrackAnalysis failed;
    failed.error = "no sound in it";
    party.TakeAnalysis(a, quiet);
    party.TakeAnalysis(b, failed);
    EXPECT_EQ(party.LoudnessText(a), "Loudness: -20.0 LUFS, played at +6.0 dB");
    EXPECT_EQ(party.LoudnessText(b), "Loudness: not measured");
    EXPECT_TRUE(view.log.last().endsWith("no sound in it"));

    measured.clear();
    Run([&] { party.PlayList(); });
    EXPECT_NEAR(Deck(1).GainDb(), 6.04, 0.01);
    EXPECT_EQ(measured, QStringList{}) << "b was measured already";
    const QString c = AddRow("c.mp3", 3 * kMinute);
    Tick();
    EXPECT_EQ(measured, (QStringList{"c.mp3"}));
    (void)c;
}

// With no fade no window ever opens: each track ends before its hand-over, and the next one
// follows at that tick instead of the queue ending after its first track.
TEST_F(Playback, WithoutFadeTheRowsPlayBackToBackThenTheQueueStops) {
    AddRow("a.wav", 5000);
    AddRow("b.wav", 5000);
    Run([&] { party.PlayList(); });
    EXPECT_EQ(PlayOn(30), (QStringList{"1:a.wav", "2:b.wav"}));
    EXPECT_TRUE(view.log.join('\n').contains("a.wav")) << "the log tells why b.wav started without a hand-over";
    ASSERT_TRUE(Stopped());
    EXPECT_EQ(party.Panel(1), "Mediaplayer stopped");
    EXPECT_TRUE(party.Panel(0).isEmpty());
    EXPECT_TRUE(party.ControlStates().playList);
    EXPECT_FALSE(party.ControlStates().pause);
    EXPECT_EQ(party.Timers(), session::TimerPlan{});
    EXPECT_EQ(view.stops, 1) << "the banner closes";
}

TEST_F(Playback, PlayListOnceEndsAfterTheLastRowAndRepeatStartsOver) {
    for (const char* n : {"a.mp3", "b.mp3", "c.mp3"}) AddRow(n, 20000);
    party.SetFade(5);
    Run([&] { party.PlayList(); });
    EXPECT_EQ(PlayOn(120), (QStringList{"1:a.mp3", "2:b.mp3", "1:c.mp3"}));
    ASSERT_TRUE(Stopped());
    EXPECT_EQ(Words(ListId::Queue), (QStringList{"played", "played", "running"}))
        << "the last row keeps the mark it had while playing";

    // Repeat: after the last row the first one starts again.
    party.Queue().SelectRow(0);
    Run([&] { party.SelectRepeatList(); });
    EXPECT_FALSE(party.Settings().RB_finish);
    Run([&] { party.PlayList(); });
    EXPECT_EQ(PlayOn(50), (QStringList{"1:a.mp3", "2:b.mp3", "1:c.mp3", "2:a.mp3"}));
    EXPECT_FALSE(Stopped());
    EXPECT_EQ(party.Player().CurIndex(), 0);
    EXPECT_EQ(party.Player().NextIndex(), 1);
}

TEST_F(Playback, OneRowPlaysToItsEndAndTheIdleDeckIsLeftAlone) {
    AddRow("only.wav", 8000);
    party.SetFade(3);
    Run([&] { party.PlayList(); });
    EXPECT_EQ(PlayOn(30), QStringList{"1:only.wav"});
    EXPECT_TRUE(Stopped());
    EXPECT_FALSE(Deck(2).IsOpen());
    party.SelectRepeatList();
    Run([&] { party.PlayList(); });
    EXPECT_EQ(PlayOn(7), (QStringList{"1:only.wav", "2:only.wav"}));
}

TEST_F(Playback, ChoosingTheStartRowAndRepeatedPaths) {
    for (int i = 0; i < 6; ++i) AddRow(QStringLiteral("%1.mp3").arg(i), 10000);
    party.SetFade(2);
    party.Queue().SelectRow(4);
    Run([&] { party.PlayList(); });
    EXPECT_EQ(PlayOn(60), (QStringList{"1:4.mp3", "2:5.mp3"}));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(party.Queue().Caption(i), "ready") << i;

    // A path queued twice: starting the first copy jumps to the second, the rows between are skipped.
    party.Queue().ClearRows();
    AddRow("a.mp3", 10000);
    AddRow("b.mp3", 10000);
    AddRow("c.mp3", 10000);
    const TrackRow again = party.Queue().Row(0);
    party.Queue().AppendRow(again);
    AddRow("d.mp3", 10000);
    party.Queue().SelectRow(-1);
    Run([&] { party.PlayList(); });
    EXPECT_EQ(PlayOn(60), (QStringList{"1:a.mp3", "2:b.mp3", "1:c.mp3", "2:a.mp3", "1:d.mp3"}));
    party.Queue().ClearRows();
    AddRow("b.mp3", 10000);
    party.Queue().AppendRow(again);
    AddRow("x.mp3", 10000);
    party.Queue().AppendRow(again);
    AddRow("y.mp3", 10000);
    party.Queue().SelectRow(-1);
    Run([&] { party.PlayList(); });
    EXPECT_EQ(PlayOn(60), (QStringList{"1:b.mp3", "2:a.mp3", "1:y.mp3"}));
}

TEST_F(Playback, AMissingStartFileStartsNothingAndTheFirstTickStops) {
    QFile::remove(AddRow("gone.mp3", 10000));
    Run([&] { party.PlayList(); });
    EXPECT_FALSE(Deck(1).IsOpen());
    EXPECT_TRUE(boxes->errors.empty());
    EXPECT_TRUE(party.Timers().tick);
    Tick();
    EXPECT_TRUE(Stopped());
    EXPECT_EQ(party.Panel(1), "Mediaplayer stopped");
}

TEST_F(Playback, AnUnplayableTrackIsSkippedAfterOneMessage) {
    AddRow("a.mp3", 20000);
    clock->SetUnplayable(AddRow("bad.mp3", 20000), "unsupported format");
    AddRow("c.mp3", 20000);
    party.SetFade(5);
    Run([&] { party.PlayList(); });
    EXPECT_EQ(PlayOn(40), (QStringList{"1:a.mp3", "2:bad.mp3", "2:c.mp3"}));
    ASSERT_EQ(boxes->errors.size(), 1u);
    EXPECT_EQ(boxes->errors[0], u"unsupported format");
    EXPECT_EQ(party.Queue().Caption(1), "played");
}

TEST_F(Playback, PauseDuringAnOverlapHoldsBothDecksUntilGoOn) {
    for (const char* n : {"a.mp3", "b.mp3", "c.mp3"}) AddRow(n, 20000);
    party.SetFade(8);
    Run([&] { party.PlayList(); });
    for (int i = 0; i < 30 && Deck(2).Mode() != mpPlaying; ++i) Tick();
    ASSERT_EQ(Deck(1).Mode(), mpPlaying);
    const int pos1 = Deck(1).Position(), pos2 = Deck(2).Position();
    Run([&] { party.Pause(); });
    EXPECT_EQ(Deck(1).Mode(), mpPaused);
    EXPECT_EQ(Deck(2).Mode(), mpPaused);
    EXPECT_TRUE(party.AnyDeckPaused());
    // While paused the ticks go on but nothing moves and nothing is handed over.
    for (int i = 0; i < 30; ++i) Tick();
    EXPECT_EQ(Deck(1).Position(), pos1);
    EXPECT_EQ(Deck(2).Position(), pos2);
    EXPECT_TRUE(party.Timers().tick);
    EXPECT_EQ(party.Player().CurIndex(), 1);
    EXPECT_EQ(Words(ListId::Queue), (QStringList{"played", "running", "next"})) << "a paused deck keeps its marks";
    Run([&] { party.Pause(); });
    EXPECT_EQ(Deck(1).Mode(), mpPlaying);
    EXPECT_EQ(Deck(2).Mode(), mpPlaying);
    Tick();
    EXPECT_EQ(Deck(2).Position(), pos2 + 1000);
}

// Mid-party, every command that changes a list leaves the transport as playing set it, and
// Play List starts nothing on top of what plays, playing or paused.
TEST_F(Playback, ListCommandsMidPartyLeaveTheTransportAndPlayListStartsNothingMore) {
    AddRow("a.mp3", 3 * kMinute);
    AddRow("b.mp3", 3 * kMinute);
    const QString added = File("added.mp3", kMinute), list = File("list.lst");
    std::ofstream(list.toStdString()) << "[0]\nTitle=Listed\nFileName=" << added.toStdString() << "\n";
    struct Command {
        const char* name;
        std::function<void()> run;
    };
    const Command commands[] = {
        {"File > Add to the queue", [&] { party.AddAudioFile(); }},
        {"Add Sound Files to the guest pool", [&] { party.AddSoundFiles(ListId::Pool); }},
        {"Add Sound Files to the presets", [&] { party.AddSoundFiles(ListId::Presets); }},
        {"Load Playlist into the queue", [&] { party.LoadPlaylist(ListId::Queue); }},
        {"Clear List of the presets", [&] { party.ClearList(ListId::Presets); }},
        {"Settings > Player Mode, OK", [&] { party.CloseSettings(party.Settings()); }},
    };
    for (const bool paused : {false, true}) {
        for (const char* seconds : {"6", "0"}) {
            for (const Command& c : commands) {
                const std::string name = std::string(c.name) + (paused ? ", paused" : ", playing") + ", jump " + seconds;
                Confirm([&](settings::TSetRec& r) { r.FFsecText = seconds; });
                party.Queue().SelectRow(0);
                Run([&] { party.PlayList(); });
                ASSERT_EQ(Deck(1).Mode(), mpPlaying) << name;
                if (paused) Run([&] { party.Pause(); });
                boxes->openAnswers.push_back({added.toStdU16String()});
                boxes->openAnswers.push_back({list.toStdU16String()});
                Run(c.run);
                boxes->openAnswers.clear();
                const session::Controls& now = party.ControlStates();
                EXPECT_FALSE(now.playList) << name;
                EXPECT_TRUE(now.pause && now.stop) << name;
                EXPECT_EQ(now.forward, std::string(seconds) != "0") << name;

                NewOpens();
                Run([&] { party.PlayList(); });  // as a click would, were the button not disabled
                EXPECT_TRUE(NewOpens().isEmpty()) << name << ": a second track started";
                EXPECT_EQ(Deck(1).Mode(), paused ? mpPaused : mpPlaying) << name;
                EXPECT_FALSE(Deck(2).IsOpen()) << name;
                Run([&] { party.Stop(); });
                EXPECT_TRUE(party.ControlStates().playList) << name;
            }
        }
    }
    EXPECT_TRUE(boxes->errors.empty()) << QString::fromStdU16String(boxes->errors.front()).toStdString();
}

TEST_F(Playback, StopWhilePausedClosesTheDeckAndReturnsToStopped) {
    AddRow("a.mp3", 20000);
    AddRow("b.mp3", 20000);
    Run([&] { party.PlayList(); });
    Tick();
    Run([&] { party.Pause(); });
    Run([&] { party.Stop(); });
    EXPECT_FALSE(Deck(1).IsOpen());
    EXPECT_TRUE(Stopped());
    EXPECT_FALSE(party.Timers().presets);
    EXPECT_TRUE(party.ControlStates().playList);
    EXPECT_FALSE(party.ControlStates().stop);
    EXPECT_EQ(party.Panel(1), "Mediaplayer stopped");
    EXPECT_EQ(party.Queue().Caption(0), "running") << "Stop leaves the captions alone";
}

TEST_F(Playback, ForwardJumpsOnlyWhenEnoughRemainsAndRejectsANonNumber) {
    AddRow("a.mp3", 3 * kMinute + 5000);
    Confirm([](settings::TSetRec& r) { r.FFsecText = "6"; });
    Run([&] { party.PlayList(); });
    for (int i = 0; i < 179; ++i) Tick();
    Run([&] { party.Forward(); });
    EXPECT_EQ(Deck(1).Position(), 179000) << "6 s remain, 7 are needed";
    EXPECT_EQ(Deck(1).Mode(), mpPlaying);

    Run([&] { party.Stop(); });
    Run([&] { party.PlayList(); });
    for (int i = 0; i < 177; ++i) Tick();
    Run([&] { party.Forward(); });
    EXPECT_EQ(Deck(1).Position(), 183000);

    // A record that holds no number (the dialog never confirms one): the jump is refused.
    Run([&] { party.Stop(); });
    Run([&] { party.PlayList(); });
    Confirm([](settings::TSetRec& r) { r.FFsecText = "ten"; });
    const auto before = clock->Commands().size();
    Run([&] { party.Forward(); });
    ASSERT_EQ(boxes->errors.size(), 1u);
    EXPECT_EQ(boxes->errors[0], u"'ten' is not a valid integer value");
    EXPECT_EQ(clock->Commands().size(), before) << "no deck is moved";
}

// A test deck that runs a hook when it opens, once.
class HookDeck : public playback::TTestDeck {
public:
    using TTestDeck::TTestDeck;
    std::function<void()> onOpen;
    void Open() override {
        if (auto hook = std::exchange(onOpen, nullptr)) hook();
        TTestDeck::Open();
    }
};

TEST(PlaybackTick, ATickDoesNotStartInsideAnotherTick) {
    testutil::TempDir dir;
    platform::ScopedRecorder boxes;
    platform::InlineDispatcher ui;
    RecordingView view;
    auto clock = std::make_shared<playback::TTestClock>();
    session::Party party([clock]() -> std::unique_ptr<playback::AudioDeck> { return std::make_unique<HookDeck>(clock); },
                         ui, view, {});
    for (const char* n : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}) {
        const QString path = QString::fromStdString((dir / n).string());
        std::ofstream(path.toStdString()).put('x');
        clock->SetLength(path, 10000);
        TrackRow row;
        row.FileName = path;
        party.Queue().AppendRow(row);
    }
    party.SetFade(5);
    party.PlayList();
    // The hand-over's Open lets a pending tick in (as a modal message or an event pass would).
    static_cast<HookDeck&>(party.Deck(2)).onOpen = [&] { party.Tick(); };
    for (int i = 0; i < 6; ++i) {
        clock->Advance(1000);
        party.Tick();
    }
    EXPECT_EQ(party.Deck(2).FileName(), QString::fromStdString((dir / "b.mp3").string()));
    EXPECT_EQ(party.Player().CurIndex(), 1) << "one hand-over, not two";
    EXPECT_EQ(party.Deck(1).Mode(), mpPlaying);
}

using QueueStates = PartyTest;

TEST_F(QueueStates, TrimmingRemovesOneOldRowPerCallDownToTheLimit) {
    for (int i = 0; i < 15; ++i) AddRow(QStringLiteral("%1.mp3").arg(i), 10000);
    Confirm([](settings::TSetRec& r) { r.number_block = 10; });
    party.Queue().SelectRow(12);
    Run([&] { party.PlayList(); });
    ASSERT_EQ(party.Player().CurIndex(), 12);
    // Each event that refreshes the queue trims one row, down to ten kept before the current one.
    const QString current = party.Queue().SubItem(12, tracks::siFileName);
    const QList<int> counts{14, 13, 13, 13, 13}, cur{11, 10, 10, 10, 10};
    for (int call = 0; call < 5; ++call) {
        Run([&] { party.SetBlockRecent(true); });
        EXPECT_EQ(party.Queue().Count(), counts[call]) << call;
        EXPECT_EQ(party.Player().CurIndex(), cur[call]) << call;
    }
    EXPECT_EQ(party.Queue().SubItem(party.Player().CurIndex(), tracks::siFileName), current);
    EXPECT_EQ(Names(ListId::Queue).first(), "2.mp3");
    EXPECT_EQ(party.Player().NextIndex(), 11);
    const QStringList words = Words(ListId::Queue);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(words[i], "blocked") << i;
    EXPECT_EQ(words[10], "running") << "the current row keeps its mark";
    EXPECT_EQ(words[12], "soon");

    // Limit 0: every refresh with a current row above 0 removes the first row.
    Confirm([](settings::TSetRec& r) { r.number_block = 0; });
    Run([&] { party.SetBlockRecent(true); });
    EXPECT_EQ(party.Queue().Count(), 12);
    EXPECT_EQ(party.Player().CurIndex(), 9);
}

TEST_F(QueueStates, IndicesThatNameNoRowAreNoTrack) {
    for (int i = 0; i < 4; ++i) AddRow(QStringLiteral("%1.mp3").arg(i), 10000);
    party.SetFade(3);
    party.Queue().SelectRow(2);
    Run([&] { party.PlayList(); });
    ASSERT_EQ(party.Player().CurIndex(), 2);
    EXPECT_EQ(NewOpens(), QStringList{"1:2.mp3"});

    // The list is cleared while the track plays: nothing names a row any more.
    Run([&] { party.ClearList(ListId::Queue); });
    Run([&] { party.SetBlockRecent(true); });
    EXPECT_EQ(party.Queue().Count(), 0);
    const QString now = party.Banner().now;
    EXPECT_EQ(PlayOn(20), QStringList{});
    EXPECT_TRUE(Stopped());
    EXPECT_TRUE(boxes->errors.empty());
    EXPECT_EQ(party.Banner().now, now) << "the banner keeps the track that played";

    // Rows gone from under both indices: the next hand-over takes what the rule gives.
    Run([&] { party.SetBlockRecent(false); });
    for (int i = 0; i < 3; ++i) AddRow(QStringLiteral("%1.mp3").arg(i), 10000);
    party.SelectRepeatList();
    party.Queue().SelectRow(1);
    Run([&] { party.PlayList(); });
    party.Queue().DeleteRow(2);
    party.Queue().DeleteRow(1);
    EXPECT_EQ(PlayOn(10), (QStringList{"1:1.mp3", "2:0.mp3"}));
    EXPECT_EQ(party.Player().CurIndex(), 0);
    EXPECT_EQ(party.Queue().Caption(0), "running");
}

}  // namespace
}  // namespace session_test
