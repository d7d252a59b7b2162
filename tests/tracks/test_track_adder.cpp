// Adding tracks without a main window: the probe's details, the duplicate check and the batch.
#include <gtest/gtest.h>

#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTimer>
#include <stdexcept>

#include "tests/support/qt_app.h"
#include "tracks/track_adder.h"
#include "tracks/track_list.h"

namespace {

struct Adding : ::testing::Test {

    // Some audio-like bytes and an ID3v1 trailer naming `title`; the length the measure reports.
    QString Write(const QString& name, const QByteArray& title, int lengthMs) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray trailer(128, '\0');
        trailer.replace(0, 3, "TAG").replace(3, title.size(), title);
        f.write(QByteArray(2000, '\x55') + trailer);
        lengths[path] = lengthMs;
        return path;
    }

    const bool app = (test_support::EnsureApplication(), true);  // before the list, a widget
    QTemporaryDir dir;
    QHash<QString, int> lengths;
    QStringList probed;
    tracks::TrackAdder adder{[this](const QString& p) {
                                 if (!lengths.contains(p)) throw std::runtime_error("cannot play");
                                 return lengths[p];
                             },
                             [this](const QString& p, bool) { probed << p; }};
    tracks::TListView list{QStringLiteral("list")};
};

TEST_F(Adding, RowsTellWhatTheProbeFoundAndNothingOfAnEarlierFile) {
    const QString song = Write("song.mp3", "Song", 61000), missing = dir.filePath("gone.mp3");
    struct Case {
        QString path, status, title, time;
        int rows;
    } const cases[] = {
        {song, "ok", "Song", "01:01", 1},
        {missing, "", "n/a", "00:00", 2},  // no file: no probe, no details of the song
        {song, "", "", "", 2},             // already in the list
        {"-", "", "", "", 2},
        {dir.path(), "", "n/a", "00:00", 3},  // a folder is no file
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
    }
    EXPECT_EQ(probed, QStringList{song});
    list.ClearRows();
    adder.Add(list, song, "src", "ok");
    EXPECT_EQ(list.Count(), 1) << "a cleared row no longer counts as a duplicate";
}

TEST_F(Adding, ABatchLetsEventsThroughKeepsQuietObjectsQuietAndGoesOnPastAFailure) {
    const QString a = Write("a.mp3", "A", 1000), b = Write("b.mp3", "B", 1000);
    const QString bad = dir.filePath("bad.mp3");
    {
        QFile empty(bad);
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    }
    QTimer quiet;
    int quietTicks = 0;
    QObject::connect(&quiet, &QTimer::timeout, [&] { ++quietTicks; });
    quiet.start(0);
    bool busyInside = false;
    QTimer::singleShot(0, [&] { busyInside = adder.Busy(); });

    const std::vector<QString> failed =
        adder.AddBatch(list, {a.toStdU16String(), bad.toStdU16String(), b.toStdU16String(), bad.toStdU16String()},
                       "File", "ok", {&quiet});
    EXPECT_TRUE(busyInside) << "events ran between the files, inside the batch";
    EXPECT_EQ(quietTicks, 0);
    EXPECT_FALSE(adder.Busy()) << "the batch releases its guard";
    EXPECT_EQ(list.Count(), 2) << "the files after the one that failed were added";
    EXPECT_EQ(failed.size(), 2u) << "each failure is reported";
}

}  // namespace
