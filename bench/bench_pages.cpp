// The guest pool page of a 2,000-track pool, as a select request regenerates it: nothing
// changed, one row's status changed, one row's title changed, and the first write of every page.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "web/pages.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPool = 2000;

// A web root with the shipped fragments (small stand-ins when the sources are not at hand).
struct Site {
    fs::path root;
    explicit Site(const std::string& name) {
        root = fs::temp_directory_path() /
               ("qmm-bench-pages-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(root);
        fs::create_directories(root / "htdocs" / "tool");
        const fs::path shipped =
            fs::path(__FILE__).parent_path().parent_path() / "resources" / "basics";
        if (fs::is_directory(shipped)) {
            fs::copy(shipped, root / "basics");
        } else {
            fs::create_directories(root / "basics");
            for (const char* f : {"head", "foot", "idxhead", "idxfoot", "playhead"}) {
                std::ofstream(root / "basics" / (std::string(f) + ".txt"))
                    << std::string(1500, 'x') << "\n";
            }
        }
    }
    ~Site() { fs::remove_all(root); }
};

// 167 albums of 12 tracks; every album opens with its own "01 Intro.mp3".
std::vector<web::PageRow> Pool() {
    std::vector<web::PageRow> pool;
    for (int i = 0; i < kPool; ++i) {
        const std::string artist = "Artist " + std::to_string(i / 12),
                          album = "Album " + std::to_string(i / 12);
        const std::string title =
            i % 12 == 0 ? "Intro" : "Song " + std::to_string(i) + " of the night";
        const std::string file =
            i % 12 == 0 ? "01 Intro.mp3" : std::to_string(i % 12 + 1) + " " + title + ".mp3";
        pool.push_back({i % 7 == 0 ? "blocked" : "ready", title, artist, album,
                        "/home/dj/Music/" + artist + "/" + album + "/" + file});
    }
    return pool;
}

const web::StatusWords kWords{"blocked", "chosen"};
const web::PageSink kSink{[](const std::string&) {}, [](const std::string&) {}};

void BM_PoolUnchanged(benchmark::State& state) {
    Site site("unchanged");
    const auto pool = Pool();
    web::MakeGuestPoolHTML(site.root.string(), pool, kWords, {}, kSink);
    for (auto _ : state) web::MakeGuestPoolHTML(site.root.string(), pool, kWords, {}, kSink);
}
BENCHMARK(BM_PoolUnchanged)->Unit(benchmark::kMillisecond);

// What an admitted request does: one row turns "chosen", so only guestpool.html changes.
void BM_PoolOneStatusChanged(benchmark::State& state) {
    Site site("status");
    auto pool = Pool();
    web::MakeGuestPoolHTML(site.root.string(), pool, kWords, {}, kSink);
    int n = 0;
    for (auto _ : state) {
        pool[1000].status = (++n % 2) ? "chosen" : "ready";
        web::MakeGuestPoolHTML(site.root.string(), pool, kWords, {}, kSink);
    }
}
BENCHMARK(BM_PoolOneStatusChanged)->Unit(benchmark::kMillisecond);

// One track page and the pool page change.
void BM_PoolOneTitleChanged(benchmark::State& state) {
    Site site("title");
    auto pool = Pool();
    web::MakeGuestPoolHTML(site.root.string(), pool, kWords, {}, kSink);
    int n = 0;
    for (auto _ : state) {
        pool[1000].title = "Renamed " + std::to_string(++n);
        web::MakeGuestPoolHTML(site.root.string(), pool, kWords, {}, kSink);
    }
}
BENCHMARK(BM_PoolOneTitleChanged)->Unit(benchmark::kMillisecond);

// Every page written, as after loading a pool into an empty folder.
void BM_PoolFirstWrite(benchmark::State& state) {
    const auto pool = Pool();
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto site = std::make_unique<Site>("first" + std::to_string(++n));
        state.ResumeTiming();
        web::MakeGuestPoolHTML(site->root.string(), pool, kWords, {}, kSink);
        state.PauseTiming();
        site.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PoolFirstWrite)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
