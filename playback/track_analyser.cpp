#include "playback/track_analyser.h"

#include "playback/sdl_mixer.h"

#include <algorithm>

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace playback {

TrackAnalyser::TrackAnalyser(std::shared_ptr<AnalysisCache> cache, Done done)
    : cache_(std::move(cache)), done_(std::move(done)), thread_(&TrackAnalyser::Run, this) {}

TrackAnalyser::~TrackAnalyser() { Stop(); }

void TrackAnalyser::Add(Batch batch) {
    {
        std::lock_guard lock(mutex_);
        if (stop_.load()) return;
        batches_.push_back(std::move(batch));
    }
    wake_.notify_one();
}

void TrackAnalyser::Add(const std::filesystem::path& path, bool first) {
    {
        std::lock_guard lock(mutex_);
        if (stop_.load()) return;
        // A set beside the queue: looking through the queue for every track of a long playlist
        // would take time that grows with the square of its length.
        if (!waitingSet_.insert(path.native()).second) {
            if (!first) return;
            waiting_.erase(std::find(waiting_.begin(), waiting_.end(), path));
        }
        if (first)
            waiting_.push_front(path);
        else
            waiting_.push_back(path);
    }
    wake_.notify_one();
}

void TrackAnalyser::Clear() {
    std::lock_guard lock(mutex_);
    batches_.clear();
    waiting_.clear();
    waitingSet_.clear();
}

void TrackAnalyser::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_.store(true);
        batches_.clear();
        waiting_.clear();
        waitingSet_.clear();
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

bool TrackAnalyser::Idle() const {
    std::lock_guard lock(mutex_);
    return waiting_.empty() && batches_.empty() && !busy_;
}

std::size_t TrackAnalyser::Waiting() const {
    std::lock_guard lock(mutex_);
    return waiting_.size();
}

void TrackAnalyser::MakeBatches(std::unique_lock<std::mutex>& lock) {
    std::vector<Batch> batches;
    batches.swap(batches_);
    busy_ = true;
    lock.unlock();
    std::vector<std::filesystem::path> paths;
    for (const Batch& make : batches) {
        try {
            std::vector<std::filesystem::path> made = make();
            paths.insert(paths.end(), std::make_move_iterator(made.begin()), std::make_move_iterator(made.end()));
        } catch (...) {
            // A batch that cannot be made is dropped; the others are still measured.
        }
    }
    lock.lock();
    if (stop_.load()) return;
    for (std::filesystem::path& p : paths)
        if (waitingSet_.insert(p.native()).second) waiting_.push_back(std::move(p));
}

void TrackAnalyser::Run() {
#if defined(__linux__)
    // Linux gives each thread its own nice value: the decks' decoder and the window come first.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
#endif
    // Loudness filters ringing down into silence would otherwise crawl through subnormal floats.
    const SubnormalsAsZero fast;
    if (cache_) cache_->Load();
    std::size_t unsaved = 0;
    for (;;) {
        std::filesystem::path path;
        {
            std::unique_lock lock(mutex_);
            busy_ = false;
            if (!batches_.empty()) MakeBatches(lock);
            if (waiting_.empty() && unsaved > 0 && cache_) {
                lock.unlock();
                cache_->Save();
                unsaved = 0;
                lock.lock();
            }
            wake_.wait(lock, [this] { return stop_.load() || !waiting_.empty() || !batches_.empty(); });
            if (stop_.load()) break;
            if (!batches_.empty()) MakeBatches(lock);
            if (waiting_.empty()) continue;
            if (stop_.load()) break;
            path = std::move(waiting_.front());
            waiting_.pop_front();
            waitingSet_.erase(path.native());
            busy_ = true;
        }
        std::optional<TrackAnalysis> result = cache_ ? cache_->Lookup(path) : std::nullopt;
        if (!result) {
            result = AnalyseTrack(path, &stop_);
            if (stop_.load()) break;
            decoded_.fetch_add(1, std::memory_order_relaxed);
            if (cache_ && result->ok) {
                cache_->Store(path, *result);
                if (++unsaved >= kSaveEvery) {
                    cache_->Save();
                    unsaved = 0;
                }
            }
        }
        try {
            done_(path, *result);
        } catch (...) {
            // The receiver's trouble is its own; the next track is still analysed.
        }
    }
    if (cache_) cache_->Save();
    std::lock_guard lock(mutex_);
    busy_ = false;
}

}  // namespace playback
