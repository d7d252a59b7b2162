// The saved party at the program's start, on the real window: what is offered, what each answer
// leaves on screen and on disk, and a change saved afterwards.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "app/main_window.h"
#include "app/party_keeper.h"
#include "platform/guard.h"
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
    p.guestPool = {{"chosen", "Wish", "Guest", "", "", "03:00", "File", "/m/wish.mp3"}};
    p.current = -1;
    p.language = "deu";
    p.settings.FadeSec = 4, p.settings.RB_finish = true;
    return p;
}

TEST(PartyKeeper, TheStartOffersWhatTheLastRunLeftAndEachAnswerKeepsItsPromise) {
    test_support::EnsureApplication();
    struct Case {
        const char* name;
        std::string saved;  // the file as the last run left it; empty: none
        int answer;         // to the question, when one is asked (-1: closed unanswered)
        size_t questions, messages;
        int queueShown;
        int queueOnDisk;  // after the start, before any change; -1: no party file
    };
    const std::string night = session::PartyBytes(Night(2));
    const Case cases[] = {
        {"no party saved", "", -1, 0, 0, 0, -1},
        {"a night, resumed", night, 0, 1, 0, 2, 2},
        {"a night, new party", night, 1, 1, 0, 0, 0},
        {"a night, question closed", night, -1, 1, 0, 0, 2},
        {"a night that ended with an empty queue", session::PartyBytes(Night(0)), 0, 0, 0, 0, 0},
        {"a damaged file", night.substr(0, night.size() / 2), 0, 0, 1, 0, -1},
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
        {
            app::PartyKeeper keeper(*form, folder);
            keeper.Start();
            EXPECT_EQ(boxes->questions.size(), c.questions);
            EXPECT_EQ(boxes->messages.size(), c.messages);
            EXPECT_EQ(form->ListView_soon->List().Count(), c.queueShown);
            EXPECT_FALSE(form->Party().AnyDeckBusy());
            keeper.Flush();
        }
        // The keeper has let the folder go: what it left can be read.
        const session::PartyLoad left = session::PartyFile(folder).Load();
        EXPECT_EQ(left.state == session::PartyState::Readable ? int(left.party.queue.size()) : -1, c.queueOnDisk);
        if (c.messages) {
            // Set aside, not lost, and named in the message.
            int kept = 0;
            for (const auto& e : fs::directory_iterator(folder))
                kept += e.path().filename().string().starts_with("party-unreadable-");
            EXPECT_EQ(kept, 1);
        }
    }
}

TEST(PartyKeeper, AResumedNightSpeaksItsLanguageAndEveryChangeAfterIsSaved) {
    test_support::EnsureApplication();
    testutil::TempDir dir;
    const fs::path folder = dir / "data";
    fs::create_directories(folder);
    std::ofstream(folder / "party.json", std::ios::binary) << session::PartyBytes(Night(3));
    platform::ScopedRecorder boxes;
    boxes->chooseAnswers.push_back(0);
    auto form = app::CreateWindows(playback::TestDeckFactory(std::make_shared<playback::TTestClock>()));
    form->show();
    const QString englishMenu = form->M63->text();
    app::PartyKeeper keeper(*form, folder);
    keeper.Start();
    ASSERT_EQ(boxes->questions.size(), 1u);
    // Asked in the night's language, with its counts.
    EXPECT_TRUE(boxes->questions[0].find(u"3") != std::u16string::npos);
    EXPECT_EQ(form->Party().LanguageLoaded(), "deu");
    EXPECT_TRUE(form->M38->isChecked());
    EXPECT_NE(form->M63->text(), englishMenu) << "the room display's item follows the language";
    EXPECT_EQ(form->TrackBar_fader->value(), 4);
    EXPECT_EQ(form->ListView_Guest->List().Count(), 1);

    form->TrackBar_fader->setValue(9);
    platform::Guarded([&] { form->pop0Click(); });  // Clear List without a list: nothing cleared
    keeper.Flush();
    // Read beside the keeper's lock through the bytes, as the next start would read them.
    std::ifstream in(folder / "party.json", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const session::PartyLoad load = session::ParseParty(bytes);
    ASSERT_EQ(load.state, session::PartyState::Readable);
    EXPECT_EQ(load.party.settings.FadeSec, 9);
    EXPECT_EQ(load.party.queue.size(), 3u);
    EXPECT_EQ(load.party.language, "deu");
}

}  // namespace
