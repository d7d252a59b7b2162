// The saved party: a night comes back whole, an unreadable file is kept and explained, two
// programs never share one, and saves come at most once a second.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "platform/text_codec.h"
#include "session/party_file.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using session::PartyState;

// Everything a snapshot holds but the time of its saving.
auto Fields(const session::PartySnapshot& p) {
    return std::tie(p.queue, p.requests, p.guestPool, p.presets, p.current, p.language, p.webServerOn, p.settings);
}

tracks::TrackRow Row(const QString& title, const QString& file) {
    return {"ready", title, "Artist", "Album", "1999", "03:05", "192.168.1.20", file};
}

session::PartySnapshot Night() {
    session::PartySnapshot p;
    p.queue = {Row("Caf\u00e9 \"Noir\" = 1\nline two", "/music/a b/caf\u00e9.mp3"),
               Row("\u65e5\u672c\u8a9e [x] ; y", "/music/\u65e5.mp3")};
    p.queue[0].Status = "gespielt";
    p.requests = {Row("Wish", "/music/w.mp3")};
    p.guestPool = {Row(QString(QChar(0xe9)).repeated(3000), "/music/long.mp3"), p.requests[0]};
    p.presets = {Row(QString(), "C:\\old\\windows.mp3")};
    p.current = 1, p.language = "deu", p.webServerOn = true;
    settings::TSetRec& s = p.settings;  // every field away from its start value
    s.FadeSec = 15, s.FFsec = 200, s.FFsecText = "0200", s.number_block = 100, s.RequestsPerGuest = 3;
    s.StdPlayList = "/p/q.lst", s.StdWebList = "/p/g.lst", s.StdPresetList = "/p/\u00e9.lst", s.HTMLpath = "/p/web";
    s.RB_finish = s.RB_restart = s.CB_block = s.CB_Guest = s.RB_web_first = s.RB_web_mix_preselect = s.CB_preset =
        s.RB_preset_1by1 = s.RB_preset_random = s.CB_artist_apart = s.CB_leveling = s.CB_crossfade = s.CB_no_dead_air =
            true;
    s.LevelTarget = -23;
    return p;
}

TEST(PartyFile, ANightComesBackWhole) {
    testutil::TempDir dir;
    const session::PartyFile file(dir / "data" / "quorbel-media-mixer");  // made when missing
    ASSERT_TRUE(file.Owned());
    EXPECT_EQ(file.Load().state, PartyState::None);
    const session::PartySnapshot night = Night();
    file.Save(night);
    const session::PartyLoad load = file.Load();
    ASSERT_EQ(load.state, PartyState::Readable) << load.message.toStdString();
    EXPECT_TRUE(Fields(load.party) == Fields(night));
    EXPECT_LE(load.party.savedAt.secsTo(QDateTime::currentDateTime()), 60);
    EXPECT_FALSE(load.party.EndedWithEmptyQueue());

    // A current row that names no row (the queue was cleared while a deck played) means none.
    session::PartySnapshot cleared = night;
    cleared.queue.clear();
    file.Save(cleared);
    EXPECT_EQ(file.Load().party.current, -1);
    EXPECT_TRUE(file.Load().party.EndedWithEmptyQueue());

    // A file from before the later fields: the jump length as typed comes from its number, the
    // sound options are off.
    std::string bytes = session::PartyBytes(night);
    for (const std::string field : {"\"FFsecText\":\"0200\",", "\"CB_leveling\":true,", "\"CB_crossfade\":true,",
                                    "\"CB_no_dead_air\":true,", "\"LevelTarget\":-23,"}) {
        const size_t at = bytes.find(field);
        ASSERT_NE(at, std::string::npos) << field;
        bytes.erase(at, field.size());
    }
    const session::PartyLoad older = session::ParseParty(bytes);
    ASSERT_EQ(older.state, PartyState::Readable) << bytes;
    EXPECT_EQ(older.party.settings.FFsecText, "200");
    const settings::TSetRec start;
    EXPECT_EQ(older.party.settings.LevelTarget, start.LevelTarget);
    EXPECT_FALSE(older.party.settings.CB_leveling || older.party.settings.CB_crossfade ||
                 older.party.settings.CB_no_dead_air);
}

