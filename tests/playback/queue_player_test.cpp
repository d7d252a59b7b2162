// The queue player on two test decks and a queue in memory: no window, no application object.
#include "playback/queue_player.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/fake_queue.h"
#include "tests/support/test_deck.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace playback;
using St = QueueView::Status;
using test_support::FakeQueue;

class QueuePlayerTest : public ::testing::Test {
protected:
    // Rows for files that exist, each of this length.
    void Fill(int rows, int lengthMs = 20000) {
        for (int i = 0; i < rows; ++i) {
            const auto path = dir / (std::to_string(i) + ".wav");
            std::ofstream(path).put('x');
            const QString file = QString::fromStdString(path.string());
            clock->SetLength(file, lengthMs);
            q.files.push_back(file);
            q.status.push_back(St::Ready);
        }
    }
    // The opens since the last call, as "deck:row".
    std::vector<std::string> NewOpens() {
        std::vector<std::string> out;
        for (const QStringList& cmds = clock->Commands(); seen < cmds.size(); ++seen) {
            if (!cmds[seen].endsWith(QStringLiteral(":Open"))) continue;
            const AudioDeck& d = cmds[seen].startsWith(QStringLiteral("1:")) ? *deck1 : *deck2;
            out.push_back(cmds[seen].left(1).toStdString() + ":" + std::to_string(Row(d)));
        }
        return out;
    }
    int Row(const AudioDeck& d) const {
        for (int i = 0; i < q.Count(); ++i)
            if (q.files[i] == d.FileName()) return i;
        return -1;
    }
    // Ticks once a second until playback stops or the limit; the opens along the way. `before`
    // runs ahead of each tick with the tick's number; a failed open ends its tick, as in the window.
    std::vector<std::string> PlayOn(int limit = 200, const std::function<void(int)>& before = {}) {
        std::vector<std::string> opens = NewOpens();
        for (int t = 0; t < limit && q.stopped == 0; ++t) {
            if (before) before(t);
            clock->Advance(1000);
            try {
                player.HandOver();
            } catch (const DeckError&) {
            }
            overlaps += deck1->Mode() == mpPlaying && deck2->Mode() == mpPlaying;
            for (auto& o : NewOpens()) opens.push_back(o);
        }
        return opens;
    }

    qsizetype seen = 0;
    int overlaps = 0;
    testutil::TempDir dir;
    std::shared_ptr<TTestClock> clock = std::make_shared<TTestClock>();
    std::unique_ptr<AudioDeck> deck1 = TestDeckFactory(clock)(), deck2 = TestDeckFactory(clock)();
    FakeQueue q;
    QueuePlayer player{*deck1, *deck2, q, q};
};

TEST_F(QueuePlayerTest, NextIndexFollowsTheRowCountAndThePlayMode) {
    struct Case {
        int rows;
        bool repeat;
        int current, next;
        bool playOn;
    } cases[] = {
        {0, false, 0, -1, false}, {0, true, 0, -1, false},  // an empty queue has no next row in either mode
        {3, false, 0, 1, true},   {3, false, -1, 0, true},  {3, false, 2, 2, false},
        {3, false, 7, 2, false},  // an index beyond the rows ends the queue
        {3, true, 2, 0, true},    {3, true, 1, 2, true},
    };
    for (const Case& c : cases) {
        q.files.assign(c.rows, QStringLiteral("x"));
        q.repeat = c.repeat;
        q.once = !c.repeat;
        EXPECT_EQ(player.NextIndexOf(c.current), c.next) << c.rows << " rows, from " << c.current;
        EXPECT_EQ(player.PlayOn(), c.playOn) << c.rows << " rows, from " << c.current;
    }
    // A settings file can clear both modes: the last row then points past the end.
    q.files.assign(3, QStringLiteral("x"));
    q.repeat = q.once = false;
    EXPECT_EQ(player.NextIndexOf(2), 3);
    EXPECT_TRUE(player.PlayOn());
}

