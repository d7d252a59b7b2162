#pragma once
// Analyses of earlier runs, one per file, kept in the user's cache folder so that a playlist
// measured once loads at full speed again. A file that changed (size or modification time) is
// measured anew. The cache is bounded: beyond kMaxEntries the longest unused entries go.
#include "playback/track_analysis.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace playback {

class AnalysisCache {
public:
    static constexpr std::size_t kMaxEntries = 20000;  // about 3 MB on disk
    static constexpr const char* kFileName = "track-analysis.txt";

    // $XDG_CACHE_HOME/quorbel-media-mixer, else ~/.cache/quorbel-media-mixer; empty when
    // neither is known.
    static std::filesystem::path DefaultFolder();

    // An empty folder keeps the cache in memory only. Nothing is read until Load.
    explicit AnalysisCache(std::filesystem::path folder);

    // Any thread, and every method below too. Reads the cache file: lines that do not read back
    // whole are skipped, a file that is not a cache of ours is ignored, a missing one is empty.
    void Load();
    // What was stored for `file`, when its size and modification time are still the same.
    std::optional<TrackAnalysis> Lookup(const std::filesystem::path& file);
    // Keeps a successful analysis of `file` as it is now; failures are not kept (they are quick
    // to find again, and may be passing: a file still being copied, a share not yet mounted).
    void Store(const std::filesystem::path& file, const TrackAnalysis& analysis);
    // Writes the file when anything changed since it was read or written; false when it could
    // not be written (the entries stay in memory and the next Save tries again).
    bool Save();

    std::size_t Size() const;
    std::filesystem::path FilePath() const;

private:
    struct Entry {
        std::uintmax_t size = 0;
        std::int64_t mtimeNs = 0;
        std::uint64_t used = 0;  // when it was last stored or found, counting uses
        TrackAnalysis analysis;
    };
    static bool Stat(const std::filesystem::path& file, std::uintmax_t& size, std::int64_t& mtimeNs);
    void TrimLocked();

    mutable std::mutex mutex_;
    const std::filesystem::path folder_;
    std::unordered_map<std::string, Entry> entries_;  // by the file's path
    std::uint64_t uses_ = 0;
    bool changed_ = false;
};

}  // namespace playback
