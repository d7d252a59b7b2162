// Track rows, the track list and the list operations: lookups, removal, status refresh, sorting
// and the time formats. No application object: the lists are plain data.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <random>

#include "tracks/list_ops.h"
#include "tracks/time_format.h"
#include "tracks/track_list.h"

namespace {

using tracks::TrackRow;
using List = tracks::TrackList;

TrackRow MakeRow(const QString& file, const QString& status = QStringLiteral("ready")) {
    TrackRow r;
    r.Status = status;
    r.Title = QStringLiteral("T ") + file;
    r.Artist = QStringLiteral("A");
    r.Album = QStringLiteral("B");
    r.Year = QStringLiteral("1999");
    r.Time = QStringLiteral("03:00");
    r.Src = QStringLiteral("File");
    r.FileName = file;
    return r;
}

QStringList Files(const List& list) {
    QStringList out;
    for (int i = 0; i < list.Count(); ++i) out << list.SubItem(i, tracks::siFileName);
    return out;
}

QStringList Captions(const List& list) {
    QStringList out;
    for (int i = 0; i < list.Count(); ++i) out << list.Caption(i);
    return out;
}

const tracks::StatusWords kWords{QStringLiteral("ready"), QStringLiteral("blocked"), QStringLiteral("chosen"),
                                 QStringLiteral("error")};

void Refresh(List& list, const List& queue, const List& requests, const tracks::StatusWords& words) {
    tracks::FileChecks files;
    list.SetCaptions(tracks::ListStates(list, queue, requests, words, files));
}

QStringList Titles(const List& list) {
    QStringList out;
    for (const TrackRow& r : list.Rows()) out << r.Title;
    return out;
}

TEST(TrackList, RowsKeepTheirFieldsInColumnOrder) {
    List list;
    TrackRow r{QStringLiteral("ready"), QStringLiteral("Title"), QStringLiteral("Artist"),
               QStringLiteral("Album"), QStringLiteral("2001"), QStringLiteral("04:05"),
               QStringLiteral("DJ +"), QStringLiteral("/m/a.mp3")};
    list.AppendRow(r);
    EXPECT_EQ(list.Row(0), r);
    const QStringList columns{r.Status, r.Title, r.Artist, r.Album, r.Year, r.Time, r.Src, r.FileName};
    for (int c = 0; c < 8; ++c) EXPECT_EQ(list.Row(0).Column(c), columns[c]) << c;
    for (int sub = 0; sub < 7; ++sub) EXPECT_EQ(list.SubItem(0, sub), columns[sub + 1]);

    list.SetSubItem(0, tracks::siYear, QStringLiteral("####"));
    list.SetCaption(0, QStringLiteral("played"));
    EXPECT_EQ(list.Row(0).Year, QStringLiteral("####"));
    EXPECT_EQ(list.Caption(0), QStringLiteral("played"));
    // Out-of-range access is harmless.
    EXPECT_EQ(list.Caption(5), QString());
    EXPECT_EQ(list.SubItem(0, 9), QString());
    list.SetCaption(-1, QStringLiteral("x"));
    list.DeleteRow(3);
    EXPECT_EQ(list.Count(), 1);
}

TEST(TrackList, SelectionIsOneRowOrNone) {
    List list;
    EXPECT_EQ(list.SelectedIndex(), -1);
    list.AppendRows({MakeRow("/a"), MakeRow("/b"), MakeRow("/c")});
    list.SelectRow(1);
    EXPECT_EQ(list.SelectedIndex(), 1);
    list.SelectRow(2);
    EXPECT_EQ(list.SelectedIndex(), 2);
    list.SelectRow(7);  // names no row
    EXPECT_EQ(list.SelectedIndex(), -1);
    list.SelectRow(0);
    list.DeleteRow(0);
    EXPECT_EQ(list.SelectedIndex(), -1);
    EXPECT_EQ(Files(list), (QStringList{"/b", "/c"}));
    list.ClearRows();
    EXPECT_EQ(list.Count(), 0);
}

// The selected row stays selected while rows come and go around it, and only a command that
// selects tells so: a deletion or a new order moves the selection silently.
TEST(TrackList, TheSelectionStaysWithItsRow) {
    struct Case {
        const char* change;
        std::function<void(List&)> run;
        QString selected;  // file of the selected row after the change; empty: none
    };
    const Case cases[] = {
        {"a row above deleted", [](List& l) { l.DeleteRow(0); }, "/c"},
        {"a row below deleted", [](List& l) { l.DeleteRow(3); }, "/c"},
        {"the selected row deleted", [](List& l) { l.DeleteRow(2); }, ""},
        {"rows appended", [](List& l) { l.AppendRows({MakeRow("/e"), MakeRow("/f")}); }, "/c"},
        {"reversed", [](List& l) { l.Reorder({3, 2, 1, 0}); }, "/c"},
        {"an order of the wrong length", [](List& l) { l.Reorder({0, 1}); }, "/c"},
        {"cleared", [](List& l) { l.ClearRows(); }, ""},
    };
    for (const Case& c : cases) {
        List list;
        list.AppendRows({MakeRow("/a"), MakeRow("/b"), MakeRow("/c"), MakeRow("/d")});
        list.SelectRow(2);
        int told = 0;
        QObject::connect(&list, &List::SelectionChanged, [&] { ++told; });
        c.run(list);
        EXPECT_EQ(list.SubItem(list.SelectedIndex(), tracks::siFileName), c.selected) << c.change;
        EXPECT_EQ(told, 0) << c.change;
    }
    // A renamed row no longer holds its old file.
    List list;
    list.AppendRow(MakeRow("/a"));
    EXPECT_TRUE(list.HoldsFile("/a"));
    list.SetSubItem(0, tracks::siFileName, "/b");
    EXPECT_FALSE(list.HoldsFile("/a"));
    EXPECT_TRUE(list.HoldsFile("/b"));
    // All captions at once are one change, told for the rows that changed.
    list.AppendRows({MakeRow("/c"), MakeRow("/d")});
    std::vector<std::pair<int, int>> ranges;
    QObject::connect(&list, &List::RowsChanged, [&](int first, int last) { ranges.emplace_back(first, last); });
    list.SetCaptions({"ready", "played", "soon"});
    list.SetCaptions({"ready", "played", "soon"});
    EXPECT_EQ(ranges, (std::vector<std::pair<int, int>>{{1, 2}}));
}

TEST(TrackList, LookupsCompareWholePathsCaseSensitively) {
    List list;
    EXPECT_FALSE(tracks::ListHasValue(list, tracks::siFileName, "/a"));
    EXPECT_EQ(tracks::FindLastIndex(list, tracks::siFileName, "/a"), -1);
    list.AppendRows({MakeRow("/x"), MakeRow("/y"), MakeRow("/Song.mp3"), MakeRow("/z"), MakeRow("/w"),
                     MakeRow("/Song.mp3"), MakeRow("/v")});
    EXPECT_EQ(tracks::FindLastIndex(list, tracks::siFileName, "/Song.mp3"), 5);
    EXPECT_TRUE(tracks::ListHasValue(list, tracks::siFileName, "/Song.mp3"));
    EXPECT_FALSE(tracks::ListHasValue(list, tracks::siFileName, "/song.mp3"));
    EXPECT_FALSE(tracks::ListHasValue(list, tracks::siFileName, "/Song.mp"));
    EXPECT_TRUE(tracks::ListHasValue(list, tracks::siTitle, "T /z"));
    EXPECT_FALSE(tracks::ListHasValue(list, 9, "/x"));
}

TEST(TrackList, RemoveRowsByValueDeletesEveryMatchAndKeepsOrder) {
    List list;
    tracks::RemoveRowsByValue(list, tracks::siFileName, "/a");
    EXPECT_EQ(list.Count(), 0);
    list.AppendRows({MakeRow("/a"), MakeRow("/a"), MakeRow("/b"), MakeRow("/a"), MakeRow("/c"), MakeRow("/A")});
    tracks::RemoveRowsByValue(list, tracks::siFileName, "/a");
    EXPECT_EQ(Files(list), (QStringList{"/b", "/c", "/A"}));
    tracks::RemoveRowsByValue(list, tracks::siFileName, "/nothing");
    EXPECT_EQ(list.Count(), 3);
}

TEST(TrackList, RefreshMarksRowsFromDiskQueueAndRequests) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto touch = [&](const QString& name) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return f.fileName();
    };
    const QString free = touch("free.mp3"), queued = touch("queued.mp3"), asked = touch("asked.mp3"),
                  both = touch("both.mp3");
    const QString missing = dir.filePath("missing.mp3");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.mp3"));
    const QString folder = dir.filePath("folder.mp3");

    List queue, requests, pool;
    queue.AppendRows({MakeRow(queued, "running"), MakeRow(both, ""), MakeRow(missing, "next")});
    requests.AppendRows({MakeRow(asked, ""), MakeRow(both, "")});
    pool.AppendRows({MakeRow(free, "x"), MakeRow(queued, ""), MakeRow(asked, ""), MakeRow(both, ""),
                     MakeRow(missing, "ready"), MakeRow(QString(), "ready"), MakeRow(folder, "ready"),
                     MakeRow(free.toUpper(), "ready")});

    Refresh(pool, queue, requests, kWords);
    EXPECT_EQ(Captions(pool), (QStringList{"ready", "blocked", "chosen", "blocked", "error", "error", "error",
                                           "error"}));
    EXPECT_EQ(pool.Count(), 8);  // nothing is removed

    // The queue itself: every existing file is in the queue, so it reads blocked.
    Refresh(queue, queue, requests, kWords);
    EXPECT_EQ(Captions(queue), (QStringList{"blocked", "blocked", "error"}));

    // The words in force are the ones written.
    const tracks::StatusWords german{"bereit", "gesperrt", "gewählt", "Fehler"};
    Refresh(pool, queue, requests, german);
    EXPECT_EQ(pool.Caption(0), QStringLiteral("bereit"));
    EXPECT_EQ(pool.Caption(2), QStringLiteral("gewählt"));
}

