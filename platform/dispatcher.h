#pragma once
// Hands work from listener workers to the user-interface thread, so web/ stays free of Qt.
#include <chrono>
#include <functional>

namespace platform {

class IDispatcher {
public:
    virtual ~IDispatcher() = default;
    // Runs `work` on the user-interface thread and returns when it is done.
    virtual void RunBlocking(const std::function<void()>& work) = 0;
    // Queues `work` for the user-interface thread without waiting.
    virtual void Post(std::function<void()> work) = 0;
    // The same, run no sooner than `delay` from now (at once where there is no clock to wait on).
    virtual void PostAfter(std::chrono::milliseconds delay, std::function<void()> work) {
        (void)delay;
        Post(std::move(work));
    }
};

// Runs everything at once on the calling thread (tests, and code already on the UI thread).
class InlineDispatcher : public IDispatcher {
public:
    void RunBlocking(const std::function<void()>& work) override { work(); }
    void Post(std::function<void()> work) override { work(); }
};

}  // namespace platform
