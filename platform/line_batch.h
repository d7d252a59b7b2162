#pragma once
// Lines for the log and the details box that worker threads send to the window, gathered so the
// window takes them in few hand-overs of bounded size, whatever the workers send.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dispatcher.h"

namespace platform {

class LineBatch {
public:
    struct Lines {
        std::vector<std::string> details, log;
    };
    // Runs on the user-interface thread with one batch at a time.
    using Deliver = std::function<void(const Lines&)>;
    struct Limits {
        std::size_t lines = 300;               // of each kind per hand-over; more are counted and dropped
        std::chrono::milliseconds spacing{100};  // between two hand-overs
    };

    // `ui` must outlive the batch, or be closed before it.
    LineBatch(IDispatcher& ui, Deliver deliver, Limits limits);
    explicit LineBatch(IDispatcher& ui, Deliver deliver) : LineBatch(ui, std::move(deliver), Limits{}) {}
    // A hand-over still queued finds nothing to deliver to.
    ~LineBatch();
    LineBatch(const LineBatch&) = delete;
    LineBatch& operator=(const LineBatch&) = delete;

    // Any thread; never waits for the window. A full batch counts what it drops, and the window
    // then reads "… N lines dropped" in the log (and in the details box for details lines).
    void Add(std::vector<std::string> details, std::vector<std::string> log);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace platform