// The hashed refresh gives what the rules give when applied row by row with plain scans.
TEST(TrackList, RefreshAgreesWithRowByRowScans) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::mt19937 rng(7);
    QStringList paths;
    for (int i = 0; i < 60; ++i) {
        const QString p = dir.filePath(QStringLiteral("t%1.mp3").arg(i));
        if (i % 4 != 0) {
            QFile f(p);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        }
        paths << p;
    }
    auto pick = [&] { return paths[static_cast<int>(rng() % paths.size())]; };
    for (int round = 0; round < 5; ++round) {
        List queue, requests, pool;
        for (int i = 0; i < 20; ++i) queue.AppendRow(MakeRow(pick()));
        for (int i = 0; i < 10; ++i) requests.AppendRow(MakeRow(pick()));
        for (int i = 0; i < 80; ++i) pool.AppendRow(MakeRow(pick(), "?"));

        QStringList expected;
        for (int i = 0; i < pool.Count(); ++i) {
            const QString f = pool.SubItem(i, tracks::siFileName);
            QString s;
            if (!QFile::exists(f)) {
                s = "error";
            } else {
                if (!tracks::ListHasValue(queue, tracks::siFileName, f)) s = "ready";
                if (tracks::ListHasValue(requests, tracks::siFileName, f)) s = "chosen";
                if (tracks::ListHasValue(queue, tracks::siFileName, f)) s = "blocked";
            }
            expected << s;
        }
        Refresh(pool, queue, requests, kWords);
        EXPECT_EQ(Captions(pool), expected) << "round " << round;
    }
}

