#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "platform/errors.h"
#include "platform/text_codec.h"
#include "tracks/playlist_file.h"
#include "tests/support/temp_dir.h"

using namespace tracks;

namespace {


class PlaylistFile : public ::testing::Test {
protected:
    QString PathOf(const std::string& name) const { return QString::fromStdString((dir_ / name).string()); }
    std::string Slurp(const QString& p) const {
        return platform::ReadBinaryFile(p.toStdString()).value_or("<missing>");
    }
    void Put(const QString& p, const std::string& bytes) const {
        std::ofstream(p.toStdString(), std::ios::binary) << bytes;
    }
    void Load(TrackList& list, const QString& file) {
        LVfromFile(list, file, [&](const QString& l) { log.push_back(l); },
                   [&](const QString& t) { details.push_back(t); });
    }

    testutil::TempDir tmp_;
    const std::filesystem::path& dir_ = tmp_.path();
    QStringList log, details;
};

TrackRow MakeRow(const QString& status, const QString& n) {
    return TrackRow{status, "Title " + n, "Artist " + n, "Album " + n, "199" + n, "03:2" + n, "DJ",
                    "/music/track " + n + ".mp3"};
}

}  // namespace

TEST_F(PlaylistFile, SavingWritesOneSectionPerRowAndReplacesEarlierContent) {
    TrackList list;
    list.AppendRows({MakeRow("ready", "1"), MakeRow("running", "2"), MakeRow("soon", "3")});
    const QString file = PathOf("queue.lst");
    LVtoFile(list, file);

    std::string expected;
    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i + 1);
        const char* status[] = {"ready", "running", "soon"};
        expected += (i ? "\n[" : "[") + std::to_string(i) + "]\n" + "Status=" + status[i] +
                    "\nTitle=Title " + n + "\nArtist=Artist " + n + "\nAlbum=Album " + n +
                    "\nYear=199" + n + "\nTime=03:2" + n + "\nSrc=DJ\nFileName=/music/track " + n +
                    ".mp3\n";
    }
    EXPECT_EQ(Slurp(file), expected);

    TrackList one;
    one.AppendRow(MakeRow("ready", "9"));
    LVtoFile(one, file);
    TrackList back;
    Load(back, file);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.Row(0), MakeRow("ready", "9"));
    EXPECT_EQ(Slurp(file).find("[1]"), std::string::npos);
}

TEST_F(PlaylistFile, EmptyListRemovesTheFile) {
    TrackList empty;
    const QString file = PathOf("gone.lst");
    Put(file, "[0]\nFileName=/x.mp3\n");
    LVtoFile(empty, file);
    EXPECT_FALSE(std::filesystem::exists(file.toStdString()));
    LVtoFile(empty, file);  // nothing there: still nothing, no error
    EXPECT_FALSE(std::filesystem::exists(file.toStdString()));

    // A folder in its place is not removed.
    const QString folder = PathOf("folder.lst");
    std::filesystem::create_directory(folder.toStdString());
    EXPECT_THROW(LVtoFile(empty, folder), platform::WriteError);
    EXPECT_TRUE(std::filesystem::is_directory(folder.toStdString()));
}

TEST_F(PlaylistFile, RoundTripKeepsEveryFieldAndStatus) {
    TrackList list;
    const TrackRow odd{"running", QString::fromUtf16(u"Caf\u00E9 \u20AC \U0001F600"), "", "a=b",
                       "[1999]", "00:00", "192.168.0.7", "/m/with space; and \"quotes\".mp3"};
    list.AppendRows({odd, MakeRow("played", "2")});
    const QString file = PathOf("rt.lst");
    LVtoFile(list, file);
    TrackList back;
    Load(back, file);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back.Row(0), odd);
    EXPECT_EQ(back.Row(0).Status, "running");
    EXPECT_EQ(back.Row(1), MakeRow("played", "2"));
    EXPECT_EQ(log, QStringList{"Reading title list"});
    EXPECT_TRUE(details.isEmpty());
}

TEST_F(PlaylistFile, LoadingSkipsAndReportsDuplicatesAndKeepsSelection) {
    TrackList source;
    source.AppendRows({MakeRow("ready", "1"), MakeRow("ready", "2"), MakeRow("ready", "3"),
                       MakeRow("ready", "4")});
    const QString file = PathOf("dups.lst");
    LVtoFile(source, file);

    TrackList list;
    list.AppendRows({MakeRow("running", "3"), MakeRow("next", "1")});
    list.SelectRow(1);
    Load(list, file);
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Row(0), MakeRow("running", "3"));  // existing rows untouched, first
    EXPECT_EQ(list.Row(1), MakeRow("next", "1"));
    EXPECT_EQ(list.Row(2), MakeRow("ready", "2"));
    EXPECT_EQ(list.Row(3), MakeRow("ready", "4"));
    EXPECT_EQ(list.SelectedIndex(), 1);
    const QString prefix = QString::fromUtf16(u"Doppelt oder ung\u00FCltig: \r\n");
    EXPECT_EQ(details, (QStringList{prefix + "track 1.mp3", prefix + "track 3.mp3"}));

    // Loading the same file again adds nothing and reports every row.
    details.clear();
    Load(list, file);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(details.size(), 4);

    // Paths are compared exactly: another case is another file; a repeat inside the file is not.
    Put(file, "[0]\nFileName=/music/TRACK 2.mp3\n[1]\nFileName=/new.mp3\n[2]\nfilename=/new.mp3\n");
    details.clear();
    Load(list, file);
    EXPECT_EQ(list.Count(), 6);
    EXPECT_EQ(list.SubItem(4, siFileName), "/music/TRACK 2.mp3");
    EXPECT_EQ(list.Row(5).Title, "-");
    EXPECT_EQ(details, QStringList{prefix + "new.mp3"});
}