TEST(PartyFile, AFileThatCannotBeReadIsKeptBesideAndExplained) {
    const session::PartyTexts texts{"BROKEN", "OLD", "NEW", "kept: %1 as %2", "stays: %1 as %2"};
    const std::string good = session::PartyBytes(Night());
    const auto replace = [&](const std::string& from, const std::string& to) {
        std::string s = good;
        const size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? s : s.replace(at, from.size(), to);
    };
    struct Case {
        const char* name;
        std::string bytes;
        QString reason;
    };
    const Case cases[] = {
        {"cut off by a full disk", good.substr(0, good.size() / 2), texts.damaged},
        {"a JSON list", "[1, 2]", texts.damaged},
        {"another program's JSON", replace("quorbel-media-mixer party", "something else"), texts.damaged},
        {"an older version", replace("\"version\":1", "\"version\":0"), texts.older},
        {"a newer version", replace("\"version\":1", "\"version\":2"), texts.newer},
        {"a fade beyond the slider", replace("\"FadeSec\":15", "\"FadeSec\":20"), texts.damaged},
        {"a row that is no row", replace("\"presets\":[", "\"presets\":[7,"), texts.damaged},
        {"a number as text", replace("\"current\":1", "\"current\":\"1\""), texts.damaged},
    };
    testutil::TempDir dir;
    const session::PartyFile file(dir.path());
    std::set<fs::path> kept;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::WriteFileAtomic(file.FilePath(), c.bytes);
        const session::PartyLoad load = file.Load(texts);
        EXPECT_EQ(load.state, PartyState::Unreadable);
        EXPECT_EQ(load.message, QString("kept: %1 as %2").arg(c.reason, QString::fromStdString(load.keptAs.string())));
        // Set aside, never deleted, never over an earlier one; the next start finds nothing.
        EXPECT_FALSE(fs::exists(file.FilePath()));
        EXPECT_EQ(platform::ReadBinaryFile(load.keptAs), c.bytes);
        EXPECT_TRUE(kept.insert(load.keptAs).second) << load.keptAs;
        EXPECT_EQ(file.Load().state, PartyState::None);
    }
    for (const fs::path& k : kept) EXPECT_TRUE(fs::exists(k)) << k;
}

TEST(PartyFile, OneProgramAtATimeKeepsTheFolder) {
    testutil::TempDir dir;
    auto first = std::make_unique<session::PartyFile>(dir.path());
    first->Save(Night());
    {
        const session::PartyFile second(dir.path());  // a second program started beside the first
        EXPECT_FALSE(second.Owned());
        EXPECT_EQ(second.Load().state, PartyState::None);
        second.Save(session::PartySnapshot());
    }
    EXPECT_EQ(first->Load().party.queue.size(), 2u);
    first.reset();  // the first one ends (or crashes): the folder is free again
    EXPECT_TRUE(session::PartyFile(dir.path()).Owned());

    std::ofstream(dir / "a-file");  // a data folder that cannot be made
    const session::PartyFile nowhere(dir / "a-file" / "below");
    EXPECT_FALSE(nowhere.Owned());
    EXPECT_EQ(nowhere.Load().state, PartyState::None);
}

TEST(SaveDebouncer, SavesAtMostOnceASecondAndNothingWaitsForever) {
    enum Op { Change, Fire, Flush };
    struct Step {
        int at;  // ms
        Op op;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<int> failAt;  // saves at these times fail
        std::vector<int> saves;
        std::vector<int> delays;  // asked of the timer
    };
    const Case cases[] = {
        {"the first change is saved at the next turn", {{0, Change}, {0, Fire}}, {}, {0}, {0}},
        {"changes within a second become one save",
         {{0, Change}, {0, Fire}, {100, Change}, {200, Change}, {1000, Fire}}, {}, {0, 1000}, {0, 900}},
        {"a timer that fires early waits again",
         {{0, Change}, {0, Fire}, {100, Change}, {500, Fire}, {1000, Fire}}, {}, {0, 1000}, {0, 900, 500}},
        {"after a quiet while a change is saved at once",
         {{0, Change}, {0, Fire}, {5000, Change}, {5000, Fire}}, {}, {0, 5000}, {0, 0}},
        {"a failed save is tried again a second later",
         {{0, Change}, {0, Fire}, {1000, Fire}}, {0}, {0, 1000}, {0, 1000}},
        {"closing saves at once what waits, and only that",
         {{0, Change}, {0, Fire}, {300, Change}, {300, Flush}, {1000, Fire}, {1200, Flush}}, {}, {0, 300}, {0, 700}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int now = 0;
        std::vector<int> saves, delays;
        session::SaveDebouncer debouncer(
            [&] {
                saves.push_back(now);
                return std::find(c.failAt.begin(), c.failAt.end(), now) == c.failAt.end();
            },
            [&](std::chrono::milliseconds d) { delays.push_back(static_cast<int>(d.count())); },
            [&] { return std::chrono::milliseconds(now); });
        for (const Step& s : c.steps) {
            now = s.at;
            if (s.op == Change) debouncer.Changed();
            if (s.op == Fire) debouncer.Fire();
            if (s.op == Flush) debouncer.Flush();
        }
        EXPECT_EQ(saves, c.saves);
        EXPECT_EQ(delays, c.delays);
    }
}

}  // namespace
