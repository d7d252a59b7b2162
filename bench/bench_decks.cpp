// CPU spent while two decks play MP3 files at the same time (an overlap as long as the tracks),
// on SDL's silent dummy driver. bench/decode_cpu.sh compares it with mpg123 decoding the same files.
//   QMM_BENCH_SECONDS  length of the tracks and of the overlap (default 60)
//   QMM_BENCH_DIR      where the MP3 files are written and kept (default: a temporary folder);
//                      files already there are used as they are
//   bench_decks --generate DIR   only writes the two files into DIR
#include "bench/bench_files.h"
#include "playback/real_deck.h"
#include "playback/sdl_mixer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <random>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Something with the spread of music rather than a pure tone: a few drifting partials, a beat
// and some noise, so the encoder spends its bits as it would on a real track.
void WriteTrack(const QString& path, double seconds, double base, unsigned seed) {
    constexpr int rate = 44100;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f) throw std::runtime_error(sf_strerror(nullptr));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::vector<float> block(2 * 4096);
    const auto total = static_cast<long>(seconds * rate);
    for (long done = 0; done < total;) {
        const long n = std::min<long>(4096, total - done);
        for (long i = 0; i < n; ++i) {
            const double t = static_cast<double>(done + i) / rate;
            const double beat = std::exp(-8.0 * std::fmod(t, 0.5));
            double s = 0;
            for (int k = 1; k <= 5; ++k)
                s += std::sin(2 * std::numbers::pi * base * k * (1 + 0.01 * std::sin(t * k))) / k;
            const float v = static_cast<float>(0.15 * s * (0.5 + 0.5 * beat));
            block[2 * i] = v + 0.05f * noise(rng);
            block[2 * i + 1] = v + 0.05f * noise(rng);
        }
        sf_writef_float(f, block.data(), n);
        done += n;
    }
    sf_close(f);
}

// CPU time of SDL's output thread (it calls the mixer), which exists only while decks are attached.
double OutputThreadCpuSeconds() {
    const QDir tasks(QStringLiteral("/proc/self/task"));
    double total = 0;
    for (const QString& id : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(id + "/comm")), sched(tasks.filePath(id + "/schedstat"));
        if (!comm.open(QIODevice::ReadOnly) || !comm.readAll().startsWith("SDLAudio")) continue;
        if (sched.open(QIODevice::ReadOnly)) total += sched.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    return total;
}

double TrackSeconds() {
    const char* secEnv = std::getenv("QMM_BENCH_SECONDS");
    return secEnv ? std::atof(secEnv) : 60.0;
}

// The two tracks in `dir`; files kept from an earlier run are reused (the script runs this
// repeatedly).
std::pair<QString, QString> Tracks(const QDir& dir) {
    const double seconds = TrackSeconds();
    const QString a = dir.filePath("deck1.mp3"), b = dir.filePath("deck2.mp3");
    if (!QFile::exists(a)) WriteTrack(a, seconds, 220, 1);
    if (!QFile::exists(b)) WriteTrack(b, seconds, 330, 2);
    return {a, b};
}

void BM_TwoDecksOverlap(benchmark::State& state) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const double seconds = TrackSeconds();
    QTemporaryDir tmp;
    const char* dirEnv = std::getenv("QMM_BENCH_DIR");
    const auto [a, b] = Tracks(QDir(dirEnv ? QString::fromLocal8Bit(dirEnv) : tmp.path()));

    auto& mixer = playback::SdlMixer::Instance();
    std::string driver;
    for (auto _ : state) {
        playback::TRealDeck one, two;
        one.SetFileName(a);
        two.SetFileName(b);
        const std::uint64_t underrunsBefore = mixer.Underruns();
        const double decodeBefore = mixer.DecoderCpuSeconds();
        const double cpuBefore = bench::ProcessCpuSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        one.Open();
        two.Open();
        one.Play();
        two.Play();
        driver = mixer.DriverName().toStdString();
        // Read the decks once a second, as the main window's tick does.
        while (one.Mode() == playback::mpPlaying || two.Mode() == playback::mpPlaying) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            benchmark::DoNotOptimize(one.Position() + two.Position() + one.Length());
        }
        const double output = OutputThreadCpuSeconds();
        one.Close();
        two.Close();
        const double cpu = bench::ProcessCpuSeconds() - cpuBefore;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        state.SetIterationTime(wall);
        state.counters["cpu_s"] = cpu;
        state.counters["decode_cpu_s"] = mixer.DecoderCpuSeconds() - decodeBefore;
        state.counters["output_cpu_s"] = output;
        state.counters["wall_s"] = wall;
        state.counters["audio_s"] = 2 * seconds;
        state.counters["cpu_percent"] = 100 * cpu / wall;
        state.counters["underruns"] = static_cast<double>(mixer.Underruns() - underrunsBefore);
    }
    state.SetLabel(driver);
}

BENCHMARK(BM_TwoDecksOverlap)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--generate") == 0) {
        Tracks(QDir(QString::fromLocal8Bit(argv[2])));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
