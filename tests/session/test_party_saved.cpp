// The party between runs: what a snapshot holds comes back in a new party without anything
// starting, and exactly the events that change what is kept ask for a save.
#include <functional>

#include "tests/session/party_fixture.h"
#include "web/listener.h"

namespace session_test {
namespace {

constexpr int kMinute = 60 * 1000;

using Saved = PartyTest;

TEST_F(Saved, ANightTakenUpAgainHoldsItsListsWordsSettingsAndCurrentRowAndPlaysNothing) {
    AddRow("a.mp3", 20000);
    const QString b = AddRow("b.mp3", 3 * kMinute);
    AddRow("c.mp3", 3 * kMinute);
    AddRow("d.mp3", 3 * kMinute);
    party.Requests().AppendRow(Row(File("wish.mp3")));
    party.Pool().AppendRows({Row(File("wish.mp3")), Row(File("other.mp3"))});
    party.Presets().AppendRow(Row(File("preset.mp3")));
    Confirm([](settings::TSetRec& r) {
        r.FadeSec = 5, r.FFsecText = "08", r.FFsec = 8, r.CB_block = true, r.number_block = 2;
        r.CB_Guest = true, r.RB_web_mix_preselect = true, r.RB_web_first = false, r.CB_preset = true;
    });
    Run([&] { party.PlayList(); });
    PlayOn(16);  // past the hand-over to b
    ASSERT_EQ(party.Player().CurIndex(), 1);
    const session::PartySnapshot night = party.SavedParty();

    RecordingView view2;
    session::Party later(playback::TestDeckFactory(clock), ui, view2, OptionsIn(dir.path()));
    Run([&] { later.Resume(night); });
    for (ListId id : {ListId::Queue, ListId::Requests, ListId::Pool, ListId::Presets})
        EXPECT_EQ(later.List(id).Rows(), party.List(id).Rows()) << int(id);
    EXPECT_EQ(QStringList({"played", "running", "next", "soon"}), [&] {
        QStringList w;
        for (const TrackRow& r : later.Queue().Rows()) w << r.Status;
        return w;
    }()) << "the words as they were";
    EXPECT_TRUE(later.Settings() == party.Settings());
    EXPECT_EQ(later.Player().CurIndex(), 1);
    EXPECT_EQ(later.Queue().SelectedIndex(), 1);
    EXPECT_FALSE(later.AnyDeckBusy());
    EXPECT_FALSE(later.Listener().Active());
    EXPECT_FALSE(later.Timers().tick);
    EXPECT_TRUE(later.ControlStates().playList);
    EXPECT_TRUE(later.ControlStates().guestUse && later.ControlStates().presetUse);
    EXPECT_EQ(later.SavedParty().current, 1) << "kept as it came until the next Play List";

    // Play List takes the night up at the row that was playing; the waiting request and a preset
    // join the queue as it runs short.
    Run([&] { later.PlayList(); });
    EXPECT_EQ(later.Deck(1).FileName(), b);
    EXPECT_EQ(later.Player().CurIndex(), 1);
    for (int s = 0; s < 400 && later.Requests().Count() + later.Presets().Count() > 0; ++s) {
        clock->Advance(1000);
        Run([&] { later.Tick(); });
        if (later.Timers().requests && s % 5 == 0) Run([&] { later.RequestStep(); });
        if (later.Timers().presets && s % 10 == 0) Run([&] { later.PresetStep(); });
    }
    QStringList joined;
    for (const TrackRow& r : later.Queue().Rows()) joined << QFileInfo(r.FileName).fileName();
    EXPECT_EQ(joined.mid(joined.size() - 2), QStringList({"wish.mp3", "preset.mp3"})) << "the request and a preset joined";
}

TEST_F(Saved, TheEventsThatChangeWhatIsKeptAndNoOthersAskForASave) {
    AddRow("a.mp3", 30000);
    AddRow("b.mp3", 3 * kMinute);
    party.Presets().AppendRow(Row(File("preset.mp3")));
    Run([&] { party.CloseSettings(party.Settings()); });  // the rows' words as an event writes them
    int asked = 0;
    party.SetChangeHandler([&] { ++asked; });
    const struct Step {
        const char* what;
        std::function<void()> run;
        bool asks;
    } steps[] = {
        {"a panel's text", [&] { party.ShowInPanel(4, "x"); }, false},
        {"a notice", [&] { party.Notice("note"); }, false},
        {"the settings confirmed unchanged", [&] { party.CloseSettings(party.Settings()); }, false},
        {"Play List and its first tick: the current row and its words",
         [&] {
             party.PlayList();
             Tick();
         },
         true},
        {"ticks in mid-track", [&] { PlayOn(3); }, false},
        {"Pause", [&] { party.Pause(); }, false},
        {"Go On", [&] { party.Pause(); }, false},
        {"the fader", [&] { party.SetFade(9); }, true},
        {"the fader where it is", [&] { party.SetFade(9); }, false},
        {"Block Recent Tracks", [&] { party.SetBlockRecent(true); }, true},
        {"Repeat List", [&] { party.SelectRepeatList(); }, true},
        {"the ticks up to the hand-over", [&] { PlayOn(25); }, true},
        {"a list cleared", [&] { party.ClearList(ListId::Presets); }, true},
        {"Stop: the rows keep their words", [&] { party.Stop(); }, false},
    };
    for (const Step& s : steps) {
        asked = 0;
        Run(s.run);
        EXPECT_EQ(asked > 0, s.asks) << s.what;
    }
}

}  // namespace
}  // namespace session_test
