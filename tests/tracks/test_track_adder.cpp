// Adding tracks without a main window: the probe's details, the duplicate check and the batch.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTimer>
#include <stdexcept>

#include <sys/stat.h>

#include "tracks/track_adder.h"
#include "tracks/track_list.h"

namespace {

struct Adding : ::testing::Test {

    // Some audio-like bytes and an ID3v1 trailer naming `title` (none for an empty title), after
    // the ID3v2 tag `v2` when given; the length the measure reports.
    QString Write(const QString& name, const QByteArray& title, int lengthMs, const QByteArray& v2 = {}) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray trailer(128, '\0');
        trailer.replace(0, 3, "TAG").replace(3, title.size(), title);
        f.write(v2 + QByteArray(2000, '\x55') + (title.isEmpty() ? QByteArray() : trailer));
        lengths[path] = lengthMs;
        return path;
    }
    // An ID3v2 tag of the given major version with Latin-1 text frames ("TIT2", "Song", ...).
    static QByteArray V2(char major, const QList<std::pair<QByteArray, QByteArray>>& frames) {
        QByteArray body;
        for (const auto& [id, text] : frames) {
            const int size = int(text.size()) + 1;  // below 128: the same in both size codings
            body += id + QByteArray(3, '\0') + char(size) + QByteArray(2, '\0') + '\0' + text;
        }
        return QByteArray("ID3") + major + QByteArray(2, '\0') + QByteArray(2, '\0') + char(body.size() >> 7) +
               char(body.size() & 0x7F) + body;
    }

    QTemporaryDir dir;
    QHash<QString, int> lengths;
    QStringList probed;
    tracks::TrackAdder adder{[this](const QString& p) {
                                 if (!lengths.contains(p)) throw std::runtime_error("cannot play");
                                 return lengths[p];
                             },
                             [this](const QString& p, bool) { probed << p; }};
    tracks::TrackList list;
};

TEST_F(Adding, RowsTellWhatTheProbeFoundAndNothingOfAnEarlierFile) {
    const QString song = Write("song.mp3", "Song", 61000), missing = dir.filePath("gone.mp3");
    const QByteArray v23 = V2(3, {{"TIT2", "Today"}, {"TPE1", "Band"}, {"TALB", "Disc"}, {"TYER", "1999"}});
    const QString v2only = Write("v2.mp3", "", 1000, v23);
    const QString v24 = Write("v24.mp3", "", 1000, V2(4, {{"TIT2", "Stamp"}, {"TDRC", "2004-05-12"}}));
    const QString both = Write("both.mp3", "Trailer", 1000, v23);
    struct Case {
        QString path, status, title, time;
        int rows;
        QString artist = {}, album = {}, year = {};  // checked when given
    } const cases[] = {
        {song, "ok", "Song", "01:01", 1, "n/a", "n/a", "####"},
        {v2only, "ok", "Today", "00:01", 2, "Band", "Disc", "1999"},  // no trailer: the ID3v2 tag
        {v24, "ok", "Stamp", "00:01", 3, "n/a", "n/a", "2004"},      // the year of a time stamp
        {missing, "", "n/a", "00:00", 4, "n/a", "n/a", "####"},       // no file: nothing of the one before
        {both, "ok", "Trailer", "00:01", 5, "Band", "Disc", "1999"},  // the trailer's title; its empty fields filled
        {song, "", "", "", 5},                                        // already in the list
        {"-", "", "", "", 5},
        {dir.path(), "", "n/a", "00:00", 6},  // a folder is no file
    };
    for (const Case& c : cases) {
        adder.Add(list, c.path, "src", "ok");
        ASSERT_EQ(list.Count(), c.rows) << c.path.toStdString();
        if (c.title.isEmpty()) continue;
        const tracks::TrackRow row = list.Row(c.rows - 1);
        EXPECT_EQ(row.Status, c.status) << c.path.toStdString();
        EXPECT_EQ(row.Title, c.title) << c.path.toStdString();
        EXPECT_EQ(row.Time, c.time) << c.path.toStdString();
        EXPECT_EQ(row.Src, "src");
        for (const auto& [got, want] : {std::pair{row.Artist, c.artist}, {row.Album, c.album}, {row.Year, c.year}})
            if (!want.isEmpty()) {
                EXPECT_EQ(got, want) << c.path.toStdString();
            }
    }
    EXPECT_EQ(probed, (QStringList{song, v2only, v24, both}));
    list.ClearRows();
    adder.Add(list, song, "src", "ok");
    EXPECT_EQ(list.Count(), 1) << "a cleared row no longer counts as a duplicate";
}

TEST_F(Adding, ABatchLetsEventsThroughAndGoesOnPastAFailure) {
    const QString a = Write("a.mp3", "A", 1000), b = Write("b.mp3", "B", 1000);
    const QString bad = dir.filePath("bad.mp3"), pipe = dir.filePath("pipe.mp3");
    {
        QFile empty(bad);
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    static int argc = 1;  // events between files: the batch runs a core application's loop
    static char name[] = "test_tracks";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    bool busyInside = false;
    QTimer::singleShot(0, [&] { busyInside = adder.Busy(); });

    const std::vector<QString> failed =
        adder.AddBatch(list, {a.toStdU16String(), bad.toStdU16String(), b.toStdU16String(), pipe.toStdU16String()},
                       "File", "ok");
    EXPECT_TRUE(busyInside) << "events ran between the files, inside the batch";
    EXPECT_FALSE(adder.Busy()) << "the batch releases its guard";
    EXPECT_EQ(list.Count(), 2) << "the files after the one that failed were added";
    ASSERT_EQ(failed.size(), 2u) << "each failure is reported";
    EXPECT_TRUE(failed[1].contains("Not a regular file")) << failed[1].toStdString();
}

}  // namespace
