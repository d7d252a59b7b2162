// Measuring tracks: how fast one track is analysed (loudness, peak, audible bounds) for its
// length, on one core, and what adding many tracks costs the thread that adds them.
// bench/analysis_loudness.sh runs it beside ffmpeg's loudness meter on the same files.
//   bench_analysis                       the benchmarks
//   bench_analysis --generate DIR        writes the comparison set into DIR
//   bench_analysis --measure FILE...     one line per file: loudness (LUFS, "-" for none), peak,
//                                        audible start and end (ms), length (ms), CPU seconds,
//                                        "tags" or "measured", path
#include "bench/bench_files.h"
#include "bench/bench_sound.h"
#include "playback/track_analyser.h"
#include "playback/track_analysis.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

namespace {

namespace fs = std::filesystem;

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

constexpr int kMp3 = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

// Long MP3s for the speed figure, at several levels, and shorter files of other kinds for the
// loudness comparison.
std::vector<fs::path> Generate(const fs::path& dir) {
    fs::create_directories(dir);
    struct Named {
        const char* name;
        bench::MusicRecipe recipe;
    };
    const Named files[] = {
        {"long-loud.mp3", {.seconds = 120, .base = 220, .level = 1.8, .seed = 1}},
        {"long-mid.mp3", {.seconds = 120, .base = 330, .level = 0.6, .seed = 2}},
        {"long-quiet.mp3", {.seconds = 120, .base = 165, .level = 0.12, .seed = 3}},
        {"long-mono.mp3", {.seconds = 120, .base = 247, .level = 0.9, .channels = 1, .seed = 4}},
        {"short-48k.mp3", {.seconds = 20, .base = 440, .level = 1.2, .rate = 48000, .seed = 5}},
        {"short-22k-mono.mp3", {.seconds = 20, .base = 196, .level = 0.4, .rate = 22050, .channels = 1, .seed = 6}},
        {"short-silences.mp3", {.seconds = 15, .base = 294, .level = 0.8, .seed = 7, .leadSilence = 3, .trailSilence = 8}},
        {"short.wav", {.seconds = 20, .base = 262, .level = 0.3, .format = kWav16, .seed = 8}},
        {"short-mono-48k.wav", {.seconds = 20, .base = 349, .level = 1.5, .rate = 48000, .channels = 1, .format = kWav16, .seed = 9}},
    };
    std::vector<fs::path> written;
    for (const Named& f : files) {
        const fs::path p = dir / f.name;
        if (!fs::exists(p)) bench::WriteMusic(p, f.recipe);
        written.push_back(p);
    }
    return written;
}

int Measure(int count, char** paths) {
    for (int i = 0; i < count; ++i) {
        const double before = ThreadCpuSeconds();
        const playback::TrackAnalysis a = playback::AnalyseTrack(paths[i]);
        const double cpu = ThreadCpuSeconds() - before;
        if (!a.ok) {
            std::printf("failed\t-\t-\t-\t-\t%.4f\t-\t%s\n", cpu, paths[i]);
            continue;
        }
        if (a.loudness)
            std::printf("%.2f", *a.loudness);
        else
            std::printf("-");
        std::printf("\t%.4f\t%d\t%d\t%d\t%.4f\t%s\t%s\n", a.peak, a.audibleStartMs, a.audibleEndMs, a.lengthMs, cpu,
                    a.fromTags ? "tags" : "measured", paths[i]);
    }
    return 0;
}

// One 120 s MP3 analysed on this thread: seconds of music per second of processor time.
void BM_AnalyseMp3(benchmark::State& state) {
    bench::GeneratedSet set("qmm-bench-analysis-", [](const fs::path& dir) {
        const fs::path p = dir / "track.mp3";
        fs::create_directories(dir);
        bench::WriteMusic(p, {.seconds = 120, .base = 220, .seed = 1});
        return std::vector<fs::path>{p};
    });
    double cpu = 0, audio = 0;
    for (auto _ : state) {
        const double before = ThreadCpuSeconds();
        const playback::TrackAnalysis a = playback::AnalyseTrack(set.Files()[0]);
        cpu += ThreadCpuSeconds() - before;
        audio += a.lengthMs / 1000.0;
        benchmark::DoNotOptimize(a.loudness);
    }
    state.counters["times_real_time"] = audio / cpu;
    state.counters["cpu_s_per_track"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_AnalyseMp3)->Iterations(5)->Unit(benchmark::kMillisecond);

// 1,000 tracks handed to the analyser, as adding a playlist does: what the adding thread spends
// (it never waits for a measurement), and how long the background takes to measure them all
// (1,000 names of one 10 s MP3, so every one is decoded; no cache).
void BM_AddThousandTracks(benchmark::State& state) {
    bench::GeneratedSet set("qmm-bench-analyser-", [](const fs::path& dir) {
        fs::create_directories(dir);
        const fs::path one = dir / "track.mp3";
        bench::WriteMusic(one, {.seconds = 10, .base = 220, .seed = 1});
        std::vector<fs::path> names;
        for (int i = 0; i < 1000; ++i) {
            names.push_back(dir / ("track-" + std::to_string(i) + ".mp3"));
            fs::create_hard_link(one, names.back());
        }
        return names;
    });
    for (auto _ : state) {
        std::atomic<int> done{0};
        const auto start = std::chrono::steady_clock::now();
        playback::TrackAnalyser analyser(nullptr, [&](const fs::path&, const playback::TrackAnalysis&) { ++done; });
        const double before = ThreadCpuSeconds();
        for (const fs::path& p : set.Files()) analyser.Add(p);
        const double adding = ThreadCpuSeconds() - before;
        const double addingWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        while (done.load() < 1000) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        state.counters["adding_thread_ms"] = adding * 1000;
        state.counters["adding_wall_ms"] = addingWall * 1000;
        state.counters["background_s"] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
}
BENCHMARK(BM_AddThousandTracks)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--generate") == 0) {
        for (const fs::path& p : Generate(argv[2])) std::printf("%s\n", p.c_str());
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--measure") == 0) return Measure(argc - 2, argv + 2);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
