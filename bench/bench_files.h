#pragma once
// Files the benchmarks run over: the public corpus when it is there, and a generated set that
// lives in a temporary folder for the run.
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

}  // namespace bench