TEST_F(PlaylistFile, SectionsAreAddressedByNumberUpToTheCount) {
    const QString file = PathOf("gaps.lst");
    Put(file,
        "[0]\nFileName=/a.mp3\n"
        "[1]\nFileName=C:\\Musik\\b.mp3\n"
        "[5]\nFileName=/never.mp3\n");
    TrackList list;
    Load(list, file);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.SubItem(1, siFileName), "C:\\Musik\\b.mp3");
    EXPECT_EQ(details, QStringList{QString::fromUtf16(u"Doppelt oder ung\u00FCltig: \r\n-")});

    // No file, or a file without sections: nothing, no message.
    details.clear();
    Load(list, PathOf("none.lst"));
    Put(file, "just text\n");
    Load(list, file);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_TRUE(details.isEmpty());
}

TEST_F(PlaylistFile, WindowsMadePlaylistLoads) {
    const QString file = PathOf("win.lst");
    // Windows-1252, CR LF, other key and section case, blanks and quotes around values.
    Put(file,
        "[0]\r\n"
        "STATUS = played\r\n"
        "title=\"  Caf\xE9 del Mar  \"\r\n"
        "Artist=  Ren\xE9 \x96 Band\r\n"
        "FILENAME=C:\\Musik\\Caf\xE9.mp3\r\n"
        "\r\n"
        "[1]\r\n"
        "Status=ready\r\n"
        "FileName=\"D:\\x.mp3\"\r\n"
        // Written by a program that keeps UTF-8: each line is read in its own encoding.
        "[2]\r\n"
        "Title=Beyonc\xC3\xA9\r\n"
        "FileName=/m/Beyonc\xC3\xA9 - Halo.mp3\r\n");
    TrackList list;
    Load(list, file);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Row(2).Title, QString::fromUtf16(u"Beyonc\u00E9"));
    EXPECT_EQ(list.Row(2).FileName, QString::fromUtf16(u"/m/Beyonc\u00E9 - Halo.mp3"));
    const TrackRow first = list.Row(0);
    EXPECT_EQ(first.Status, "played");
    EXPECT_EQ(first.Title, QString::fromUtf16(u"  Caf\u00E9 del Mar  "));
    EXPECT_EQ(first.Artist, QString::fromUtf16(u"Ren\u00E9 \u2013 Band"));
    EXPECT_EQ(first.Album, "-");
    EXPECT_EQ(first.Src, "-");
    EXPECT_EQ(first.FileName, QString::fromUtf16(u"C:\\Musik\\Caf\u00E9.mp3"));
    EXPECT_EQ(list.Row(1).FileName, "D:\\x.mp3");
}

TEST_F(PlaylistFile, FailedWriteKeepsTheEarlierPlaylist) {
    TrackList small;
    small.AppendRow(MakeRow("ready", "1"));
    const QString file = PathOf("keep.lst");
    LVtoFile(small, file);
    const std::string before = Slurp(file);

    TrackList big;
    std::vector<TrackRow> rows;
    for (int i = 0; i < 200; ++i) rows.push_back(MakeRow("ready", QString::number(i)));
    big.AppendRows(rows);

    // A file size limit makes the write fail part-way, as a full disk would.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit low = old;
    low.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    bool threw = false;
    try {
        LVtoFile(big, file);
    } catch (const platform::WriteError& e) {
        threw = true;
        EXPECT_EQ(QString::fromUtf8(e.what()), "Unable to write to " + file);
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_TRUE(threw);
    EXPECT_EQ(Slurp(file), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(PlaylistFile, DialogsAndFileNamePart) {
    const auto open = OpenPlayListDialog1();
    const auto save = SaveListDialog1();
    EXPECT_EQ(open.title, u"Open Play List");
    EXPECT_EQ(save.title, u"Save Play List");
    for (const auto& o : {open, save}) {
        EXPECT_EQ(o.filter, u"Play List (*.lst)|*.lst|All Files (*.*)|*.*");
        EXPECT_EQ(o.defaultExt, u".lst");
        EXPECT_FALSE(o.multiSelect);
    }
    const std::pair<const char*, const char*> names[] = {
        {"/home/dj/a b.mp3", "a b.mp3"},
        {"C:\\Musik\\x.mp3", "x.mp3"},
        {"/music/Track 01: Intro.mp3", "Track 01: Intro.mp3"},  // a colon belongs to the name
        {"D:x.mp3", "D:x.mp3"},
        {"-", "-"},
    };
    for (const auto& [path, part] : names) EXPECT_EQ(FileNamePart(path), part) << path;
}
