// Settings files without a window: the keys a record is written as, what a file reads as, and
// writes that fail.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "platform/errors.h"
#include "platform/text_codec.h"
#include "settings/settings_file.h"
#include "tests/support/temp_dir.h"

namespace {

using settings::TSetRec;

class SettingsFile : public ::testing::Test {
protected:
    QString PathOf(const std::string& name) const { return QString::fromStdString((tmp_.path() / name).string()); }
    std::string Slurp(const QString& p) const { return platform::ReadBinaryFile(p.toStdString()).value_or("<missing>"); }
    QString Put(const std::string& name, const std::string& bytes) const {
        std::ofstream(tmp_.path() / name, std::ios::binary) << bytes;
        return PathOf(name);
    }
    testutil::TempDir tmp_;
};

// Which member of each pair is set: "1", "2", "!" for both or "-" for none.
std::string Pairs(const TSetRec& r) {
    const auto one = [](bool a, bool b) { return std::string(a && b ? "!" : a ? "1" : b ? "2" : "-"); };
    return one(r.RB_finish, r.RB_restart) + one(r.RB_web_first, r.RB_web_mix_preselect) +
           one(r.RB_preset_1by1, r.RB_preset_random);
}

TEST_F(SettingsFile, SavingWritesSixteenKeysInOrderAndKeepsTheRest) {
    TSetRec rec;
    rec.FadeSec = 6;
    rec.FFsecText = "06";
    rec.StdPlayList = "/lists/queue.lst";
    rec.StdPresetList = QString::fromUtf16(u"/lists/pr\u00E4set.lst");
    rec.HTMLpath = "/srv/web";
    rec.CB_block = true;
    rec.number_block = 25;
    rec.RB_restart = rec.CB_Guest = rec.RB_web_first = rec.RB_preset_random = true;

    const QString file = Put("keep.stg", "[Other]\r\nx=1\r\n\r\n[STANDARD]\r\nFADE=2\r\nextra=kept\r\n");
    settings::SaveSettingsFile(file, rec);
    EXPECT_EQ(Slurp(file),
              "[Other]\nx=1\n\n[STANDARD]\nFADE=6\nextra=kept\n"
              "ffsec=06\nplayfile=/lists/queue.lst\nwebfile=\npreselectfile=/lists/pr\xC3\xA4set.lst\n"
              "htmlpath=/srv/web\ndoBlock=1\nblocknumber=25\nrb_finish=0\nrb_repeat=1\nwebselect=1\n"
              "rb_web_first=1\nrb_web_mix_preselect=0\npreselect=0\nrb_preset_1by1=0\n"
              "rb_preset_random=1\n");
    rec.FFsecText = "";
    settings::SaveSettingsFile(PathOf("fresh.stg"), rec);
    EXPECT_EQ(Slurp(PathOf("fresh.stg")).substr(0, 27), "[standard]\nfade=6\nffsec=\npl");

    // Read back, it is the same record.
    TSetRec back = settings::LoadSettingsFile(file);
    EXPECT_EQ(back.FFsecText, "06");
    EXPECT_EQ(back.FFsec, 6);
    EXPECT_EQ(back.StdPresetList, rec.StdPresetList);
    EXPECT_EQ(back.number_block, 25);
    EXPECT_EQ(Pairs(back), "212");
}

TEST_F(SettingsFile, LoadingAppliesDefaultsClampsAndReadsEveryNumberForm) {
    TSetRec r = settings::LoadSettingsFile(PathOf("missing.stg"));
    EXPECT_EQ(r.FadeSec, 5);
    EXPECT_EQ(r.FFsecText, "6");
    EXPECT_EQ(r.number_block, 10);
    EXPECT_FALSE(r.CB_block);
    EXPECT_EQ(Pairs(r), "121");  // without the web keys: mixed mode

    // Out-of-range numbers, hexadecimal, words; both members of each pair set.
    r = settings::LoadSettingsFile(Put("a.stg",
                                       "[standard]\nfade=20\nffsec=\nblocknumber=-4\ndoBlock=yes\nperguest=500\n"
                                       "rb_finish=1\nrb_repeat=1\nrb_web_first=1\nrb_web_mix_preselect=1\n"
                                       "rb_preset_1by1=1\nrb_preset_random=1\nwebselect=$1F\npreselect=0x0\n"));
    EXPECT_EQ(r.FadeSec, 15);
    EXPECT_EQ(r.FFsecText, "");
    EXPECT_EQ(r.number_block, 0);
    EXPECT_EQ(r.RequestsPerGuest, 99);
    EXPECT_FALSE(r.CB_block);
    EXPECT_TRUE(r.CB_Guest);
    EXPECT_FALSE(r.CB_preset);
    EXPECT_EQ(Pairs(r), "!!!");
    r = settings::LoadSettingsFile(Put("b.stg",
                                       "[standard]\nfade=0x0A\nblocknumber=$1F\nrb_finish=0\nrb_repeat=0\n"
                                       "rb_web_first=0\nrb_web_mix_preselect=0\nrb_preset_1by1=0\nrb_preset_random=0\n"));
    EXPECT_EQ(r.FadeSec, 10);
    EXPECT_EQ(r.number_block, 31);
    EXPECT_EQ(Pairs(r), "---");

    // Made on Windows: CR LF, blanks, quotes, Windows-1252, keys in other letter cases.
    r = settings::LoadSettingsFile(Put("win.stg",
                                       "[Standard]\r\nFADE = 7\r\nFFSec= 12 \r\n"
                                       "PlayFile=\"C:\\Musik\\Fr\xFChling.lst\"\r\nWebFile =  D:\\web.lst  \r\n"
                                       "HtmlPath=C:\\htdocs\r\nDoBlock=1\r\nRB_Repeat=1\r\n"));
    EXPECT_EQ(r.FadeSec, 7);
    EXPECT_EQ(r.FFsecText, "12");
    EXPECT_EQ(r.StdPlayList, QString::fromUtf16(u"C:\\Musik\\Fr\u00FChling.lst"));
    EXPECT_EQ(r.StdWebList, "D:\\web.lst");
    EXPECT_EQ(r.StdPresetList, "");
    EXPECT_EQ(r.HTMLpath, "C:\\htdocs");
    EXPECT_TRUE(r.CB_block);
    EXPECT_EQ(Pairs(r), "!21");
}

// The second save takes the first back; a file from before means no limit and the option off.
TEST_F(SettingsFile, RequestsPerGuestAndArtistApartRoundTripAndAFileFromBeforeMeansOff) {
    const QString file = PathOf("fair.stg"), old = Put("old.stg", "[standard]\nfade=3\n");
    const TSetRec before = settings::LoadSettingsFile(old);
    EXPECT_TRUE(before.RequestsPerGuest == 0 && !before.CB_artist_apart);
    for (const int limit : {3, 0}) {
        TSetRec rec;
        rec.RequestsPerGuest = limit;
        rec.CB_artist_apart = limit > 0;
        settings::SaveSettingsFile(file, rec);
        const TSetRec back = settings::LoadSettingsFile(file);
        EXPECT_TRUE(back.RequestsPerGuest == limit && back.CB_artist_apart == (limit > 0)) << limit;
    }
    EXPECT_EQ(Slurp(old), "[standard]\nfade=3\n");
}

// The three sound options: each round-trips alone; all off writes the bytes of a file from
// before them; a target out of range reads as the nearest one offered.
TEST_F(SettingsFile, SoundOptionsRoundTripAndAllOffWritesTheFileAsBefore) {
    TSetRec off;
    off.FadeSec = 4;
    const QString plain = PathOf("plain.stg");
    settings::SaveSettingsFile(plain, off);
    const std::string before = Slurp(plain);
    EXPECT_EQ(before.find("lev"), std::string::npos);
    settings::SaveSettingsFile(plain, settings::LoadSettingsFile(plain));
    EXPECT_EQ(Slurp(plain), before);

    struct Case {
        const char* what;
        bool leveling, crossfade, noDeadAir;
        int target;
        const char* lines;  // what the file gains
    } cases[] = {
        {"leveling", true, false, false, -18, "leveling=1\nleveltarget=-18\n"},
        {"crossfade", false, true, false, -14, "crossfade=1\n"},
        {"no dead air", false, false, true, -14, "nodeadair=1\n"},
        {"all", true, true, true, -23, "leveling=1\nleveltarget=-23\ncrossfade=1\nnodeadair=1\n"},
    };
    for (const Case& c : cases) {
        TSetRec rec = off;
        rec.CB_leveling = c.leveling;
        rec.CB_crossfade = c.crossfade;
        rec.CB_no_dead_air = c.noDeadAir;
        rec.LevelTarget = c.target;
        const QString file = PathOf(std::string(c.what) + ".stg");
        settings::SaveSettingsFile(file, rec);
        EXPECT_EQ(Slurp(file), before + c.lines) << c.what;
        const TSetRec back = settings::LoadSettingsFile(file);
        EXPECT_TRUE(back.CB_leveling == c.leveling && back.CB_crossfade == c.crossfade &&
                    back.CB_no_dead_air == c.noDeadAir && back.LevelTarget == c.target)
            << c.what;
        // Switched off again, the keys stay and say off.
        settings::SaveSettingsFile(file, off);
        const TSetRec again = settings::LoadSettingsFile(file);
        EXPECT_FALSE(again.CB_leveling || again.CB_crossfade || again.CB_no_dead_air) << c.what;
    }
    EXPECT_EQ(settings::LoadSettingsFile(plain).LevelTarget, -14);
    EXPECT_EQ(settings::LoadSettingsFile(Put("low.stg", "[standard]\nleveltarget=-99\n")).LevelTarget, -30);
    EXPECT_EQ(settings::LoadSettingsFile(Put("high.stg", "[standard]\nleveltarget=3\n")).LevelTarget, -5);
}

TEST_F(SettingsFile, AWriteThatFailsNamesTheFileAndKeepsWhatWasWritten) {
    TSetRec rec;
    rec.FadeSec = 9;
    const QString folder = PathOf("folder.stg");
    std::filesystem::create_directory(folder.toStdString());
    try {
        settings::SaveSettingsFile(folder, rec);
        ADD_FAILURE() << "no error";
    } catch (const platform::WriteError& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), "Unable to write to " + folder);
    }

    // Failing part-way (a file size limit, as a full disk would): earlier keys stay.
    const QString partial = PathOf("partial.stg");
    rec.StdPlayList = QString(200, 'p');
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit low = old;
    low.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    EXPECT_THROW(settings::SaveSettingsFile(partial, rec), platform::WriteError);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(Slurp(partial), "[standard]\nfade=9\nffsec=0\n");
}

}  // namespace
