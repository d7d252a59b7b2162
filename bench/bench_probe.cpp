// Probe throughput: what adding a track costs the tag library per file — the ID3v2 tag read,
// the MPEG frame search from the tag's end (or 0), the MPEG length and the ID3v1 read, on one
// open stream.
// Runs over the corpus (when present) and over 1,000 generated MP3 files.
//
// Extra modes used by compare_taglib.sh:
//   bench_probe --generate DIR      writes the 1,000 generated files into DIR and exits
//   bench_probe --rate FILE...      probes the files repeatedly for about two seconds and prints
//                                   "quorbel: N files, X files/s"
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>
#include <string>
#include <vector>

#include "tags/Tagwright.h"
#include "bench/bench_files.h"

namespace fs = std::filesystem;

namespace {

constexpr int kGeneratedFiles = 1000;

// One probe, as the track list does it: one read-ahead stream for the three readers and the
// MPEG length the probe deck takes next.
bool Probe(const fs::path& file) {
    static tags::TID3v2Tag v2;
    static tags::TMpegInfo mpeg;
    static tags::TID3v1Tag v1;
    std::error_code ec;
    tags::ReadAheadStream stream(file, ec);
    if (ec) return false;
    v2.ReadFromStream(stream);
    stream.SetPosition(v2.Exists() ? int64_t(v2.Size()) : 0);
    mpeg.LoadFromStream(stream);
    tags::RememberMpegLength(stream);
    v1.ReadFromStream(stream);
    benchmark::DoNotOptimize(v2.Title());
    benchmark::DoNotOptimize(v1.Title());
    benchmark::DoNotOptimize(mpeg.Duration());
    return true;
}

// An MP3 file of typical shape: ID3v2.3 tag with text frames and padding, MPEG-1 Layer III
// frames at 128 kbit/s, ID3v1 trailer.
std::string MakeMp3(int index, std::mt19937& rng) {
    using bench::Id3TextFrame;
    std::string frames;
    frames += Id3TextFrame("TIT2", "Generated title number " + std::to_string(index));
    frames += Id3TextFrame("TPE1", "Artist " + std::to_string(index % 37));
    frames += Id3TextFrame("TALB", "Album " + std::to_string(index % 11));
    frames += Id3TextFrame("TYER", std::to_string(1970 + index % 50));
    frames += Id3TextFrame("TRCK", std::to_string(1 + index % 14));
    frames += Id3TextFrame("TCON", "(17)Rock");
    frames += Id3TextFrame("TENC", "bench");
    const uint32_t padding = 256 + rng() % 2048;
    std::string file = bench::Id3v23Tag(frames, padding);
    const int mpegFrames = 60 + int(rng() % 60);
    for (int i = 0; i < mpegFrames; ++i) {
        file += "\xFF\xFB\x90\x64";
        std::string body(413, '\0');
        for (char& c : body) c = char(rng());
        file += body;
    }
    std::string trailer = "TAG" + ("Generated title number " + std::to_string(index)).substr(0, 30);
    trailer.resize(125, ' ');
    trailer += '\0';
    trailer += char(1 + index % 14);
    trailer += char(17);
    return file + trailer;
}

std::vector<fs::path> Generate(const fs::path& dir) {
    fs::create_directories(dir);
    std::mt19937 rng(1234);
    std::vector<fs::path> files;
    for (int i = 0; i < kGeneratedFiles; ++i) {
        fs::path p = dir / ("track" + std::to_string(i) + ".mp3");
        std::ofstream(p, std::ios::binary) << MakeMp3(i, rng);
        files.push_back(p);
    }
    return files;
}

using bench::CorpusFiles;

bench::GeneratedSet& Generated() {
    static bench::GeneratedSet set("qmm-bench-probe-", Generate);
    return set;
}

void ProbeAll(benchmark::State& state, const std::vector<fs::path>& files) {
    if (files.empty()) {
        state.SkipWithError("no files");
        return;
    }
    for (const auto& f : files) Probe(f);  // warm the page cache
    for (auto _ : state)
        for (const auto& f : files) Probe(f);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(files.size()));
    state.counters["files"] = double(files.size());
}

void BM_ProbeCorpus(benchmark::State& state) {
    static const std::vector<fs::path> files = CorpusFiles();
    ProbeAll(state, files);
}
BENCHMARK(BM_ProbeCorpus)->Unit(benchmark::kMillisecond);

void BM_ProbeGenerated1000(benchmark::State& state) { ProbeAll(state, Generated().Files()); }
BENCHMARK(BM_ProbeGenerated1000)->Unit(benchmark::kMillisecond);

// Files per second over about two seconds of repeated passes, after one warm pass.
int RateMode(int argc, char** argv) {
    const std::vector<fs::path> files(argv + 2, argv + argc);
    const bench::PassRate rate = bench::RepeatForTwoSeconds(
        [&] {
            for (const auto& f : files) Probe(f);
        },
        files.size());
    std::printf("quorbel: %zu files, %.0f files/s\n", files.size(), rate.perSecond);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--generate") == 0) {
        Generate(argv[2]);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--rate") == 0) return RateMode(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
