// CPU spent while two decks play MP3 files at the same time (an overlap as long as the tracks),
// on SDL's silent dummy driver. bench/decode_cpu.sh compares it with mpg123 decoding the same files.
//   QMM_BENCH_SECONDS  length of the tracks and of the overlap (default 60)
//   QMM_BENCH_LEVEL    1: the decks play at a gain and crossfade all the way
//   QMM_BENCH_DIR      where the MP3 files are written and kept (default: a temporary folder);
//                      files already there are used as they are
//   bench_decks --generate DIR   only writes the two files into DIR
#include "bench/bench_files.h"
#include "bench/bench_sound.h"
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
#include <thread>
#include <utility>
#include <vector>

namespace {

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

// QMM_BENCH_LEVEL=1: both decks at a gain, and a crossfade as long as the tracks (the deck
// fading out and the one fading in work out their level all the time: the costliest case).
bool Leveled() {
    const char* level = std::getenv("QMM_BENCH_LEVEL");
    return level && std::strcmp(level, "1") == 0;
}

// The two tracks in `dir`; files kept from an earlier run are reused (the script runs this
// repeatedly).
std::pair<QString, QString> Tracks(const QDir& dir) {
    const double seconds = TrackSeconds();
    const QString a = dir.filePath("deck1.mp3"), b = dir.filePath("deck2.mp3");
    if (!QFile::exists(a)) bench::WriteMusic(QFile::encodeName(a).toStdString(), {.seconds = seconds, .base = 220, .seed = 1});
    if (!QFile::exists(b)) bench::WriteMusic(QFile::encodeName(b).toStdString(), {.seconds = seconds, .base = 330, .seed = 2});
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
        if (Leveled()) {
            one.SetGain(-3.7);
            two.SetGain(-5.1);
        }
        one.Play();
        if (Leveled()) two.FadeIn(static_cast<int>(seconds * 1000));
        two.Play();
        if (Leveled()) one.FadeOut(static_cast<int>(seconds * 1000));
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
    state.SetLabel(driver + (Leveled() ? ", gain and crossfade" : ""));
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
