// Adding tracks: what AddTrack costs per file on the main window as the program makes it — the
// duplicate check, the ID3v2 tag read, the MPEG frame search, the ID3v1 read and the length
// measured on the probe deck. Runs over 1,000 generated MP3 files (real encoded
// audio of 20 seconds, each with its own ID3v2 tag and ID3v1 trailer) and over the corpus.
//
// Extra modes used by compare_add_taglib.sh:
//   bench_add_tracks --generate DIR      writes the 1,000 files into DIR and exits
//   bench_add_tracks --rate FILE...      adds the files to an empty list again and again for about
//                                        two seconds and prints "quorbel: N files, X files/s"
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/main_window.h"
#include "tests/support/recording_user_interface.h"
#include "playback/audio_deck.h"
#include "bench/bench_files.h"

namespace fs = std::filesystem;
using AudioDeckMaker = std::unique_ptr<playback::AudioDeck> (*)();

namespace {

constexpr int kGeneratedFiles = 1000;
constexpr double kSeconds = 20;

// 20 seconds of a two-tone signal, encoded as MP3 by libsndfile; the bytes of the file.
std::string EncodeAudio(const fs::path& scratch) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    SNDFILE* f = sf_open(scratch.c_str(), SFM_WRITE, &info);
    if (!f) {
        std::fprintf(stderr, "cannot write MP3: %s\n", sf_strerror(nullptr));
        std::exit(1);
    }
    const int frames = int(kSeconds * info.samplerate);
    std::vector<float> buf(size_t(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / info.samplerate;
        buf[2 * size_t(i)] = float(0.3 * std::sin(2 * std::numbers::pi * 440 * t));
        buf[2 * size_t(i) + 1] = float(0.3 * std::sin(2 * std::numbers::pi * 660 * t));
    }
    sf_writef_float(f, buf.data(), frames);
    sf_close(f);
    std::ifstream in(scratch, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove(scratch);
    return bytes;
}

std::string Trailer(int index) {
    auto field = [](std::string s, size_t n) {
        s.resize(n, ' ');
        return s;
    };
    std::string t = "TAG";
    t += field("Generated title number " + std::to_string(index), 30);
    t += field("Artist " + std::to_string(index % 37), 30);
    t += field("Album " + std::to_string(index % 11), 30);
    t += std::to_string(1970 + index % 50);
    t += field("", 28);
    t += '\0';
    t += char(1 + index % 14);
    t += char(17);
    return t;
}

std::vector<fs::path> Generate(const fs::path& dir) {
    fs::create_directories(dir);
    const std::string audio = EncodeAudio(dir / "scratch.mp3");
    std::vector<fs::path> files;
    for (int i = 0; i < kGeneratedFiles; ++i) {
        using bench::Id3TextFrame;
        const std::string frames = Id3TextFrame("TIT2", "Generated title number " + std::to_string(i)) +
                                   Id3TextFrame("TPE1", "Artist " + std::to_string(i % 37)) +
                                   Id3TextFrame("TALB", "Album " + std::to_string(i % 11)) +
                                   Id3TextFrame("TYER", std::to_string(1970 + i % 50));
        const uint32_t padding = 512 + uint32_t(i % 7) * 300;
        const fs::path p = dir / ("track" + std::to_string(i) + ".mp3");
        std::ofstream(p, std::ios::binary) << bench::Id3v23Tag(frames, padding) << audio << Trailer(i);
        files.push_back(p);
    }
    return files;
}

using bench::CorpusFiles;

bench::GeneratedSet& Generated() {
    static bench::GeneratedSet set("qmm-bench-add-", Generate);
    return set;
}

// The main window with the real decks, shown as in the program; gone before the application.
std::unique_ptr<app::TForm1> theForm;
app::TForm1& Form() {
    if (!theForm) {
        theForm = app::CreateWindows(playback::MakeRealDeck);
        theForm->show();
        QCoreApplication::processEvents();
    }
    return *theForm;
}

QStringList Names(const std::vector<fs::path>& files) {
    QStringList out;
    for (const auto& f : files) out << QFile::decodeName(f.c_str());
    return out;
}

// One pass: every file into an emptied list. Files the probe rejects are counted as failures.
int AddAll(const QStringList& files) {
    app::TForm1& form = Form();
    tracks::TListView* list = form.ListView_Guest_Pool;
    list->ClearRows();
    int failed = 0;
    for (const QString& f : files) {
        try {
            form.AddTrack(list, f, QStringLiteral("File"));
        } catch (const std::exception&) {
            ++failed;
        }
    }
    return failed;
}

void AddFiles(benchmark::State& state, const std::vector<fs::path>& paths) {
    if (paths.empty()) {
        state.SkipWithError("no files");
        return;
    }
    const QStringList files = Names(paths);
    const int failed = AddAll(files);  // warms the page cache
    for (auto _ : state) AddAll(files);
    state.SetItemsProcessed(int64_t(state.iterations()) * files.size());
    state.counters["files"] = double(files.size());
    state.counters["rejected"] = failed;
    state.counters["files_per_s"] =
        benchmark::Counter(double(state.iterations()) * double(files.size()), benchmark::Counter::kIsRate);
}

void BM_AddTrackGenerated1000(benchmark::State& state) { AddFiles(state, Generated().Files()); }
BENCHMARK(BM_AddTrackGenerated1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AddTrackCorpus(benchmark::State& state) {
    static const std::vector<fs::path> files = CorpusFiles();
    AddFiles(state, files);
}
BENCHMARK(BM_AddTrackCorpus)->Unit(benchmark::kMillisecond)->UseRealTime();

// The share of the probe deck alone: open (which measures the length) and close; and the same
// with the real deck, which sets up the decoder as well.
void OpenAll(benchmark::State& state, AudioDeckMaker make) {
    const QStringList files = Names(Generated().Files());
    auto deck = make();
    for (auto _ : state)
        for (const QString& f : files) {
            deck->SetFileName(f);
            deck->Open();
            benchmark::DoNotOptimize(deck->Length());
            deck->Close();
        }
    state.counters["files_per_s"] =
        benchmark::Counter(double(state.iterations()) * double(files.size()), benchmark::Counter::kIsRate);
}
void BM_ProbeDeckGenerated1000(benchmark::State& state) { OpenAll(state, playback::MakeProbeDeck); }
BENCHMARK(BM_ProbeDeckGenerated1000)->Unit(benchmark::kMillisecond);
void BM_RealDeckOpenGenerated1000(benchmark::State& state) { OpenAll(state, playback::MakeRealDeck); }
BENCHMARK(BM_RealDeckOpenGenerated1000)->Unit(benchmark::kMillisecond);

// The same 1,000 files through the file dialog: the window is kept drawn between files. With
// leveling on, every file is also handed to the analyser, which measures it in the background
// (results reach the window between files); the user-interface thread should not notice.
void AddFilesDialog(benchmark::State& state, bool leveling) {
    const QStringList files = Names(Generated().Files());
    std::vector<std::u16string> answer;
    for (const QString& f : files) answer.push_back(f.toStdU16String());
    platform::ScopedRecorder rec;
    app::TForm1& form = Form();
    settings::TSetRec options = form.Party().Settings();
    options.CB_leveling = leveling;
    form.Party().CloseSettings(options);
    // QMM_BENCH_SETTLE=seconds: one pass first, then time to measure them all, so that what is
    // timed is the lookup alone and not the background pass beside it.
    if (const int settle = qEnvironmentVariableIntValue("QMM_BENCH_SETTLE"); leveling && settle > 0) {
        form.ListView_preselect->ClearRows();
        rec->openAnswers.push_back(answer);
        form.PopupList = form.ListView_preselect;
        form.AddFilesDialog(form.ListView_preselect);
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < settle * 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    }
    for (auto _ : state) {
        form.ListView_preselect->ClearRows();
        rec->openAnswers.push_back(answer);
        form.PopupList = form.ListView_preselect;
        form.AddFilesDialog(form.ListView_preselect);
    }
    state.counters["files_per_s"] =
        benchmark::Counter(double(state.iterations()) * double(files.size()), benchmark::Counter::kIsRate);
    options.CB_leveling = false;
    form.Party().CloseSettings(options);
}
void BM_AddFilesDialogGenerated1000(benchmark::State& state) { AddFilesDialog(state, false); }
BENCHMARK(BM_AddFilesDialogGenerated1000)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_AddFilesDialogGenerated1000Leveling(benchmark::State& state) { AddFilesDialog(state, true); }
BENCHMARK(BM_AddFilesDialogGenerated1000Leveling)->Unit(benchmark::kMillisecond)->UseRealTime();

// Files per second over about two seconds of repeated passes, after one warm pass.
int RateMode(int argc, char** argv) {
    const std::vector<fs::path> paths(argv + 2, argv + argc);
    const QStringList files = Names(paths);
    int failed = -1;  // counted on the warm pass
    const bench::PassRate rate = bench::RepeatForTwoSeconds(
        [&] {
            const int rejected = AddAll(files);
            if (failed < 0) failed = rejected;
        },
        paths.size());
    if (failed > 0) std::fprintf(stderr, "%d of %zu files were rejected by the probe\n", failed, paths.size());
    std::printf("quorbel: %zu files, %.0f files/s, %.0f files per cpu second\n", paths.size(), rate.perSecond,
                rate.perCpuSecond);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--generate") == 0) {
        Generate(argv[2]);
        return 0;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    // Measurements go to a cache of the run's own, so every run measures afresh.
    char cache[] = "/tmp/qmm-bench-cache-XXXXXX";
    if (mkdtemp(cache)) setenv("XDG_CACHE_HOME", cache, 1);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    platform::ScopedRecorder messages;  // nothing waits on a message box
    int rc = 0;
    if (argc >= 3 && std::strcmp(argv[1], "--rate") == 0) {
        rc = RateMode(argc, argv);
    } else {
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    theForm.reset();
    std::error_code ec;
    fs::remove_all(cache, ec);
    return rc;
}
