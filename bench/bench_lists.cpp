// Track lists at party size: the status refresh of a 10,000-row guest pool against a 1,000-row
// queue and 500 guest requests, and sorting a 10,000-row pool by each column.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <random>

#include "tracks/list_ops.h"
#include "tracks/track_list.h"
#include "ui/list_presentation.h"

namespace {

QApplication& Application() {
    static int argc = 1;
    static char name[] = "bench_lists";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

constexpr int kPool = 10000, kQueue = 1000, kRequests = 500;

// 10,000 files on disk (nine in ten exist), shared by every benchmark of the run.
struct Library {
    QTemporaryDir dir;
    QStringList paths;
    Library() {
        for (int i = 0; i < kPool; ++i) {
            const QString p = dir.filePath(QStringLiteral("track%1.mp3").arg(i, 5, 10, QLatin1Char('0')));
            if (i % 10 != 0) QFile(p).open(QIODevice::WriteOnly);
            paths << p;
        }
    }
};

Library& Files() {
    static Library library;
    return library;
}

tracks::TrackRow MakeRow(std::mt19937& rng, const QString& path) {
    static const char* const words[] = {"alpha", "Beta", "gamma", "Delta", "n/a", "\u00e9t\u00e9", "Omega", "zeta"};
    auto word = [&] { return QString::fromUtf8(words[rng() % 8]) + QString::number(rng() % 1000); };
    tracks::TrackRow r;
    r.Status = QStringLiteral("ready");
    r.Title = word();
    r.Artist = word();
    r.Album = word();
    r.Year = rng() % 5 == 0 ? QStringLiteral("####") : QString::number(1950 + rng() % 75);
    r.Time = QStringLiteral("%1:%2").arg(rng() % 10, 2, 10, QLatin1Char('0')).arg(rng() % 60, 2, 10, QLatin1Char('0'));
    r.Src = rng() % 2 ? QStringLiteral("File") : QStringLiteral("192.168.1.%1").arg(rng() % 255);
    r.FileName = path;
    return r;
}

void BM_RefreshGuestPool(benchmark::State& state) {
    Application();
    const QStringList& paths = Files().paths;
    std::mt19937 rng(1);
    // The pool is on screen: its view follows every change.
    tracks::TrackList pool, queue, requests;
    ui::TListView shown(QStringLiteral("ListView_Guest_Pool"), pool);
    std::vector<tracks::TrackRow> rows;
    for (const QString& p : paths) rows.push_back(MakeRow(rng, p));
    pool.AppendRows(rows);
    rows.clear();
    for (int i = 0; i < kQueue; ++i) rows.push_back(MakeRow(rng, paths[static_cast<int>(rng() % kPool)]));
    queue.AppendRows(rows);
    rows.clear();
    for (int i = 0; i < kRequests; ++i) rows.push_back(MakeRow(rng, paths[static_cast<int>(rng() % kPool)]));
    requests.AppendRows(rows);

    const tracks::StatusWords words{QStringLiteral("ready"), QStringLiteral("blocked"), QStringLiteral("chosen"),
                                    QStringLiteral("error")};
    const tracks::StatusWords other{QStringLiteral("bereit"), QStringLiteral("gesperrt"),
                                    QStringLiteral("gew\u00e4hlt"), QStringLiteral("Fehler")};
    bool flip = false;
    for (auto _ : state) {
        // Alternating the words makes every row change, the costly case.
        tracks::FileChecks files;  // one event's checks
        pool.SetCaptions(tracks::ListStates(pool, queue, requests, flip ? other : words, files));
        flip = !flip;
    }
    state.SetItemsProcessed(state.iterations() * kPool);
}
BENCHMARK(BM_RefreshGuestPool)->Unit(benchmark::kMillisecond);

void BM_SortPool(benchmark::State& state) {
    Application();
    const QStringList& paths = Files().paths;
    const int column = static_cast<int>(state.range(0));
    std::mt19937 rng(2);
    tracks::TrackList pool;
    ui::TListView shown(QStringLiteral("ListView_Guest_Pool"), pool);
    ui::ApplyListLook(&shown, ui::ListKind::GuestPool, nullptr);
    std::vector<tracks::TrackRow> rows;
    for (int i = 0; i < kPool; ++i) {
        rows.push_back(MakeRow(rng, paths[static_cast<int>(rng() % kPool)]));
        rows.back().Status = rng() % 3 == 0 ? QStringLiteral("blocked") : QStringLiteral("ready");
    }
    std::vector<tracks::TrackRow> shuffled = rows;
    bool descending = false;
    for (auto _ : state) {
        state.PauseTiming();
        pool.ClearRows();
        std::shuffle(shuffled.begin(), shuffled.end(), rng);
        pool.AppendRows(shuffled);
        state.ResumeTiming();
        tracks::SortList(pool, column, descending);
        descending = !descending;
    }
    state.SetLabel(QStringList{"Status", "Title", "Artist", "Album", "Year", "Time", "Source", "File"}[column]
                       .toStdString());
}
BENCHMARK(BM_SortPool)->DenseRange(0, 7)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
