// Track rows, the list widget and the list operations: lookups, removal, status refresh and the
// time formats.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <random>

#include "tracks/list_ops.h"
#include "tracks/time_format.h"
#include "tracks/track_list.h"
#include "tests/support/qt_app.h"

namespace {

using tracks::TListView;
using tracks::TrackRow;

using test_support::EnsureApplication;

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

QStringList Files(const TListView& list) {
    QStringList out;
    for (int i = 0; i < list.Count(); ++i) out << list.SubItem(i, tracks::siFileName);
    return out;
}

QStringList Captions(const TListView& list) {
    QStringList out;
    for (int i = 0; i < list.Count(); ++i) out << list.Caption(i);
    return out;
}

const tracks::StatusWords kWords{QStringLiteral("ready"), QStringLiteral("blocked"), QStringLiteral("chosen"),
                                 QStringLiteral("error")};

class TrackList : public ::testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }
};

TEST_F(TrackList, RowsKeepTheirFieldsInColumnOrder) {
    TListView list(QStringLiteral("L"));
    TrackRow r{QStringLiteral("ready"), QStringLiteral("Title"), QStringLiteral("Artist"),
               QStringLiteral("Album"), QStringLiteral("2001"), QStringLiteral("04:05"),
               QStringLiteral("DJ +"), QStringLiteral("/m/a.mp3")};
    list.AppendRow(r);
    EXPECT_EQ(list.Row(0), r);
    const QStringList columns{r.Status, r.Title, r.Artist, r.Album, r.Year, r.Time, r.Src, r.FileName};
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(r.Column(c), columns[c]);
        EXPECT_EQ(list.topLevelItem(0)->text(c), columns[c]) << c;
    }
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

TEST_F(TrackList, SelectionIsOneRowOrNone) {
    TListView list(QStringLiteral("L"));
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

TEST_F(TrackList, LookupsCompareWholePathsCaseSensitively) {
    TListView list(QStringLiteral("L"));
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

TEST_F(TrackList, RemoveRowsByValueDeletesEveryMatchAndKeepsOrder) {
    TListView list(QStringLiteral("L"));
    tracks::RemoveRowsByValue(list, tracks::siFileName, "/a");
    EXPECT_EQ(list.Count(), 0);
    list.AppendRows({MakeRow("/a"), MakeRow("/a"), MakeRow("/b"), MakeRow("/a"), MakeRow("/c"), MakeRow("/A")});
    tracks::RemoveRowsByValue(list, tracks::siFileName, "/a");
    EXPECT_EQ(Files(list), (QStringList{"/b", "/c", "/A"}));
    tracks::RemoveRowsByValue(list, tracks::siFileName, "/nothing");
    EXPECT_EQ(list.Count(), 3);
}

TEST_F(TrackList, RefreshMarksRowsFromDiskQueueAndRequests) {
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

    TListView queue(QStringLiteral("Q")), requests(QStringLiteral("R")), pool(QStringLiteral("P"));
    queue.AppendRows({MakeRow(queued, "running"), MakeRow(both, ""), MakeRow(missing, "next")});
    requests.AppendRows({MakeRow(asked, ""), MakeRow(both, "")});
    pool.AppendRows({MakeRow(free, "x"), MakeRow(queued, ""), MakeRow(asked, ""), MakeRow(both, ""),
                     MakeRow(missing, "ready"), MakeRow(QString(), "ready"), MakeRow(folder, "ready"),
                     MakeRow(free.toUpper(), "ready")});

    tracks::RefreshListStates(pool, queue, requests, kWords);
    EXPECT_EQ(Captions(pool), (QStringList{"ready", "blocked", "chosen", "blocked", "error", "error", "error",
                                           "error"}));
    EXPECT_EQ(pool.Count(), 8);  // nothing is removed

    // The queue itself: every existing file is in the queue, so it reads blocked.
    tracks::RefreshListStates(queue, queue, requests, kWords);
    EXPECT_EQ(Captions(queue), (QStringList{"blocked", "blocked", "error"}));

    // The words in force are the ones written.
    const tracks::StatusWords german{"bereit", "gesperrt", "gewählt", "Fehler"};
    tracks::RefreshListStates(pool, queue, requests, german);
    EXPECT_EQ(pool.Caption(0), QStringLiteral("bereit"));
    EXPECT_EQ(pool.Caption(2), QStringLiteral("gewählt"));
}

// The hashed refresh gives what the rules give when applied row by row with plain scans.
TEST_F(TrackList, RefreshAgreesWithRowByRowScans) {
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
        TListView queue(QStringLiteral("Q")), requests(QStringLiteral("R")), pool(QStringLiteral("P"));
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
        tracks::RefreshListStates(pool, queue, requests, kWords);
        EXPECT_EQ(Captions(pool), expected) << "round " << round;
    }
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
