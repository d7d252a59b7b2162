// The MPEG frame search over 50 MB that hold no MPEG audio (the worst case: every byte is
// examined), read from the page cache and from memory, and the ID3v1 trailer read per file.
// Target: the file search at 300 MB/s or more.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tags/ID3v1Tag.h"
#include "tags/MpegInfo.h"

namespace {

namespace fs = std::filesystem;
constexpr size_t kSize = 50u * 1000 * 1000;

struct Fixture {
    fs::path dir;
    fs::path noAudio;
    fs::path tagged;
    std::vector<uint8_t> bytes;

    Fixture() {
        dir = fs::temp_directory_path() / ("qmm-bench-mpeg-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        // Uniform random bytes: a sync pattern every few hundred bytes, a frame chain never.
        std::mt19937_64 rng(7);
        bytes.resize(kSize);
        for (size_t i = 0; i + 8 <= kSize; i += 8) {
            uint64_t v = rng();
            for (int k = 0; k < 8; ++k) bytes[i + k] = static_cast<uint8_t>(v >> (8 * k));
        }
        tags::TMemoryStream check(bytes);
        tags::TMpegInfo info;
        if (info.LoadFromStream(check) != tags::MPEGERR_NoFrame) {
            std::fprintf(stderr, "bench data unexpectedly holds a frame chain\n");
            std::abort();
        }
        noAudio = dir / "noise.bin";
        std::ofstream(noAudio, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(kSize));

        // A typical 4 MB song with a trailer.
        tagged = dir / "song.mp3";
        tags::TMemoryStream song(std::string(4u << 20, '\x55'));
        tags::TID3v1Tag v1;
        v1.SetTitle(u"Title");
        v1.SetArtist(u"Artist");
        v1.SetYear("1999");
        v1.WriteToStream(song);
        song.SaveToFile(tagged);
    }
    ~Fixture() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Fixture& Get() {
    static Fixture f;
    return f;
}

void BM_MpegSearchNoAudioFile(benchmark::State& state) {
    Fixture& f = Get();
    tags::TMpegInfo info;
    info.LoadFromFile(f.noAudio);  // warm the page cache
    for (auto _ : state) {
        if (info.LoadFromFile(f.noAudio) != tags::MPEGERR_NoFrame) state.SkipWithError("found");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}
BENCHMARK(BM_MpegSearchNoAudioFile)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void BM_MpegSearchNoAudioMemory(benchmark::State& state) {
    Fixture& f = Get();
    tags::TMemoryStream m(f.bytes);
    tags::TMpegInfo info;
    for (auto _ : state) {
        m.SetPosition(0);
        if (info.LoadFromStream(m) != tags::MPEGERR_NoFrame) state.SkipWithError("found");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}
BENCHMARK(BM_MpegSearchNoAudioMemory)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void BM_ID3v1ReadFile(benchmark::State& state) {
    Fixture& f = Get();
    tags::TID3v1Tag v1;
    for (auto _ : state) {
        if (v1.ReadFromFile(f.tagged) != tags::MP3ERR_None) state.SkipWithError("no trailer");
        benchmark::DoNotOptimize(v1.Title());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ID3v1ReadFile)->Unit(benchmark::kMicrosecond);

// Every file of the conformance corpus, when it is there.
void BM_ID3v1ReadCorpus(benchmark::State& state) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(QMM_CORPUS_DIR, ec))
        if (e.is_regular_file() && e.path().extension() == ".mp3") files.push_back(e.path());
    if (files.empty()) {
        state.SkipWithError("corpus not available");
        return;
    }
    tags::TID3v1Tag v1;
    for (auto _ : state)
        for (const auto& p : files) benchmark::DoNotOptimize(v1.ReadFromFile(p));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * files.size()));
}
BENCHMARK(BM_ID3v1ReadCorpus)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