TEST(SortKeys, TextOrderWithOnlyAsciiLettersFolded) {
    EXPECT_EQ(tracks::CompareSortKeys("abc", "ABC"), 0);
    EXPECT_LT(tracks::CompareSortKeys("abc", "abd"), 0);
    EXPECT_GT(tracks::CompareSortKeys("b", "A"), 0);
    EXPECT_LT(tracks::CompareSortKeys("ab", "abc"), 0);  // a prefix comes first
    EXPECT_EQ(tracks::CompareSortKeys("", ""), 0);
    EXPECT_LT(tracks::CompareSortKeys("", "a"), 0);
    // Accented letters are not folded: upper and lower case differ.
    EXPECT_NE(tracks::CompareSortKeys("\u00e9t\u00e9", "\u00c9T\u00c9"), 0);
    // Numbers and times compare as text.
    EXPECT_LT(tracks::CompareSortKeys("####", "1999"), 0);
    EXPECT_GT(tracks::CompareSortKeys("9:00", "10:00"), 0);
    // "n/a" sorts among the titles that begin with N.
    EXPECT_GT(tracks::CompareSortKeys("n/a", "Mozart"), 0);
    EXPECT_LT(tracks::CompareSortKeys("n/a", "Nadine"), 0);
    EXPECT_LT(tracks::CompareSortKeys("n/a", "Olga"), 0);
    // Letters fold onto upper case, so '_' (between 'Z' and 'a') sorts after every letter.
    EXPECT_GT(tracks::CompareSortKeys("_x", "zz"), 0);
    // Code units: a character beyond the basic plane compares by its first unit.
    EXPECT_GT(tracks::CompareSortKeys(QString::fromUtf8("\xF0\x9F\x8E\xB5"), QString(QChar(0xD000))), 0);
}

