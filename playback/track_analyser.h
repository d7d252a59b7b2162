#pragma once
// Analyses tracks in the background, one after another, on a thread of its own at a lower
// priority than the decks' decoding, so that adding tracks never waits for a measurement.
//
//   TrackAnalyser analyser(std::make_shared<AnalysisCache>(AnalysisCache::DefaultFolder()),
//                          [&](const std::filesystem::path& p, const TrackAnalysis& a) {
//                              dispatcher.Post([=] { window.TakeAnalysis(p, a); });
//                          });
//   analyser.Add(path);
#include "playback/analysis_cache.h"
#include "playback/track_analysis.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

namespace playback {

class TrackAnalyser {
public:
    using Done = std::function<void(const std::filesystem::path&, const TrackAnalysis&)>;
    // Results are written to the cache after this many new ones, and whenever the queue runs dry.
    static constexpr std::size_t kSaveEvery = 100;

    // `done` runs on the analyser's thread once for every path analysed, failures included
    // (ok false); it must not block for long. The thread reads `cache` (may be null) first.
    TrackAnalyser(std::shared_ptr<AnalysisCache> cache, Done done);
    ~TrackAnalyser();  // Stop
    TrackAnalyser(const TrackAnalyser&) = delete;
    TrackAnalyser& operator=(const TrackAnalyser&) = delete;

    // Any thread; returns at once. A path that is waiting already is not queued twice; `first`
    // moves it to the head of the queue (the track about to be played).
    void Add(const std::filesystem::path& path, bool first = false);
    // Many at the end of the queue in one go (a list loaded, a batch of files added), made into
    // paths on the analyser's thread, so that the caller hands them over at once.
    using Batch = std::function<std::vector<std::filesystem::path>()>;
    void Add(Batch batch);
    // Drops every waiting path; the one under way still finishes.
    void Clear();
    // Ends the thread and returns when it has ended: the analysis under way is abandoned and not
    // delivered, waiting paths are dropped, the cache is written. Later calls do nothing.
    void Stop();

    // Nothing waiting and nothing under way.
    bool Idle() const;
    std::size_t Waiting() const;
    // Files decoded so far, that is, not found in the cache.
    std::size_t Decoded() const { return decoded_.load(std::memory_order_relaxed); }

private:
    void Run();
    void MakeBatches(std::unique_lock<std::mutex>& lock);  // called locked; unlocks meanwhile

    const std::shared_ptr<AnalysisCache> cache_;
    const Done done_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::filesystem::path> waiting_;
    std::vector<Batch> batches_;  // not yet made into paths
    std::unordered_set<std::string> waitingSet_;  // the same paths, to find one at once
    bool busy_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> decoded_{0};
    std::thread thread_;  // last: started once everything above exists
};

}  // namespace playback