TEST_F(QueuePlayerTest, RowsOverlapOnAlternatingDecksThenOnceEndsAndRepeatStartsOver) {
    Fill(3);
    q.fade = 5;
    EXPECT_EQ(player.CurrentState(), QueuePlayer::State::Stopped);
    player.PlayList();
    EXPECT_EQ(q.selected, 0);
    EXPECT_EQ(q.started, 1);
    EXPECT_EQ(q.status[0], St::Running);
    EXPECT_EQ(player.CurrentState(), QueuePlayer::State::Playing);
    using Opens = std::vector<std::string>;
    EXPECT_EQ(PlayOn(), (Opens{"1:0", "2:1", "1:2"}));
    EXPECT_EQ(player.CurrentState(), QueuePlayer::State::Stopped);
    EXPECT_EQ(overlaps, 8) << "two fades, each from 16 s to 19 s of 20";
    EXPECT_EQ(q.stopped, 1);
    EXPECT_EQ(q.status, (std::vector<St>{St::Played, St::Played, St::Played}))
        << "the last row is handed over with no successor";

    q.stopped = 0;
    q.repeat = true;
    q.once = false;
    q.selected = 1;
    player.PlayList();
    EXPECT_EQ(PlayOn(40), (Opens{"1:1", "2:2", "1:0"}));
    EXPECT_EQ(q.stopped, 0);
}