TEST(TrackList, SortingOrdersRowsOnceAndKeepsTheSelection) {
    const auto row = [](const QString& title, const QString& year) {
        TrackRow r = MakeRow("/m/" + title);
        r.Title = title;
        r.Year = year;
        return r;
    };
    List list;
    list.AppendRows({row("beta", "1999"), row("n/a", "####"), row("Alpha", "2005"), row("Nadine", "1980"),
                     row("mozart", "2010")});
    list.SelectRow(3);  // Nadine

    tracks::SortList(list, 1, false);
    EXPECT_EQ(Titles(list), (QStringList{"Alpha", "beta", "mozart", "n/a", "Nadine"}));
    EXPECT_EQ(list.SelectedIndex(), 4);
    EXPECT_EQ(list.SubItem(list.SelectedIndex(), tracks::siTitle), "Nadine");

    tracks::SortList(list, 1, true);
    EXPECT_EQ(Titles(list), (QStringList{"Nadine", "n/a", "mozart", "beta", "Alpha"}));

    tracks::SortList(list, 4, false);  // Year
    EXPECT_EQ(Titles(list), (QStringList{"n/a", "Nadine", "beta", "Alpha", "mozart"}));

    // Rows added later go to the end; the list does not stay sorted.
    list.AppendRow(row("Aaron", "1900"));
    EXPECT_EQ(list.SubItem(5, tracks::siTitle), "Aaron");
    // A column outside the table leaves the order alone.
    tracks::SortList(list, 8, false);
    EXPECT_EQ(list.SubItem(5, tracks::siTitle), "Aaron");
}

TEST(TimeFormat, MinutesWithinTheHourAndClock) {
    EXPECT_EQ(tracks::FormatMinSec(0), QStringLiteral("00:00"));
    EXPECT_EQ(tracks::FormatMinSec(999), QStringLiteral("00:00"));
    EXPECT_EQ(tracks::FormatMinSec(59999), QStringLiteral("00:59"));
    EXPECT_EQ(tracks::FormatMinSec(61000), QStringLiteral("01:01"));
    EXPECT_EQ(tracks::FormatMinSec(3599999), QStringLiteral("59:59"));
    EXPECT_EQ(tracks::FormatMinSec(3900000), QStringLiteral("05:00"));
    EXPECT_EQ(tracks::FormatMinSec(-5000), QStringLiteral("00:00"));
    EXPECT_EQ(tracks::FormatClock(QTime(7, 5, 9)), QStringLiteral("07:05:09"));
    EXPECT_EQ(tracks::FormatClock(QTime(23, 59, 0)), QStringLiteral("23:59:00"));
    EXPECT_EQ(tracks::FormatRequestTime(QTime(21, 4, 3)), QStringLiteral("21:04.03"));
}

}  // namespace
