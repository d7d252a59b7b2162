#pragma once
// Files the benchmarks run over: the public corpus when it is there, and a generated set that
// lives in a temporary folder for the run; the pieces of tags they are made of, and the timing
// the comparison scripts read.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace bench {

namespace fs = std::filesystem;

inline std::vector<fs::path> CorpusFiles() {
    std::vector<fs::path> files;
    std::error_code ec;
    const fs::path root = QMM_CORPUS_DIR;
    if (!fs::is_directory(root, ec)) return files;
    for (const auto& e : fs::recursive_directory_iterator(root, ec))
        if (e.is_regular_file() && e.path().filename() != "README.md") files.push_back(e.path());
    return files;
}

// Generates its files on construction and removes them with their folder afterwards.
class GeneratedSet {
public:
    GeneratedSet(const std::string& prefix,
                 const std::function<std::vector<fs::path>(const fs::path&)>& generate)
        : dir_(fs::temp_directory_path() / (prefix + std::to_string(::getpid()))),
          files_(generate(dir_)) {}
    ~GeneratedSet() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    GeneratedSet(const GeneratedSet&) = delete;
    GeneratedSet& operator=(const GeneratedSet&) = delete;
    const std::vector<fs::path>& Files() const { return files_; }

private:
    fs::path dir_;
    std::vector<fs::path> files_;
};

// An ID3v2.3 text frame in ISO-8859-1.
inline std::string Id3TextFrame(const std::string& id, const std::string& text) {
    std::string f = id;
    const auto n = static_cast<std::uint32_t>(text.size() + 1);
    f += char(n >> 24), f += char(n >> 16), f += char(n >> 8), f += char(n);
    f += std::string(2, '\0');  // flags
    f += '\0';                   // encoding
    return f + text;
}

// A whole ID3v2.3 tag: header, `frames`, then `padding` zero bytes.
inline std::string Id3v23Tag(const std::string& frames, std::uint32_t padding) {
    std::string tag = "ID3";
    tag += char(3), tag += char(0), tag += char(0);
    const auto size = static_cast<std::uint32_t>(frames.size()) + padding;
    for (int i = 3; i >= 0; --i) tag += char((size >> (7 * i)) & 0x7F);  // sync-safe
    return tag + frames + std::string(padding, '\0');
}

// Processor time of the whole process: the machine may be shared, so wall time alone misleads.
inline double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct PassRate {
    double perSecond = 0, perCpuSecond = 0;
};

// Runs `pass` over `items` once to warm the page cache, then again and again for about two
// seconds; items per second of wall time and of processor time.
inline PassRate RepeatForTwoSeconds(const std::function<void()>& pass, std::size_t items) {
    pass();
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const double cpuStart = ProcessCpuSeconds();
    double done = 0, seconds = 0;
    do {
        pass();
        done += double(items);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    } while (seconds < 2.0);
    return {done / seconds, done / (ProcessCpuSeconds() - cpuStart)};
}

}  // namespace bench
