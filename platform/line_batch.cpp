// The log and details lines of worker threads, handed to the window at most every 100 ms.
#include "platform/line_batch.h"

#include <algorithm>
#include <mutex>

namespace platform {

using Clock = std::chrono::steady_clock;

struct LineBatch::Shared {
    Shared(IDispatcher& d, Deliver f, Limits l) : ui(d), deliver(std::move(f)), limits(l) {}

    IDispatcher& ui;
    std::mutex mutex;
    Deliver deliver;  // empty once the batch is gone
    Limits limits;
    Lines waiting;
    std::size_t droppedDetails = 0, droppedLog = 0;
    bool posted = false;  // a hand-over is queued for the window
    Clock::time_point last{};

    static void Keep(std::vector<std::string>& into, std::vector<std::string>& from, std::size_t limit,
                     std::size_t& dropped) {
        const std::size_t room = limit - std::min(limit, into.size());
        const std::size_t taken = std::min(room, from.size());
        std::move(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(taken), std::back_inserter(into));
        dropped += from.size() - taken;
    }

    static std::string DroppedLine(std::size_t count) {
        return "\u2026 " + std::to_string(count) + " lines dropped";
    }

    // User-interface thread.
    static void HandOver(const std::shared_ptr<Shared>& self) {
        Lines lines;
        Deliver deliver;
        {
            std::lock_guard lock(self->mutex);
            self->posted = false;
            self->last = Clock::now();
            lines = std::move(self->waiting);
            self->waiting = {};
            if (self->droppedDetails > 0) lines.details.push_back(DroppedLine(self->droppedDetails));
            if (self->droppedLog > 0) lines.log.push_back(DroppedLine(self->droppedLog));
            self->droppedDetails = self->droppedLog = 0;
            deliver = self->deliver;
        }
        if (deliver && (!lines.details.empty() || !lines.log.empty())) deliver(lines);
    }
};

LineBatch::LineBatch(IDispatcher& ui, Deliver deliver, Limits limits)
    : shared_(std::make_shared<Shared>(ui, std::move(deliver), limits)) {}

LineBatch::~LineBatch() {
    std::lock_guard lock(shared_->mutex);
    shared_->deliver = nullptr;
}

void LineBatch::Add(std::vector<std::string> details, std::vector<std::string> log) {
    std::chrono::milliseconds delay{0};
    {
        std::lock_guard lock(shared_->mutex);
        const std::size_t limit = shared_->limits.lines;
        Shared::Keep(shared_->waiting.details, details, limit, shared_->droppedDetails);
        Shared::Keep(shared_->waiting.log, log, limit, shared_->droppedLog);
        if (shared_->posted) return;  // the queued hand-over takes these too
        shared_->posted = true;
        const auto due = shared_->last + shared_->limits.spacing;
        const auto now = Clock::now();
        if (due > now) delay = std::chrono::ceil<std::chrono::milliseconds>(due - now);
    }
    try {
        shared_->ui.PostAfter(delay, [self = shared_] { Shared::HandOver(self); });
    } catch (...) {
        // A closing program takes no more lines.
        std::lock_guard lock(shared_->mutex);
        shared_->posted = false;
    }
}

}  // namespace platform
