// Runs the built qmm-demo into a temporary folder and checks the party it writes the way the
// program will use it: tags as the tag library reads them, audio as the decks decode it,
// playlists as the list loader reads them, and the settings keys the settings dialog loads.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/ini_file.h"
#include "platform/text_codec.h"
#include "tags/ID3v1Tag.h"
#include "tags/ID3v2Tag.h"
#include "tests/support/temp_dir.h"
#include "tracks/playlist_file.h"
#include "tracks/track_list.h"

namespace fs = std::filesystem;

namespace {

// Runs `program` (the built qmm-demo by default) with `args` after the environment settings in
// `env`; what it prints goes to `out` when given.
int RunDemo(const std::string& args, std::string* out = nullptr, const std::string& env = "",
            const std::string& program = "") {
    const fs::path tool = program.empty() ? fs::read_symlink("/proc/self/exe").parent_path() / "qmm-demo" : fs::path(program);
    testutil::TempDir logDir;
    const fs::path log = logDir / "out.txt";
    const int status = std::system(
        (env + " timeout 300 '" + tool.string() + "' " + args + " >'" + log.string() + "' 2>&1").c_str());
    if (out) *out = platform::ReadBinaryFile(log).value_or("");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Utf8(const std::u16string& s) { return platform::U16ToUtf8(s); }

struct Decoded {
    double seconds = 0;
    double rms = 0;
};

Decoded Decode(const fs::path& file) {
    SF_INFO info{};
    SNDFILE* f = sf_open(file.c_str(), SFM_READ, &info);
    if (!f) return {};
    std::vector<float> samples(static_cast<size_t>(info.frames * info.channels));
    const sf_count_t got = sf_readf_float(f, samples.data(), info.frames);
    sf_close(f);
    double sum = 0;
    for (size_t i = 0; i < static_cast<size_t>(got * info.channels); ++i) sum += samples[i] * samples[i];
    return {static_cast<double>(got) / info.samplerate, std::sqrt(sum / static_cast<double>(samples.size()))};
}

// Every track carries both tags and decodes to audible music of the listed length.
void CheckTracks(const fs::path& party) {
    const platform::IniFile pool(party / "guest-pool.lst");
    ASSERT_EQ(pool.SectionCount(), 12);
    std::set<std::string> titles, artists;
    bool accented = false;
    for (const std::u16string& section : pool.SectionNames()) {
        SCOPED_TRACE(Utf8(section));
        const fs::path file = platform::PathFromU16(pool.ReadString(section, u"FileName", u""));
        EXPECT_EQ(file.parent_path(), party / "music");
        const std::string title = Utf8(pool.ReadString(section, u"Title", u""));
        const std::string artist = Utf8(pool.ReadString(section, u"Artist", u""));
        const std::string album = Utf8(pool.ReadString(section, u"Album", u""));

        tags::TID3v1Tag v1;
        ASSERT_EQ(v1.ReadFromFile(file), tags::MP3ERR_None);
        EXPECT_EQ(Utf8(v1.Title()), title);
        EXPECT_EQ(Utf8(v1.Artist()), artist);
        EXPECT_EQ(Utf8(v1.Album()), album);
        EXPECT_EQ(v1.Year(), Utf8(pool.ReadString(section, u"Year", u"")));
        tags::TID3v2Tag v2;
        ASSERT_EQ(v2.ReadFromFile(file), tags::MP3ERR_None);
        EXPECT_EQ(Utf8(v2.Title()), title);
        EXPECT_EQ(Utf8(v2.Artist()), artist);
        EXPECT_EQ(Utf8(v2.Album()), album);

        const Decoded audio = Decode(file);
        const std::string time = Utf8(pool.ReadString(section, u"Time", u""));
        ASSERT_EQ(time.size(), 5u);
        const int listed = std::stoi(time.substr(0, 2)) * 60 + std::stoi(time.substr(3));
        EXPECT_GE(listed, 20);
        EXPECT_LE(listed, 40);
        EXPECT_NEAR(audio.seconds, listed, 1.0);
        EXPECT_GT(audio.rms, 0.02);  // music, not silence
        EXPECT_LT(audio.rms, 0.5);   // and not clipping

        titles.insert(title);
        artists.insert(artist);
        accented = accented || std::any_of(title.begin(), title.end(), [](char c) { return c & 0x80; });
    }
    EXPECT_EQ(titles.size(), 12u);
    EXPECT_GE(artists.size(), 10u);
    EXPECT_TRUE(accented);
}

// The lists load as the player loads them and name tracks that exist.
void CheckLists(const fs::path& party) {
    std::set<QString> pool;
    for (const auto& [name, minRows] : {std::pair{"guest-pool.lst", 12}, {"queue.lst", 3}, {"presets.lst", 2}}) {
        SCOPED_TRACE(name);
        tracks::TrackList list;
        QStringList complaints;
        tracks::LVfromFile(list, QString::fromStdString((party / name).string()), [](const QString&) {},
                           [&](const QString& line) { complaints << line; });
        EXPECT_TRUE(complaints.isEmpty()) << complaints.join(u'\n').toStdString();
        ASSERT_GE(list.Count(), minRows);
        for (const tracks::TrackRow& row : list.Rows()) {
            EXPECT_TRUE(fs::is_regular_file(row.FileName.toStdString())) << row.FileName.toStdString();
            EXPECT_FALSE(row.Title.isEmpty());
            if (name == std::string("guest-pool.lst")) pool.insert(row.FileName);
            // Queue and presets draw from the guests' pool.
            else EXPECT_TRUE(pool.contains(row.FileName)) << row.FileName.toStdString();
        }
    }
}

// The settings name the lists and the web folder and turn guests and presets on.
void CheckSettings(const fs::path& party) {
    const platform::IniFile settings(party / "party.stg");
    const auto path = [&](const char16_t* key) {
        return platform::PathFromU16(settings.ReadString(u"standard", key, u""));
    };
    EXPECT_EQ(path(u"playfile"), party / "queue.lst");
    EXPECT_EQ(path(u"webfile"), party / "guest-pool.lst");
    EXPECT_EQ(path(u"preselectfile"), party / "presets.lst");
    EXPECT_TRUE(fs::is_regular_file(path(u"htmlpath") / "basics" / "playhead.txt"));
    EXPECT_TRUE(fs::is_regular_file(path(u"htmlpath") / "basics" / "foot.txt"));
    EXPECT_TRUE(fs::is_directory(path(u"htmlpath") / "htdocs" / "tool"));
    const int fade = settings.ReadInteger(u"standard", u"fade", -1);
    EXPECT_GE(fade, 2);
    EXPECT_LE(fade, 6);
    // Allow Remote Requests, Mix Web, Add Preset Tracks, Play In Order, and the three sound options.
    for (const char16_t* on : {u"webselect", u"rb_web_mix_preselect", u"preselect", u"rb_preset_1by1", u"leveling",
                               u"crossfade", u"nodeadair"}) {
        EXPECT_TRUE(settings.ReadBool(u"standard", on, false)) << Utf8(on);
    }
    for (const char16_t* off : {u"rb_web_first", u"rb_preset_random", u"rb_repeat"}) {
        EXPECT_FALSE(settings.ReadBool(u"standard", off, true)) << Utf8(off);
    }
}

// One demo serves all checks: writing it encodes a dozen MP3 files.
TEST(DemoParty, WritesAPartyThePlayerCanUse) {
    testutil::TempDir dir;
    const fs::path party = dir / "party";
    std::string printed;
    ASSERT_EQ(RunDemo("'" + party.string() + "'", &printed, "QMM_WEB_PORT=8123"), 0);
    EXPECT_NE(printed.find(":8123/"), std::string::npos) << "the guests' address names the program's port:\n" << printed;
    {
        SCOPED_TRACE("tracks");
        CheckTracks(party);
    }
    {
        SCOPED_TRACE("lists");
        CheckLists(party);
    }
    {
        SCOPED_TRACE("settings");
        CheckSettings(party);
    }
}

TEST(DemoParty, RefusesAFolderOfOtherFilesAndWrongArguments) {
    testutil::TempDir dir;
    // A folder with the user's own files is refused and nothing in it changes.
    const fs::path mine = dir / "mine";
    fs::create_directories(mine);
    std::ofstream(mine / "notes.txt") << "keep me";
    EXPECT_EQ(RunDemo("'" + mine.string() + "'"), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(mine), fs::directory_iterator()), 1);
    // A file is no folder.
    EXPECT_EQ(RunDemo("'" + (mine / "notes.txt").string() + "'"), 1);

    struct Case {
        std::string program, args;
        int status;
        const char* says;  // the beginning of what it prints
    };
    const std::string script = std::string(QMM_SOURCE_DIR) + "/scripts/demo_party.sh";
    const Case cases[] = {
        {"", "", 2, "Usage"}, {"", "--frobnicate", 2, "qmm-demo: unknown option"}, {"", "--help", 0, "Usage"},
        {script, "--help", 0, "Usage"}, {script, "-h", 0, "Usage"}, {script, "--frobnicate", 2, "demo_party.sh"},
    };
    for (const Case& c : cases) {
        std::string printed;
        // In a folder of its own: an option taken for a folder would be made there.
        EXPECT_EQ(RunDemo(c.args, &printed, "cd '" + (dir / "mine").string() + "' &&", c.program), c.status)
            << c.program << " " << c.args;
        EXPECT_EQ(printed.rfind(c.says, 0), 0u) << c.program << " " << c.args << ":\n" << printed;
        EXPECT_EQ(std::distance(fs::directory_iterator(mine), fs::directory_iterator()), 1) << c.program << " " << c.args;
    }
}

}  // namespace