// The playing deck stops without a hand-over having run: the next row starts at the tick that
// finds it stopped, and the log says so; the end of a Play List Once queue stays an end.
TEST_F(QueuePlayerTest, ATrackThatStopsBeforeItsHandOverIsFollowedAtOnce) {
    using Opens = std::vector<std::string>;
    struct Case {
        const char* what;
        int fade;
        std::function<void()> arrange;
        std::function<void(int tick)> before;  // ahead of each tick
        Opens opens;
        std::size_t notes;
        int overlaps;
    };
    const Opens all{"1:0", "2:1", "1:2"};
    const std::vector<Case> cases = {
        {"deck stopped before its window: a cut file claims 20 s, holds 9", 5,
         [this] { clock->SetAudible(q.files[0], 9000); }, {}, all, 1, 4},
        {"missed window: a 1 s fade against a 1 s tick", 1, {}, {}, all, 2, 0},
        {"frozen window: no tick for 40 s", 5, {},
         [this](int tick) {
             if (tick == 3) clock->Advance(40000);
         },
         all, 1, 4},
        {"a deck that fails mid-track", 5, {},
         [this](int tick) {
             if (tick == 5) deck1->Close();
         },
         all, 1, 4},
        {"no fade: back to back", 0, {}, {}, all, 2, 0},
        {"the last row cut: the queue still ends", 5,
         [this] { clock->SetAudible(q.files[2], 3000); }, {}, all, 0, 7},
        {"nothing left that plays stops after one round", 5,
         [this] {
             q.repeat = true;
             q.once = false;
             clock->SetAudible(q.files[0], 0);
             clock->SetUnplayable(q.files[1]);
             clock->SetUnplayable(q.files[2]);
         },
         {}, {"1:0", "2:1", "2:2", "2:0"}, 4, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        q = FakeQueue{};
        Fill(3);
        q.fade = c.fade;
        overlaps = 0;
        if (c.arrange) c.arrange();
        player.PlayList();
        EXPECT_EQ(PlayOn(200, c.before), c.opens);
        EXPECT_EQ(q.stopped, 1);
        EXPECT_EQ(q.notes.size(), c.notes);
        EXPECT_EQ(overlaps, c.overlaps);
    }
}

// Two 20 s tracks with a 4 s fade, ticked every 100 ms: where the hand-over falls, how the
// incoming deck is started and leveled, and where the outgoing one falls silent, per option.
TEST_F(QueuePlayerTest, TheSoundOptionsShapeTheHandOver) {
    const auto measured = [](double lufs, double peak, int start, int end) {
        TrackAnalysis a;
        a.ok = true;
        a.loudness = lufs;
        a.peak = peak;
        a.lengthMs = 20000;
        a.audibleStartMs = start;
        a.audibleEndMs = end;
        return a;
    };
    TrackAnalysis failed;
    failed.error = "unreadable";
    // The first track is quiet and ends in 6 s of silence; the second is loud with a 700 ms lead.
    const TrackAnalysis quiet = measured(-20, 0.25, 1500, 14000), loud = measured(-8, 0.9, 700, 19800);
    struct Case {
        const char* what;
        bool leveling, crossfade, noDeadAir;
        std::optional<TrackAnalysis> second;  // the first track is always `quiet`
        int firstStart;  // where the first track starts
        double firstGain;
        int openAt;      // clock when the second track opens
        int secondStart;
        double secondGain;
        int fadeMs;      // of the fade-in and the fade-out; 0: none asked for
        int firstStopsAt;
    } cases[] = {
        {"all off: as without the options", false, false, false, loud, 0, 0, 16100, 0, 0, 0, 20000},
        {"leveling: each track to -14 LUFS", true, false, false, loud, 0, 6, 16100, 0, -6, 0, 20000},
        {"leveling, second track unmeasured: 0 dB", true, false, false, std::nullopt, 0, 6, 16100, 0, 0, 0, 20000},
        {"leveling, second track failed: 0 dB", true, false, false, failed, 0, 6, 16100, 0, 0, 0, 20000},
        {"crossfade: fades meet the file's end", false, true, false, loud, 0, 0, 16100, 0, 0, 3900, 20000},
        {"no dead air: window from the audible end, silence cut", false, false, true, loud, 1500, 0, 8600, 700, 0, 0,
         12600},
        {"no dead air, second unmeasured: starts at 0", false, false, true, std::nullopt, 1500, 0, 8600, 0, 0, 0, 12600},
        {"all three: the fade ends where the tone stops", true, true, true, loud, 1500, 6, 8600, 700, -6, 3900, 12500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        q = FakeQueue{};
        Fill(2);
        q.fade = 4;
        q.leveling = c.leveling;
        q.crossfade = c.crossfade;
        q.noDeadAir = c.noDeadAir;
        q.analyses[q.files[0]] = quiet;
        if (c.second) q.analyses[q.files[1]] = *c.second;
        const qsizetype before = clock->Commands().size();
        auto& d1 = static_cast<TTestDeck&>(*deck1);
        auto& d2 = static_cast<TTestDeck&>(*deck2);
        player.PlayList();
        EXPECT_EQ(d1.Position(), c.firstStart);
        EXPECT_NEAR(d1.GainDb(), c.firstGain, 0.01);
        int openAt = -1, stopAt = -1;
        for (int t = 100; t <= 21000 && stopAt < 0; t += 100) {
            clock->Advance(100);
            player.HandOver();
            if (openAt < 0 && d2.IsOpen()) {
                openAt = t;
                EXPECT_EQ(d2.Position(), c.secondStart);
                EXPECT_NEAR(d2.GainDb(), c.secondGain, 0.01);
                EXPECT_EQ(d2.FadeInMs(), c.fadeMs);
                EXPECT_EQ(d1.FadeOutMs(), c.fadeMs);
            }
            if (d1.Mode() == mpStopped) stopAt = t;
        }
        EXPECT_EQ(openAt, c.openAt);
        EXPECT_EQ(stopAt, c.firstStopsAt);
        EXPECT_EQ(d2.Mode(), mpPlaying);
        // Options off, the decks hear nothing of gains or fades.
        if (!c.leveling && !c.crossfade && !c.noDeadAir) {
            for (qsizetype i = before; i < clock->Commands().size(); ++i)
                EXPECT_FALSE(clock->Commands()[i].contains(QStringLiteral("Fade")) ||
                             clock->Commands()[i].contains(QStringLiteral("Gain")))
                    << clock->Commands()[i].toStdString();
        }
        player.StopPlayback();
    }
}

TEST_F(QueuePlayerTest, AnUnplayableRowFailsItsHandOverOnceAndTheNextTickSkipsIt) {
    Fill(3);
    clock->SetUnplayable(q.files[1], QStringLiteral("bad"));
    q.fade = 5;
    player.PlayList();
    clock->Advance(16000);
    EXPECT_THROW(player.HandOver(), DeckError);
    EXPECT_EQ(player.CurIndex(), 1);
    EXPECT_EQ(player.CurrentState(), QueuePlayer::State::Playing) << "the playing deck is still the live one";
    clock->Advance(1000);
    player.HandOver();
    EXPECT_EQ(q.status[1], St::Played);
    EXPECT_EQ(Row(*deck2), 2);
    EXPECT_EQ(deck1->Mode(), mpPlaying);
}

TEST_F(QueuePlayerTest, WithoutTheOptionPlayedRowsReadReadyAndStay) {
    Fill(8);
    q.selected = 5;
    player.PlayList();
    ASSERT_EQ(player.NextIndex(), 6);
    q.status[7] = St::Played;
    player.UpdateQueueStates();
    EXPECT_EQ(q.Count(), 8);
    EXPECT_EQ(q.status, (std::vector<St>{St::Ready, St::Ready, St::Ready, St::Ready, St::Ready, St::Running,
                                          St::Ready, St::Soon}));

    // Two rows are never trimmed.
    q.files.clear();
    q.status.clear();
    Fill(2);
    q.block = true;
    q.selected = 1;
    player.PlayList();
    ASSERT_EQ(player.NextIndex(), 1);
    for (int i = 0; i < 3; ++i) player.UpdateQueueStates();
    EXPECT_EQ(q.Count(), 2);
    EXPECT_EQ(q.status[0], St::Blocked);
}

}  // namespace
