// Saving and loading large playlists; both should grow linearly with the row count.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "platform/ini_file.h"
#include "tracks/playlist_file.h"

namespace {

std::filesystem::path BenchDir() {
    static const auto dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("qmm-bench-playlist-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

void Fill(tracks::TrackList& list, int rows) {
    std::vector<tracks::TrackRow> all;
    all.reserve(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        const QString n = QString::number(i);
        all.push_back({"ready", "Title number " + n, "Artist " + n, "Album of the year " + n, "1999",
                       "03:45", "DJ", "/home/dj/Music/Artist " + n + "/Track " + n + ".mp3"});
    }
    list.AppendRows(all);
}

QString FileFor(int rows) {
    return QString::fromStdString((BenchDir() / ("list" + std::to_string(rows) + ".lst")).string());
}

void BM_SavePlaylist(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    tracks::TrackList list;
    Fill(list, rows);
    const QString file = FileFor(rows);
    for (auto _ : state) {
        tracks::LVtoFile(list, file);
    }
    state.SetComplexityN(rows);
    state.SetItemsProcessed(state.iterations() * rows);
}

void BM_LoadPlaylist(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const QString file = FileFor(rows);
    {
        tracks::TrackList source;
        Fill(source, rows);
        tracks::LVtoFile(source, file);
    }
    tracks::TrackList list;
    const tracks::LineSink ignore = [](const QString&) {};
    for (auto _ : state) {
        state.PauseTiming();
        list.ClearRows();
        state.ResumeTiming();
        tracks::LVfromFile(list, file, ignore, ignore);
    }
    if (list.Count() != rows) {
        state.SkipWithError("rows lost");
    }
    state.SetComplexityN(rows);
    state.SetItemsProcessed(state.iterations() * rows);
}

// The INI layer alone: reading the file and every key of every section.
void BM_ReadIniKeys(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const auto path = std::filesystem::path(FileFor(rows).toStdString());
    {
        tracks::TrackList source;
        Fill(source, rows);
        tracks::LVtoFile(source, QString::fromStdString(path.string()));
    }
    for (auto _ : state) {
        platform::IniFile ini(path);
        size_t total = 0;
        for (int i = 0; i < ini.SectionCount(); ++i) {
            total += ini.ReadString(QString::number(i).toStdU16String(), u"FileName", u"-").size();
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetComplexityN(rows);
}

BENCHMARK(BM_SavePlaylist)->Arg(1000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_LoadPlaylist)->Arg(1000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_ReadIniKeys)->Arg(1000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(BenchDir(), ec);
    return 0;
}
