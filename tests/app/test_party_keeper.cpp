// The saved party at the program's start, on the real window: what is offered, what each answer
// leaves on screen and on disk, and every change saved afterwards.
#include <gtest/gtest.h>

#include <fstream>

#include "app/main_window.h"
#include "app/party_keeper.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_deck.h"

namespace {

namespace fs = std::filesystem;

session::PartySnapshot Night(int queueRows) {
    session::PartySnapshot p;
    for (int i = 0; i < queueRows; ++i)
        p.queue.push_back({"soon", QString("Song %1").arg(i), "Band", "", "", "03:00", "File", QString("/m/%1.mp3").arg(i)});
    p.requests = {{"chosen", "Wish", "Guest", "", "", "03:00", "10.0.0.7", "/m/wish.mp3"}};
    p.language = "deu";
    p.settings.FadeSec = 4, p.settings.RB_finish = true;
    return p;
}

// The party file as the next start would read it (beside the running keeper's lock).
session::PartyLoad OnDisk(const fs::path& folder) {
    std::ifstream in(folder / "party.json", std::ios::binary);
    if (!in) return {};
    return session::ParseParty(std::string(std::istreambuf_iterator<char>(in), {}));
}

TEST(PartyKeeper, TheStartOffersWhatTheLastRunLeftAndEachAnswerKeepsItsPromise) {
    test_support::EnsureApplication();
    struct Case {
        const char* name;
        std::string saved;  // the file as the last run left it; empty: none
        int answer;         // to the question, when one is asked (-1: closed unanswered)
        size_t questions, messages;
        int queueShown;
        const char* language;  // loaded after the start
        int queueOnDisk;       // after the start, before any change; -1: no party file
    };
    const std::string night = session::PartyBytes(Night(3));
    const Case cases[] = {
        {"no party saved", "", -1, 0, 0, 0, "eng", -1},
        {"a night, resumed", night, 0, 1, 0, 3, "deu", 3},
        {"a night, new party", night, 1, 1, 0, 0, "eng", 0},
        {"a night, question closed", night, -1, 1, 0, 0, "eng", 3},
        {"a night that ended with an empty queue", session::PartyBytes(Night(0)), 0, 0, 0, 0, "eng", 0},
        {"a damaged file", night.substr(0, night.size() / 2), 0, 0, 1, 0, "eng", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testutil::TempDir dir;
        const fs::path folder = dir / "quorbel-media-mixer";
        fs::create_directories(folder);
        if (!c.saved.empty()) std::ofstream(folder / "party.json", std::ios::binary) << c.saved;
        platform::ScopedRecorder boxes;
        boxes->chooseAnswers.push_back(c.answer);
        auto form = app::CreateWindows(playback::TestDeckFactory(std::make_shared<playback::TTestClock>()));
        form->show();  // English, as at start
        const QString englishMenu = form->M63->text();
        app::PartyKeeper keeper(*form, folder);
        keeper.Start();
        EXPECT_EQ(boxes->questions.size(), c.questions);
        EXPECT_EQ(boxes->messages.size(), c.messages);
        EXPECT_EQ(form->ListView_soon->List().Count(), c.queueShown);
        EXPECT_FALSE(form->Party().AnyDeckBusy());
        EXPECT_EQ(form->Party().LanguageLoaded(), c.language);
        if (c.queueShown) {
            // Asked with the night's counts; the window speaks its language and shows its settings.
            EXPECT_NE(boxes->questions[0].find(u"3"), std::u16string::npos);
            EXPECT_NE(form->M63->text(), englishMenu);
            EXPECT_EQ(form->TrackBar_fader->value(), 4);
            EXPECT_EQ(form->ListView_Guest->List().Count(), 1);
        }
        keeper.Flush();
        session::PartyLoad left = OnDisk(folder);
        EXPECT_EQ(left.state == session::PartyState::Readable ? int(left.party.queue.size()) : -1, c.queueOnDisk);
        // From now on every change is kept.
        form->TrackBar_fader->setValue(9);
        keeper.Flush();
        left = OnDisk(folder);
        EXPECT_EQ(left.party.settings.FadeSec, 9);
        EXPECT_EQ(int(left.party.queue.size()), c.queueShown);
        // An unreadable file is set aside, not lost.
        int kept = 0;
        for (const auto& e : fs::directory_iterator(folder)) kept += e.path().filename().string().starts_with("party-unreadable-");
        EXPECT_EQ(kept, int(c.messages));
    }
}

}  // namespace
